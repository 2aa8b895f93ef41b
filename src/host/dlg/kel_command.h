// KelCommand: the base of every object of the dialog toolkit. A command
// publishes notifications (activate, modify, close, OK, ...); other code
// registers callbacks on it per notification, with the host signature
// (sender, notification, data). Commands are destroyed late: a command asks
// for its destruction and the application deletes it at the next idle time,
// when no callback of it is running any more.
//
// KelApplication is the event side of the toolkit: the idle subscription,
// delayed destruction, busy cursor and display update. Nothing here needs a
// screen: a toolkit binding (KelDlgBinding) mirrors the objects as widgets
// when one is installed, and tests drive the objects directly.
//
//   int id = AddAnalyseNotificationCB(item, KelNotification::Activate,
//                                     [this](KelCommand*, KelNotification, void*) { ... }, nullptr, this);
//   item->Activate();          // the user chose the item: the callback runs
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class KelCommand;
class KelDlgObject;
class KelDlgNotify;

enum class KelNotification {
  Activate,   // a push item or button was chosen
  Modify,     // a check or radio item changed state
  Close,      // the user closes a window
  OK,         // the OK button of a dialog or box
  Cancel,     // the Cancel button
  Apply,      // the Apply button
  Idle,       // the application is idle
  Select,     // the viewer: a node is selected alone (data: the node)
  ExtSelect,  // the viewer: a node is added to or taken from the selection
  Method,     // the viewer: the methods of a node are asked for
  Expand,     // the viewer: a node is toggled open or closed
  Removed,    // the host list of windows lost a window (data: the window)
  Error,      // a host command ended in failure
};

using KelCallbackMethod = std::function<void(KelCommand* sender, KelNotification notification, void* data)>;

class KelCommand {
 public:
  // `father` is the command that answers for this one (may be null); it
  // does not own it.
  explicit KelCommand(KelCommand* father = nullptr) : father_(father) {}
  virtual ~KelCommand();
  KelCommand(const KelCommand&) = delete;
  KelCommand& operator=(const KelCommand&) = delete;

  KelCommand* GetFather() const { return father_; }
  void SetFather(KelCommand* father) { father_ = father; }

  // Runs every callback registered on this command for `notification`, in
  // registration order. A callback may remove callbacks or ask for the
  // destruction of any command: the others still run safely.
  void Notify(KelNotification notification);

  // Asks the application to delete this command at the next idle time.
  // Asking twice deletes it once.
  void RequestDelayedDestruction();
  bool IsDestructionRequested() const { return destructionRequested_; }

 private:
  friend class KelApplication;
  KelCommand* father_;
  bool destructionRequested_ = false;
};

// Registers `method` on `sender` for `notification`, called with `data`.
// `receiver` names the command the callback acts on: when the receiver is
// destroyed, its callbacks are removed, so no callback ever reaches a
// destroyed command. Returns the callback id (> 0).
int AddAnalyseNotificationCB(KelCommand* sender, KelNotification notification, KelCallbackMethod method,
                             void* data = nullptr, KelCommand* receiver = nullptr);
// Removes one callback; unknown ids are ignored.
void RemoveAnalyseNotificationCB(int id);
// Removes every callback registered on `sender` (as sender or receiver).
void RemoveAllCallbacksOf(KelCommand* command);
// Number of callbacks registered on `sender` for `notification`.
int CountCallbacks(const KelCommand* sender, KelNotification notification);

// What a toolkit binding does with the objects. Every hook has a default
// that does nothing, so the toolkit runs without a screen.
class KelDlgBinding {
 public:
  virtual ~KelDlgBinding() = default;
  // A top-level object (document, dialog, notify) was shown or hidden, or
  // one of its objects changed title, help, state, sensitivity, visibility
  // or content.
  virtual void Changed(KelDlgObject* object) { (void)object; }
  // The object is about to be destroyed.
  virtual void Destroyed(KelDlgObject* object) { (void)object; }
  // Shows the box modally; returns when the user closed it.
  virtual void RunModal(KelDlgNotify* box) { (void)box; }
  // Idle work is waiting: the binding calls KelApplication::RunIdle soon.
  virtual void WakeIdle() {}
  virtual void SetBusyCursor(bool busy) { (void)busy; }
  virtual void UpdateDisplay() {}
};

class KelApplication : public KelCommand {
 public:
  static KelApplication& Get();

  // Registers `subscriber` for the idle event: `method` runs at every idle
  // time until RemoveSubscribe. Returns the callback id.
  int Subscribe(KelCommand* subscriber, KelCallbackMethod method, void* data);
  void RemoveSubscribe(int id);

  // One idle time: runs the idle subscribers, then deletes the commands
  // whose destruction was asked for (also those asked for by the
  // subscribers). Returns the number of commands deleted.
  int RunIdle();
  // Whether idle work is waiting (subscribers or destructions).
  bool HasIdleWork() const;
  // Commands waiting for destruction.
  int PendingDestructions() const { return static_cast<int>(pending_.size()); }

  void SetBusyCursor(bool busy);
  int GetBusyCount() const { return busyCount_; }
  void UpdateDisplay();

  // The binding in use (never null: without one, a binding that does nothing).
  KelDlgBinding& Binding();
  // Installs `binding` (not owned); null restores the one that does nothing.
  void SetBinding(KelDlgBinding* binding);

 private:
  friend class KelCommand;
  KelApplication() = default;
  void QueueDestruction(KelCommand* command);

  std::vector<KelCommand*> pending_;
  std::vector<int> idleIds_;
  int busyCount_ = 0;
  KelDlgBinding* binding_ = nullptr;
};
