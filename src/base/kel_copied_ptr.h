// An owned, rarely present value held apart from a small record: null by
// default, and copied with the record (std::unique_ptr alone would make the
// record move-only).
#pragma once

#include <memory>
#include <utility>

template <typename T>
class KelCopiedPtr {
 public:
  KelCopiedPtr() = default;
  explicit KelCopiedPtr(T value) : value_(std::make_unique<T>(std::move(value))) {}
  KelCopiedPtr(const KelCopiedPtr& other) : value_(other.value_ ? std::make_unique<T>(*other.value_) : nullptr) {}
  KelCopiedPtr& operator=(const KelCopiedPtr& other) {
    if (this != &other) value_ = other.value_ ? std::make_unique<T>(*other.value_) : nullptr;
    return *this;
  }
  KelCopiedPtr(KelCopiedPtr&&) noexcept = default;
  KelCopiedPtr& operator=(KelCopiedPtr&&) noexcept = default;
  ~KelCopiedPtr() = default;

  void reset() { value_.reset(); }
  explicit operator bool() const { return value_ != nullptr; }
  const T& operator*() const { return *value_; }
  const T* operator->() const { return value_.get(); }

 private:
  std::unique_ptr<T> value_;
};
