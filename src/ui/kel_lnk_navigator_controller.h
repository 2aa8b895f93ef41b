// KelLnkNavigatorController: the navigator that draws a window's graph, with
// its highlighted set (the selection) and preselected set.
#pragma once

#include "graph/kel_lnk_custom_node.h"
#include "host/navigator/kel_navig_controller.h"

class KelLnkNavigatorController : public KelNavigController {
 public:
  explicit KelLnkNavigatorController(const KelBaseUnknown_var& root)
      : KelNavigController(root, KelLnkCustomNode::kNodeType, KelLnkCustomNode::kArcType) {}
};
