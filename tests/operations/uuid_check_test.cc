// The search for multi-contained UUIDs, and `mml uuid check` on the demo.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "operations/kel_lnk_uuid_check.h"
#include "support/test_database.h"

namespace {

using Entity = KelLnkHybridManager::Entity;

KelLnkUuidCheck Check(const std::vector<KelListValKelUnicodeString>& lists) {
  std::vector<std::unique_ptr<Entity>> owned;
  std::vector<Entity*> entities;
  for (size_t k = 0; k < lists.size(); ++k) {
    owned.push_back(std::make_unique<Entity>("E1", "TOVRA_MODEL", KelId(), KelId()));
    owned.back()->SetUuids(lists[k]);
    entities.push_back(owned.back().get());
  }
  return KelLnkFindMultiContainedUuids(entities.data(), static_cast<int>(entities.size()), false);
}

TEST(UuidCheckTest, AUuidIsMultiContainedOnlyAcrossEntities) {
  struct Case {
    std::vector<KelListValKelUnicodeString> lists;
    KelListValKelUnicodeString duplicated;
    std::vector<std::vector<int>> groups;
    std::vector<int> concerned;
  } cases[] = {
      // Three entities sharing one UUID: one row, one group of three.
      {{{"u"}, {}, {"v", "u"}, {"u", "u"}}, {"u"}, {{0, 2, 3}}, {0, 2, 3}},
      // A UUID repeated inside one entity is not multi-contained.
      {{{"u", "u"}, {"v", "v"}}, {}, {}, {}},
      // Each later list is walked from its last UUID to its first.
      {{{"a", "b"}, {"c"}, {"a", "b", "c"}}, {"c", "b", "a"}, {{1, 2}, {0, 2}, {0, 2}}, {1, 2, 0}},
      {{}, {}, {}, {}},
  };
  for (const Case& c : cases) {
    const KelLnkUuidCheck check = Check(c.lists);
    EXPECT_EQ(c.duplicated, check.duplicated);
    EXPECT_EQ(c.groups, check.groups);
    EXPECT_EQ(c.concerned, check.concerned);
  }
}

TEST(UuidCheckTest, TheCommandListsTheDemosSharedEntityAndRefusesBadInput) {
  TempDir dir;
  const std::string resources = MML_RESOURCE_DIR;
  const std::vector<std::string> env = {"MML_RESOURCES=" + resources, "MML_DB=" + dir.File("demo.db"),
                                        "MML_PROFILE=" + resources + "/demo/demo.profile"};
  ASSERT_EQ(0, RunMml({"db", "demo"}, "", env).exitCode);
  // HOUSING points to BRACKET rev B and to its copy, which publish one entity.
  const MmlRun run =
      RunMml({"uuid", "check", "DESIGN", "TOVRA_MODEL", "D10000000000A005", "D10000000000C005"}, "", env);
  ASSERT_EQ(0, run.exitCode) << run.err;
  EXPECT_NE(std::string::npos, run.out.find("\tBRACKET B BRACKET_COPY")) << run.out;
  const MmlRun bad = RunMml({"uuid", "check", "DESIGN", "TOVRA_MODEL", "XYZ", "D10000000000C005"}, "", env);
  EXPECT_EQ(1, bad.exitCode);
  EXPECT_EQ("mml: invalid COID 'XYZ': expected sixteen hexadecimal digits\n", bad.err);
  const MmlRun lock =
      RunMml({"lock", "checkin", "DESIGN", "TOVRA_MODEL", "D10000000000A005", "D10000000000C005"}, "", env);
  EXPECT_EQ(1, lock.exitCode);
  EXPECT_NE(std::string::npos, lock.err.find("QOR-20517")) << lock.err;
}

}  // namespace
