// mml query ...: the impact query interface (KelLnkAPI) from the command line.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "apps/mml/mml_app.h"
#include "base/kel_id.h"
#include "host/db/kel_dm_ier_message.h"
#include "linkdb/kel_lnk_api.h"

namespace {

const char kObjectHelp[] = "COID and COMPID are sixteen hexadecimal digits. Needs --db (or MML_DB).";

// One object as given on the command line.
struct ObjectArgs {
  std::string env;
  std::string table;
  std::string coid;
  std::string compid;
};

struct QueryArgs {
  ObjectArgs a;
  ObjectArgs b;
  int mode = 1;
  int kind = 1;
};

KelId ParseIdentifier(const std::string& what, const std::string& text) {
  KelId id;
  if (!KelId::FromHex(text, &id)) MmlFail("invalid " + what + " '" + text + "': expected sixteen hexadecimal digits");
  return id;
}

ObjID ParseObject(const ObjectArgs& args) {
  if (args.env.empty() || args.table.empty()) MmlFail("the environment and the table must not be empty");
  ObjID object;
  object.environment = args.env;
  object.table = args.table;
  object.coid = ParseIdentifier("COID", args.coid);
  object.compid = ParseIdentifier("COMPID", args.compid);
  return object;
}

void AddObjectOptions(CLI::App* cmd, ObjectArgs& args, const std::string& suffix = "") {
  cmd->add_option("ENV" + suffix, args.env, "Environment")->required();
  cmd->add_option("TABLE" + suffix, args.table, "Table (TOVRA_MODEL, PART_LIST, DOCUMENT, ...)")->required();
  cmd->add_option("COID" + suffix, args.coid, "Object identifier, sixteen hexadecimal digits")->required();
  cmd->add_option("COMPID" + suffix, args.compid, "Component identifier, sixteen hexadecimal digits")->required();
}

// Opens the host session; the query interface makes its own connection on the
// session's database.
void OpenDatabase(const MmlGlobals& globals) { MmlOpenSession(globals, false); }

void Emit(const std::string& out) { std::cout << out << std::flush; }

std::string ObjectLines(ObjID* objects, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    out += objects[i].environment + "\t" + objects[i].table + "\t" + objects[i].coid.Hex() + "\t" +
           objects[i].compid.Hex() + "\n";
  }
  delete[] objects;
  return out;
}

// The subcommands on one object.
enum class ObjectQuery {
  kImpactedBy,
  kImpactingOn,
  kEntityCount,
  kDeleteLinks,
  kDeleteEntities,
  kIsPointedModel,
  kIsPointedPart
};

void RunObjectQuery(ObjectQuery query, const ObjectArgs& args, const MmlGlobals& globals) {
  const ObjID object = ParseObject(args);
  OpenDatabase(globals);
  int count = 0;
  switch (query) {
    case ObjectQuery::kImpactedBy: {
      ObjID* objects = KelLnkAPI::GetImpactedBy(object, count);
      Emit(ObjectLines(objects, count));
      break;
    }
    case ObjectQuery::kImpactingOn: {
      ObjID* objects = KelLnkAPI::GetImpactingOn(object, count);
      Emit(ObjectLines(objects, count));
      break;
    }
    case ObjectQuery::kEntityCount:
      Emit(std::to_string(KelLnkAPI::GetEntityCount(object)) + "\n");
      break;
    case ObjectQuery::kDeleteLinks:
    case ObjectQuery::kDeleteEntities: {
      const int rc =
          query == ObjectQuery::kDeleteLinks ? KelLnkAPI::DeleteLinks(object) : KelLnkAPI::DeleteEntities(object);
      if (rc != 0) MmlFail("nothing deleted: " + KelDMIerMessage(rc).GetDisplayMessage(1));
      break;
    }
    case ObjectQuery::kIsPointedModel:
      Emit(std::to_string(KelLnkAPI::IsPointedModel(object)) + "\n");
      break;
    case ObjectQuery::kIsPointedPart: {
      KelUnicodeString text;
      const int pointed = KelLnkAPI::IsPointedPart(object, text);
      Emit(std::to_string(pointed) + "\n" + (text.empty() ? std::string() : text + "\n"));
      break;
    }
  }
}

