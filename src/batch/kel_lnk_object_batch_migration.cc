// Batch migration: the plan of the objects below a root that a site script
// must migrate, children first, its access checks, the command file, the
// launch of the script and the reading of its result.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/mml_constants.h"
#include "batch/kel_lnk_batch.h"
#include "batch/kel_lnk_object_batch.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_link.h"
#include "graph/kel_lnk_object.h"
#include "host/db/host_sql.h"
#include "host/db/kel_db_connection.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/kel_psn_trace.h"
#include "host/process/kel_xco_process.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "operations/kel_lnk_site_files.h"
#include "operations/kel_lnk_synchro_unit.h"

namespace {

const char kEndEvent[] = "END_OF_BATCH";
const char kCommandFile[] = "MMLMigr";
const char kNamesFile[] = "MMLMigr_ModelNames";
const char kErrorFile[] = "MMLMigr_err";
const char kCommandCopy[] = "CopyofMigr";
const char kNamesCopy[] = "CopyofModelNamesMigr";
const char kFilesError[] = "Error in migration files";

using Unit = KelLnkObject::SynchroniseUnit;
using SynchroniseUnit = KelLnkObject::SynchroniseUnit;
using Plan = std::vector<SynchroniseUnit>;

// What the current migration has done, so that its end touches only what it
// made: the files are removed and the lock released only by the run that
// took the lock, and the script's result is read only after a launch.
struct MigrationRun {
  bool lockHeld = false;
  bool launched = false;
  bool debugFiles = false;
  int scriptExit = 0;  // exit status of the script, when its end was seen
  int stopSignal = 0;  // SIGINT or SIGTERM that stopped the run, 0 when none
};

// An error-file line longer than this is not a return code; only this much of
// it is read and shown.
constexpr size_t kMaxErrorLine = 4096;

MigrationRun& Run() {
  static MigrationRun run;
  return run;
}

// The object of an instance as one text, for the sets and maps of the plan.
std::string InstanceKeyText(const KelDMInstance& instance) {
  return instance.GetEnvironment() + '\x1f' + KelLnkTools::RightTrim(instance.GetTable()) + '\x1f' +
         instance.GetXCoid() + instance.GetXCompid();
}

bool HasNullIdentifier(const KelDMInstance& instance) {
  return instance.GetXCoid() == kMmlNullIdHex || instance.GetXCompid() == kMmlNullIdHex;
}

KelLnkLink* AsLink(const KelBaseUnknown_var& handle) { return dynamic_cast<KelLnkLink*>(handle.get()); }

const KelDMInstance& InstanceOf(const KelLnkObject* object) { return object->Instance(); }

// One object of a depth-first walk over the links, with the links still to
// follow.
struct WalkFrame {
  KelLnkObject* object;
  std::string key;  // InstanceKeyText of the object
  KelListValKelBaseUnknown_var links;
  size_t next = 0;
};

// The next link of the frame that leads to an object without a null
// identifier, and that object; null when the frame's links are done.
KelLnkObject* NextChild(WalkFrame& frame, KelLnkLink** link) {
  while (frame.next < frame.links.size()) {
    *link = AsLink(frame.links[frame.next++]);
    KelLnkObject* child = *link ? (*link)->GetChild() : nullptr;
    if (child && !HasNullIdentifier(InstanceOf(child))) return child;
  }
  return nullptr;
}

bool IsMigrated(const KelLnkObject* object) {
  const KelDMInstance& i = InstanceOf(object);
  return KelLnkDataManager::GetObjectAttribute(i.GetEnvironment(), KelLnkTools::RightTrim(i.GetTable()), i.Coid(),
                                               i.Compid(), "MIGR") == "DONE";
}

void MarkMigrated(const KelLnkObject* object) {
  const KelDMInstance& i = InstanceOf(object);
  KelLnkDataManager::SetObjectAttribute(i.GetEnvironment(), KelLnkTools::RightTrim(i.GetTable()), i.Coid(), i.Compid(),
                                        "MIGR", "DONE");
}

// Removes every unit whose object and link type equal those of an earlier
// unit; later units move up.
void RemoveRepeatedUnits(Plan& units) {
  std::unordered_set<std::string> seen;
  std::erase_if(units, [&seen](const Unit& unit) {
    std::string key = InstanceKeyText(InstanceOf(unit.object.get())) + '\x1e' +
                      (unit.links.empty() ? std::string("L") : "T" + unit.linkType);
    return !seen.insert(key).second;
  });
}

// "<name> : <coid> / <compid>"
std::string NameLine(const std::string& name, const KelDMInstance& instance) {
  return name + " : " + instance.GetXCoid() + " / " + instance.GetXCompid() + "\n";
}

// Reads the return code from the first line of the error file. Returns false
// when the file cannot be read; `line` is the first line without its newline
// and `valid` says whether it holds a whole integer.
bool ReadErrorFile(const std::string& path, std::string& line, bool& valid, int& code) {
  int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  FILE* file = fdopen(fd, "r");
  if (!file) {
    close(fd);
    return false;
  }
  line.clear();
  int c;
  while ((c = std::fgetc(file)) != EOF && c != '\n' && line.size() <= kMaxErrorLine) line += static_cast<char>(c);
  std::fclose(file);

  valid = KelLnkSiteFiles::ParseReturnCode(line, &code);
  return true;
}

}  // namespace

