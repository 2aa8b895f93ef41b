#include "base/kel_text.h"

KelUnicodeString StripBlanks(const KelUnicodeString& text) {
  size_t begin = text.find_first_not_of(' ');
  if (begin == KelUnicodeString::npos) return KelUnicodeString();
  size_t end = text.find_last_not_of(' ');
  return text.substr(begin, end - begin + 1);
}

KelUnicodeString RightTrimBlanks(const KelUnicodeString& text) {
  size_t n = text.size();
  while (n > 0 && text[n - 1] == ' ') --n;
  return text.substr(0, n);
}

KelUnicodeString ZeroTimestampFraction(const KelUnicodeString& text) {
  if (text.size() < 6) return text;
  KelUnicodeString out = text.substr(0, text.size() - 6);
  out.append("000000");
  return out;
}
