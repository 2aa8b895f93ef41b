// The link database: the process-wide entity and link caches on which every
// graph expansion works, the children and parents queries that fill them from
// the three link sources, and the merge of each link reading into its cached
// link.
//
// The three sources ("hybrid"):
//   - model to model: the rows of the "$EXT" link tables;
//   - entity to entity (entity mode): "MML_LINK" rows that use an entity of
//     "MML_ENTITY", resolved to the model that owns the entity;
//   - V5 (V5 mode): the V5 product tables, through the V5 link service.
// A link found from several sources, or from both of its ends, is one cached
// link; its technology (Link::Techno) says which sources know it.
//
// Caches. Entities and links are kept in arrays whose indices are stable until
// Uncache(). Lookups go through hash indexes; each entity heads two chains
// through the link cache, the links it holds (as father) and the links that
// point to it (as child), in increasing order, so that no operation walks a
// whole cache:
//   - LocateEntity answers the first (lowest) index of an equal entity;
//   - a children answer lists the entity's father links in cache order, a
//     parents answer its child links, then sorts them by far-end name with a
//     stable sort (equal names keep cache order) unless NO_SORT_NAME is set;
//   - the model-filter verdicts are kept per (coid, compid).
//
// Settings. The link database holds none of its own: from CacheDeclarations
// on it reads those of KelLnkTools (which must have been initialised). Tests
// set them with SetDeclarationsForTest.
//
// Everything is static and single-threaded (the host's event thread or the
// batch main line).
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/kel_id.h"
#include "base/kel_short_text.h"
#include "base/kel_types.h"
#include "host/db/kel_db_connection.h"
#include "host/kel_dm_instance.h"
#include "host/kel_dm_select.h"
#include "host/kel_zumo_instance.h"
#include "linkdb/kel_lnk_packed_timestamp.h"

class KelLnkQueryContext;
class KelPSNNode;

// Link technologies (Link::Techno).
enum KelLnkTechno : int {
  MML_LINK_UNKNOWN = 0,  // read from no known table
  MML_LINK_EXT = 1,      // read from "$EXT"
  MML_LINK_ENTITY = 2,   // read from "MML_LINK"
  MML_LINK_BOTH = 3,     // read from "$EXT" and from "MML_LINK"
  MML_LINK_KELV5 = 4,    // read from "QOR_LINK"
};

// Prints the step report of a V5 result line (columns 1 to 17, one row per
// entry of column 1) on standard output.
void PrintMMLTrace(int step, const KelDMListResultLine* result);

class KelLnkHybridManager {
 public:
  // ---- Records ----

  // The environment, table, link-type and status texts of the records, each
  // kept once: a record holds their numbers. The table lives until
  // ResetState; numbers and the references Text hands out stay valid until
  // then (UncacheDatabase keeps them).
  class Names {
   public:
    // The number of `text`, given on first use.
    static uint32_t Number(std::string_view text);
    static const KelUnicodeString& Text(uint32_t number);
  };

  // A list of UUID texts that costs one pointer while empty, as most are.
  class UuidList {
   public:
    UuidList() = default;
    UuidList(const UuidList& other) { *this = other; }
    UuidList& operator=(const UuidList& other);
    UuidList(UuidList&&) noexcept = default;
    UuidList& operator=(UuidList&&) noexcept = default;
    ~UuidList() = default;

    const KelListValKelUnicodeString& List() const;
    void Assign(const KelListValKelUnicodeString& list);
    void Append(const KelUnicodeString& uuid);

   private:
    std::unique_ptr<KelListValKelUnicodeString> list_;  // null while empty
  };

  // A database object that appeared at one end of a link.
  class Entity {
   public:
    // Copies every argument (the Zumo instance into a private copy; null
    // stays null) and starts with no UUID.
    Entity(std::string_view caenv, std::string_view kelab, const KelId& coid, const KelId& compid,
           const KelZumoInstance* zumo = nullptr, KelPSNNode* node = nullptr, int iPres = 0);
    // Same, identifiers carried in doubles.
    Entity(std::string_view caenv, std::string_view kelab, double coid, double compid,
           const KelZumoInstance* zumo = nullptr, KelPSNNode* node = nullptr, int iPres = 0);
    // Names given as their numbers in Names; no product instance.
    Entity(uint32_t caenv, uint32_t kelab, const KelId& coid, const KelId& compid)
        : coid(coid), compid(compid), caenv_(caenv), kelab_(kelab) {}
    // A full copy, UUIDs included.
    Entity(const Entity& other);
    // Copies caenv, kelab, coid, compid, Node and iPres and gives this record
    // a fresh copy of the other's Zumo instance; Uuids stay as they are.
    Entity& operator=(const Entity& other);
    ~Entity() = default;

