// The model server's change of model UUIDs.
//
// A model's UUID is its C_UUID text, a UUID written as 32 hexadecimal digits
// in the groups 8-4-4-4-12. The same 32 digits, as two 8-byte identifiers,
// are the identification (ENTITY_ID_1, ENTITY_ID_2) of the entity the model
// publishes in MML_ENTITY, and what the MML_LINK rows of the models that use
// it point to (docs/schema.md).
#pragma once

#include "base/kel_types.h"
#include "host/kel_dm_instance.h"

// Gives each model of `models` a fresh random UUID (version 4), in the main
// connection's transaction (begun when none is open; the caller commits, or
// rolls back on a non-zero answer):
//   - the model's C_UUID becomes the new UUID;
//   - when the old UUID reads as 32 hexadecimal digits: the model's own
//     MML_ENTITY rows with the old identification, and the MML_LINK rows of
//     every environment that point to it, take the new identification.
// `newUuids` (may be null) receives the new UUIDs in model order. Returns 0 or
// the code of the first failing statement (kel_ier::kInstanceNotFound for a
// model without a row).
int NewUUIDInBatch(const KelListValKelDMInstance& models, KelListValKelUnicodeString* newUuids);

// A random version-4 UUID in lower case, "xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx".
KelUnicodeString KelDMNewUuidText();
