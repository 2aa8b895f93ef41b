#include "host/db/kel_db_cursor.h"

#include "host/db/host_sql.h"
#include "host/db/kel_dm_ier_message.h"

KelDbCursor::KelDbCursor(KelDbConnection* connection, const KelUnicodeString& environment,
                         const KelUnicodeString& table)
    : connection_(connection), environment_(environment), table_(table) {}

void KelDbCursor::SetWhereClause(const KelUnicodeString& where) { where_ = where; }

void KelDbCursor::SetWhereColumn(const KelUnicodeString&, const KelDbBinary& value) {
  binds_.push_back(KelDbValue::Binary(value));
}

void KelDbCursor::SetWhereColumn(const KelUnicodeString&, const KelUnicodeString& value) {
  binds_.push_back(KelDbValue::Text(value));
}

void KelDbCursor::SetOutputColumn(const KelUnicodeString& column, KelDbType type) {
  outputs_.push_back(column);
  outputTypes_.push_back(type);
}

std::string KelDbCursor::Statement() const {
  std::string sql = "SELECT ";
  if (outputs_.empty()) {
    sql += "COUNT(*)";
  } else {
    for (size_t i = 0; i < outputs_.size(); ++i) {
      if (i) sql += ",";
      sql += outputs_[i];
    }
  }
  sql += " FROM " + QuoteHostTableName(environment_, table_);
  if (!where_.empty()) sql += " WHERE " + where_;
  return sql;
}

int KelDbCursor::Open(int) {
  Close();
  if (!connection_) {
    error_ = "no database connection";
    return kel_ier::kDbNoConnection;
  }
  int rc = connection_->Execute(Statement(), binds_, &result_);
  if (rc != 0) {
    error_ = connection_->LastError();
    result_ = KelDbResult();
    return rc;
  }
  open_ = true;
  if (outputs_.empty()) {
    count_ = result_.rows.empty() ? 0 : static_cast<int>(result_.rows[0][0].AsInteger());
    result_.rows.clear();
  } else {
    count_ = static_cast<int>(result_.rows.size());
  }
  current_ = -1;
  return 0;
}

int KelDbCursor::Fetch() {
  if (!open_) return 0;
  if (current_ + 1 >= static_cast<long>(result_.rows.size())) {
    current_ = static_cast<long>(result_.rows.size());
    return 0;
  }
  ++current_;
  return 1;
}

void KelDbCursor::Close() {
  open_ = false;
  result_ = KelDbResult();
  count_ = 0;
  current_ = -1;
}

int KelDbCursor::GetNumberOfRows() const { return count_; }

const KelDbValue& KelDbCursor::Value(int column) const {
  static const KelDbValue kNull;
  if (!open_ || current_ < 0 || current_ >= static_cast<long>(result_.rows.size())) return kNull;
  const auto& row = result_.rows[current_];
  if (column < 1 || column > static_cast<int>(row.size())) return kNull;
  return row[column - 1];
}

KelUnicodeString KelDbCursor::GetText(int column) const { return Value(column).AsText(); }

KelDbBinary KelDbCursor::GetBinary(int column) const { return Value(column).AsBinary(); }

KelUnicodeString KelDbCursor::GetHexaValue(int column) const { return Value(column).AsBinary().Hex(); }

bool KelDbCursor::IsNull(int column) const { return Value(column).IsNull(); }