void RunLinksBetween(const QueryArgs& args, const MmlGlobals& globals) {
  const ObjID a = ParseObject(args.a);
  const ObjID b = ParseObject(args.b);
  OpenDatabase(globals);
  KelListValKelUnicodeString types;
  KelRawCollint flags;
  KelLnkAPI::GetLinksBetween(a, b, types, flags, args.mode);
  std::string out;
  for (size_t i = 0; i < types.size() && i < flags.size(); ++i)
    out += types[i] + "\t" + std::to_string(flags[i]) + "\n";
  Emit(out);
}

void RunRelationEnvs(const QueryArgs& args, const MmlGlobals& globals) {
  if (args.kind != 1 && args.kind != 2)
    MmlFail("invalid --kind " + std::to_string(args.kind) + ": expected 1 (link tables) or 2 (entity tables)");
  OpenDatabase(globals);
  std::string out;
  for (const auto& env : KelLnkAPI::ComputeRelationEnvironments(args.kind, 0)) out += env + "\n";
  Emit(out);
}

struct ObjectCommand {
  const char* name;
  const char* description;
  ObjectQuery query;
};

const ObjectCommand kObjectCommands[] = {
    {"impacted-by", "Objects that point to the object (one per line: ENV TABLE COID COMPID, tab-separated)",
     ObjectQuery::kImpactedBy},
    {"impacting-on", "Objects the object points to (one per line: ENV TABLE COID COMPID, tab-separated)",
     ObjectQuery::kImpactingOn},
    {"entity-count", "Number of entity rows of the object, live or not", ObjectQuery::kEntityCount},
    {"delete-links", "Delete the link rows the object holds (prints nothing on success)", ObjectQuery::kDeleteLinks},
    {"delete-entities", "Delete the object's entity rows and entity uses (prints nothing on success)",
     ObjectQuery::kDeleteEntities},
    {"is-pointed-model", "1 when a link or an entity use points to the object, else 0", ObjectQuery::kIsPointedModel},
    {"is-pointed-part",
     "1 when a link or an entity use points to the object, else 0; then the first pointer found (ENV TABLE COID "
     "COMPID) on a second line",
     ObjectQuery::kIsPointedPart},
};

MmlCommand reg("query", [](CLI::App& app, MmlGlobals& globals) {
  CLI::App* query = app.add_subcommand("query", "Impact queries on the link tables");
  query->require_subcommand(1);
  auto args = std::make_shared<QueryArgs>();

  for (const ObjectCommand& command : kObjectCommands) {
    CLI::App* cmd = query->add_subcommand(command.name, command.description);
    cmd->footer(kObjectHelp);
    AddObjectOptions(cmd, args->a);
    const ObjectQuery which = command.query;
    cmd->callback([args, which, &globals]() { RunObjectQuery(which, args->a, globals); });
  }

  CLI::App* between = query->add_subcommand(
      "links-between",
      "The links by which the first object points to the second: TYPE and FLAG per line, tab-separated");
  between->footer(
      "FLAG: bit 0 (1) the link is up to date, bit 1 (2) it is an entity link.\n"
      "--mode 1 every link; 2 one line per type (flag 1 when all its links are up to date);\n"
      "3 one line with an empty type (flag 1 when every link is up to date, also when there is none);\n"
      "other values: nothing.\n" +
      std::string(kObjectHelp));
  AddObjectOptions(between, args->a, "_A");
  AddObjectOptions(between, args->b, "_B");
  between->add_option("--mode", args->mode, "Reduction of the list (default 1)");
  between->callback([args, &globals]() { RunLinksBetween(*args, globals); });

  CLI::App* envs = query->add_subcommand("relation-envs", "Environments holding link tables or entity tables");
  envs->add_option("--kind", args->kind, "1: environments with $EXT; 2: with MML_ENTITY and MML_LINK")->required();
  envs->footer("Needs --db (or MML_DB).");
  envs->callback([args, &globals]() { RunRelationEnvs(*args, globals); });
});

}  // namespace
