// The object data manager: what the module knows about a database object named
// by (environment, table, coid, compid).
//
// Every fact (existence, timestamp, name, locks, identification values, latest
// revision) is read from the database at most once and kept in a
// process-wide object cache until Uncache(). Entries are found by key through
// a hash index; an entry keeps its index until Uncache(). Identifiers are
// compared byte for byte (KelId): two identifiers whose bytes read as -0.0 and
// 0.0 are different objects, and one whose bytes read as a NaN finds itself.
//
// All members are static. The identifiers come either as KelId or in the
// host's double carrier (the identifier's 8 bytes in a double).
//
// Timestamps are normalised: the text read loses its last six characters,
// which become "000000" (a text shorter than six characters is kept whole;
// an empty text stays empty).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/kel_id.h"
#include "base/kel_object_key.h"
#include "base/kel_types.h"
#include "host/kel_dm_instance.h"

class KelLnkDataManager {
 public:
  // ---- Cache entries ----

  // Index of the entry of the object; when absent and `create` is non-zero a
  // new entry (nothing known) is appended and its index returned; when absent
  // and `create` is 0, -1.
  static int LocateObject(const KelUnicodeString& environment, const KelUnicodeString& table, double coid,
                          double compid, int create);
  static int LocateObject(const KelUnicodeString& environment, const KelUnicodeString& table, const KelId& coid,
                          const KelId& compid, int create);
  static int LocateObject(const KelDMInstance& instance, int create);
  // Asks the processor for an entry's facts.
  static void PrefetchAt(int entry);
  // Asks the processor for the index slot where LocateObject starts looking.
  static void PrefetchObject(const KelUnicodeString& environment, const KelUnicodeString& table, const KelId& coid,
                             const KelId& compid);
  // Number of entries in the object cache.
  static int ObjectCount();
  // Changes whenever the entry indices handed out before become void
  // (Uncache), so that a caller may keep them while it stays the same.
  static uint64_t Generation();

  // ---- Facts read from the database (once per object) ----

  // 1 when the object exists, else 0. A failing query reads as 0.
  static int DoesObjectExist(const KelUnicodeString& environment, const KelUnicodeString& table, double coid,
                             double compid);
  static int DoesObjectExist(const KelUnicodeString& environment, const KelUnicodeString& table, const KelId& coid,
                             const KelId& compid);

  // The normalised C_LASTMOD of the object; empty when it cannot be read.
  static KelUnicodeString GetObjectTimestamp(const KelUnicodeString& environment, const KelUnicodeString& table,
                                             double coid, double compid);
  static KelUnicodeString GetObjectTimestamp(const KelUnicodeString& environment, const KelUnicodeString& table,
                                             const KelId& coid, const KelId& compid);

  // The display name (C_ID and C_REVISION joined by " ** "); "(?)" when the
  // object does not exist or its name cannot be read.
  static KelUnicodeString GetObjectName(const KelUnicodeString& environment, const KelUnicodeString& table, double coid,
                                        double compid);
  static KelUnicodeString GetObjectName(const KelUnicodeString& environment, const KelUnicodeString& table,
                                        const KelId& coid, const KelId& compid);
  static KelUnicodeString GetInstanceName(const KelDMInstance& instance);

  // The lock lines: "NO LOCK" when the object has no lock, else one line
  // "LOCK <$LOCKTYPE> <C_RESPONSIBLE>" per lock.
  static KelListValKelUnicodeString GetObjectLockS(const KelUnicodeString& environment, const KelUnicodeString& table,
                                                   double coid, double compid);
  static KelListValKelUnicodeString GetObjectLockS(const KelUnicodeString& environment, const KelUnicodeString& table,
                                                   const KelId& coid, const KelId& compid);

  // The identification field names of a table: the columns that the
  // product-structure profile "$MML_GRAPH_NAVIG" declares for
  // "<environment>.<table>" (trailing blanks of the declared name ignored);
  // empty when it declares none. Cached per (environment, table).
  static KelListValKelUnicodeString GetIdentificatorFields(const KelUnicodeString& environment,
                                                           const KelUnicodeString& table);

  // The values of the identification fields, blanks stripped, each cut to
  // `maxLength` characters unless it is -1. The single value "(?)" when the
  // table has no identification fields, the object does not exist or the
  // values cannot be read. The values are read once; the cut is applied to
  // each answer.
  static KelListValKelUnicodeString GetObjectIdentificators(const KelUnicodeString& environment,
                                                            const KelUnicodeString& table, double coid, double compid,
                                                            int maxLength);
  static KelListValKelUnicodeString GetObjectIdentificators(const KelUnicodeString& environment,
                                                            const KelUnicodeString& table, const KelId& coid,
                                                            const KelId& compid, int maxLength);

