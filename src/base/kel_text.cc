#include "base/kel_text.h"

KelUnicodeString StripBlanks(const KelUnicodeString& text) {
  size_t begin = text.find_first_not_of(' ');
  if (begin == KelUnicodeString::npos) return KelUnicodeString();
  size_t end = text.find_last_not_of(' ');
  return text.substr(begin, end - begin + 1);
}

KelUnicodeString RightTrimBlanks(const KelUnicodeString& text) { return KelUnicodeString(RightTrimmedBlanks(text)); }

std::string_view RightTrimmedBlanks(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

KelUnicodeString ZeroTimestampFraction(const KelUnicodeString& text) {
  KelUnicodeString out = text;
  ZeroTimestampFractionOf(out);
  return out;
}

void AppendHexDigits(std::string_view bytes, std::string& out) {
  static const char kDigits[] = "0123456789ABCDEF";
  const size_t at = out.size();
  out.resize(at + 2 * bytes.size());
  char* digit = out.data() + at;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    *digit++ = kDigits[b >> 4];
    *digit++ = kDigits[b & 0xF];
  }
}

void ZeroTimestampFractionOf(KelUnicodeString& text) {
  if (text.size() >= 6) text.replace(text.size() - 6, 6, "000000");
}
