// impacted-by DATABASE ENV TABLE COID COMPID
//
// Opens a database (a SQLite file or a postgresql:// URL), asks the impact
// query interface which objects the given object impacts (the objects that
// point to it, directly) and prints them one per line: ENV TABLE COID COMPID,
// tab-separated. COID and COMPID are sixteen hexadecimal digits.
#include <cstdio>
#include <string>

#include "base/kel_id.h"
#include "host/kel_dm_session.h"
#include "linkdb/kel_lnk_api.h"

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: %s DATABASE ENV TABLE COID COMPID\n", argv[0]);
    return 2;
  }
  ObjID object;
  object.environment = argv[2];
  object.table = argv[3];
  if (!KelId::FromHex(argv[4], &object.coid) || !KelId::FromHex(argv[5], &object.compid)) {
    std::fprintf(stderr, "%s: COID and COMPID are sixteen hexadecimal digits\n", argv[0]);
    return 2;
  }

  // The query interface makes its own connection on the session's database.
  std::string error;
  if (KelDMSession::Open(argv[1], /*create=*/false, &error) != 0) {
    std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
    return 1;
  }

  // The answer is an array the caller owns.
  int count = 0;
  ObjID* impacted = KelLnkAPI::GetImpactedBy(object, count);
  for (int i = 0; i < count; ++i) {
    std::printf("%s\t%s\t%s\t%s\n", impacted[i].environment.c_str(), impacted[i].table.c_str(),
                impacted[i].coid.Hex().c_str(), impacted[i].compid.Hex().c_str());
  }
  delete[] impacted;
  KelDMSession::Close();
  return 0;
}
