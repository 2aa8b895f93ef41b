// The host error record: a number (0 = no error), a short and a long message
// and a severity. Severity -1 marks a warning or an outcome that is not an
// error.
#pragma once

#include "base/kel_types.h"

class KelQorError {
 public:
  KelQorError() = default;

  // Clears the record.
  void Ok() { *this = KelQorError(); }
  void Set(int ier, const KelUnicodeString& shortMsg, const KelUnicodeString& longMsg, int severity) {
    ier_ = ier;
    short_ = shortMsg;
    long_ = longMsg;
    severity_ = severity;
  }

  int Ier() const { return ier_; }
  int Severity() const { return severity_; }
  const KelUnicodeString& ShortMsg() const { return short_; }
  const KelUnicodeString& LongMsg() const { return long_; }

 private:
  int ier_ = 0;
  KelUnicodeString short_;
  KelUnicodeString long_;
  int severity_ = 0;
};
