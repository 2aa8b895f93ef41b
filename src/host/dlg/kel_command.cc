#include "host/dlg/kel_command.h"

#include <algorithm>
#include <unordered_map>

namespace {

struct Callback {
  KelCommand* sender;
  KelNotification notification;
  KelCallbackMethod method;
  void* data;
  KelCommand* receiver;
};

// Every registered callback by id, and the ids each command is named in.
struct CallbackRegistry {
  int nextId = 1;
  std::unordered_map<int, Callback> byId;
  std::unordered_map<const KelCommand*, std::vector<int>> byCommand;

  void Index(const KelCommand* command, int id) {
    if (command != nullptr) byCommand[command].push_back(id);
  }
  void Unindex(const KelCommand* command, int id) {
    auto it = byCommand.find(command);
    if (it == byCommand.end()) return;
    auto& ids = it->second;
    ids.erase(std::remove(ids.begin(), ids.end(), id), ids.end());
    if (ids.empty()) byCommand.erase(it);
  }
};

CallbackRegistry& Registry() {
  static CallbackRegistry registry;
  return registry;
}

class NoBinding : public KelDlgBinding {};

}  // namespace

int AddAnalyseNotificationCB(KelCommand* sender, KelNotification notification, KelCallbackMethod method, void* data,
                             KelCommand* receiver) {
  CallbackRegistry& reg = Registry();
  const int id = reg.nextId++;
  reg.byId.emplace(id, Callback{sender, notification, std::move(method), data, receiver});
  reg.Index(sender, id);
  if (receiver != sender) reg.Index(receiver, id);
  return id;
}

void RemoveAnalyseNotificationCB(int id) {
  CallbackRegistry& reg = Registry();
  auto it = reg.byId.find(id);
  if (it == reg.byId.end()) return;
  reg.Unindex(it->second.sender, id);
  reg.Unindex(it->second.receiver, id);
  reg.byId.erase(it);
}

void RemoveAllCallbacksOf(KelCommand* command) {
  CallbackRegistry& reg = Registry();
  auto it = reg.byCommand.find(command);
  if (it == reg.byCommand.end()) return;
  const std::vector<int> ids = it->second;
  for (int id : ids) RemoveAnalyseNotificationCB(id);
}

int CountCallbacks(const KelCommand* sender, KelNotification notification) {
  CallbackRegistry& reg = Registry();
  auto it = reg.byCommand.find(sender);
  if (it == reg.byCommand.end()) return 0;
  int count = 0;
  for (int id : it->second) {
    const Callback& cb = reg.byId.at(id);
    if (cb.sender == sender && cb.notification == notification) ++count;
  }
  return count;
}

KelCommand::~KelCommand() {
  RemoveAllCallbacksOf(this);
  // A command deleted before its idle time leaves the queue.
  auto& pending = KelApplication::Get().pending_;
  if (destructionRequested_) pending.erase(std::remove(pending.begin(), pending.end(), this), pending.end());
}

void KelCommand::Notify(KelNotification notification) {
  CallbackRegistry& reg = Registry();
  auto it = reg.byCommand.find(this);
  if (it == reg.byCommand.end()) return;
  const std::vector<int> ids = it->second;  // callbacks may change the registry
  for (int id : ids) {
    auto cb = reg.byId.find(id);
    if (cb == reg.byId.end() || cb->second.sender != this || cb->second.notification != notification) continue;
    KelCallbackMethod method = cb->second.method;  // the callback may remove itself
    method(this, notification, cb->second.data);
  }
}

void KelCommand::RequestDelayedDestruction() {
  if (destructionRequested_) return;
  destructionRequested_ = true;
  KelApplication::Get().QueueDestruction(this);
}

KelApplication& KelApplication::Get() {
  static KelApplication* application = new KelApplication();  // lives as long as the process
  return *application;
}

int KelApplication::Subscribe(KelCommand* subscriber, KelCallbackMethod method, void* data) {
  const int id = AddAnalyseNotificationCB(this, KelNotification::Idle, std::move(method), data, subscriber);
  idleIds_.push_back(id);
  Binding().WakeIdle();
  return id;
}

void KelApplication::RemoveSubscribe(int id) {
  idleIds_.erase(std::remove(idleIds_.begin(), idleIds_.end(), id), idleIds_.end());
  RemoveAnalyseNotificationCB(id);
}

bool KelApplication::HasIdleWork() const {
  return !pending_.empty() || CountCallbacks(this, KelNotification::Idle) > 0;
}

int KelApplication::RunIdle() {
  Notify(KelNotification::Idle);
  int deleted = 0;
  while (!pending_.empty()) {
    KelCommand* command = pending_.front();
    pending_.erase(pending_.begin());
    command->destructionRequested_ = false;  // already out of the queue
    delete command;
    ++deleted;
  }
  return deleted;
}

void KelApplication::QueueDestruction(KelCommand* command) {
  pending_.push_back(command);
  Binding().WakeIdle();
}

void KelApplication::SetBusyCursor(bool busy) {
  if (busy) ++busyCount_;
  Binding().SetBusyCursor(busy);
}

void KelApplication::UpdateDisplay() { Binding().UpdateDisplay(); }

KelDlgBinding& KelApplication::Binding() {
  static NoBinding none;
  return binding_ ? *binding_ : none;
}

void KelApplication::SetBinding(KelDlgBinding* binding) { binding_ = binding; }
