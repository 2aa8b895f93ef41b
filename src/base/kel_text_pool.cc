#include "base/kel_text_pool.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>

namespace {

// Looks a pooled text up from a view of it, without building a string.
struct TextHash {
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
};

// The texts asked for last, by the address of their characters. Callers ask
// again and again for texts held at one place (the names of the link
// database, a constant, a link row's date): a text found at the address it
// was last asked from, with the same characters, needs no hashing and no
// lock. The characters are always compared, so a place that now holds
// another text (or memory used again) simply misses.
struct RecentText {
  const char* data = nullptr;
  const KelUnicodeString* pooled = nullptr;
};
constexpr unsigned kRecentBits = 8;
thread_local RecentText recent[1u << kRecentBits];

RecentText& RecentSlot(const char* data) {
  const auto address = reinterpret_cast<uintptr_t>(data);
  return recent[(address * 0x9E3779B97F4A7C15ULL) >> (64 - kRecentBits)];
}

bool Same(const KelUnicodeString& pooled, std::string_view text) {
  return pooled.size() == text.size() && (text.empty() || std::memcmp(pooled.data(), text.data(), text.size()) == 0);
}

}  // namespace

const KelUnicodeString* KelPooledText(std::string_view text) {
  RecentText& slot = RecentSlot(text.data());
  if (slot.data == text.data() && slot.pooled != nullptr && Same(*slot.pooled, text)) return slot.pooled;
  const KelUnicodeString* pooled = KelValuePool<KelUnicodeString, TextHash>::Pooled(text);
  slot = RecentText{text.data(), pooled};
  return pooled;
}
