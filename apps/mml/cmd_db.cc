// mml db init|exec|demo: the administrator's commands that create
// environments, run statements in host notation and build the demo database.
// Every command changes the database in one transaction: it commits whole or
// rolls back whole.
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "apps/mml/mml_app.h"
#include "host/db/host_sql.h"
#include "host/db/kel_db_connection.h"
#include "host/kel_dm_schema.h"
#include "host/kel_dm_session.h"
#include "host/mml_data_dir.h"

namespace {

const char kInitHelp[] =
    "Creates environments, each given as ENV:KINDS where KINDS is a comma-separated\n"
    "list of:\n"
    "  objects   the object tables TOVRA_MODEL, PART_LIST, DOCUMENT and $LOCK\n"
    "  links     the model-to-model link table $EXT\n"
    "  entities  the entity tables MML_ENTITY and MML_LINK\n"
    "  v5        the V5 product tables QOR_ENTITY, QOR_LINK and QOR_TS\n"
    "  psn       the product structure PSN_INSTANCE and PSN_REP\n"
    "Tables that exist are left as they are, with their rows. All environments of\n"
    "one command are created in one transaction: when one fails, none is created.\n"
    "A missing SQLite file is created. Example:\n"
    "  mml db init DESIGN:objects,links,entities STANDARD:objects,links";

const char kExecHelp[] =
    "Runs the statements of FILE (standard input when FILE is absent or \"-\"),\n"
    "written in host notation and separated by ';', in one transaction. The rows\n"
    "of every statement that returns rows are printed on standard output, one row\n"
    "per line, fields separated by a tab: identifiers as sixteen upper-case\n"
    "hexadecimal digits, timestamps as \"YYYY-MM-DD HH:MM:SS.ffffff\", NULL as an\n"
    "empty field; a tab, a newline, a carriage return or a backslash inside a value\n"
    "is written \\t, \\n, \\r or \\\\. When a statement fails nothing is changed and\n"
    "nothing is printed: one line on standard error names the statement. BEGIN,\n"
    "START, COMMIT, END, ROLLBACK and ABORT are refused before anything runs: the\n"
    "command begins and commits the transaction itself.";

const char kDemoHelp[] =
    "Creates the demo database on --db (or MML_DB): the environments DESIGN\n"
    "(objects, links, entities, product structure) and STANDARD (objects, links,\n"
    "entities) and the rows of demo/demo.sql of the data\n"
    "directory, in one transaction. A database that already holds tables is\n"
    "refused unless --force is given. Prints the paths of the demo profile and of\n"
    "the batch input file of its root objects. The data directory is share/mml\n"
    "beside the program's directory, or MML_RESOURCES when set.";

// The environments of the demo database; resources/demo/demo.sql fills them.
const std::vector<std::string> kDemoEnvironments = {"DESIGN:objects,links,entities,psn", "STANDARD:objects,links,entities"};

// Database messages may run over several lines (PostgreSQL adds the statement
// and a caret line): one line for the terminal.
std::string OneLine(const std::string& text) {
  std::string out;
  out.reserve(std::min<size_t>(text.size(), 1024));
  bool blank = false;
  for (char c : text) {
    if (c == '\n' || c == '\r' || c == '\t' || c == ' ') {
      blank = !out.empty();
      continue;
    }
    if (blank) out.push_back(' ');
    blank = false;
    out.push_back(c);
  }
  return AbbreviateForMessage(out, 400);
}

// A field of the tab-separated output: the characters that would break the
// row and field structure are escaped.
void AppendField(const std::string& value, std::string* out) {
  for (char c : value) {
    switch (c) {
      case '\t':
        *out += "\\t";
        break;
      case '\n':
        *out += "\\n";
        break;
      case '\r':
        *out += "\\r";
        break;
      case '\\':
        *out += "\\\\";
        break;
      default:
        out->push_back(c);
    }
  }
}

void AppendRows(const KelDbResult& result, std::string* out) {
  for (const auto& row : result.rows) {
    for (size_t i = 0; i < row.size(); ++i) {
      if (i) out->push_back('\t');
      AppendField(row[i].AsText(), out);
    }
    out->push_back('\n');
  }
}

bool ReadWholeFile(const std::string& path, std::string* text, std::string* error) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    *error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    *error = "cannot read " + path + ": it is a directory";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad()) {
    *error = "cannot read " + path;
    return false;
  }
  *text = ss.str();
  return true;
}

