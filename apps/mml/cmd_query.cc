// mml query ...: the impact query interface (KelLnkAPI) from the command line.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "apps/mml/mml_app.h"
#include "apps/mml/mml_json.h"
#include "base/kel_id.h"
#include "host/db/host_sql.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/kel_dm_instance.h"
#include "host/kel_dm_session.h"
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
  bool json = false;  // --json: one JSON document instead of the text lines
};

ObjID ParseObject(const ObjectArgs& args) {
  if (args.env.empty() || args.table.empty()) MmlFail("the environment and the table must not be empty");
  ObjID object;
  object.environment = args.env;
  object.table = args.table;
  object.coid = MmlParseIdentifier("COID", args.coid);
  object.compid = MmlParseIdentifier("COMPID", args.compid);
  return object;
}

void AddObjectOptions(CLI::App* cmd, ObjectArgs& args, const std::string& suffix = "") {
  cmd->add_option("ENV" + suffix, args.env, "Environment")->required();
  cmd->add_option("TABLE" + suffix, args.table, "Table (TOVRA_MODEL, PART_LIST, DOCUMENT, ...)")->required();
  cmd->add_option("COID" + suffix, args.coid, "Object identifier, sixteen hexadecimal digits")->required();
  cmd->add_option("COMPID" + suffix, args.compid, "Component identifier, sixteen hexadecimal digits")->required();
}

void AddJsonFlag(CLI::App* cmd, bool& json) {
  cmd->add_flag("--json", json, "Print one JSON document (an array of rows, or an object) instead of text lines");
}

// Opens the host session; the query interface makes its own connection on the
// session's database.
void OpenDatabase(const MmlGlobals& globals) {
  MmlOpenSession(globals, false);
  // The profile is optional here; one that is named must be readable.
  MmlLoadProfile(globals, false);
}

void Emit(const std::string& out) { std::cout << out << std::flush; }

