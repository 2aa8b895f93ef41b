// Values that cross the database interface: bound parameters and fetched
// columns.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/kel_id.h"

// A binary database value, such as an 8-byte identifier.
class KelDbBinary {
 public:
  KelDbBinary() = default;
  explicit KelDbBinary(const KelId& id) : bytes_(reinterpret_cast<const char*>(id.Bytes().data()), 8) {}
  KelDbBinary(const void* data, size_t size) : bytes_(static_cast<const char*>(data), size) {}

  // The bytes (an 8-byte identifier fits the string's own buffer: no allocation).
  const uint8_t* Data() const { return reinterpret_cast<const uint8_t*>(bytes_.data()); }
  const std::string& Raw() const { return bytes_; }
  size_t Size() const { return bytes_.size(); }
  // Upper-case hexadecimal text of all bytes.
  std::string Hex() const;
  // The same digits, appended to `out`.
  void AppendHex(std::string& out) const;
  // The identifier held in the first 8 bytes; zero bytes pad a shorter value.
  KelId AsId() const;

  friend bool operator==(const KelDbBinary&, const KelDbBinary&) = default;

 private:
  std::string bytes_;
};

enum class KelDbType {
  kNull,
  kInteger,
  kReal,
  kText,
  kBinary,
  kTimestamp,  // text "YYYY-MM-DD HH:MM:SS.ffffff" on every engine
};

// One bound or fetched value.
class KelDbValue {
 public:
  KelDbValue() = default;  // NULL
  static KelDbValue Text(std::string text, KelDbType type = KelDbType::kText) {
    KelDbValue v;
    v.type_ = type;
    v.text_ = std::move(text);
    return v;
  }
  static KelDbValue Binary(const KelDbBinary& b) { return Binary(b.Data(), b.Size()); }
  static KelDbValue Binary(const void* data, size_t size) {
    KelDbValue v;
    v.type_ = KelDbType::kBinary;
    v.text_.assign(static_cast<const char*>(data), size);
    return v;
  }
  static KelDbValue Id(const KelId& id) { return Binary(id.Bytes().data(), 8); }
  static KelDbValue Integer(int64_t i) {
    KelDbValue v;
    v.type_ = KelDbType::kInteger;
    v.integer_ = i;
    return v;
  }
  static KelDbValue Real(double d) {
    KelDbValue v;
    v.type_ = KelDbType::kReal;
    v.real_ = d;
    return v;
  }

  KelDbType Type() const { return type_; }
  bool IsNull() const { return type_ == KelDbType::kNull; }

  // Text form: text and timestamps as they are, binaries as upper-case
  // hexadecimal, numbers in decimal, NULL as an empty text.
  std::string AsText() const;
  // Binary form: binaries as they are, text as its bytes, others empty.
  KelDbBinary AsBinary() const;
  // The bytes of a binary or a text value (empty for others), without a copy.
  std::string_view Bytes() const {
    return type_ == KelDbType::kNull || type_ == KelDbType::kInteger || type_ == KelDbType::kReal ? std::string_view()
                                                                                                  : text_;
  }
  int64_t AsInteger() const;  // integers; text and reals converted; 0 otherwise
  double AsReal() const;

  friend bool operator==(const KelDbValue&, const KelDbValue&) = default;

 private:
  KelDbType type_ = KelDbType::kNull;
  // Text, timestamp and binary values keep their bytes here (an 8-byte
  // identifier fits the string's own buffer: no allocation).
  std::string text_;
  int64_t integer_ = 0;
  double real_ = 0;
};

// Brings a timestamp text to "YYYY-MM-DD HH:MM:SS.ffffff": a missing or
// shorter fraction is padded with zeros, a longer one is cut. A text that does
// not start with a date and a time is returned unchanged.
std::string NormaliseTimestampText(const std::string& text);
// The same into `out`, whose storage is reused.
void NormaliseTimestampText(std::string_view text, std::string& out);
// True when the text is already in that form ("YYYY-MM-DD HH:MM:SS.ffffff"),
// so that it may be used as it is.
bool IsNormalTimestampText(std::string_view text);
