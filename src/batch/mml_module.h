// MmlModule: the module's process-wide state as one whole.
//
// Each layer keeps its part behind its own facade: the settings and
// link-type tables (KelLnkTools, foundation), the object cache (KelLnkDataManager, linkdb), the hybrid
// manager's settings snapshot, caches and connection pointers
// (KelLnkHybridManager, linkdb), the class-wide batch error and order and the
// one-entry child-link cache of graph objects (KelLnkObject, graph). Batch is
// the lowest layer that sees all of them, so the one reset lives here.
#pragma once

class MmlModule {
 public:
  // Returns every part to the state a fresh process finds it in, the parts
  // that read others first: graph objects, then the link database's caches
  // and snapshot, then the settings they were taken from. The host session
  // and profile, and the trace counters of live objects, stay as they are.
  static void Reset();
};
