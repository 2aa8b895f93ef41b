#include "base/kel_id.h"

#include "base/kel_text.h"

namespace {
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}
}  // namespace

bool IsHexIdentifier(std::string_view text) {
  if (text.size() != 16) return false;
  for (char c : text)
    if (HexDigit(c) < 0) return false;
  return true;
}

bool KelId::FromHex(std::string_view hex, KelId* out) {
  if (!IsHexIdentifier(hex)) return false;
  for (size_t i = 0; i < 8; ++i)
    out->bytes_[i] = static_cast<uint8_t>(HexDigit(hex[2 * i]) * 16 + HexDigit(hex[2 * i + 1]));
  return true;
}

std::string KelId::Hex() const {
  std::string s;
  AppendHex(s);
  return s;
}

void KelId::AppendHex(std::string& out) const {
  AppendHexDigits(std::string_view(reinterpret_cast<const char*>(bytes_.data()), bytes_.size()), out);
}
