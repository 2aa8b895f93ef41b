#include "base/kel_text_pool.h"

#include <unordered_set>

const KelUnicodeString* KelPooledText(const KelUnicodeString& text) {
  return KelPooledValue<std::unordered_set<KelUnicodeString>>(text);
}
