#include "host/dm/kel_qor_action.h"

#include <random>

#include "host/db/host_sql.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/kel_dm_session.h"
#include "host/profile/kel_dm_context.h"

KelId KelDMNewIdentifier() {
  static std::mt19937_64 generator{std::random_device{}()};
  for (;;) {
    const uint64_t value = generator();
    std::array<uint8_t, 8> bytes{};
    for (int i = 0; i < 8; ++i) bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * (7 - i)));
    KelId id(bytes);
    if (!id.IsZero() && id != KelId::Null()) return id;
  }
}

std::unique_ptr<KelQorAFAction> KelQorAFCreateAction(const KelUnicodeString& type) {
  return std::make_unique<KelQorAFAction>(type);
}

int KelQorAFAction::Save() {
  KelDbConnection* connection = KelDMSession::Main();
  if (connection == nullptr) return kel_ier::kDbNoConnection;
  if (objects_.empty()) return kel_ier::kInstanceNotFound;
  const std::string environment = objects_.back().instance.GetEnvironment();
  const KelId id = KelDMNewIdentifier();
  int rc = connection->Begin();
  if (rc != 0) return rc;
  rc = connection->Execute(
      "INSERT INTO " + QuoteHostTableName(environment, "QOR_ACTION") +
          " (ACTION_ID, ACTION_TYPE, TEXT, RESPONSIBLE, ORGANISATION, CREATOR) VALUES "
          "(?, ?, ?, ?, ?, ?)",
      {KelDbValue::Id(id), KelDbValue::Text(type_), KelDbValue::Text(text_), KelDbValue::Text(person_),
       KelDbValue::Text(organisation_), KelDbValue::Text(KelDMContext::CurrentUser())},
      nullptr);
  for (size_t k = 0; rc == 0 && k < objects_.size(); ++k) {
    const KelQorAFAffectedObject& o = objects_[k];
    rc = connection->Execute(
        "INSERT INTO " + QuoteHostTableName(environment, "QOR_ACTION_OBJECT") +
            " (ACTION_ID, RANK, NAME, KIND, UUID, FLAG, OBJECT_ENV, OBJECT_KELAB, OBJECT_COID, OBJECT_COMPID) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {KelDbValue::Id(id), KelDbValue::Integer(static_cast<int64_t>(k + 1)), KelDbValue::Text(o.name),
         KelDbValue::Text(o.kind), KelDbValue::Text(o.uuid), KelDbValue::Integer(o.flag),
         KelDbValue::Text(o.instance.GetEnvironment()), KelDbValue::Text(o.instance.GetTable()),
         KelDbValue::Id(o.instance.Coid()), KelDbValue::Id(o.instance.Compid())},
        nullptr);
  }
  if (rc == 0) rc = connection->Commit();
  if (rc != 0) {
    connection->Rollback();
    return rc;
  }
  id_ = id;
  return 0;
}
