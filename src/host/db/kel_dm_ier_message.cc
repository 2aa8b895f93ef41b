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
