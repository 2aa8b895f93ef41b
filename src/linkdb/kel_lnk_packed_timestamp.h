// A timestamp text as the caches of a long walk keep it, in 8 bytes: empty,
// or the usual normalised form "YYYY-MM-DD HH:MM:SS.000000" as its fourteen
// digits, four bits each; any other text (rare) as the number of its copy in
// a table of such texts that the process keeps once for all. The text given
// back is always the text given.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

class KelLnkPackedTimestamp {
 public:
  KelLnkPackedTimestamp() = default;
  explicit KelLnkPackedTimestamp(std::string_view text) { *this = text; }
  KelLnkPackedTimestamp& operator=(std::string_view text) {
    if (text.empty())
      bits_ = kEmpty;
    else if (!Pack(text))
      bits_ = kOther | Intern(text);
    return *this;
  }

  bool empty() const { return bits_ == kEmpty; }
  std::string str() const {
    std::string text;
    AssignTo(text);
    return text;
  }
  // The text into `text`, whose storage is reused.
  void AssignTo(std::string& text) const {
    if (bits_ == kEmpty) {
      text.clear();
      return;
    }
    if (IsOther()) {
      text = Other(static_cast<uint32_t>(bits_));
      return;
    }
    text = kForm;
    uint64_t rest = bits_;
    for (size_t k = kForm.size(); k-- > 0;) {
      if (text[k] != 'D') continue;
      text[k] = static_cast<char>('0' + (rest & 0xF));
      rest >>= 4;
    }
  }
  // The process-wide copy of the text (KelPooledText), found by the packed
  // form: no text is built for a form met before.
  const std::string* Pooled() const;
  // The same with the fraction zeroed (ZeroTimestampFractionOf), as links
  // compare timestamps: the normalised form has none to zero.
  KelLnkPackedTimestamp FractionZeroed() const;

  // Equal as texts: a text has one packed form.
  friend bool operator==(const KelLnkPackedTimestamp&, const KelLnkPackedTimestamp&) = default;
  // Ordered as the texts are.
  friend std::strong_ordering operator<=>(const KelLnkPackedTimestamp& a, const KelLnkPackedTimestamp& b) {
    // Fixed-width digits order as numbers; the empty text comes first.
    if (!a.IsOther() && !b.IsOther()) {
      if (a.bits_ == b.bits_) return std::strong_ordering::equal;
      if (a.empty()) return std::strong_ordering::less;
      if (b.empty()) return std::strong_ordering::greater;
      return a.bits_ <=> b.bits_;
    }
    return a.str() <=> b.str();
  }

 private:
  // 'D' a digit kept, any other character as it stands.
  static constexpr std::string_view kForm = "DDDD-DD-DD DD:DD:DD.000000";
  static constexpr uint64_t kEmpty = UINT64_MAX;       // 56 bits of digits never reach it
  static constexpr uint64_t kOther = uint64_t{1} << 63;  // the rest: the number of the text

  // Another text, kept apart (kEmpty has the kOther bit too).
  bool IsOther() const { return bits_ != kEmpty && (bits_ & kOther) != 0; }

  bool Pack(std::string_view text) {
    if (text.size() != kForm.size()) return false;
    uint64_t digits = 0;
    for (size_t k = 0; k < kForm.size(); ++k) {
      if (kForm[k] != 'D') {
        if (text[k] != kForm[k]) return false;
      } else if (text[k] < '0' || text[k] > '9') {
        return false;
      } else {
        digits = digits << 4 | static_cast<uint64_t>(text[k] - '0');
      }
    }
    bits_ = digits;
    return true;
  }
  // The number of the text in the table of other texts, added when new.
  static uint32_t Intern(std::string_view text);
  static const std::string& Other(uint32_t number);

  uint64_t bits_ = kEmpty;
};
