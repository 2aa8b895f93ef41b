#include "host/dm/kel_dm_uuid.h"

#include <cctype>
#include <random>
#include <string>
#include <vector>

#include "base/kel_id.h"
#include "host/db/host_sql.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/kel_dm_session.h"
#include "host/kel_psn_trace.h"

namespace {

// The 32 hexadecimal digits of a UUID text split into two identifiers; false
// when the text holds anything else than 32 digits and dashes.
bool UuidIdentifiers(const std::string& uuid, KelId* first, KelId* second) {
  std::string digits;
  for (char c : uuid) {
    if (c == '-') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    digits.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  return digits.size() == 32 && KelId::FromHex(digits.substr(0, 16), first) &&
         KelId::FromHex(digits.substr(16), second);
}

// Environments holding a table named `table`.
std::vector<std::string> EnvironmentsWith(KelDbConnection* connection, const std::string& table) {
  std::vector<std::string> names;
  std::vector<std::string> environments;
  if (connection->ListTables(&names) != 0) return environments;
  const std::string suffix = "." + table;
  for (const std::string& name : names) {
    if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
      environments.push_back(name.substr(0, name.size() - suffix.size()));
    }
  }
  return environments;
}

std::string TrimmedRight(const std::string& s) {
  size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return s.substr(0, n);
}

}  // namespace

KelUnicodeString KelDMNewUuidText() {
  static std::mt19937_64 generator{std::random_device{}()};
  uint64_t high = generator();
  uint64_t low = generator();
  high = (high & ~0xF000ULL) | 0x4000ULL;                       // version 4
  low = (low & 0x3FFFFFFFFFFFFFFFULL) | 0x8000000000000000ULL;  // variant 10
  char text[40];
  std::snprintf(text, sizeof text, "%08llx-%04llx-%04llx-%04llx-%012llx", static_cast<unsigned long long>(high >> 32),
                static_cast<unsigned long long>((high >> 16) & 0xFFFF), static_cast<unsigned long long>(high & 0xFFFF),
                static_cast<unsigned long long>(low >> 48), static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFULL));
  return text;
}

int NewUUIDInBatch(const KelListValKelDMInstance& models, KelListValKelUnicodeString* newUuids) {
  MML_TRACE("NewUUIDInBatch");
  KelDbConnection* connection = KelDMSession::Main();
  if (connection == nullptr) return kel_ier::kDbNoConnection;
  int rc = connection->Begin();
  if (rc != 0) return rc;
  if (newUuids != nullptr) newUuids->clear();
  const std::vector<std::string> linkEnvironments = EnvironmentsWith(connection, "MML_LINK");
  for (const KelDMInstance& model : models) {
    const std::string table = QuoteHostTableName(model.GetEnvironment(), TrimmedRight(model.GetTable()));
    const std::vector<KelDbValue> identity = {KelDbValue::Id(model.Coid()), KelDbValue::Id(model.Compid())};
    KelDbResult result;
    rc = connection->Execute("SELECT C_UUID FROM " + table + " WHERE $COID=? AND $COMPID=?", identity, &result);
    if (rc != 0) return rc;
    if (result.rows.empty()) return kel_ier::kInstanceNotFound;
    const std::string oldUuid = result.rows[0][0].IsNull() ? std::string() : result.rows[0][0].AsText();
    const std::string newUuid = KelDMNewUuidText();
    rc = connection->Execute("UPDATE " + table + " SET C_UUID=? WHERE $COID=? AND $COMPID=?",
                             {KelDbValue::Text(newUuid), identity[0], identity[1]}, nullptr);
    if (rc != 0) return rc;
    KelId old1, old2, new1, new2;
    if (UuidIdentifiers(oldUuid, &old1, &old2) && UuidIdentifiers(newUuid, &new1, &new2)) {
      const std::vector<KelDbValue> change = {KelDbValue::Id(new1), KelDbValue::Id(new2), KelDbValue::Id(old1),
                                              KelDbValue::Id(old2)};
      for (const std::string& environment : EnvironmentsWith(connection, "MML_ENTITY")) {
        if (environment != model.GetEnvironment()) continue;
        std::vector<KelDbValue> binds = change;
        binds.push_back(identity[0]);
        binds.push_back(identity[1]);
        rc = connection->Execute("UPDATE " + QuoteHostTableName(environment, "MML_ENTITY") +
                                     " SET ENTITY_ID_1=?, ENTITY_ID_2=? WHERE ENTITY_ID_1=? AND ENTITY_ID_2=? "
                                     "AND OBJECT_COID=? AND OBJECT_COMPID=?",
                                 binds, nullptr);
        if (rc != 0) return rc;
      }
      for (const std::string& environment : linkEnvironments) {
        rc = connection->Execute("UPDATE " + QuoteHostTableName(environment, "MML_LINK") +
                                     " SET ENTITY_ID_1=?, ENTITY_ID_2=? WHERE ENTITY_ID_1=? AND ENTITY_ID_2=?",
                                 change, nullptr);
        if (rc != 0) return rc;
      }
    }
    if (newUuids != nullptr) newUuids->push_back(newUuid);
  }
  return 0;
}