void KelLnkNoteMigrationScriptExit(int exitCode) { Run().scriptExit = exitCode; }

void KelLnkObjectBatch::BatchStartMigration(KelLnkObject& root) {
  MML_TRACE("KelLnkObject::BatchStartMigration");
  Run() = MigrationRun{};
  Plan units;
  BuildListUnit(root, units);
  RemoveRepeatedUnits(units);
  if (KelDbEngineFaultCount() > 0) {
    // An incomplete plan is never handed to the script.
    KelLnkObject::BatchError().Set(
        1, "Database failure",
        "The database failed during the walk, nothing was migrated: " + AbbreviateForMessage(KelDbFirstEngineFault()),
        3);
  } else if (units.empty()) {
    // After a loop, the loop error stays.
    if (KelLnkObject::BatchError().Ier() == 0)
      KelLnkObject::BatchError().Set(-1, "Nothing to migrate", "The root model has no father", -1);
  } else {
    DoBatchMigr(units);
  }
}

void KelLnkObjectBatch::BuildListUnit(KelLnkObject& root, std::vector<SynchroniseUnit>& units) {
  MML_TRACE("KelLnkObject::BuildListUnit");
  KelLnkObject::BatchError().Ok();
  KelListPtrKelLnkSynchroUnit edges;
  int loop = GetBatchTree(&root, edges, nullptr);
  KelLnkSynchroUnit::DeleteAll(edges);
  if (loop) {
    KelLnkObject::BatchError().Set(1, "Unable to perform operation",
                                   "Cannot perform this operation :\nThere are loops in the graph", 3);
    return;
  }
  BatchFullStructure(root, units);
}

// Depth first in the batch order's direction; returns 1 as soon as an object
// is met again on the path from `object`. Children whose coid or compid is
// the null identifier are skipped. An object whose links were all checked
// without finding a loop is not checked again when reached by another path:
// it cannot close a loop, and its edges are already recorded.
int KelLnkObjectBatch::GetBatchTree(KelLnkObject* object, KelListPtrKelLnkSynchroUnit& units,
                                    KelListValKelDMInstance* path) {
  MML_TRACE("KelLnkObject::GetBatchTree");
  if (!object) return 0;
  KelListValKelDMInstance ownPath;
  if (!path) path = &ownPath;
  const size_t pathSize = path->size();
  std::unordered_set<std::string> onPath;
  for (const KelDMInstance& instance : *path) onPath.insert(InstanceKeyText(instance));
  std::unordered_set<std::string> checked;
  // Edges merged per (object, child) as AddToList does, found by key.
  std::unordered_map<std::string, KelLnkSynchroUnit*> edges;
  for (KelLnkSynchroUnit* unit : units)
    edges.emplace(InstanceKeyText(unit->GetParent()) + '\x1e' + InstanceKeyText(unit->GetChild()), unit);

  std::vector<WalkFrame> stack;
  auto enter = [&](KelLnkObject* o, std::string key) {
    path->push_back(InstanceOf(o));
    onPath.insert(key);
    KelListValKelBaseUnknown_var links = o->GetChildren();
    stack.push_back(WalkFrame{o, std::move(key), std::move(links)});
  };

  std::string rootKey = InstanceKeyText(InstanceOf(object));
  if (onPath.count(rootKey)) return 1;
  enter(object, rootKey);
  while (!stack.empty()) {
    WalkFrame& frame = stack.back();
    KelLnkLink* link = nullptr;
    KelLnkObject* child = NextChild(frame, &link);
    if (!child) {
      onPath.erase(frame.key);
      checked.insert(frame.key);
      path->pop_back();
      stack.pop_back();
      continue;
    }
    std::string key = InstanceKeyText(InstanceOf(child));
    auto [edge, inserted] = edges.emplace(frame.key + '\x1e' + key, nullptr);
    if (inserted) {
      edge->second = new KelLnkSynchroUnit(InstanceOf(frame.object), InstanceOf(child), link->GetLinktype(), 0);
      units.push_back(edge->second);
    } else {
      edge->second->AddLinkType(link->GetLinktype(), 0);
    }
    if (onPath.count(key)) {
      path->resize(pathSize);
      return 1;
    }
    if (checked.count(key)) continue;
    enter(child, std::move(key));
  }
  return 0;
}

