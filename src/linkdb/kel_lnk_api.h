// The impact query interface offered to other modules: which objects an
// object impacts or is impacted by, which links join two objects, how many
// entities an object publishes, and deletion of an object's links.
//
// It reads the link tables directly through its own connection (the module
// connection, see Connection below), without the caches or the settings of
// the link database; every call reads the database afresh. Arrays returned
// are owned by the caller (delete[]); a count of 0 comes with a null array.
//
// Objects are named by ObjID (environment, table, coid, compid). Blanks around
// the environment and the table of the object asked about are ignored. The
// objects answered carry the environment they were found in and their table
// without trailing blanks; each object is listed once, in order of discovery.
//
// Which environments are searched: those holding "$EXT" (kind 1) for
// model-to-model links, those holding MML_ENTITY and MML_LINK (kind 2) for
// entity links (KelDMLnkTools::ComputeRelationEnvironments). An environment
// outside the relevant list contributes nothing; without a module connection
// the queries find nothing.
#pragma once

#include "base/kel_types.h"
#include "host/kel_dm_instance.h"

// Makes sure the module connection is open: a connection named "PRODUCT" on
// the database of the host session, opened on first use. It follows the
// session: when the session was reopened (possibly on another database) or
// closed since the connection was made, the old connection is dropped and a
// new one made. When the database cannot be reached, the host's text is
// written on standard error (code 0x20003; other host errors are dismissed),
// no connection is kept and the next call tries again.
void Connection();

class KelLnkAPI {
 public:
  // The objects that point to `object` (its parents): the objects impacted by
  // it. Users of one of its live entities (UBIT NULL) in every entity
  // environment, when its own environment holds entities; then the fathers of
  // the "$EXT" rows that reference it, in every link environment.
  static ObjID* GetImpactedBy(const ObjID& object, int& count, int unused = 0);
  // The objects that `object` points to (its children): the objects impacting
  // on it. Owners of the live entities its live MML_LINK rows use, in every
  // entity environment, when its environment holds entities; then the objects
  // its "$EXT" rows reference, when its environment holds links.
  static ObjID* GetImpactingOn(const ObjID& object, int& count);
  // The links by which `a` points to `b`: one type and one flag per link
  // (bit 0 up to date, bit 1 entity link), reduced by `mode`:
  //   1 all links as found (entity links first, then "$EXT" rows);
  //   2 one entry per distinct type in order of first appearance, flag 1 when
  //     all its links are up to date, else 0 (bit 1 dropped);
  //   3 one entry with an empty type, flag 1 when every link is up to date
  //     (also when there is none), else 0;
  //   other: no entry.
  // A link is up to date when its timestamp equals, to the second, the
  // timestamp of what it points to (the entity's TS, or b's C_LASTMOD); a
  // missing timestamp on either side never counts as up to date. `types` and
  // `flags` are replaced. Returns -1.
  static int GetLinksBetween(const ObjID& a, const ObjID& b, KelListValKelUnicodeString& types, KelRawCollint& flags,
                             int mode);
  // Number of MML_ENTITY rows of the object, whatever their UBIT; 0 when its
  // environment holds no entities or there is no module connection.
  static int GetEntityCount(const ObjID& object);

  // The host operations of the same name on the object's instance; they work
  // through the session's main connection. Each answers what the host answers:
  // DeleteLinks and DeleteEntities 0 or a kel_ier code (all rows deleted or
  // none), IsPointedModel and IsPointedPart 1 when a link or an entity use
  // points to the object, else 0 (`text` receives the first pointer found as
  // "<env> <table> <coid> <compid>", empty when none).
  static int DeleteLinks(const ObjID& object);
  static int DeleteEntities(const ObjID& object);
  static int IsPointedModel(const ObjID& object);
  static int IsPointedPart(const ObjID& object, KelUnicodeString& text);

  // Environments holding "$EXT" (kind 1) or the entity tables (kind 2), as the
  // host lists them; with `filtered` non-zero only those listed by the host's
  // first result panel (KelLnkTools::GetListeFiltered; none while there is no
  // panel).
  static KelListValKelUnicodeString ComputeRelationEnvironments(int kind, int filtered);
};
