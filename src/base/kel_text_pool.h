// One copy per process of texts that many records repeat: the connection,
// environment and table names of object handles, the types, dates and
// statuses of drawn links. A pooled text is never freed, so its address
// stays valid for the life of the process; equal texts have one address.
#pragma once

#include <mutex>
#include <string_view>

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

// The pooled copy of `text`. A text asked for again from the same place
// (the same characters at the same address) is found without hashing.
const KelUnicodeString* KelPooledText(std::string_view text);

// A text field held as its pooled copy: one word in the record.
class KelPooledString {
 public:
  KelPooledString() : text_(KelPooledText({})) {}
  KelPooledString(const KelUnicodeString& text) : text_(KelPooledText(text)) {}  // NOLINT(google-explicit-constructor)
  KelPooledString(const char* text) : text_(KelPooledText(text)) {}              // NOLINT(google-explicit-constructor)
  KelPooledString(std::string_view text) : text_(KelPooledText(text)) {}         // NOLINT(google-explicit-constructor)
  // A text already pooled (what KelPooledText returned).
  static KelPooledString FromPooled(const KelUnicodeString* pooled) {
    KelPooledString text(pooled);
    return text;
  }
  const KelUnicodeString& str() const { return *text_; }
  operator const KelUnicodeString&() const { return *text_; }  // NOLINT(google-explicit-constructor)

 private:
  explicit KelPooledString(const KelUnicodeString* pooled) : text_(pooled) {}
  const KelUnicodeString* text_;
};
