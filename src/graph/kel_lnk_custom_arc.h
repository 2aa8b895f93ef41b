// KelLnkCustomArc: the display arc of the link graph (node type "MML_arc"),
// between an object node and a link node or a link node and the object
// below it.
#pragma once

#include "host/navigator/kel_navig_extension.h"

class KelNavigInstance;

class KelLnkCustomArc : public KelLinkExtension {
 public:
  // Unless link technologies are computed, the arc's drawing attribute
  // becomes 20.
  void UpdateElem(KelNavigInstance* to) override;
};
