#include "host/db/kel_db_value.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/kel_text.h"

std::string KelDbBinary::Hex() const {
  std::string s;
  AppendHex(s);
  return s;
}

void KelDbBinary::AppendHex(std::string& out) const { AppendHexDigits(bytes_, out); }

KelId KelDbBinary::AsId() const {
  std::array<uint8_t, 8> b{};
  for (size_t i = 0; i < 8 && i < bytes_.size(); ++i) b[i] = static_cast<uint8_t>(bytes_[i]);
  return KelId(b);
}

std::string KelDbValue::AsText() const {
  switch (type_) {
    case KelDbType::kNull:
      return std::string();
    case KelDbType::kInteger:
      return std::to_string(integer_);
    case KelDbType::kReal: {
      char buf[64];
      snprintf(buf, sizeof buf, "%.17g", real_);
      return buf;
    }
    case KelDbType::kText:
    case KelDbType::kTimestamp:
      return text_;
    case KelDbType::kBinary:
      return KelDbBinary(text_.data(), text_.size()).Hex();
  }
  return std::string();
}

KelDbBinary KelDbValue::AsBinary() const {
  const std::string_view bytes = Bytes();
  return KelDbBinary(bytes.data(), bytes.size());
}

int64_t KelDbValue::AsInteger() const {
  switch (type_) {
    case KelDbType::kInteger:
      return integer_;
    case KelDbType::kReal:
      return static_cast<int64_t>(real_);
    case KelDbType::kText:
      return std::strtoll(text_.c_str(), nullptr, 10);
    default:
      return 0;
  }
}

double KelDbValue::AsReal() const {
  switch (type_) {
    case KelDbType::kInteger:
      return static_cast<double>(integer_);
    case KelDbType::kReal:
      return real_;
    case KelDbType::kText:
      return std::strtod(text_.c_str(), nullptr);
    default:
      return 0;
  }
}

void NormaliseTimestampText(std::string_view text, std::string& out) {
  // "YYYY-MM-DD HH:MM:SS" is 19 characters; 'T' is accepted as separator.
  auto unchanged = [&] { out.assign(text.data(), text.size()); };
  if (text.size() < 19) return unchanged();
  for (int i : {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18})
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return unchanged();
  if (text[4] != '-' || text[7] != '-' || (text[10] != ' ' && text[10] != 'T') || text[13] != ':' || text[16] != ':')
    return unchanged();
  out.assign(text.data(), 19);
  out[10] = ' ';
  out += '.';
  size_t digits = 0;
  if (text.size() > 19 && text[19] == '.') {
    for (size_t i = 20; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits)
      if (digits < 6) out += text[i];
  }
  if (digits < 6) out.append(6 - digits, '0');
}

bool IsNormalTimestampText(std::string_view text) {
  // "DDDD-DD-DD DD:DD:DD.DDDDDD", 'D' a digit: the separators first, then
  // the digits without a branch each (a walk checks one per row read).
  if (text.size() != 26 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' ||
      text[16] != ':' || text[19] != '.')
    return false;
  static constexpr uint8_t kDigitAt[] = {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18, 20, 21, 22, 23, 24, 25};
  bool digits = true;
  for (const uint8_t k : kDigitAt) digits &= static_cast<unsigned char>(text[k] - '0') <= 9;
  return digits;
}

std::string NormaliseTimestampText(const std::string& text) {
  std::string out;
  NormaliseTimestampText(text, out);
  return out;
}
