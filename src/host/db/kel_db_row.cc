#include "host/db/kel_db_row.h"

std::string_view KelDbRow::OtherText(int c) const {
  return cells_[c].type == KelDbType::kNull ? std::string_view() : std::string_view(texts_[c] = Value(c).AsText());
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

void KelDbRow::Resize(int columns) {
  const auto n = static_cast<size_t>(columns);
  cells_.resize(n);
  if (scratch_.size() < n) {
    scratch_.resize(n);
    texts_.resize(n);
  }
}

std::string& KelDbRow::Scratch(int c) { return scratch_[c]; }
