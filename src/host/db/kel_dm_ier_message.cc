#include "host/db/kel_dm_ier_message.h"

#include <string>

namespace {
struct Entry {
  int code;
  const char* shortText;
  const char* longText;
};

const Entry kCatalogue[] = {
    {kel_ier::kOk, "No error", "No error"},
    {kel_ier::kDbCannotOpen, "Database unavailable", "The database cannot be opened or reached"},
    {kel_ier::kDbNoConnection, "No database", "No database session is open"},
    {kel_ier::kDbBadStatement, "Invalid statement", "The statement cannot be prepared by the database"},
    {kel_ier::kDbExecution, "Statement failed", "The statement failed while running"},
    {kel_ier::kDbConstraint, "Duplicate row", "A row with the same identity already exists"},
    {kel_ier::kDbTransaction, "Transaction failed", "The transaction could not be committed or rolled back"},
    {kel_ier::kDbBadIdentifier, "Invalid identifier", "An identifier is not sixteen hexadecimal digits"},
    {kel_ier::kInstanceNotFound, "Object not found", "The object is not in the database"},
    {kel_ier::kInstanceNoRevision, "No revision", "No revision of the object can be read"},
    {kel_ier::kAccessDenied, "Access denied", "Access denied: an access rule refuses this process on the object"},
    {kel_ier::kAccessNoRule, "Access not defined", "Access denied: no access rule allows this process on the object"},
    {kel_ier::kDeclarativeMissing, "Declaration missing", "The declarative key is not defined in the profile"},
    {kel_ier::kDeclarativeBadValue, "Declaration invalid", "The declarative value does not have the expected kind"},
    {kel_ier::kProcessUnknownHost, "Unknown host", "Commands can only be started on the host \"$LOCAL\""},
    {kel_ier::kProcessStartFailed, "Process not started", "The command cannot be started"},
    {kel_ier::kProcessNoEvent, "Event not registered", "The completion event is not registered"},
    {kel_ier::kProcessInterrupted, "Interrupted", "The wait for the command was stopped by a signal"},
    {kel_ier::kLockedByOther, "Locked", "Another user holds a lock on the object"},
    {kel_ier::kClipboardEmpty, "Clipboard empty", "The clipboard holds no database object"},
    {kel_ier::kV4NoPeer, "No V4 application", "No Tovra V4 application is running"},
    {kel_ier::kV4Timeout, "V4 time-out", "The Tovra V4 application did not answer in time"},
    {kel_ier::kV4BadAnswer, "Bad V4 answer", "The answer of the Tovra V4 application cannot be read"},
    {kel_ier::kMaturityForbids, "Maturity", "The maturity of the object forbids the operation"},
    {kel_ier::kNotLockedByUser, "Not locked", "The object %1 holds no lock of the user %2"},
    {kel_ier::kViewerBadOption, "Bad viewer option", "The viewer has no option of that number"},
    {kel_ier::kViewerNothingToOpen, "Nothing to open", "No object was given to the viewer"},
    {kel_ier::kViewerNoEnd, "Viewer busy", "The viewer did not take the objects in time"},
};

const Entry* Find(int code) {
  for (const Entry& e : kCatalogue)
    if (e.code == code) return &e;
  return nullptr;
}
}  // namespace

KelUnicodeString KelDMIerMessage::GetDisplayMessage(int withCode) const {
  const Entry* e = Find(code_);
  std::string text = e ? e->longText : "Unknown error " + std::to_string(code_);
  if (withCode) return "QOR-" + std::to_string(code_) + ": " + text;
  return text;
}

KelUnicodeString KelDMIerMessage::GetShortMessage() const {
  const Entry* e = Find(code_);
  return e ? e->shortText : "Unknown error";
}

KelUnicodeString KelDMIerMessage::BuildIerMessage(int code, const KelListValKelUnicodeString& parameters) {
  std::string text = KelDMIerMessage(code).GetDisplayMessage(1);
  for (size_t k = parameters.size(); k > 0; --k) {
    std::string mark(1, '%');
    mark += std::to_string(k);
    for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + parameters[k - 1].size())) {
      text.replace(at, mark.size(), parameters[k - 1]);
    }
  }
  return text;
}
