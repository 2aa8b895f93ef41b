// One copy per process of texts that many records repeat: the connection,
// environment and table names of object handles, the types, dates and
// statuses of drawn links. A pooled text is never freed, so its address
// stays valid for the life of the process; equal texts have one address.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <string_view>

#include "base/kel_position_index.h"
#include "base/kel_types.h"

// A process-wide pool of values of type T, one copy of each (an instance per
// object drawn, a date per link, a link row's UUID list): the values sit in
// a deque, found through an open-addressing index of their
// positions, so that finding one reads a slot and, as a rule, the value
// itself, instead of a bucket and a chain of nodes. `HashFn` and `EqualFn` may
// take other probe types than T (a view of a text). Nothing is ever taken
// out: an address stays valid for the life of the process.
template <typename T, typename HashFn, typename EqualFn = std::equal_to<>>
class KelValuePool {
 public:
  // The pooled copy of the value `probe` stands for, made from it when the
  // pool has none.
  template <typename Probe>
  static const T* Pooled(const Probe& probe) {
    State& state = TheState();
    const std::lock_guard<std::mutex> lock(state.mutex);
    if (const int found = state.index.Find(probe); found >= 0) return &state.values[static_cast<size_t>(found)];
    const T& value = state.values.emplace_back(probe);
    state.index.Insert(static_cast<int>(state.values.size() - 1));
    return &value;
  }

 private:
  struct Traits {
    template <typename Probe>
    static size_t Hash(const Probe& probe) {
      return HashFn()(probe);
    }
    static size_t HashOf(int position) { return HashFn()(TheState().values[static_cast<size_t>(position)]); }
    template <typename Probe>
    static bool Equal(int position, const Probe& probe) {
      return EqualFn()(TheState().values[static_cast<size_t>(position)], probe);
    }
  };
  struct State {
    std::mutex mutex;
    std::deque<T> values;
    KelPositionIndex<Traits> index;
  };
  static State& TheState() {
    static State* state = new State;  // never destroyed: pooled addresses outlive static teardown
    return *state;
  }
};

// The pooled copy of `text`. A text asked for again from the same place
// (the same characters at the same address) is found without hashing.
const KelUnicodeString* KelPooledText(std::string_view text);

// A text field held as its pooled copy: one word in the record.
class KelPooledString {
 public:
  KelPooledString() : text_(KelPooledText({})) {}
  KelPooledString(const KelUnicodeString& text) : text_(KelPooledText(text)) {}  // NOLINT(google-explicit-constructor)
  KelPooledString(const char* text) : text_(KelPooledText(text)) {}              // NOLINT(google-explicit-constructor)
  KelPooledString(std::string_view text) : text_(KelPooledText(text)) {}         // NOLINT(google-explicit-constructor)
  // A text already pooled (what KelPooledText returned).
  static KelPooledString FromPooled(const KelUnicodeString* pooled) {
    KelPooledString text(pooled);
    return text;
  }
  const KelUnicodeString& str() const { return *text_; }
  operator const KelUnicodeString&() const { return *text_; }  // NOLINT(google-explicit-constructor)

 private:
  explicit KelPooledString(const KelUnicodeString* pooled) : text_(pooled) {}
  const KelUnicodeString* text_;
};