struct ParsedSpec {
  std::string environment;
  std::vector<std::string> kinds;
};

// Every spec is checked before the database is touched, so that a bad one
// leaves no file and no table behind.
std::vector<ParsedSpec> ParseSpecs(const std::vector<std::string>& specs) {
  std::vector<ParsedSpec> parsed;
  for (const auto& spec : specs) {
    ParsedSpec p;
    std::string error;
    if (!KelDMSchema::ParseEnvironmentSpec(spec, &p.environment, &p.kinds, &error)) MmlFail(error);
    parsed.push_back(std::move(p));
  }
  return parsed;
}

// Creates the environments inside the open transaction. Returns false with
// the reason in *error.
bool InitEnvironments(KelDbConnection* conn, const std::vector<ParsedSpec>& specs, std::string* error) {
  for (const auto& spec : specs) {
    std::string why;
    if (KelDMSchema::InitEnvironment(conn, spec.environment, spec.kinds, &why) != 0) {
      *error = "cannot create the environment " + spec.environment + ": " + OneLine(why);
      return false;
    }
  }
  return true;
}

// The first word of a statement, upper-cased, after blanks and comments.
std::string FirstWord(const std::string& statement) {
  size_t i = 0;
  while (i < statement.size()) {
    if (std::isspace(static_cast<unsigned char>(statement[i]))) {
      ++i;
    } else if (statement.compare(i, 2, "--") == 0) {
      while (i < statement.size() && statement[i] != '\n') ++i;
    } else if (statement.compare(i, 2, "/*") == 0) {
      size_t end = statement.find("*/", i + 2);
      i = end == std::string::npos ? statement.size() : end + 2;
    } else {
      break;
    }
  }
  std::string word;
  while (i < statement.size() && std::isalpha(static_cast<unsigned char>(statement[i])))
    word.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(statement[i++]))));
  return word;
}

// A statement that would end or restart the script's transaction, so that a
// later failure could no longer undo what came before it.
bool IsTransactionControl(const std::string& statement) {
  static const char* const kWords[] = {"BEGIN", "START", "COMMIT", "END", "ROLLBACK", "ABORT"};
  const std::string word = FirstWord(statement);
  for (const char* w : kWords)
    if (word == w) return true;
  return false;
}

// Runs the statements of `script` inside the open transaction and appends the
// rows they return to *out. Returns false with the reason in *error.
bool RunScript(KelDbConnection* conn, const std::string& script, const std::string& origin, std::string* out,
               std::string* error) {
  // The engine would read a statement only up to a NUL byte and run what
  // comes before it: refuse the script before anything runs.
  if (size_t nul = FindNulByte(script); nul != std::string::npos) {
    size_t line = 1 + static_cast<size_t>(std::count(script.begin(), script.begin() + nul, '\n'));
    *error = origin + "line " + std::to_string(line) + " holds a NUL byte: nothing was run";
    return false;
  }
  std::vector<std::string> statements = SplitHostScript(script);
  for (size_t i = 0; i < statements.size(); ++i) {
    if (IsTransactionControl(statements[i])) {
      *error = origin + "statement " + std::to_string(i + 1) + " is " + FirstWord(statements[i]) +
               ": the statements run as one transaction, which the command begins and commits itself";
      return false;
    }
  }
  for (size_t i = 0; i < statements.size(); ++i) {
    KelDbResult result;
    if (conn->Execute(statements[i], {}, &result) != 0) {
      *error = origin + "statement " + std::to_string(i + 1) + " failed: " + OneLine(conn->LastError());
      return false;
    }
    AppendRows(result, out);
  }
  return true;
}

// Whether the database is a SQLite file that does not exist yet (a failed
// command removes the file it created).
bool IsMissingSqliteFile(const std::string& url) {
  if (url.empty() || KelDbIsPostgresUrl(url)) return false;
  std::error_code ec;
  return !std::filesystem::exists(url, ec);
}

// Opens the session, creating a missing SQLite file; *created tells whether
// the file is new.
KelDbConnection* OpenForWriting(const MmlGlobals& globals, bool* created) {
  *created = IsMissingSqliteFile(KelDMSession::ResolveUrl(globals.db));
  MmlOpenSession(globals, true);
  KelDbConnection* conn = KelDMSession::Main();
  if (!conn) MmlFail("no database session is open");
  return conn;
}