  // Latest revision. An object that does not exist, or whose last revision
  // cannot be read, counts as its own latest revision.
  // 1 when the object is its own latest revision, else 0.
  static int IsObjectLatest(const KelUnicodeString& environment, const KelUnicodeString& table, double coid,
                            double compid);
  static int IsObjectLatest(const KelUnicodeString& environment, const KelUnicodeString& table, const KelId& coid,
                            const KelId& compid);
  // The instance ("KELCON") of the latest revision (the object itself when latest).
  static KelDMInstance GetObjectLatestInstance(const KelUnicodeString& environment, const KelUnicodeString& table,
                                               double coid, double compid);
  static KelDMInstance GetObjectLatestInstance(const KelUnicodeString& environment, const KelUnicodeString& table,
                                               const KelId& coid, const KelId& compid);
  // The normalised timestamp of the latest revision.
  static KelUnicodeString GetObjectLatestTimestamp(const KelUnicodeString& environment, const KelUnicodeString& table,
                                                   double coid, double compid);
  static KelUnicodeString GetObjectLatestTimestamp(const KelUnicodeString& environment, const KelUnicodeString& table,
                                                   const KelId& coid, const KelId& compid);

  // Reads in a few statements (one per table and per few hundred objects) what
  // GetObjectTimestamp, DoesObjectExist and GetObjectName would read one
  // object at a time, for those of `objects` whose timestamp or name is not
  // known yet; the later calls answer from the cache. Objects of the entity
  // table, and objects of a table that cannot be read this way, are left to
  // those calls. `walked` is how many objects the walk asking has taken
  // from tables read whole: a walk that large reads the object tables whole
  // too, rather than a few objects at a time (kel_lnk_whole_table.h).
  using ObjectRef = ObjectKey;
  static void ReadFacts(const std::vector<ObjectRef>& objects, size_t walked = 0);
  // The same for cache entries (LocateObject's indices).
  static void ReadFactsAt(const std::vector<int>& entries, size_t walked = 0);
  // GetObjectTimestamp of the object of a cache entry, into `text`, whose
  // storage is reused; GetObjectName of it, whose view holds until the
  // object's facts are forgotten.
  static void AssignObjectTimestampAt(int entry, std::string& text);
  static std::string_view GetObjectNameAt(int entry);

  // ---- Free per-object attributes (kept until Uncache) ----

  // Stores `value` under `name` (replacing an earlier value).
  static void SetObjectAttribute(const KelUnicodeString& environment, const KelUnicodeString& table, double coid,
                                 double compid, const KelUnicodeString& name, const KelUnicodeString& value);
  static void SetObjectAttribute(const KelUnicodeString& environment, const KelUnicodeString& table, const KelId& coid,
                                 const KelId& compid, const KelUnicodeString& name, const KelUnicodeString& value);
  // The value stored under `name`; empty when none was stored. Creates no entry.
  static KelUnicodeString GetObjectAttribute(const KelUnicodeString& environment, const KelUnicodeString& table,
                                             double coid, double compid, const KelUnicodeString& name);
  static KelUnicodeString GetObjectAttribute(const KelUnicodeString& environment, const KelUnicodeString& table,
                                             const KelId& coid, const KelId& compid, const KelUnicodeString& name);

  // The host instance ("KELCON", environment, table, coid, compid).
  static KelDMInstance GetObjectInstance(const KelUnicodeString& environment, const KelUnicodeString& table,
                                         double coid, double compid);
  static KelDMInstance GetObjectInstance(const KelUnicodeString& environment, const KelUnicodeString& table,
                                         const KelId& coid, const KelId& compid);

  // ---- Clearing ----

  // Empties the object cache and the table cache; indices handed out before
  // are invalid afterwards. The structure list is kept.
  static void Uncache();
  // Forgets the facts read from the database for one object (they are read
  // again at the next request); its index and its attributes stay.
  static void UncacheInstance(const KelDMInstance& instance);

  // ---- Helpers ----

  // A timestamp text as the module compares it: the last six characters
  // replaced by "000000". A text shorter than six characters is kept whole;
  // an empty text stays empty.
  static KelUnicodeString NormaliseTimestamp(const KelUnicodeString& text);

  // ---- The current product structure ----

  // 1 when an instance equal to `instance` (KelDMInstance ==) is in the list.
  static int IsInStructure(const KelDMInstance& instance);
  static const KelListValKelDMInstance& GetStructure();
  static void ClearStructure();
  static void AddToStructure(const KelDMInstance& instance);
};
