// A text kept inside the record that holds it when it is short (up to 31
// bytes, enough for a normalised timestamp), on the heap otherwise. Caches
// hold one per link: the inline form saves the heap block a std::string
// needs past its own small buffer.
#pragma once

#include <compare>
#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

class KelShortText {
 public:
  KelShortText() = default;
  KelShortText(std::string_view text) { Assign(text); }  // NOLINT(google-explicit-constructor)
  KelShortText(const KelShortText& other) { Assign(other.view()); }
  KelShortText(KelShortText&&) noexcept = default;
  KelShortText& operator=(const KelShortText& other) {
    if (this != &other) Assign(other.view());
    return *this;
  }
  KelShortText& operator=(KelShortText&&) noexcept = default;
  KelShortText& operator=(std::string_view text) {
    Assign(text);
    return *this;
  }
  ~KelShortText() = default;

  std::string_view view() const { return long_ ? std::string_view(*long_) : std::string_view(small_, size_); }
  std::string str() const { return std::string(view()); }
  bool empty() const { return view().empty(); }

  friend bool operator==(const KelShortText& a, std::string_view b) { return a.view() == b; }
  friend std::strong_ordering operator<=>(const KelShortText& a, std::string_view b) { return a.view() <=> b; }
  friend std::ostream& operator<<(std::ostream& out, const KelShortText& t) { return out << t.view(); }

 private:
  static constexpr size_t kSmall = 31;

  // `text` may lie inside this record (a view of itself).
  void Assign(std::string_view text) {
    if (text.size() <= kSmall) {
      if (!text.empty()) std::memmove(small_, text.data(), text.size());
      size_ = static_cast<uint8_t>(text.size());
      long_.reset();
    } else {
      long_ = std::make_unique<std::string>(text);
      size_ = 0;
    }
  }

  std::unique_ptr<std::string> long_;  // set only for texts past kSmall bytes
  uint8_t size_ = 0;
  char small_[kSmall] = {};
};