// Rolls back, removes a SQLite file this command created, and fails.
[[noreturn]] void Abandon(KelDbConnection* conn, bool created, const std::string& message) {
  conn->Rollback();
  if (created) {
    std::string path = KelDMSession::Url();
    KelDMSession::Close();
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::filesystem::remove(path + suffix, ec);
  }
  MmlFail(message);
}

void Begin(KelDbConnection* conn, bool created) {
  if (conn->Begin() != 0) Abandon(conn, created, "cannot begin a transaction: " + OneLine(conn->LastError()));
}

void Commit(KelDbConnection* conn, bool created) {
  if (conn->Commit() != 0) Abandon(conn, created, "cannot commit: " + OneLine(conn->LastError()));
}

void RunInit(const std::vector<std::string>& specs, const MmlGlobals& globals) {
  std::vector<ParsedSpec> parsed = ParseSpecs(specs);
  bool created = false;
  KelDbConnection* conn = OpenForWriting(globals, &created);
  Begin(conn, created);
  std::string error;
  if (!InitEnvironments(conn, parsed, &error)) Abandon(conn, created, error);
  Commit(conn, created);
}

void RunExec(const std::string& file, const MmlGlobals& globals) {
  std::string script, error;
  if (file.empty() || file == "-") {
    std::ostringstream ss;
    ss << std::cin.rdbuf();
    script = ss.str();
  } else if (!ReadWholeFile(file, &script, &error)) {
    MmlFail(error);
  }
  MmlOpenSession(globals, false);
  KelDbConnection* conn = KelDMSession::Main();
  if (!conn) MmlFail("no database session is open");
  Begin(conn, false);
  std::string out;
  if (!RunScript(conn, script, "", &out, &error)) Abandon(conn, false, error);
  Commit(conn, false);
  std::cout << out << std::flush;
}

void RunDemo(bool force, const MmlGlobals& globals) {
  const std::string dir = MmlDataDirectory() + "/demo";
  const std::string scriptPath = dir + "/demo.sql";
  std::string script, error;
  if (!ReadWholeFile(scriptPath, &script, &error)) MmlFail(error + " (set MML_RESOURCES to the resources directory)");
  std::vector<ParsedSpec> parsed = ParseSpecs(kDemoEnvironments);

  bool created = false;
  KelDbConnection* conn = OpenForWriting(globals, &created);
  std::vector<std::string> tables;
  if (conn->ListTables(&tables) != 0) {
    Abandon(conn, created, "cannot list the tables of the database: " + OneLine(conn->LastError()));
  }
  if (!tables.empty() && !force) {
    MmlFail("the database already holds " + std::to_string(tables.size()) +
            " table(s); the demo needs an empty database (use --force to add it anyway)");
  }
  Begin(conn, created);
  if (!InitEnvironments(conn, parsed, &error)) Abandon(conn, created, error);
  std::string ignored;
  if (!RunScript(conn, script, scriptPath + ": ", &ignored, &error)) Abandon(conn, created, error);
  Commit(conn, created);
  std::cout << "profile: " << dir << "/demo.profile\n"
            << "roots: " << dir << "/demo.roots\n"
            << std::flush;
}

struct DbArgs {
  std::vector<std::string> specs;
  std::string file;
  bool force = false;
};

MmlCommand reg("db", [](CLI::App& app, MmlGlobals& globals) {
  CLI::App* db = app.add_subcommand("db", "Create environments, run statements, build the demo database");
  db->require_subcommand(1);
  auto args = std::make_shared<DbArgs>();

  CLI::App* init = db->add_subcommand("init", "Create environments and their tables");
  init->footer(kInitHelp);
  init->add_option("ENV:KINDS", args->specs, "Environment and its kinds, e.g. E1:objects,links,entities")->required();
  init->callback([args, &globals] { RunInit(args->specs, globals); });

  CLI::App* exec = db->add_subcommand("exec", "Run statements in host notation in one transaction");
  exec->footer(kExecHelp);
  exec->add_option("FILE", args->file, "Statements file (default: standard input)");
  exec->callback([args, &globals] { RunExec(args->file, globals); });

  CLI::App* demo = db->add_subcommand("demo", "Create the demo database");
  demo->footer(kDemoHelp);
  demo->add_flag("--force", args->force, "Add the demo to a database that already holds tables");
  demo->callback([args, &globals] { RunDemo(args->force, globals); });
});

}  // namespace
