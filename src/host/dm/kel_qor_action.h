// The host's change-management actions (KelQorAFCreateAction): a request
// addressed to a responsible person and organisation, with a text and the
// objects it concerns. Saved actions are rows of two tables of the
// environment they are saved in (kind "actions" of `mml db init`,
// docs/schema.md):
//   QOR_ACTION         one row per action
//   QOR_ACTION_OBJECT  one row per affected object, in rank order
#pragma once

#include <memory>
#include <vector>

#include "base/kel_id.h"
#include "base/kel_types.h"
#include "host/kel_dm_instance.h"

struct KelQorAFAffectedObject {
  KelUnicodeString name;  // display name
  KelUnicodeString kind;  // "Product", "Part", "Model", "Document", "Clash", "Part instance", "External file"
  KelUnicodeString uuid;  // the object's C_UUID (may be empty)
  int flag = 0;           // carried as given
  KelDMInstance instance;
};

class KelQorAFAction {
 public:
  explicit KelQorAFAction(const KelUnicodeString& type) : type_(type) {}

  const KelUnicodeString& GetType() const { return type_; }
  void SetResponsible(const KelUnicodeString& person, const KelUnicodeString& organisation) {
    person_ = person;
    organisation_ = organisation;
  }
  const KelUnicodeString& GetResponsiblePerson() const { return person_; }
  const KelUnicodeString& GetResponsibleOrganisation() const { return organisation_; }
  void SetText(const KelUnicodeString& text) { text_ = text; }
  const KelUnicodeString& GetText() const { return text_; }
  void AddAffectedObject(const KelQorAFAffectedObject& object) { objects_.push_back(object); }
  const std::vector<KelQorAFAffectedObject>& GetAffectedObjects() const { return objects_; }

  // Writes the action and its affected objects into the environment of the
  // last affected object, in one transaction of the main connection
  // (committed here; rolled back whole on failure). Returns 0 or a kel_ier
  // code. The identifier of the saved action is then GetId().
  int Save();
  const KelId& GetId() const { return id_; }

 private:
  KelUnicodeString type_;
  KelUnicodeString person_;
  KelUnicodeString organisation_;
  KelUnicodeString text_;
  std::vector<KelQorAFAffectedObject> objects_;
  KelId id_;
};

// A new, unsaved action of `type` (may be empty).
std::unique_ptr<KelQorAFAction> KelQorAFCreateAction(const KelUnicodeString& type);

// A fresh random identifier (never the zero nor the null identifier).
KelId KelDMNewIdentifier();
