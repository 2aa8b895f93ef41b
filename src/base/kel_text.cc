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

void ZeroTimestampFractionOf(KelUnicodeString& text) {
  if (text.size() >= 6) text.replace(text.size() - 6, 6, "000000");
}