    // Same object: caenv, kelab, coid and compid equal, and both without Zumo
    // instance or both with equal ones. Uuids, Node and iPres take no part.
    bool SameObject(const Entity& other) const;
    // Same caenv, kelab, coid and compid.
    bool SameIdentity(const Entity& other) const {
      return coid == other.coid && compid == other.compid && caenv_ == other.caenv_ && kelab_ == other.kelab_;
    }

    const KelUnicodeString& caenv() const { return Names::Text(caenv_); }  // environment
    const KelUnicodeString& kelab() const { return Names::Text(kelab_); }  // table
    uint32_t CaenvNumber() const { return caenv_; }                        // in Names
    uint32_t KelabNumber() const { return kelab_; }
    // UUIDs of the entities through which the object was reached (the
    // hexadecimal texts of ENTITY_ID_1 and ENTITY_ID_2 joined). Filled only on
    // cached records.
    const KelListValKelUnicodeString& Uuids() const { return uuids_.List(); }
    void SetUuids(const KelListValKelUnicodeString& uuids) { uuids_.Assign(uuids); }
    void AddUuid(const KelUnicodeString& uuid) { uuids_.Append(uuid); }
    // The record's own copy of the product instance, or null.
    const KelZumoInstance* ZumoInstance() const { return rare_ ? rare_->zumo.get() : nullptr; }
    KelZumoInstance* ZumoInstance() { return rare_ ? rare_->zumo.get() : nullptr; }
    // Gives the record its own copy of `zumo` (null: none).
    void SetZumoInstance(const KelZumoInstance* zumo);
    KelPSNNode* Node() const { return rare_ ? rare_->node : nullptr; }  // not owned
    void SetNode(KelPSNNode* node);
    int iPres() const { return rare_ ? rare_->iPres : 0; }  // carried along; callers pass 0
    void SetIPres(int iPres);

    KelId coid;
    KelId compid;

   private:
    // What only product-structure readings carry.
    struct Rare {
      std::unique_ptr<KelZumoInstance> zumo;
      KelPSNNode* node = nullptr;
      int iPres = 0;
    };
    Rare& RareData();

    uint32_t caenv_;
    uint32_t kelab_;
    UuidList uuids_;
    std::unique_ptr<Rare> rare_;  // null while all of it is empty
  };

  // A link from a father (the pointing object) to a child (the pointed one),
  // both given by their entity-cache indices.
  class Link {
   public:
    Link(int fatherIndex, int childIndex, std::string_view env, std::string_view table, const KelId& coid,
         const KelId& compid, std::string_view type, std::string_view timestamp, std::string_view status);
    // Names given as their numbers in Names.
    Link(int fatherIndex, int childIndex, uint32_t env, uint32_t table, const KelId& coid, const KelId& compid,
         uint32_t type, const KelLnkPackedTimestamp& timestamp, uint32_t status)
        : FatherIndex(fatherIndex),
          ChildIndex(childIndex),
          Coid(coid),
          Compid(compid),
          Timestamp(timestamp),
          env_(env),
          table_(table),
          type_(type),
          status_(status) {}

    // Environment recorded with the link (the link row's).
    const KelUnicodeString& Env() const { return Names::Text(env_); }
    // "$EXT", "MML_LINK" or "QOR_LINK".
    const KelUnicodeString& Table() const { return Names::Text(table_); }
    void SetTable(std::string_view table) { table_ = Names::Number(table); }
    const KelUnicodeString& Type() const { return Names::Text(type_); }      // link type
    uint32_t TypeNumber() const { return type_; }                            // in Names
    const KelUnicodeString& Status() const { return Names::Text(status_); }  // link status
    // Entity UUIDs of a link to a placeholder child.
    const KelListValKelUnicodeString& Uuids() const { return uuids_.List(); }
    void AddUuid(const KelUnicodeString& uuid) { uuids_.Append(uuid); }
    void ClearUuids() { uuids_ = UuidList(); }

