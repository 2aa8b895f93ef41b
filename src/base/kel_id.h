// An 8-byte database identifier (coid, compid, entity ids).
//
// Identifiers are compared byte for byte, never as floating-point numbers:
// two different identifiers whose bytes read as -0.0 and 0.0 would compare
// equal as doubles, and one that reads as a NaN would never equal itself.
// The double carrier and the 16-digit hexadecimal text exist only at the
// interfaces that name them (KelDMInstance::GetCoid, KelDMTovra::DoubleToHexa,
// SQL text).
#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

class KelId {
 public:
  // All bytes 0.
  constexpr KelId() : bytes_{} {}
  explicit KelId(const std::array<uint8_t, 8>& bytes) : bytes_(bytes) {}

  // From the first 8 bytes at `p`.
  static KelId FromBytes(const void* p) {
    KelId id;
    std::memcpy(id.bytes_.data(), p, 8);
    return id;
  }
  // From sixteen hexadecimal digits (either case). Returns false and leaves
  // `out` untouched when the text is not exactly sixteen hexadecimal digits.
  static bool FromHex(std::string_view hex, KelId* out);
  // From sixteen hexadecimal digits; an invalid text gives the zero identifier.
  static KelId FromHexOrZero(std::string_view hex) {
    KelId id;
    FromHex(hex, &id);
    return id;
  }
  // The identifier carried in a double: the double's 8 bytes, in memory order.
  static KelId FromDouble(double d) { return FromBytes(&d); }

  // The null identifier: eight characters "0", hexadecimal "3030303030303030".
  static KelId Null() {
    KelId id;
    id.bytes_.fill(0x30);
    return id;
  }

  // Sixteen upper-case hexadecimal digits, first byte first.
  std::string Hex() const;
  // The same 16 digits, appended to `out`.
  void AppendHex(std::string& out) const;
  double AsDouble() const {
    double d;
    std::memcpy(&d, bytes_.data(), 8);
    return d;
  }
  const std::array<uint8_t, 8>& Bytes() const { return bytes_; }

  bool IsZero() const { return *this == KelId(); }
  bool IsNullId() const { return *this == Null(); }

  // Compared as one 8-byte word.
  friend bool operator==(const KelId& a, const KelId& b) {
    uint64_t x, y;
    std::memcpy(&x, a.bytes_.data(), 8);
    std::memcpy(&y, b.bytes_.data(), 8);
    return x == y;
  }
  friend auto operator<=>(const KelId&, const KelId&) = default;

 private:
  std::array<uint8_t, 8> bytes_;
};

struct KelIdHash {
  size_t operator()(const KelId& id) const {
    uint64_t v;
    std::memcpy(&v, id.Bytes().data(), 8);
    v ^= v >> 33;
    v *= 0xff51afd7ed558ccdULL;
    v ^= v >> 33;
    return static_cast<size_t>(v);
  }
};

// True when `text` is exactly sixteen hexadecimal digits.
bool IsHexIdentifier(std::string_view text);