// Every object below the root is planned before the objects it is reached
// from: a child not yet marked "MIGR" = "DONE" is walked first, then the
// object gets its units (one per link type, or a leaf unit without links) and
// its mark.
void KelLnkObjectBatch::BatchFullStructure(KelLnkObject& root, std::vector<SynchroniseUnit>& units) {
  MML_TRACE("KelLnkObject::BatchFullStructure");
  std::vector<WalkFrame> stack;
  // Objects being walked: a loop (which the check before excludes) could not
  // make the walk run forever.
  std::unordered_set<std::string> inProgress;
  auto enter = [&](KelLnkObject* o) {
    std::string key = InstanceKeyText(InstanceOf(o));
    inProgress.insert(key);
    KelListValKelBaseUnknown_var links = o->GetLnkChildren(KelLnkObject::BatchOrder());
    stack.push_back(WalkFrame{o, std::move(key), std::move(links)});
  };

  enter(&root);
  while (!stack.empty()) {
    WalkFrame& frame = stack.back();
    KelLnkLink* link = nullptr;
    if (frame.links.empty()) {
      units.push_back(Unit{std::make_unique<KelLnkObject>(*frame.object), {}, {}, "LEAVE"});
    } else if (KelLnkObject* child = NextChild(frame, &link)) {
      if (!IsMigrated(child) && !inProgress.count(InstanceKeyText(InstanceOf(child)))) enter(child);
      continue;
    } else {
      BatchAnalyse(*frame.object, units);
    }
    MarkMigrated(frame.object);
    inProgress.erase(frame.key);
    stack.pop_back();
  }
}

void KelLnkObjectBatch::BatchAnalyse(KelLnkObject& object, std::vector<SynchroniseUnit>& units) {
  MML_TRACE("KelLnkObject::BatchAnalyse");
  KelListValKelBaseUnknown_var links = object.GetLnkChildren(KelLnkObject::BatchOrder());
  KelListValKelUnicodeString types;
  std::unordered_set<std::string> seenTypes;
  for (const KelBaseUnknown_var& handle : links) {
    KelLnkLink* link = AsLink(handle);
    if (link && seenTypes.insert(link->GetLinktype()).second) types.push_back(link->GetLinktype());
  }
  for (const KelUnicodeString& type : types) {
    KelListValKelBaseUnknown_var taken;
    for (const KelBaseUnknown_var& handle : links) {
      KelLnkLink* link = AsLink(handle);
      if (link && link->GetLinktype() == type) taken.push_back(handle);
    }
    units.push_back(Unit{std::make_unique<KelLnkObject>(object), type, std::move(taken), "NODE"});
  }
}

