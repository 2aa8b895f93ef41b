// KelLnkSynchronise: synchronisation of the objects of a graph, from the plan
// to the end of the site script.
//
// Analysis (kel_lnk_synchronise.cc): which objects must be synchronised,
// through which links, in which order. A plan is a vector of units (object,
// link type, links of that type, reason); an object comes after every object
// below it. Reverse links name objects of the plan that other objects also
// depend on: the user is shown them before confirming.
//
// Execution (kel_lnk_synchronise_run.cc): units whose link type synchronises
// by "BATCH" are written, a run of consecutive ones at a time, to the command
// file "MMLSync" for the site script (docs/site-scripts.md); a unit of type
// "TOVRA" opens the CAD viewer on its models and waits for the user. Only one
// script runs at a time on a machine (the lock of KelLnkSiteFiles): the rest
// of a plan goes on when the script of the group before has ended.
//
// Entry points of the contextual menus: Synchronise (object, "This level"),
// FullSynchronise (object, "Full" and "Full, show reverse"), GetOrder
// (object, "Get order"), SynchroniseLink (link, "Synchronise").
// What they ask of the user interface goes through KelLnkUserServices.
#pragma once

#include <string>
#include <vector>

#include "base/kel_types.h"
#include "graph/kel_lnk_object.h"
#include "host/kel_dm_instance.h"
#include "operations/kel_lnk_synchro_unit.h"

class KelLnkLink;
class KelLnkGraphWindow;

class KelLnkSynchronise {
 public:
  using Unit = KelLnkObject::SynchroniseUnit;
  using Plan = std::vector<Unit>;
  using ReverseLinks = std::vector<KelLnkObject::ReverseLink>;

  // ---- Analysis ----

  // The units of one object: per type of its stale links (BADDATE,
  // UP_BADDATE, UP_GOOD), in order of first occurrence, the stale links of
  // that type ("DRW": every link of the type). Reason: the names of the
  // other objects, joined by ", ".
  static void AnalyseSynchronise(KelLnkObject& object, Plan& units);
  // The plan of the object and the objects next to it. In an "impacts on"
  // window, a neighbour that other objects also depend on through stale or
  // broken links gives reverse links instead of a unit.
  static void PlanThisLevel(KelLnkObject& object, Plan& units, ReverseLinks& reverse);
  // Menu "This level": the plan is run at once, or shown when it has
  // reverse links; the window refreshes.
  static void Synchronise(KelLnkObject& object, int level);

  // Outcomes of PlanFull.
  enum { kPlanReady = 0, kPlanLoop = 1, kPlanEmpty = 2 };
  // The plan of everything below the object, deepest first, each (object,
  // link type) once; with `reverse` non-zero, the reverse links found in the
  // link tables of every relation environment.
  static int PlanFull(KelLnkObject& object, int reverse, Plan& units, ReverseLinks& reverseLinks);
  // Menu "Full": shows the plan, or the loop or "nothing to synchronise" box.
  static void FullSynchronise(KelLnkObject& object, int reverse);
  // The walk behind PlanFull: children first, each marked "SYNC" = "DONE"
  // once planned. `root` is 1 for the start object, 0 below it.
  static void FullSynchroniseRecurse(KelLnkObject& object, int reverse, int root, Plan& units,
                                     ReverseLinks& reverseLinks);
  // Records the edges below `object` whose links are GOOD, BADDATE or
  // UP_BADDATE; 1 when a loop is found, else 0. `path` may be null.
  static int GetTree(KelLnkObject* object, KelListPtrKelLnkSynchroUnit& units, KelListValKelDMInstance* path);
  // The order in which the stale objects below `object` must be
  // synchronised: `objects` with their `levels` (from 1). Returns 1 (nothing
  // filled) when the graph has a loop.
  static int ComputeOrder(KelLnkObject& object, KelListValKelDMInstance& objects, KelRawCollint& levels);
  // Menu "Get order": shows the order, or the loop box.
  static void GetOrder(KelLnkObject& object);

  // The four texts of row `number` (from 1) of a plan as the dialog lists
  // them: number, object name, link name with its synchronise type in
  // brackets, reason.
  static std::vector<std::string> PlanRow(int number, const Unit& unit);
  // The "To" and "From" texts of a reverse link.
  static std::vector<std::string> ReverseRow(const KelLnkObject::ReverseLink& link);

  // The user confirmed a plan: it runs, then a window in direction 0 opens
  // on each distinct other object of the reverse links.
  static void Confirm(KelLnkGraphWindow* window, Plan units, ReverseLinks reverseLinks);
  // The user dismissed a plan: the conditions below the object are computed
  // afresh.
  static void Dismiss(KelLnkObject& object) { object.Uncache(1); }

  // ---- Execution ----

  // Carries out a plan (see the class comment). Groups after the one whose
  // script runs wait for its end.
  static void DoSynchronise(KelLnkGraphWindow* window, Plan units);
  // Called when the script of a plan's group ends: reads "MMLSync_err",
  // reports, refreshes, then goes on with the rest of the plan.
  static void EndOfSynchroniseBatch();
  // Menu "Synchronise" of a link: the link alone, when it is stale.
  static void SynchroniseLink(KelLnkLink& link);
  // Called when the script of a single link ends: reads "MML_Sync.err".
  static void EndOfLinkSynchroniseBatch();

  // The command text (records only, without the count) and the names text of
  // units [begin, end) of a plan; `order` is the window's direction. Returns
  // the number of records.
  static int CommandText(const Plan& units, size_t begin, size_t end, int order, std::string& commands,
                         std::string& names);
  // Whether a synchronisation script started here is still running, or a
  // plan still has units to carry out.
  static bool Busy();
  // Number of scripts whose end reported a failure (a launch that failed, a
  // return code other than 0) since the last ResetOutcome; the command line
  // exits on it.
  static int Failures();
  static void ResetOutcome();
  // Forgets the synchronisation under way after its script was stopped from
  // outside (SIGINT, SIGTERM): the rest of the plan is dropped, the files it
  // wrote (command, names, error files and copies) removed and the lock
  // released.
  static void Abandon();
};