// Prints the objects the query interface handed over, one per line or as a
// JSON array.
void EmitObjects(const std::unique_ptr<ObjID[]>& objects, int count, bool json) {
  std::string out;
  nlohmann::ordered_json rows = nlohmann::ordered_json::array();
  for (int i = 0; i < count; ++i) {
    const ObjID& o = objects[i];
    if (json) {
      rows.push_back(MmlJsonObject(o.environment, o.table, o.coid.Hex(), o.compid.Hex()));
    } else {
      out += o.environment + "\t" + o.table + "\t" + o.coid.Hex() + "\t" + o.compid.Hex() + "\n";
    }
  }
  if (json) {
    MmlEmitJson(rows);
  } else {
    Emit(out);
  }
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

void RunObjectQuery(ObjectQuery query, const ObjectArgs& args, bool json, const MmlGlobals& globals) {
  const ObjID object = ParseObject(args);
  OpenDatabase(globals);
  int count = 0;
  switch (query) {
    case ObjectQuery::kImpactedBy: {
      std::unique_ptr<ObjID[]> objects(KelLnkAPI::GetImpactedBy(object, count));
      EmitObjects(objects, count, json);
      break;
    }
    case ObjectQuery::kImpactingOn: {
      std::unique_ptr<ObjID[]> objects(KelLnkAPI::GetImpactingOn(object, count));
      EmitObjects(objects, count, json);
      break;
    }
    case ObjectQuery::kEntityCount: {
      const int entities = KelLnkAPI::GetEntityCount(object);
      if (json) {
        MmlEmitJson({{"count", entities}});
      } else {
        Emit(std::to_string(entities) + "\n");
      }
      break;
    }
    case ObjectQuery::kDeleteLinks:
    case ObjectQuery::kDeleteEntities: {
      // A delete names one object: the rows of another one with the same
      // identifiers are not its to delete.
      const KelDMInstance named("KELCON", object.environment, object.table, object.coid.Hex(), object.compid.Hex());
      const int exists = named.CheckExists();
      if (exists == kel_ier::kInstanceNotFound) {
        MmlFail("nothing deleted: the object " + object.environment + " " + object.table + " " + object.coid.Hex() +
                " " + object.compid.Hex() + " does not exist in that environment");
      }
      if (exists != 0) {
        MmlFail("nothing deleted: " + KelDMIerMessage(exists).GetDisplayMessage(1) + ": " +
                AbbreviateForMessage(KelDMSession::Main()->LastError()));
      }
      const int rc =
          query == ObjectQuery::kDeleteLinks ? KelLnkAPI::DeleteLinks(object) : KelLnkAPI::DeleteEntities(object);
      if (rc != 0) MmlFail("nothing deleted: " + KelDMIerMessage(rc).GetDisplayMessage(1));
      break;
    }
    case ObjectQuery::kIsPointedModel: {
      const int pointed = KelLnkAPI::IsPointedModel(object);
      if (json) {
        MmlEmitJson({{"pointed", pointed != 0}});
      } else {
        Emit(std::to_string(pointed) + "\n");
      }
      break;
    }
    case ObjectQuery::kIsPointedPart: {
      KelUnicodeString text;
      const int pointed = KelLnkAPI::IsPointedPart(object, text);
      if (json) {
        MmlEmitJson({{"pointed", pointed != 0},
                     {"pointer", text.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(text)}});
      } else {
        Emit(std::to_string(pointed) + "\n" + (text.empty() ? std::string() : text + "\n"));
      }
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
  nlohmann::ordered_json rows = nlohmann::ordered_json::array();
  for (size_t i = 0; i < types.size() && i < flags.size(); ++i) {
    if (args.json) {
      rows.push_back({{"type", types[i]}, {"flag", flags[i]}});
    } else {
      out += types[i] + "\t" + std::to_string(flags[i]) + "\n";
    }
  }
  if (args.json) {
    MmlEmitJson(rows);
  } else {
    Emit(out);
  }
}

void RunRelationEnvs(const QueryArgs& args, const MmlGlobals& globals) {
  if (args.kind != 1 && args.kind != 2)
    MmlFail("invalid --kind " + std::to_string(args.kind) + ": expected 1 (link tables) or 2 (entity tables)");
  OpenDatabase(globals);
  const KelListValKelUnicodeString envs = KelLnkAPI::ComputeRelationEnvironments(args.kind, 0);
  if (args.json) {
    MmlEmitJson(nlohmann::ordered_json(std::vector<std::string>(envs.begin(), envs.end())));
    return;
  }
  std::string out;
  for (const auto& env : envs) out += env + "\n";
  Emit(out);
}

struct ObjectCommand {
  const char* name;
  const char* description;
  ObjectQuery query;
  bool printsData;  // takes --json
};

const ObjectCommand kObjectCommands[] = {
    {"impacted-by", "Objects that point to the object (one per line: ENV TABLE COID COMPID, tab-separated)",
     ObjectQuery::kImpactedBy, true},
    {"impacting-on", "Objects the object points to (one per line: ENV TABLE COID COMPID, tab-separated)",
     ObjectQuery::kImpactingOn, true},
    {"entity-count", "Number of entity rows of the object, live or not", ObjectQuery::kEntityCount, true},
    {"delete-links", "Delete the link rows the object holds (prints nothing on success)", ObjectQuery::kDeleteLinks,
     false},
    {"delete-entities", "Delete the object's entity rows and entity uses (prints nothing on success)",
     ObjectQuery::kDeleteEntities, false},
    {"is-pointed-model", "1 when a link or an entity use points to the object, else 0", ObjectQuery::kIsPointedModel,
     true},
    {"is-pointed-part",
     "1 when a link or an entity use points to the object, else 0; then the first pointer found (ENV TABLE COID "
     "COMPID) on a second line",
     ObjectQuery::kIsPointedPart, true},
};

MmlCommand reg("query", [](CLI::App& app, MmlGlobals& globals) {
  CLI::App* query = app.add_subcommand("query", "Impact queries on the link tables");
  query->require_subcommand(1);
  auto args = std::make_shared<QueryArgs>();

  for (const ObjectCommand& command : kObjectCommands) {
    CLI::App* cmd = query->add_subcommand(command.name, command.description);
    cmd->footer(kObjectHelp);
    AddObjectOptions(cmd, args->a);
    if (command.printsData) AddJsonFlag(cmd, args->json);
    const ObjectQuery which = command.query;
    cmd->callback([args, which, &globals]() { RunObjectQuery(which, args->a, args->json, globals); });
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
  AddJsonFlag(between, args->json);
  between->callback([args, &globals]() { RunLinksBetween(*args, globals); });

  CLI::App* envs = query->add_subcommand("relation-envs", "Environments holding link tables or entity tables");
  envs->add_option("--kind", args->kind, "1: environments with $EXT; 2: with MML_ENTITY and MML_LINK")->required();
  envs->footer("Needs --db (or MML_DB).");
  AddJsonFlag(envs, args->json);
  envs->callback([args, &globals]() { RunRelationEnvs(*args, globals); });
});

}  // namespace