    int FatherIndex;
    int ChildIndex;
    KelId Coid;              // the link row holder's coid
    KelId Compid;            // the link row holder's compid
    KelLnkPackedTimestamp Timestamp;  // normalised link timestamp
    int UpToDate = 0;        // 1 when in step with the child
    int Techno = MML_LINK_UNKNOWN;

   private:
    uint32_t env_;
    uint32_t table_;
    uint32_t type_;
    uint32_t status_;
    UuidList uuids_;
  };

  // ---- Settings snapshot and connections ----

  // From now on reads the settings of KelLnkTools.
  static void CacheDeclarations();
  // Opens the connections on first use (and follows the host session when it
  // was reopened since).
  static void Connection();

  // ---- Caches ----

  static void Uncache();
  // Empties the entity, link and filter caches and the read marks; the
  // snapshot, the connections and the owner name stay. Indices and arrays
  // handed out before become invalid.
  static void UncacheDatabase();

  static int GetNbEntities();
  static int GetNbLinks();
  // A new array of GetNbEntities() pointers into the entity cache, in cache
  // order (the caller deletes the array, never the records).
  static void GetStoredEntities(Entity*** entities);
  // The cached record at `index` (no check: the index must come from the
  // cache since the last clear).
  static Entity* GetEntity(int index);
  static Link* GetLink(int index);

  // Index of the first cached entity equal to `e` (Entity::SameObject); when
  // there is none: -1 if `create` is 0, else the index of a new cached copy
  // (with no UUID).
  static int LocateEntity(const Entity& e, int create);
  // Asks the processor for the index slot where LocateEntity starts looking
  // for the object: the far ends of an object's links are asked for before
  // they are located, and their memory reads overlap.
  static void PrefetchEntity(uint32_t environment, uint32_t table, const KelId& coid, const KelId& compid);
  // Appends `uuid` to the UUIDs of a cached entity / link (no duplicate check).
  static void SetEntityUuid(const KelUnicodeString& uuid, int index);
  static void SetLinkUuid(const KelUnicodeString& uuid, int index);
  // The entry of a cached entity's object in the data manager's cache
  // (KelLnkDataManager::LocateObject), looked up once per entity.
  static int FactEntry(int index);

  // ---- Queries ----

  // The links by which `e` points to other objects (its children), or by
  // which other objects point to it (its parents). The first call for an
  // object and direction reads the database; later calls answer from the
  // caches. `links` and `entities` become new arrays of `count` pointers into
  // the caches (null when count is 0): entry k is a link and its far end.
  // `window` (may be null) gives the link-type pattern and the
  // product-structure context.
  static void GetChildren(const Entity& e, int& count, Link*** links, Entity*** entities, KelLnkQueryContext* window);
  static void GetParents(const Entity& e, int& count, Link*** links, Entity*** entities, KelLnkQueryContext* window);
  // The same answer for the cached entity at `index` (children when
  // `children`, else parents), as the cache indices of the links in answer
  // order; the far end of link k is its ChildIndex (children) or FatherIndex
  // (parents). Unlike the record pointers above, which a later reading may
  // move, indices stay valid until the caches are cleared.
  static void AnswerLinks(int index, bool children, std::vector<int>& links, KelLnkQueryContext* window);

  // V5 links of the object `e` (cache index `index`): the new service when
  // the new-code setting is on, else the older queries.
  static void GetChildrenMML_V5(const Entity& e, int index, KelLnkQueryContext* window);
  static void GetParentsMML_V5(const Entity& e, int index, KelLnkQueryContext* window);
  // `impactType` 1 children, 0 parents.
  static void MML_V5Objects(int impactType, const Entity& e, int index, KelLnkQueryContext* window);
  static void OLD_GetChildrenMML_V5(const Entity& e, int index, KelLnkQueryContext* window);
  static void OLD_GetParentsMML_V5(const Entity& e, int index, KelLnkQueryContext* window);

  // ---- Link update, validity and model filter ----

