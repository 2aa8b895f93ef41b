// --json of mml query, children, graph and object info: on the demo database,
// every document rendered back into the text form gives the text output line
// for line, so that both forms carry the same rows, fields and order.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <functional>
#include <string>
#include <vector>

#include "support/test_database.h"

namespace {

using Json = nlohmann::ordered_json;

std::string Text(const Json& value) { return value.is_null() ? "-" : value.get<std::string>(); }

std::string Joined(const Json& values, const char* separator) {
  std::string out;
  for (const auto& v : values) out += (out.empty() ? "" : separator) + v.get<std::string>();
  return out;
}

std::string ObjectRows(const Json& rows) {
  std::string out;
  for (const auto& r : rows)
    out += Text(r["env"]) + "\t" + Text(r["table"]) + "\t" + Text(r["coid"]) + "\t" + Text(r["compid"]) + "\n";
  return out;
}

std::string ChildrenRows(const Json& rows) {
  std::string out;
  for (const auto& r : rows) {
    out += Text(r["env"]) + "\t" + Text(r["table"]) + "\t" + Text(r["coid"]) + "\t" + Text(r["compid"]) + "\t" +
           Text(r["link_type"]) + "\t" + Text(r["link_table"]) + "\t" + Text(r["link_timestamp"]) + "\t" +
           Text(r["status"]) + "\t" + (r["up_to_date"].get<bool>() ? "1" : "0") + "\t" +
           std::to_string(r["technology"].get<int>()) + "\t" + Joined(r["link_uuids"], ",") + "\t" +
           Joined(r["uuids"], ",") + "\n";
  }
  return out;
}

void GraphLines(const Json& node, int level, std::string* out) {
  *out += std::string(level * 2, ' ');
  if (node["node"] == "object") {
    *out += "OBJECT";
    for (const auto& text : node["identificators"]) {
      out->push_back(' ');
      *out += text.get<std::string>();
    }
    *out += " {state=" + std::to_string(node["state"].get<int>()) + (node["open"].get<bool>() ? " open" : " closed") +
            " class=" + Text(node["class"]) + "}\n";
  } else {
    *out += "LINK " + Text(node["type"]) + " {class=" + Text(node["class"]) + "}\n";
  }
  for (const auto& child : node["children"]) GraphLines(child, level + 1, out);
}

std::string Graph(const Json& root) {
  std::string out;
  GraphLines(root, 0, &out);
  return out;
}

std::string Info(const Json& i) {
  const auto yes = [](const Json& b) { return b.get<bool>() ? "YES" : "NO"; };
  std::string out = std::string("exists: ") + yes(i["exists"]) + "\nname: " + Text(i["name"]) +
                    "\ntimestamp: " + Text(i["timestamp"]) + "\n";
  for (const auto& lock : i["lock"]) out += "lock: " + lock.get<std::string>() + "\n";
  const Json& l = i["latest_instance"];
  return out + "identificators: " + Joined(i["identificators"], " ") + "\nlatest: " + yes(i["latest"]) +
         "\nlatest instance: " + Text(l["env"]) + " " + Text(l["table"]) + " " + Text(l["coid"]) + " " +
         Text(l["compid"]) + "\nlatest timestamp: " + Text(i["latest_timestamp"]) + "\n";
}

TEST(JsonCliTest, EveryDocumentCarriesTheRowsOfTheTextOutput) {
  TempDir dir;
  const std::string resources = MML_RESOURCE_DIR;
  const std::vector<std::string> env = {"MML_RESOURCES=" + resources, "MML_DB=" + dir.File("demo.db"),
                                        "MML_PROFILE=" + resources + "/demo/demo.profile", "MML_TMPDIR=" + dir.Path()};
  ASSERT_EQ(0, RunMml({"db", "demo"}, "", env).exitCode);

  // The first demo root, and the first object it points to.
  const std::vector<std::string> root = {"DESIGN", "TOVRA_MODEL", "D10000000000A005", "D10000000000C005"};
  const auto with = [&root](std::vector<std::string> args, std::vector<std::string> after = {}) {
    args.insert(args.end(), root.begin(), root.end());
    args.insert(args.end(), after.begin(), after.end());
    return args;
  };
  MmlRun pointed = RunMml(with({"query", "impacting-on", "--json"}), "", env);
  ASSERT_EQ(0, pointed.exitCode) << pointed.err;
  const Json child = Json::parse(pointed.out).at(0);
  std::vector<std::string> between = with({"query", "links-between"});
  for (const char* field : {"env", "table", "coid", "compid"}) between.push_back(child[field]);

  struct Case {
    std::vector<std::string> args;
    std::function<std::string(const Json&)> render;
  };
  const std::vector<Case> cases = {
      {with({"query", "impacted-by"}), ObjectRows},
      {with({"query", "impacting-on"}), ObjectRows},
      {with({"query", "entity-count"}), [](const Json& j) { return std::to_string(j["count"].get<int>()) + "\n"; }},
      {with({"query", "is-pointed-part"}),
       [](const Json& j) {
         return std::string(j["pointed"].get<bool>() ? "1" : "0") + "\n" +
                (j["pointer"].is_null() ? "" : Text(j["pointer"]) + "\n");
       }},
      {between,
       [](const Json& rows) {
         std::string out;
         for (const auto& r : rows) out += Text(r["type"]) + "\t" + std::to_string(r["flag"].get<int>()) + "\n";
         return out;
       }},
      {{"query", "relation-envs", "--kind", "2"}, [](const Json& envs) { return Joined(envs, "\n") + "\n"; }},
      {with({"children"}), ChildrenRows},
      {with({"children"}, {"--parents"}), ChildrenRows},
      {with({"graph"}, {"--depth", "all"}), Graph},
      {with({"graph"}, {"--impacts-on", "--depth", "all"}), Graph},
      {with({"object", "info"}), Info},
  };
  for (const Case& c : cases) {
    std::string name;
    for (const auto& a : c.args) name += a + " ";
    const MmlRun text = RunMml(c.args, "", env);
    std::vector<std::string> jsonArgs = c.args;
    jsonArgs.push_back("--json");
    const MmlRun json = RunMml(jsonArgs, "", env);
    ASSERT_EQ(0, text.exitCode) << name << text.err;
    ASSERT_EQ(0, json.exitCode) << name << json.err;
    EXPECT_NE("", text.out) << name;
    EXPECT_EQ(text.out, c.render(Json::parse(json.out))) << name;
  }
}

}  // namespace
