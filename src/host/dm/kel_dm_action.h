// Host actions: the bracket the data manager puts around one user operation
// on objects ("CheckIn", "CheckOut", "ChangeUUID"). The operation opens the
// action, does its work and ends the action with its result code and, for a
// failure, the text to show. The outcome goes to the reporter the program
// installed (the windows show a message panel; the command line prints it)
// and is kept as the last outcome.
//
//   KelDMAction action("CheckIn");
//   ...
//   action.End(rc);                      // the catalogue's text of rc
//   action.End(20517, builtMessage);     // a text built for the case
#pragma once

#include <functional>

#include "base/kel_types.h"

class KelDMAction {
 public:
  struct Outcome {
    KelUnicodeString action;   // name of the action
    int code = 0;              // 0 success, else a kel_ier code
    KelUnicodeString message;  // the text for the user, empty on success
  };
  using Reporter = std::function<void(const Outcome& outcome)>;

  explicit KelDMAction(const KelUnicodeString& name);
  // Ends an action that was not ended, with code 0.
  ~KelDMAction();
  KelDMAction(const KelDMAction&) = delete;
  KelDMAction& operator=(const KelDMAction&) = delete;

  // Ends the action once (later calls do nothing). Without `message` a
  // failure's text is the catalogue's display message of `code`.
  void End(int code, const KelUnicodeString& message = "");
  const KelUnicodeString& GetName() const { return name_; }

  // The outcome of the last action ended in the process.
  static const Outcome& Last();
  // Installs the reporter (null: none). Returns the previous one.
  static Reporter SetReporter(Reporter reporter);

 private:
  KelUnicodeString name_;
  bool ended_ = false;
};
