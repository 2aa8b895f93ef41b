// Data-manager selects, updates and transactions on the main connection.
#pragma once

#include <vector>

#include "base/kel_types.h"
#include "host/db/kel_db_connection.h"

// A query result as columns of texts: column c (numbered from 1) holds one
// text per row. Identifiers come as upper-case hexadecimal, timestamps as
// "YYYY-MM-DD HH:MM:SS.ffffff", NULL as an empty text.
class KelDMListResultLine {
 public:
  KelDMListResultLine() = default;
  explicit KelDMListResultLine(int columns) : columns_(columns) {}

  int GetColumnCount() const { return static_cast<int>(columns_.size()); }
  // Number of rows: the length of column 1 (0 without columns).
  int GetRowCount() const { return columns_.empty() ? 0 : static_cast<int>(columns_[0].size()); }
  // Column c, 1-based. Asking past the last column adds empty columns.
  KelListValKelUnicodeString& Column(int c);
  const KelListValKelUnicodeString& Column(int c) const;
  // Row r (1-based) of column c (1-based); empty when out of range.
  KelUnicodeString Value(int r, int c) const;
  void Clear() { columns_.clear(); }

 private:
  std::vector<KelListValKelUnicodeString> columns_;
};

class KelDMSelect {
 public:
  // Runs `statement` (host notation) on the main connection. `rc` receives 0
  // or a kel_ier code. `maxRows` -1 reads every row.
  KelDMSelect(const KelUnicodeString& statement, int& rc, int maxRows = -1);

  int GetSelectCount() const { return static_cast<int>(result_.rows.size()); }
  // Fills `line` with the rows, columns in select-list order.
  void GetSelectResult(KelDMListResultLine& line) const;
  const KelDbResult& Result() const { return result_; }

 private:
  KelDbResult result_;
};

class KelDMUpdate {
 public:
  // An update of the table `table` of environment `environment` on the rows
  // that `where` (host notation) selects. The two integers are the host's
  // options and are kept as given.
  KelDMUpdate(const KelUnicodeString& environment, const KelUnicodeString& table, const KelUnicodeString& where,
              int option1 = 1, int option2 = 0);

  // Parallel lists: column names and their new values. A value that is
  // exactly 16 hexadecimal digits and whose column is an identifier column
  // ("$COID", "$COMPID", "$COID_REF", "$COMPID_REF", "$COMPID_FATHER") is
  // written as an identifier; every other value as text.
  void SetSetClause(const KelListValKelUnicodeString& columns, const KelListValKelUnicodeString& values);

  // Runs the update inside the main connection's transaction (begun when none
  // is open). Returns 0 or a kel_ier code. Commit or roll back afterwards.
  int Update();
  int64_t RowsChanged() const { return changed_; }

 private:
  KelUnicodeString environment_;
  KelUnicodeString table_;
  KelUnicodeString where_;
  KelListValKelUnicodeString columns_;
  KelListValKelUnicodeString values_;
  int64_t changed_ = 0;
};

class KelDMZUMO {
 public:
  // Commits the main connection's transaction. Returns 0 or a kel_ier code.
  static int Commit(int option1 = 1, int option2 = 1);
  static int RollBack(int option = 1);
};
