#include "host/kel_dm_instance.h"

namespace {
std::string_view TrimRight(const std::string& s) {
  size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return std::string_view(s.data(), n);
}
}  // namespace

KelDMInstance::KelDMInstance(const KelUnicodeString& connection, const KelUnicodeString& environment,
                             const KelUnicodeString& table, const KelUnicodeString& coidHex,
                             const KelUnicodeString& compidHex)
    : connection_(KelPooledText(connection)), environment_(KelPooledText(environment)), table_(KelPooledText(table)) {
  bool a = KelId::FromHex(coidHex, &coid_);
  bool b = KelId::FromHex(compidHex, &compid_);
  wellFormed_ = a && b;
}

KelDMInstance::KelDMInstance(const KelUnicodeString& connection, const KelUnicodeString& environment,
                             const KelUnicodeString& table, const KelId& coid, const KelId& compid)
    : connection_(KelPooledText(connection)),
      environment_(KelPooledText(environment)),
      table_(KelPooledText(table)),
      coid_(coid),
      compid_(compid) {}

bool operator==(const KelDMInstance& a, const KelDMInstance& b) {
  return a.coid_ == b.coid_ && a.compid_ == b.compid_ && a.environment_ == b.environment_ &&
         (a.table_ == b.table_ || TrimRight(*a.table_) == TrimRight(*b.table_));
}
