#include "host/dm/kel_dm_action.h"

#include "host/db/kel_dm_ier_message.h"

namespace {
KelDMAction::Outcome& LastOutcome() {
  static KelDMAction::Outcome outcome;
  return outcome;
}
KelDMAction::Reporter& CurrentReporter() {
  static KelDMAction::Reporter reporter;
  return reporter;
}
}  // namespace

KelDMAction::KelDMAction(const KelUnicodeString& name) : name_(name) {}

KelDMAction::~KelDMAction() { End(0); }

void KelDMAction::End(int code, const KelUnicodeString& message) {
  if (ended_) return;
  ended_ = true;
  Outcome outcome{name_, code, code == 0 ? KelUnicodeString() : message};
  if (code != 0 && outcome.message.empty()) outcome.message = KelDMIerMessage(code).GetDisplayMessage(1);
  LastOutcome() = outcome;
  if (CurrentReporter()) CurrentReporter()(outcome);
}

const KelDMAction::Outcome& KelDMAction::Last() { return LastOutcome(); }

KelDMAction::Reporter KelDMAction::SetReporter(Reporter reporter) {
  Reporter previous = std::move(CurrentReporter());
  CurrentReporter() = std::move(reporter);
  return previous;
}
