// One copy per process of texts that many records repeat: the connection,
// environment and table names of object handles, the types, dates and
// statuses of drawn links. A pooled text is never freed, so its address
// stays valid for the life of the process; equal texts have one address.
#pragma once

#include <mutex>

#include "base/kel_types.h"

// The one copy of `value` in the process-wide pool of type Set (a set whose
// elements keep their address as it grows: std::set, std::unordered_set).
// Nothing is ever taken out, so the address stays valid for the life of the
// process. Each Set type is a pool of its own.
template <typename Set>
const typename Set::value_type* KelPooledValue(const typename Set::value_type& value) {
  static std::mutex mutex;
  static Set pool;
  const std::lock_guard<std::mutex> lock(mutex);
  return &*pool.insert(value).first;
}

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
