// Product-structure profiles: the identification fields of tables, declared in
// the host profile by lines
//   IDENTIFICATION <environment>.<table> <column> ...
// Only the profile "$MML_GRAPH_NAVIG" exists; any other name has no tables.
#pragma once

#include <string>
#include <vector>

// One table of a product-structure profile and its identification columns, in
// the order they were declared.
struct KelPSNProfileTable {
  std::string name;
  std::vector<std::string> columns;
};

class KelPSNProfile {
 public:
  static std::vector<KelPSNProfileTable> GetTables(const std::string& environment, const std::string& profileName);
};