  // Creates the cached link for the reading `link` or merges the reading into
  // the cached link of the same identity (father, child, type). `childTs` is
  // the child's normalised timestamp, `validity` -1 for a reference link, 0
  // for a valid instance link, other values for an instance link that is not
  // valid; `v5Status` "OK" when the V5 service found the link in step.
  // Returns the index of the cached link.
  static int LocateAndUpdateLink(const Link& link, const KelUnicodeString& childTs, int validity,
                                 const KelUnicodeString& v5Status);
  // 1 keeps the object, 0 rejects it, by the revision and maturity filters;
  // verdicts are cached per (coid, compid) until the caches are cleared.
  static int FilterModel(const KelDMInstance& instance);
  // The same verdict, computed without the cache.
  static int ComputeFilterModel(const KelDMInstance& instance);
  // The validity of an instance link in the window's product-structure graph:
  // `status` becomes 0 valid, 1 not valid, 2 unknown, or -1 when the graph
  // cannot compute it; it is left alone when the node cannot be found.
  static void GetValidityOnLink(KelRawColldouble& path, KelRawColldouble& validity, int& status,
                                KelLnkQueryContext* window);

  // ---- Tests ----

  // The settings a test wants, set in KelLnkTools instead of read from a
  // profile.
  struct Declarations {
    int filterRevision = 0;
    int filterMaturity = 0;
    int filterMaturityMin = 0;
    int filterMaturityNullOK = 0;
    int entityToEntity = 0;
    int linkTechno = 0;
    int noSortName = 0;
    int linkType = 0;
    int mmlV5 = 0;
    int releaseValidity = 0;
    int dbgMMLV5 = 0;
    int newMMLV5 = 0;
    int solveMMLV5 = 0;
    int dbgExpand = 0;
  };
  // Sets the settings (and marks them taken) without reading a profile.
  static void SetDeclarationsForTest(const Declarations& declarations);
  // Back to the state at load time: caches empty, settings not taken, no
  // connection, no owner name.
  static void ResetState();

  // ---- Settings and state, read only ----

  // The settings of KelLnkTools as the link database reads them: all 0 until
  // CacheDeclarations (or SetDeclarationsForTest), flags 0 or 1. The debug
  // switches of the entity lookup and of the V5 queries count only in V5 mode.
  static int FilterRevision();
  static int FilterMaturity();
  static int FilterMaturityMin();
  static int FilterMaturityNullOK();
  static int EntityToEntity();
  static int LinkTechno();
  static int NoSortName();
  static int LinkType();
  static int MMLV5();
  static int ReleaseValidity();
  static int DbgMMLV5();
  static int NewMMLV5();
  static int SolveMMLV5();
  static int DbgExpand();

  static KelDbConnection* LinkConnection();     // link queries (the session's)
  static KelDbConnection* ProductConnection();  // the "PRODUCT" environment (V5)
  static const KelUnicodeString& V5Owner();     // owner name of the V5 links
  // The model-filter verdicts in order of computation (until the caches are
  // cleared).
  static const KelRawCollint& FilterVerdicts();

 private:
  // The one walk behind GetChildren (`children` true) and GetParents: reads
  // the object's links in that direction on first call, then answers.
  static void Walk(const Entity& e, bool children, int& count, Link*** links, Entity*** entities,
                   KelLnkQueryContext* window);
  // Reads the links of `e` in that direction on first call; the cache index
  // of `e` (-1 when it is not cached). `known` is that index when the caller
  // has it.
  static int Walk(const Entity& e, bool children, KelLnkQueryContext* window, int known = -1);
  // The answer of a query: the father links (children) or the child links
  // (parents) of entity `index`, ordered by far-end name, into `ordered`;
  // none for -1.
  static void Ordered(int index, bool children, std::vector<int>& ordered);
  // Marks the children (or parents) of entity `index` read; false when they
  // were already.
  static bool MarkRead(int index, bool children);
  // Appends the indices of the links whose father (or child) is entity
  // `index`, increasing.
  static void LinksOf(int index, bool asFather, std::vector<int>& out);
  // Index of the cached link with this identity, -1 when none.
  static int FindLink(int fatherIndex, int childIndex, uint32_t type);
  // Asks the processor for what making the link from `fatherIndex` to
  // `childIndex` reads: its link-index slot, the child's last link and the
  // child's facts.
  static void PrefetchLink(int fatherIndex, int childIndex, uint32_t type);
  // Appends a copy of `link` to the link cache and returns its index.
  static int AppendLink(Link&& link);
  // The cached verdict of (coid, compid), -1 when none.
  static int FindFilterVerdict(const KelId& coid, const KelId& compid);
  static void AppendFilterVerdict(const KelId& coid, const KelId& compid, int verdict);
};
