// One copy per process of texts that many records repeat: the connection,
// environment and table names of object handles, the types, dates and
// statuses of drawn links. A pooled text is never freed, so its address
// stays valid for the life of the process; equal texts have one address.
#pragma once

#include "base/kel_types.h"

// The pooled copy of `text`.
const KelUnicodeString* KelPooledText(const KelUnicodeString& text);

// A text field held as its pooled copy: one word in the record.
class KelPooledString {
 public:
  KelPooledString() : text_(KelPooledText({})) {}
  KelPooledString(const KelUnicodeString& text) : text_(KelPooledText(text)) {}  // NOLINT(google-explicit-constructor)
  KelPooledString(const char* text) : text_(KelPooledText(text)) {}              // NOLINT(google-explicit-constructor)
  const KelUnicodeString& str() const { return *text_; }
  operator const KelUnicodeString&() const { return *text_; }  // NOLINT(google-explicit-constructor)

 private:
  const KelUnicodeString* text_;
};