void KelLnkObjectBatch::DoBatchMigr(const std::vector<SynchroniseUnit>& units) {
  MML_TRACE("KelLnkObject::DoBatchMigr");
  const bool debug = KelLnkTools::DbgExpand() != 0;
  bool refused = false;
  std::string commands;
  std::string names;
  for (const Unit& unit : units) {
    const KelDMInstance& instance = InstanceOf(unit.object.get());
    for (const char* process : {"OpenRepresentation", "OverwriteRepresentation"}) {
      int answer = instance.CheckDataAccess("QOR", "BOM", process, 1);
      if (answer != 0) {
        KelDMIerMessage message(answer);
        KelLnkObject::BatchError().Set(1, message.GetShortMessage(), message.GetDisplayMessage(1), 3);
        refused = true;
      }
    }
    commands += instance.GetEnvironment() + "\n" + KelLnkTools::RightTrim(instance.GetTable()) + "\n" +
                instance.GetXCoid() + "\n" + instance.GetXCompid() + "\n" + unit.reason + "\n" +
                (unit.links.empty() ? KelUnicodeString("0") : unit.linkType) + "\n";
    if (!debug) continue;
    const std::string name = unit.object->GetName();
    if (unit.links.empty()) {
      names += "Leave: " + NameLine(name, instance);
      continue;
    }
    for (const KelBaseUnknown_var& handle : unit.links) {
      names += "Child: " + NameLine(name, instance);
      KelLnkLink* link = AsLink(handle);
      KelLnkObject* other = link ? link->GetChild() : nullptr;
      if (!other) continue;
      const std::string otherName = other->GetName();
      names += "Parent : " + NameLine(otherName, InstanceOf(other));
      if (!other->IsLatest()) {
        KelDMInstance last;
        InstanceOf(other).GetLastRevision(last);
        names += "Late Instance: " + NameLine(otherName, last);
      }
    }
  }
  if (refused) return;

  const KelUnicodeString script = KelLnkTools::GetMigrationScript();
  if (script.empty()) {
    KelLnkObject::BatchError().Set(1, "Error Migration Script",
                                   "Migration script not found: " + KelLnkTools::WhyNoMigrationScript(), 3);
    return;
  }
  if (int signo = KelXcoStopRequested()) {
    KelLnkNoteMigrationInterrupted(signo);
    return;
  }

  // The command file has a fixed name: one migration or synchronisation at a
  // time on the machine.
  MigrationRun& run = Run();
  if (!run.lockHeld) {
    std::string lockError;
    if (KelLnkSiteFiles::Lock(&lockError) != 0) {
      KelLnkObject::BatchError().Set(1, kFilesError, lockError, 3);
      return;
    }
    run.lockHeld = true;
  }

  // The script writes a fresh error file: an old one must not be taken for
  // its answer, and a name that cannot be freed stops the run before it.
  std::string clearError;
  if (!KelLnkSiteFiles::ClearForScript(KelLnkSiteFiles::Path(kErrorFile), &clearError)) {
    KelLnkObject::BatchError().Set(1, kFilesError, clearError, 3);
    return;
  }

  const std::string commandPath = KelLnkSiteFiles::Path(kCommandFile);
  const std::string namesPath = KelLnkSiteFiles::Path(kNamesFile);
  KelLnkSiteFileWriter commandFile;
  KelLnkSiteFileWriter namesFile;
  auto reason = [](const KelLnkSiteFileWriter& w) { return std::string(": ") + std::strerror(w.LastErrno()); };
  if (!commandFile.Open(commandPath)) {
    KelLnkObject::BatchError().Set(1, kFilesError, "Unable to open the file: " + commandPath + reason(commandFile), 3);
    return;
  }
  const bool namesOpen = debug && namesFile.Open(namesPath);
  if (namesOpen) namesFile.Write(names);
  if (!commandFile.Write(std::to_string(units.size()) + "\n" + commands)) {
    KelLnkObject::BatchError().Set(
        1, kFilesError,
        "An error occurred writing the command file: " + commandPath + " during migration" + reason(commandFile), 3);
    return;
  }
  if (!commandFile.Close()) {
    KelLnkObject::BatchError().Set(1, kFilesError, "Impossible to close the file: " + commandPath + reason(commandFile),
                                   3);
    return;
  }
  if (namesOpen && namesFile.Close()) {
    run.debugFiles = true;
    KelLnkSiteFiles::KeepCopy(namesPath, KelLnkSiteFiles::Path(kNamesCopy));
  }
  KelLnkSiteFiles::KeepCopy(commandPath, KelLnkSiteFiles::Path(kCommandCopy));

  {
    const std::string line =
        " * Files just be copied in " + KelLnkSiteFiles::Directory() + " : Go Ahead for migration * ";
    const std::string rule = " " + std::string(line.size() - 2, '*') + " ";
    std::cout << rule << "\n" << line << "\n" << rule << "\n";
  }
  if (debug) {
    std::cout << "\n\n\n DEBUG branche : Process termine : C^C pour sortir \n" << std::flush;
    return;
  }
  std::cout << std::flush;

  // Another run must not have slipped in while the lock file was removed.
  std::string lockError;
  if (!KelLnkSiteFiles::LockIntact(&lockError)) {
    KelLnkObject::BatchError().Set(1, kFilesError, lockError, 3);
    return;
  }

  KelLnkObject::SetScriptStatus(0);
  int registerStatus = 0;
  int launchStatus = 0;
  xcoopr(kEndEvent, nullptr, &registerStatus);
  if (registerStatus == 0)
    xcoexe("$LOCAL", script, KelListValKelUnicodeString{script}, -1, -1, "        ", kEndEvent, &launchStatus);
  run.launched = true;
  KelLnkObject::SetScriptStatus(registerStatus + launchStatus);
  if (KelLnkObject::ScriptStatus() != 0)
    KelLnkObject::BatchError().Set(KelLnkObject::ScriptStatus(), "Error during the launch of the migration process",
                                   launchStatus != 0 ? KelXcoLastStartError() : std::string(), 4);
}

