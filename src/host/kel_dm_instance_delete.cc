// Deletion of a link row held by an object.
#include "host/db/host_sql.h"
#include "host/db/kel_db_connection.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/kel_dm_instance.h"
#include "host/kel_dm_session.h"

int KelDMInstance::DeleteChild(const KelDMInstance& child, const KelUnicodeString& linkLabel,
                               const KelUnicodeString& /*effectivity*/, const KelUnicodeString& /*text*/,
                               int /*option1*/, int /*option2*/) const {
  KelDbConnection* conn = KelDMSession::Main();
  if (!conn) return kel_ier::kDbNoConnection;
  const std::string sql = "DELETE FROM " + QuoteHostTableName(GetEnvironment(), "$EXT") +
                          " WHERE $COID = ? AND $COMPID_FATHER = ? AND $COID_REF = ? AND $COMPID_REF = ? AND $TYPE = ?";
  const std::vector<KelDbValue> binds = {KelDbValue::Id(coid_), KelDbValue::Id(compid_), KelDbValue::Id(child.coid_),
                                         KelDbValue::Id(child.compid_), KelDbValue::Text(linkLabel)};
  int rc = conn->Begin();
  if (rc != 0) return rc;
  KelDbResult result;
  rc = conn->Execute(sql, binds, &result);
  if (rc != 0) return rc;
  return result.changes > 0 ? 0 : kel_ier::kInstanceNotFound;
}
