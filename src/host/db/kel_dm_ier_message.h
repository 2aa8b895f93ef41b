// The catalogue of host error codes and their texts.
//
// Every host service that fails answers one of these codes; the module shows
// the text through KelDMIerMessage(code).GetDisplayMessage(1).
#pragma once

#include "base/kel_types.h"

namespace kel_ier {
constexpr int kOk = 0;
// Database layer
constexpr int kDbCannotOpen = 1001;     // the database cannot be opened or reached
constexpr int kDbNoConnection = 1002;   // no database session is open
constexpr int kDbBadStatement = 1003;   // the statement cannot be prepared
constexpr int kDbExecution = 1004;      // the statement failed while running
constexpr int kDbConstraint = 1005;     // a row with the same identity already exists
constexpr int kDbTransaction = 1006;    // begin, commit or rollback failed
constexpr int kDbBadIdentifier = 1007;  // an identifier is not sixteen hexadecimal digits
// Instances
constexpr int kInstanceNotFound = 2001;    // the object is not in the database
constexpr int kInstanceNoRevision = 2002;  // no revision of the object can be read
// Profile and access
constexpr int kAccessDenied = 3001;         // an access rule refuses the process
constexpr int kAccessNoRule = 3002;         // no access rule matches the process
constexpr int kDeclarativeMissing = 3003;   // the declarative key is not in the profile
constexpr int kDeclarativeBadValue = 3004;  // the declarative value has the wrong kind
// Processes
constexpr int kProcessUnknownHost = 4001;  // only "$LOCAL" can run commands
constexpr int kProcessStartFailed = 4002;  // the command cannot be started
constexpr int kProcessNoEvent = 4003;      // the completion event is not registered
constexpr int kProcessInterrupted = 4004;  // the wait was stopped by SIGINT or SIGTERM
// Locks, actions, V4 exchange
constexpr int kLockedByOther = 4101;     // another user holds a lock of type "D" on the object
constexpr int kClipboardEmpty = 4102;    // the clipboard holds no database object
constexpr int kV4NoPeer = 4201;          // no V4 application listens
constexpr int kV4Timeout = 4202;         // the V4 application did not answer in time
constexpr int kV4BadAnswer = 4203;       // the V4 application's answer cannot be read
constexpr int kMaturityForbids = 20500;  // the object's maturity forbids the operation
constexpr int kNotLockedByUser = 20517;  // the object holds no lock of the user (%1 object, %2 user)
// Viewers
constexpr int kViewerBadOption = 5001;      // the viewer has no option of that number
constexpr int kViewerNothingToOpen = 5002;  // no object was given to open
constexpr int kViewerNoEnd = 5003;          // the viewer's command did not end in time
}  // namespace kel_ier

class KelDMIerMessage {
 public:
  explicit KelDMIerMessage(int code) : code_(code) {}

  // The user text of the code. `withCode` non-zero prefixes it with
  // "QOR-<code>: ". An unknown code gives "Unknown error <code>".
  KelUnicodeString GetDisplayMessage(int withCode) const;
  // The short text (a few words) of the code.
  KelUnicodeString GetShortMessage() const;
  // The display message of `code` with "%1", "%2", ... replaced by the
  // parameters in order.
  static KelUnicodeString BuildIerMessage(int code, const KelListValKelUnicodeString& parameters);

 private:
  int code_;
};
