#include "host/kel_dm_select.h"

#include "base/kel_id.h"
#include "host/db/host_sql.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/kel_dm_session.h"

KelListValKelUnicodeString& KelDMListResultLine::Column(int c) {
  if (c > static_cast<int>(columns_.size())) columns_.resize(c);
  return columns_[c - 1];
}

const KelListValKelUnicodeString& KelDMListResultLine::Column(int c) const {
  static const KelListValKelUnicodeString kEmpty;
  if (c < 1 || c > static_cast<int>(columns_.size())) return kEmpty;
  return columns_[c - 1];
}

KelUnicodeString KelDMListResultLine::Value(int r, int c) const {
  const auto& column = Column(c);
  if (r < 1 || r > static_cast<int>(column.size())) return KelUnicodeString();
  return column[r - 1];
}

KelDMSelect::KelDMSelect(const KelUnicodeString& statement, int& rc, int maxRows) {
  KelDbConnection* conn = KelDMSession::Main();
  if (!conn) {
    rc = kel_ier::kDbNoConnection;
    return;
  }
  std::string sql = statement;
  while (!sql.empty() && (sql.back() == ';' || sql.back() == ' ')) sql.pop_back();
  rc = conn->Execute(sql, {}, &result_);
  if (rc != 0) {
    result_ = KelDbResult();
    return;
  }
  if (maxRows >= 0 && static_cast<int>(result_.rows.size()) > maxRows) result_.rows.resize(maxRows);
}

void KelDMSelect::GetSelectResult(KelDMListResultLine& line) const {
  line.Clear();
  int columns = static_cast<int>(result_.columns.size());
  for (int c = 1; c <= columns; ++c) {
    auto& column = line.Column(c);
    column.reserve(result_.rows.size());
    for (const auto& row : result_.rows) column.push_back(row[c - 1].AsText());
  }
}

namespace {
bool IsIdentifierColumn(const std::string& column) {
  return column == "$COID" || column == "$COMPID" || column == "$COID_REF" || column == "$COMPID_REF" ||
         column == "$COMPID_FATHER";
}
}  // namespace

KelDMUpdate::KelDMUpdate(const KelUnicodeString& environment, const KelUnicodeString& table,
                         const KelUnicodeString& where, int, int)
    : environment_(environment), table_(table), where_(where) {}

void KelDMUpdate::SetSetClause(const KelListValKelUnicodeString& columns, const KelListValKelUnicodeString& values) {
  columns_ = columns;
  values_ = values;
}

int KelDMUpdate::Update() {
  KelDbConnection* conn = KelDMSession::Main();
  if (!conn) return kel_ier::kDbNoConnection;
  if (columns_.empty() || columns_.size() != values_.size()) return kel_ier::kDbBadStatement;
  std::string sql = "UPDATE " + QuoteHostTableName(environment_, table_) + " SET ";
  std::vector<KelDbValue> binds;
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (i) sql += ", ";
    sql += columns_[i] + " = ?";
    KelId id;
    if (IsIdentifierColumn(columns_[i]) && KelId::FromHex(values_[i], &id))
      binds.push_back(KelDbValue::Id(id));
    else
      binds.push_back(KelDbValue::Text(values_[i]));
  }
  if (!where_.empty()) sql += " WHERE " + where_;
  int rc = conn->Begin();
  if (rc != 0) return rc;
  KelDbResult result;
  rc = conn->Execute(sql, binds, &result);
  changed_ = rc == 0 ? result.changes : 0;
  return rc;
}

int KelDMZUMO::Commit(int, int) {
  KelDbConnection* conn = KelDMSession::Main();
  return conn ? conn->Commit() : kel_ier::kDbNoConnection;
}

int KelDMZUMO::RollBack(int) {
  KelDbConnection* conn = KelDMSession::Main();
  return conn ? conn->Rollback() : kel_ier::kDbNoConnection;
}
