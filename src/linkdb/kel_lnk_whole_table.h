// When a walk reads a table whole instead of a few hundred identifiers at a
// time: probing an index for every object reached costs more than one
// sequential pass once the walk has asked for a large share of the table,
// or has reached so many objects still to be read that it surely will.
// The read-ahead applies the rule to the link tables, the data manager to the
// object tables whose facts it reads. A small walk never reads a whole table.
#pragma once

#include <cstddef>
#include <cstdint>

struct KelLnkWholeTableRule {
  size_t minKeys = 500;  // no pass before a walk has asked, or is bound to ask, for this many identifiers of a table
  int64_t share = 16;    // nor before it has asked, or is bound to ask, for one in `share` of its rows
  // Objects whose rows the read-ahead reads in one set, at most (the one
  // asked for, those waiting and those they lead to).
  size_t setObjects = 4000;

  // The rule in force (tests change it to force either way; SIZE_MAX
  // identifiers never reads a table whole).
  static KelLnkWholeTableRule& Current() {
    static KelLnkWholeTableRule rule;
    return rule;
  }
};

// What one table has been asked for, and whether it is read whole.
struct KelLnkTableDemand {
  size_t asked = 0;     // identifiers asked for by set reads so far
  int64_t rows = -1;    // rows of the table, counted once `asked` reaches the rule's floor
  bool failed = false;  // the table could not be counted or read whole: set reads go on

  // Counts `keys` more identifiers; true when the table is to be read whole
  // now. `pending` is how many more the walk is bound to ask for (such as
  // the objects it has reached and not read yet): they count towards the
  // floor and the share, but are not kept. `count` gives the table's rows
  // (-1 when it cannot), asked once.
  template <typename Count>
  bool Ask(size_t keys, size_t pending, Count&& count) {
    if (failed) return false;
    asked += keys;
    const KelLnkWholeTableRule& rule = KelLnkWholeTableRule::Current();
    if (asked + pending < rule.minKeys) return false;
    if (rows < 0 && (rows = count()) < 0) {
      failed = true;
      return false;
    }
    return static_cast<int64_t>(asked + pending) * rule.share >= rows;
  }
};
