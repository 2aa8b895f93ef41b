// A cursor: one SELECT on one table of an environment, with "?" markers in its
// where clause bound in order, and output columns fetched row by row.
//
//   KelDbCursor c(conn, env, "MML_LINK");
//   c.SetWhereClause("UBIT IS NULL AND OBJECT_COID=?");
//   c.SetWhereColumn("OBJECT_COID", KelDbBinary(coid));
//   c.SetOutputColumn("ENTITY_ID_1", KelDbType::kBinary);
//   c.Open(10);
//   while (c.Fetch()) { ... c.GetHexaValue(1) ... }
//   c.Close();
//
// The statement is "SELECT <outputs> FROM $VS_<env>.<table> WHERE <where>"
// in host notation. Without output columns Open counts the rows.
#pragma once

#include <string>
#include <vector>

#include "base/kel_types.h"
#include "host/db/kel_db_connection.h"

class KelDbCursor {
 public:
  KelDbCursor(KelDbConnection* connection, const KelUnicodeString& environment, const KelUnicodeString& table);

  void SetWhereClause(const KelUnicodeString& where);
  // Binds the next marker. The column name documents the bind; the value goes
  // to the marker whatever the name.
  void SetWhereColumn(const KelUnicodeString& column, const KelDbBinary& value);
  void SetWhereColumn(const KelUnicodeString& column, const KelUnicodeString& value);
  void SetOutputColumn(const KelUnicodeString& column, KelDbType type = KelDbType::kText);

  // Runs the statement. `fetchSize` is the engine's batch hint. Returns 0 or a
  // kel_ier code; on error no row is fetched.
  int Open(int fetchSize = 10);
  // Moves to the next row: 1 when there is one, 0 at the end.
  int Fetch();
  void Close();

  // The number of rows of the opened statement.
  int GetNumberOfRows() const;

  // Values of the current row; columns numbered from 1 in SetOutputColumn order.
  KelUnicodeString GetText(int column) const;  // timestamps normalised, NULL empty
  KelDbBinary GetBinary(int column) const;
  KelUnicodeString GetHexaValue(int column) const;  // binary as upper-case hexadecimal
  bool IsNull(int column) const;

  // The statement in host notation (for traces).
  std::string Statement() const;
  const std::string& LastError() const { return error_; }

 private:
  const KelDbValue& Value(int column) const;

  KelDbConnection* connection_;
  KelUnicodeString environment_;
  KelUnicodeString table_;
  KelUnicodeString where_;
  std::vector<KelDbValue> binds_;
  std::vector<KelUnicodeString> outputs_;
  std::vector<KelDbType> outputTypes_;
  KelDbResult result_;
  int count_ = 0;
  long current_ = -1;
  bool open_ = false;
  std::string error_;
};
