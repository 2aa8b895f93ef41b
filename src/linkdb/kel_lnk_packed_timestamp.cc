#include "linkdb/kel_lnk_packed_timestamp.h"

#include <bit>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

#include "base/kel_text.h"
#include "base/kel_text_pool.h"

namespace {

// The other texts met, each kept once: few distinct ones are ever met (dates
// written by other programs), and a cache may hold their numbers at any time.
struct OtherTexts {
  std::mutex mutex;
  std::deque<std::string> texts;  // stays put as it grows
  std::unordered_map<std::string_view, uint32_t> numbers;
};

OtherTexts& TheOtherTexts() {
  static OtherTexts* texts = new OtherTexts;  // never destroyed: caches may outlive static teardown
  return *texts;
}

// A packed form and the pooled copy of its text.
struct PooledForm {
  explicit PooledForm(const KelLnkPackedTimestamp& form) : form(form), text(KelPooledText(form.str())) {}
  KelLnkPackedTimestamp form;
  const std::string* text;
};
// A form is its 8 bytes; the pool's index spreads them.
struct FormHash {
  size_t operator()(const KelLnkPackedTimestamp& form) const { return std::bit_cast<uint64_t>(form); }
  size_t operator()(const PooledForm& pooled) const { return (*this)(pooled.form); }
};
struct SameForm {
  bool operator()(const PooledForm& pooled, const KelLnkPackedTimestamp& form) const { return pooled.form == form; }
};

}  // namespace

const std::string* KelLnkPackedTimestamp::Pooled() const {
  return KelValuePool<PooledForm, FormHash, SameForm>::Pooled(*this)->text;
}

uint32_t KelLnkPackedTimestamp::Intern(std::string_view text) {
  OtherTexts& other = TheOtherTexts();
  std::lock_guard<std::mutex> lock(other.mutex);
  auto it = other.numbers.find(text);
  if (it != other.numbers.end()) return it->second;
  const auto number = static_cast<uint32_t>(other.texts.size());
  other.numbers.emplace(other.texts.emplace_back(text), number);
  return number;
}

const std::string& KelLnkPackedTimestamp::Other(uint32_t number) {
  OtherTexts& other = TheOtherTexts();
  std::lock_guard<std::mutex> lock(other.mutex);
  return other.texts[number];
}

KelLnkPackedTimestamp KelLnkPackedTimestamp::FractionZeroed() const {
  if (!IsOther()) return *this;
  std::string text = str();
  ZeroTimestampFractionOf(text);
  return KelLnkPackedTimestamp(text);
}
