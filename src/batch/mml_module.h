// MmlModule: the module's process-wide state as one whole.
//
// Each layer keeps its part in one private state behind its own facade: the
// settings and link-type tables (KelLnkTools, foundation), the object cache
// (KelLnkDataManager, linkdb), the hybrid manager's caches, connection
// pointers and the mark that settings were taken (KelLnkHybridManager,
// linkdb), the class-wide batch error and order, script status and debug
// switches and the one-entry child-link cache of graph objects (KelLnkObject,
// graph). Batch is the lowest layer that sees all of them, so the one reset
// lives here; the batch driver resets before a run and clears the caches
// between roots.
#pragma once

class MmlModule {
 public:
  // Returns every part to the state a fresh process finds it in, the parts
  // that read others first: graph objects, then the link database's caches
  // and snapshot, then the settings they were taken from. The host session
  // and profile, and the trace counters of live objects, stay as they are.
  static void Reset();
  // Empties the caches of the link database (objects, entities, links and
  // the rows read ahead) and keeps everything else: the batch driver's step
  // between two roots.
  static void ClearCaches();
};
