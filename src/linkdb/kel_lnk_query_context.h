// KelLnkQueryContext: what the link database asks of the window a query runs
// for. The graph window implements it; a windowless query passes null and
// gets the defaults (every link type, no product structure).
#pragma once

#include "base/kel_types.h"

class KelPSNGraph;
class KelPSNNode;

class KelLnkQueryContext {
 public:
  virtual ~KelLnkQueryContext() = default;

  // The link type shown: "%" for every type, else one declared type. Read
  // only when link types are computed (KelLnkHybridManager::LinkType()).
  virtual const KelUnicodeString& GetLinktype() const = 0;
  // Whether the window works inside a product structure; then the graph and
  // its root node give the context of V5 links and of link validity.
  virtual bool HasPSNContext() const = 0;
  virtual KelPSNGraph* GetPSNGraph() const = 0;
  virtual KelPSNNode* GetPSNRootNode() const = 0;
};
