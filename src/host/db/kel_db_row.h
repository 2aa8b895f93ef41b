// One fetched row read in place: the engine's own buffers, without a
// KelDbValue per column. Rows handed to a KelDbRowSink are valid only during
// the call; the texts and bytes they give are views into them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/db/kel_db_value.h"

class KelDbRow {
 public:
  int Size() const { return static_cast<int>(cells_.size()); }
  KelDbType Type(int c) const { return cells_[c].type; }
  bool IsNull(int c) const { return cells_[c].type == KelDbType::kNull; }
  // As KelDbValue::AsText of the column: text and timestamps as they are,
  // binaries in upper-case hexadecimal, numbers in decimal, NULL empty.
  std::string_view Text(int c) const {
    const Cell& cell = cells_[c];
    return cell.type == KelDbType::kText || cell.type == KelDbType::kTimestamp ? cell.bytes : OtherText(c);
  }
  // As KelDbValue::AsBinary: the bytes of a binary or a text column, empty
  // for the others.
  std::string_view Bytes(int c) const {
    const Cell& cell = cells_[c];
    return cell.type == KelDbType::kText || cell.type == KelDbType::kTimestamp || cell.type == KelDbType::kBinary
               ? cell.bytes
               : std::string_view();
  }
  // The column as a KelDbValue (what the value path gives).
  KelDbValue Value(int c) const;

  // ---- Filled by the engines ----

  // Starts a row of `columns` NULL columns.
  void Start(int columns) {
    if (cells_.size() != static_cast<size_t>(columns)) Resize(columns);
    // Only the type tells whether the other fields hold anything.
    for (Cell& cell : cells_) cell.type = KelDbType::kNull;
  }
  void SetInteger(int c, int64_t value) {
    cells_[c].type = KelDbType::kInteger;
    cells_[c].integer = value;
  }
  void SetReal(int c, double value) {
    cells_[c].type = KelDbType::kReal;
    cells_[c].real = value;
  }
  // `bytes` must stay valid until the next Start.
  void SetBytes(int c, KelDbType type, std::string_view bytes) {
    cells_[c].type = type;
    cells_[c].bytes = bytes;
  }
  // A buffer of the row for a column the engine must convert (a timestamp
  // brought to its full form, an escaped binary), kept until the next Start.
  std::string& Scratch(int c);

 private:
  struct Cell {
    KelDbType type = KelDbType::kNull;
    std::string_view bytes;
    int64_t integer = 0;
    double real = 0;
  };
  // Text of a column that is neither text nor a timestamp.
  std::string_view OtherText(int c) const;
  void Resize(int columns);

  std::vector<Cell> cells_;
  std::vector<std::string> scratch_;        // the engines' conversions
  mutable std::vector<std::string> texts_;  // Text of the columns that are not text
};

using KelDbRowSink = std::function<void(const KelDbRow&)>;
