// KelLnkUserServices: what the operations on graph objects and links (link
// maintenance, synchronisation) ask of the user interface: boxes, the window
// refresh, the dialogs that show a plan or an order, the "in progress" dialog
// and new windows. The graph window installs its implementation
// (ui/kel_lnk_window_services.h); the command line installs its own, and
// without any the console default below answers.
//
// `window` may be null (a windowless object): the texts then stand alone.
#pragma once

#include <vector>

#include "base/kel_types.h"
#include "graph/kel_lnk_object.h"
#include "host/kel_dm_instance.h"

class KelLnkGraphWindow;

class KelLnkUserServices {
 public:
  using Plan = std::vector<KelLnkObject::SynchroniseUnit>;
  using ReverseLinks = std::vector<KelLnkObject::ReverseLink>;

  virtual ~KelLnkUserServices() = default;

  // An error box with `text` (style 0x10100200); it does not wait.
  virtual void ErrorBox(KelLnkGraphWindow* window, const KelUnicodeString& text) = 0;
  // A modal message box: returns once the user confirmed it.
  virtual void MessageBox(KelLnkGraphWindow* window, const KelUnicodeString& text) = 0;
  // Refreshes the window (`full` 1 empties the object and link caches first).
  virtual void Refresh(KelLnkGraphWindow* window, int full) = 0;
  // Shows a synchronisation plan of `object` for confirmation; the dialog
  // owns the plan from here. Confirming it runs KelLnkSynchronise::Confirm.
  virtual void ShowPlan(KelLnkGraphWindow* window, KelLnkObject& object, Plan units, ReverseLinks reverse) = 0;
  // Shows the order of synchronisation: `objects` with their `levels`.
  virtual void ShowOrder(KelLnkGraphWindow* window, const KelListValKelDMInstance& objects,
                         const KelRawCollint& levels) = 0;
  // The "synchronisation in progress" dialog of a running script: shown at
  // the launch, hidden when the script ended.
  virtual void ShowProgress(KelLnkGraphWindow* window) = 0;
  virtual void HideProgress() = 0;
  // Opens a new window in direction `order` on `instance`.
  virtual void OpenWindow(const KelDMInstance& instance, int order) = 0;

  // The services in force: the installed ones, else the console default
  // (boxes on standard error, no refresh, plans and orders dropped).
  static KelLnkUserServices& Current();
  // Installs `services` (not owned); null restores the console default.
  static void Install(KelLnkUserServices* services);
};