void KelLnkNoteMigrationInterrupted(int signo) { Run().stopSignal = signo; }

void KelLnkObjectBatch::EndOfMigrationBatch() {
  MML_TRACE("KelLnkObject::EndOfMigrationBatch");
  MigrationRun& run = Run();
  if (run.stopSignal != 0) {
    KelLnkObject::SetScriptStatus(128 + run.stopSignal);
    KelLnkObject::BatchError().Set(
        1, "Migration interrupted",
        "Stopped by signal " + std::to_string(run.stopSignal) +
            (run.launched ? ": the migration script was stopped and the migration files removed"
                          : ": no migration script was started"),
        3);
    if (run.lockHeld) {
      for (const char* name : {kErrorFile, kCommandCopy, kNamesCopy})
        KelLnkSiteFiles::Remove(KelLnkSiteFiles::Path(name));
    }
  } else if (run.launched) {
    if (KelLnkObject::ScriptStatus() == 0) {
      std::string line;
      bool valid = false;
      int code = 0;
      if (!ReadErrorFile(KelLnkSiteFiles::Path(kErrorFile), line, valid, code)) {
        // No answer counts as success, unless the script failed visibly.
        if (run.scriptExit > 0) {
          KelLnkObject::SetScriptStatus(run.scriptExit);
          KelLnkObject::BatchError().Set(
              1, "Error during migration process",
              " -> Process ends with ERROR : no error file, exit status = " + std::to_string(run.scriptExit), 3);
        }
      } else {
        if (!valid) {
          KelLnkObject::SetScriptStatus(1);
          KelLnkObject::BatchError().Set(
              1, "Error during migration process",
              " -> Process ends with ERROR : the error file does not start with a return code: \"" +
                  AbbreviateForMessage(line) + "\"",
              3);
        } else if (code != 0) {
          KelLnkObject::SetScriptStatus(code);
          KelLnkObject::BatchError().Set(1, "Error during migration process",
                                         " -> Process ends with ERROR : return code = " + AbbreviateForMessage(line),
                                         3);
        }
      }
    }
    if (KelLnkObject::ScriptStatus() == 0)
      KelLnkObject::BatchError().Set(-1, "Migration done", "Process ends with success", -1);
  }
  if (run.lockHeld) {
    KelLnkSiteFiles::Remove(KelLnkSiteFiles::Path(kCommandFile));
    if (run.debugFiles) KelLnkSiteFiles::Remove(KelLnkSiteFiles::Path(kNamesFile));
    KelLnkSiteFiles::Unlock();
  }
  run = MigrationRun{};
}
