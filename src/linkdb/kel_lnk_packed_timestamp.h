// A timestamp text as the caches of a long walk keep it: empty, or the usual
// normalised form "YYYY-MM-DD HH:MM:SS.000000" as its fourteen digits, four
// bits each, in 8 bytes; any other text is kept as it is, apart. The text given back is
// always the text given.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/kel_copied_ptr.h"

class KelLnkPackedTimestamp {
 public:
  KelLnkPackedTimestamp() = default;
  explicit KelLnkPackedTimestamp(std::string_view text) { *this = text; }
  KelLnkPackedTimestamp& operator=(std::string_view text) {
    other_.reset();
    if (text.empty())
      digits_ = kEmpty;
    else if (!Pack(text))
      other_ = KelCopiedPtr<std::string>(std::string(text));
    return *this;
  }

  std::string str() const {
    std::string text;
    AssignTo(text);
    return text;
  }
  // The text into `text`, whose storage is reused.
  void AssignTo(std::string& text) const {
    if (other_) {
      text = *other_;
      return;
    }
    if (digits_ == kEmpty) {
      text.clear();
      return;
    }
    text = kForm;
    uint64_t rest = digits_;
    for (size_t k = kForm.size(); k-- > 0;) {
      if (text[k] != 'D') continue;
      text[k] = static_cast<char>('0' + (rest & 0xF));
      rest >>= 4;
    }
  }

 private:
  // 'D' a digit kept, any other character as it stands.
  static constexpr std::string_view kForm = "DDDD-DD-DD DD:DD:DD.000000";
  static constexpr uint64_t kEmpty = UINT64_MAX;  // 56 bits of digits never reach it

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
    digits_ = digits;
    return true;
  }

  uint64_t digits_ = kEmpty;
  KelCopiedPtr<std::string> other_;  // null unless the text has another form
};
