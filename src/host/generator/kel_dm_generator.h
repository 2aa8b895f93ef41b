// A synthetic product database shaped like a real one, for benchmarks and
// load tests: models in layers that point to models of lower layers through
// "$EXT" links and through entities, parts and documents below them, older
// revisions, stale links and a few links to missing objects.
//
// The same options and seed give the same rows on every engine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/db/kel_db_connection.h"

struct KelDMGeneratorOptions {
  int64_t objects = 10000;  // rows in the object tables, older revisions included
  uint64_t seed = 1;
  int fanout = 3;               // links leaving a model that is not a leaf
  double entityShare = 0.3;     // share of links made through entities
  double staleShare = 0.1;      // share of links older than the object they point to
  double revisionShare = 0.1;   // share of models that also have an older revision
  int environments = 2;         // environments GEN1, GEN2, ...
  double missingShare = 0.001;  // share of links that point to a missing object
};

struct KelDMGeneratorReport {
  int64_t objects = 0;  // object rows written
  int64_t models = 0;
  int64_t parts = 0;
  int64_t documents = 0;
  int64_t olderRevisions = 0;
  int64_t extLinks = 0;     // "$EXT" rows
  int64_t entityLinks = 0;  // "MML_LINK" rows
  int64_t entities = 0;     // "MML_ENTITY" rows
  int64_t missingLinks = 0;
  int64_t psnInstances = 0;  // "PSN_INSTANCE" rows of the product in the first environment
  // The product's top part (PART_LIST of the first environment), hexadecimal; empty without parts.
  std::string productCoid, productCompid;
  std::vector<std::string> environments;
  // The root: environment, table, coid and compid (hexadecimal).
  std::string rootEnvironment, rootTable, rootCoid, rootCompid;
};

class KelDMGenerator {
 public:
  // Checks the options; false with a one-line reason when one is out of range.
  static bool Validate(const KelDMGeneratorOptions& options, std::string* error);

  // Creates the environments and fills them, in one transaction. Returns 0 or
  // a kel_ier code with the reason in *error.
  static int Generate(KelDbConnection* connection, const KelDMGeneratorOptions& options, KelDMGeneratorReport* report,
                      std::string* error);

  // The batch input file naming the root (four lines, each ending in a newline).
  static std::string RootsFileText(const KelDMGeneratorReport& report);

  // A statement in host notation that counts the objects reachable from the
  // root through "$EXT" and entity links, computed by the engine itself (a
  // recursive query): the yardstick of the batch impact analysis.
  static std::string ReachableCountQuery(const KelDMGeneratorReport& report);
};
