// The children or parents answer of the link database, in vectors, for the
// tests of the hybrid queries. Object n has coid n and compid 0x100 + n.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "linkdb/kel_lnk_hybrid_manager.h"
#include "linkdb/kel_lnk_query_context.h"

namespace hybrid_test {

using HM = KelLnkHybridManager;

inline std::string Hex(int n) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016X", n);
  return buf;
}
inline KelId Id(int n) { return KelId::FromHexOrZero(Hex(n)); }

struct Answer {
  std::vector<HM::Link*> links;
  std::vector<HM::Entity*> ends;
  std::vector<int> endCoids() const {
    std::vector<int> out;
    for (auto* e : ends) out.push_back(static_cast<int>(e->coid.Bytes()[7]) + 256 * e->coid.Bytes()[6]);
    return out;
  }
};

inline Answer Ask(bool children, const HM::Entity& e, KelLnkQueryContext* context = nullptr) {
  int count = 0;
  HM::Link** links = nullptr;
  HM::Entity** ends = nullptr;
  if (children) {
    HM::GetChildren(e, count, &links, &ends, context);
  } else {
    HM::GetParents(e, count, &links, &ends, context);
  }
  Answer a;
  for (int k = 0; k < count; ++k) {
    a.links.push_back(links[k]);
    a.ends.push_back(ends[k]);
  }
  delete[] links;
  delete[] ends;
  return a;
}

}  // namespace hybrid_test
