#include "base/kel_text_pool.h"

#include <mutex>
#include <unordered_set>

const KelUnicodeString* KelPooledText(const KelUnicodeString& text) {
  // Elements of an unordered set keep their address when it grows.
  static std::mutex mutex;
  static std::unordered_set<KelUnicodeString> pool;
  const std::lock_guard<std::mutex> lock(mutex);
  return &*pool.insert(text).first;
}
