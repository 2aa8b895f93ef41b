#include "host/db/kel_db_row.h"

std::string_view KelDbRow::Text(int c) const {
  const Cell& cell = cells_[c];
  switch (cell.type) {
    case KelDbType::kText:
    case KelDbType::kTimestamp:
      return cell.bytes;
    case KelDbType::kNull:
      return {};
    default:
      return texts_[c] = Value(c).AsText();
  }
}

std::string_view KelDbRow::Bytes(int c) const {
  const Cell& cell = cells_[c];
  return cell.type == KelDbType::kText || cell.type == KelDbType::kTimestamp || cell.type == KelDbType::kBinary
             ? cell.bytes
             : std::string_view();
}

KelDbValue KelDbRow::Value(int c) const {
  const Cell& cell = cells_[c];
  switch (cell.type) {
    case KelDbType::kNull:
      return KelDbValue();
    case KelDbType::kInteger:
      return KelDbValue::Integer(cell.integer);
    case KelDbType::kReal:
      return KelDbValue::Real(cell.real);
    case KelDbType::kBinary:
      return KelDbValue::Binary(cell.bytes.data(), cell.bytes.size());
    default:
      return KelDbValue::Text(std::string(cell.bytes), cell.type);
  }
}

void KelDbRow::Start(int columns) {
  cells_.assign(static_cast<size_t>(columns), Cell());
  if (scratch_.size() < cells_.size()) {
    scratch_.resize(cells_.size());
    texts_.resize(cells_.size());
  }
}

void KelDbRow::SetInteger(int c, int64_t value) {
  cells_[c].type = KelDbType::kInteger;
  cells_[c].integer = value;
}

void KelDbRow::SetReal(int c, double value) {
  cells_[c].type = KelDbType::kReal;
  cells_[c].real = value;
}

void KelDbRow::SetBytes(int c, KelDbType type, std::string_view bytes) {
  cells_[c].type = type;
  cells_[c].bytes = bytes;
}

std::string& KelDbRow::Scratch(int c) { return scratch_[c]; }
