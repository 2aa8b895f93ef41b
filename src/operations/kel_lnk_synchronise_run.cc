// Synchronisation execution: the command file of each run of "BATCH" units,
// the access checks, the launch of the site script and the handling of its
// end, the interactive "TOVRA" units, and the synchronisation of one link.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <iterator>
#include <string>
#include <utility>

#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_graph_window.h"
#include "graph/kel_lnk_link.h"
#include "graph/kel_lnk_object.h"
#include "graph/kel_lnk_user_services.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/kel_psn_trace.h"
#include "host/process/kel_xco_process.h"
#include "host/viewer/kel_viewer_tool_bag.h"
#include "operations/kel_lnk_site_files.h"
#include "operations/kel_lnk_synchronise.h"

namespace {

const char kEndEvent[] = "END_OF_BATCH";
const char kCommandFile[] = "MMLSync";
const char kNamesFile[] = "MMLSync_ModelNames";
const char kPlanErrorFile[] = "MMLSync_err";
const char kLinkErrorFile[] = "MML_Sync.err";
const char kCommandCopy[] = "CopyofSync";
const char kNamesCopy[] = "CopyofModelNames";

using Plan = KelLnkSynchronise::Plan;
using Unit = KelLnkSynchronise::Unit;

// The synchronisation under way in this process: the window to refresh, the
// units still to carry out, whether a script runs and the lock is held.
struct SyncRun {
  KelLnkGraphWindow* window = nullptr;
  Plan rest;
  bool scriptRunning = false;
  bool lockHeld = false;
  int failures = 0;
};

SyncRun& Run() {
  static SyncRun run;
  return run;
}

KelLnkLink* AsLink(const KelBaseUnknown_var& handle) { return dynamic_cast<KelLnkLink*>(handle.get()); }

KelUnicodeString Resource(KelLnkGraphWindow* window, const char* key, const char* text) {
  return window ? window->GetResource(key, text) : KelUnicodeString(text);
}

void ErrorBox(KelLnkGraphWindow* window, const char* key, const char* text) {
  KelLnkUserServices::Current().ErrorBox(window, Resource(window, key, text));
}

// The other end of `link` seen from the unit's object.
KelLnkObject* OtherObject(const KelLnkObject& object, KelLnkLink* link) {
  if (!link) return nullptr;
  KelLnkObject* child = link->GetChild();
  if (child && child->Instance() == object.Instance()) return link->GetParent();
  return child;
}

std::string FourLines(const KelDMInstance& i) {
  return i.GetEnvironment() + "\n" + KelLnkTools::RightTrim(i.GetTable()) + "\n" + i.GetXCoid() + "\n" +
         i.GetXCompid() + "\n";
}

std::string NameLine(const std::string& name, const KelDMInstance& i, const char* separator) {
  return name + " : " + i.GetXCoid() + separator + i.GetXCompid() + "\n";
}

// The flag and lines of one other object; its latest revision when it is not.
std::string OtherLines(KelLnkObject& other, std::string& names, KelListValKelDMInstance* toCheck) {
  const std::string otherName = other.GetName();
  names += "Parent : " + NameLine(otherName, other.Instance(), " / ");
  if (other.IsLatest()) {
    if (toCheck) toCheck->push_back(other.Instance());
    return "0\n" + FourLines(other.Instance());
  }
  KelDMInstance last;
  other.Instance().GetLastRevision(last);
  if (toCheck) toCheck->push_back(last);
  names += "Late Instance: " + NameLine(otherName, last, " / ");
  return "1\n" + FourLines(other.Instance()) + FourLines(last);
}

int CommandTextChecked(const Plan& units, size_t begin, size_t end, std::string& commands, std::string& names,
                       KelListValKelDMInstance* toCheck) {
  int records = 0;
  for (size_t u = begin; u < end; ++u) {
    const Unit& unit = units[u];
    KelLnkObject& object = *unit.object;
    const KelDMInstance& self = object.Instance();
    if (toCheck) toCheck->push_back(self);
    const std::string name = object.GetName();
    if (unit.linkType == "DRW") {
      names += "Parent: " + NameLine(name, self, "/");
      std::string others;
      int n = 0;
      for (const KelBaseUnknown_var& handle : unit.links) {
        KelLnkObject* other = OtherObject(object, AsLink(handle));
        if (!other) continue;
        others += OtherLines(*other, names, toCheck);
        ++n;
      }
      commands += FourLines(self) + unit.linkType + "\n" + std::to_string(n) + "\n" + others;
      ++records;
      continue;
    }
    for (const KelBaseUnknown_var& handle : unit.links) {
      KelLnkObject* other = OtherObject(object, AsLink(handle));
      if (!other) continue;
      names += "Child: " + NameLine(name, self, " / ");
      commands += FourLines(self) + unit.linkType + "\n1\n" + OtherLines(*other, names, toCheck);
      ++records;
    }
  }
  return records;
}

// The access checks of a group: one box when a process is refused.
bool AccessAllowed(KelLnkGraphWindow* window, const KelListValKelDMInstance& instances) {
  bool open = false;
  bool write = false;
  for (const KelDMInstance& i : instances) {
    open = open || i.CheckDataAccess("QOR", "BOM", "OpenRepresentation", 1) != 0;
    write = write || i.CheckDataAccess("QOR", "BOM", "OverwriteRepresentation", 1) != 0;
  }
  if (open && write) {
    ErrorBox(window, "Object.OpenAndWrite.Process.Message",
             "The processes \"OpenRepresentation\" and \"OverwriteRepresentation\"\nare not available or not defined "
             "for certain objects.\nCheck the objects to synchronize.");
  } else if (open) {
    ErrorBox(window, "Object.Open.Process.Message",
             "The process \"OpenRepresentation\" is not available or not defined for certain objects.\nCheck the "
             "objects to synchronize.");
  } else if (write) {
    ErrorBox(window, "Object.Write.Process.Message",
             "The process \"OverwriteRepresentation\" is not available or not defined for certain objects.\nCheck "
             "the objects to synchronize.");
  }
  return !open && !write;
}

// Writes `text` to the fixed-name file `name`; false when it cannot.
bool WriteSiteFile(const char* name, const std::string& text, bool* opened) {
  KelLnkSiteFileWriter writer;
  *opened = writer.Open(KelLnkSiteFiles::Path(name));
  return *opened && writer.Write(text) && writer.Close();
}

void ReleaseFiles(bool removeErrorFiles) {
  KelLnkSiteFiles::Remove(KelLnkSiteFiles::Path(kCommandFile));
  KelLnkSiteFiles::Remove(KelLnkSiteFiles::Path(kNamesFile));
  if (removeErrorFiles) {
    for (const char* name : {kPlanErrorFile, kLinkErrorFile, kCommandCopy, kNamesCopy})
      KelLnkSiteFiles::Remove(KelLnkSiteFiles::Path(name));
  }
  SyncRun& run = Run();
  if (run.lockHeld) {
    KelLnkSiteFiles::Unlock();
    run.lockHeld = false;
  }
}

// Takes the machine-wide lock and frees the error file; false with a box.
bool Prepare(KelLnkGraphWindow* window, const char* errorFile) {
  SyncRun& run = Run();
  std::string error;
  if (KelLnkSiteFiles::Lock(&error) != 0) {
    KelLnkUserServices::Current().ErrorBox(window, error);
    return false;
  }
  run.lockHeld = true;
  if (!KelLnkSiteFiles::ClearForScript(KelLnkSiteFiles::Path(errorFile), &error)) {
    KelLnkUserServices::Current().ErrorBox(window, error);
    ReleaseFiles(false);
    return false;
  }
  return true;
}

// Registers `onEnd` and starts the script; the sum of both statuses.
int Launch(const KelUnicodeString& script, KelXcoCallback onEnd) {
  std::string error;
  if (!KelLnkSiteFiles::LockIntact(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return kel_ier::kProcessStartFailed;
  }
  int registerStatus = 0;
  int launchStatus = 0;
  xcoopr(kEndEvent, onEnd, &registerStatus);
  if (registerStatus == 0)
    xcoexe("$LOCAL", script, KelListValKelUnicodeString{script}, -1, -1, "        ", kEndEvent, &launchStatus);
  return registerStatus + launchStatus;
}

// Reads the script's return code: the first line of the error file, else the
// exit status of the script (a missing error file after a clean exit is a
// success).
int ScriptResult(const char* errorFile) {
  const int fd = open(KelLnkSiteFiles::Path(errorFile).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    const KelXcoEvent* event = KelXcoCurrentEvent();
    return event && event->exitCode != 0 ? event->exitCode : 0;
  }
  std::string line;
  char c;
  while (line.size() < 4096 && read(fd, &c, 1) == 1 && c != '\n') line += c;
  close(fd);
  int code = 0;
  return KelLnkSiteFiles::ParseReturnCode(line, &code) ? code : 1;
}

// Runs one group of "BATCH" units; true when its script was started.
bool RunGroup(KelLnkGraphWindow* window, const Plan& units, size_t begin, size_t end) {
  MML_TRACE("KelLnkObject::DoSynchronise");
  std::string commands;
  std::string names;
  KelListValKelDMInstance toCheck;
  const int records = CommandTextChecked(units, begin, end, commands, names, &toCheck);
  if (!AccessAllowed(window, toCheck)) {
    KelLnkObject::SetRefreshAfterSync(1);
    return false;
  }
  const KelUnicodeString script = KelLnkTools::GetSynchroniseScript();
  if (script.empty()) {
    ErrorBox(window, "Object.NoSynchroniseScript.Message", "Synchronize script not found.");
    KelLnkObject::SetRefreshAfterSync(1);
    return false;
  }
  if (!Prepare(window, kPlanErrorFile)) return false;
  bool opened = false;
  WriteSiteFile(kNamesFile, names, &opened);
  if (!WriteSiteFile(kCommandFile, std::to_string(records) + "\n" + commands, &opened)) {
    if (!opened) {
      ErrorBox(window, "Object.FileCreationKO.Message",
               "An error occurred creating the command file during synchronization.");
    } else {
      ErrorBox(window, "Object.FileWriteKO.Message",
               "An error occurred writing the command file during synchronization.");
    }
    ReleaseFiles(false);
    return false;
  }
  KelLnkSiteFiles::KeepCopy(KelLnkSiteFiles::Path(kCommandFile), KelLnkSiteFiles::Path(kCommandCopy));
  KelLnkSiteFiles::KeepCopy(KelLnkSiteFiles::Path(kNamesFile), KelLnkSiteFiles::Path(kNamesCopy));

  KelLnkUserServices::Current().ShowProgress(window);
  KelLnkObject::SetMainWindowForSync(window);
  KelLnkObject::SetScriptStatus(Launch(script, &KelLnkSynchronise::EndOfSynchroniseBatch));
  KelLnkObject::SetRefreshAfterSync(1);
  if (KelLnkObject::ScriptStatus() != 0) {
    ErrorBox(window, "Object.SynchroBatchKO.Message",
             "An error occurred during the launch of the synchronisation batch.");
    KelLnkUserServices::Current().HideProgress();
    KelLnkObject::SetMainWindowForSync(nullptr);
    ++Run().failures;
    ReleaseFiles(false);
    return false;
  }
  Run().scriptRunning = true;
  return true;
}

// Opens the models of an interactive unit in the CAD viewer and waits for
// the user: `objects` (option 5), then `self` (option 3).
void OpenInViewer(KelLnkGraphWindow* window, const KelDMInstance& self, const KelListValKelDMInstance& objects,
                  const char* waitKey) {
  KelViewerToolBag* viewer = KelViewerToolBag::GetToolBag("TOVRA_MODEL");
  int failed = viewer ? 0 : 1;
  if (viewer) {
    // A viewer without the option would open with whatever option is
    // current: that open is skipped and counted as failed.
    const int previous = viewer->GetCurrentOption();
    failed += viewer->SetCurrentOption(5) != 0 || viewer->Open(objects) != 0;
    failed += viewer->SetCurrentOption(3) != 0 || viewer->Open({self}) != 0;
    viewer->SetCurrentOption(previous);
  }
  if (failed) ErrorBox(window, "Object.OpenModelError.Message", "Some models could not be loaded.");
  KelLnkUserServices::Current().MessageBox(
      window, Resource(window, waitKey, "Press the OK button when you have finished synchronising."));
}

bool OpenAllowed(KelLnkGraphWindow* window, const KelDMInstance& instance) {
  const int answer = instance.CheckDataAccess("QOR", "BOM", "OpenRepresentation", 1);
  if (answer == 0) return true;
  KelLnkUserServices::Current().ErrorBox(window, KelDMIerMessage(answer).GetDisplayMessage(1));
  KelLnkObject::SetRefreshAfterSync(1);
  return false;
}

void RunInteractive(KelLnkGraphWindow* window, const Unit& unit) {
  const KelDMInstance& self = unit.object->Instance();
  if (!OpenAllowed(window, self)) return;
  KelListValKelDMInstance others;
  for (const KelBaseUnknown_var& handle : unit.links)
    if (KelLnkObject* other = OtherObject(*unit.object, AsLink(handle))) others.push_back(other->Instance());
  OpenInViewer(window, self, others, "Object.SynchroniseWait.Message");
}

// Carries out the rest of the plan until a script is started or the plan
// ends. Units leave the plan before they are carried out: the end of a
// script, delivered while an interactive unit waits for the user, goes on
// from what is left.
void Continue() {
  SyncRun& run = Run();
  while (!run.rest.empty() && !run.scriptRunning) {
    Plan& rest = run.rest;
    size_t end = 0;
    while (end < rest.size() && KelLnkTools::GetSynchroniseType(rest[end].linkType) == "BATCH") ++end;
    if (end > 0) {
      Plan group(std::make_move_iterator(rest.begin()), std::make_move_iterator(rest.begin() + end));
      rest.erase(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(end));
      RunGroup(run.window, group, 0, group.size());
      continue;
    }
    // The unit that ended a group: by itself when interactive, else passed over.
    Unit unit = std::move(rest.front());
    rest.erase(rest.begin());
    if (KelLnkTools::GetSynchroniseType(unit.linkType) == "TOVRA") RunInteractive(run.window, unit);
  }
  if (!run.scriptRunning) run.window = nullptr;
}

}  // namespace

int KelLnkSynchronise::CommandText(const Plan& units, size_t begin, size_t end, int /*order*/, std::string& commands,
                                   std::string& names) {
  return CommandTextChecked(units, begin, end, commands, names, nullptr);
}

void KelLnkSynchronise::DoSynchronise(KelLnkGraphWindow* window, Plan units) {
  MML_TRACE("KelLnkObject::DoSynchronise");
  SyncRun& run = Run();
  if (Busy()) {
    KelLnkUserServices::Current().ErrorBox(window,
                                           "A synchronisation is already running in this program: wait for it to end");
    return;
  }
  run.window = window;
  run.rest = std::move(units);
  Continue();
}

void KelLnkSynchronise::EndOfSynchroniseBatch() {
  MML_TRACE("KelLnkObject::EndOfSynchroniseBatch");
  SyncRun& run = Run();
  KelLnkUserServices::Current().HideProgress();
  KelLnkObject::SetModalDialogForSync(nullptr);
  if (KelLnkObject::ScriptStatus() == 0) KelLnkObject::SetScriptStatus(ScriptResult(kPlanErrorFile));
  ReleaseFiles(false);
  run.scriptRunning = false;
  KelLnkGraphWindow* window = KelLnkObject::MainWindowForSync();
  if (KelLnkObject::ScriptStatus() != 0) {
    ++run.failures;
    ErrorBox(window, "Object.SynchroBatchKO.Error", "An error occurred during the synchronisation batch.");
  } else {
    KelLnkUserServices::Current().Refresh(window, 1);
  }
  KelLnkObject::SetMainWindowForSync(nullptr);
  KelLnkObject::SetRefreshAfterSync(1);
  Continue();
}

void KelLnkSynchronise::SynchroniseLink(KelLnkLink& link) {
  MML_TRACE("KelLnkLink::Synchronise");
  KelLnkTools::Busy();
  KelLnkGraphWindow* window = link.GetMainWindow();
  const int condition = link.GetCondition(0);
  if (condition != KelLnkLink::BADDATE && condition != KelLnkLink::UP_GOOD && condition != KelLnkLink::UP_BADDATE) {
    KelLnkUserServices::Current().Refresh(window, 1);
    return;
  }
  const int order = window ? window->GetOrder() : 0;
  KelLnkObject* self = order == 0 ? link.GetParent() : link.GetChild();
  KelLnkObject* other = order == 0 ? link.GetChild() : link.GetParent();
  if (!self || !other) return;
  const KelUnicodeString type = KelLnkTools::GetSynchroniseType(link.GetLinktype());
  if (type == "BATCH") {
    const KelUnicodeString script = KelLnkTools::GetSynchroniseScript();
    if (script.empty()) {
      ErrorBox(window, "Link.NoSynchroniseScript.Message", "Synchronize script not found.");
      KelLnkUserServices::Current().Refresh(window, 1);
      return;
    }
    if (Busy()) {
      KelLnkUserServices::Current().ErrorBox(
          window, "A synchronisation is already running in this program: wait for it to end");
      return;
    }
    if (!Prepare(window, kLinkErrorFile)) return;
    std::string names;
    const std::string text =
        "1\n" + FourLines(self->Instance()) + link.GetLinktype() + "\n1\n" + OtherLines(*other, names, nullptr);
    bool opened = false;
    if (!WriteSiteFile(kCommandFile, text, &opened)) {
      ErrorBox(window, opened ? "Object.FileWriteKO.Message" : "Object.FileCreationKO.Message",
               opened ? "An error occurred writing the command file during synchronization."
                      : "An error occurred creating the command file during synchronization.");
      ReleaseFiles(false);
      return;
    }
    KelLnkUserServices::Current().ShowProgress(window);
    KelLnkLink::spMainWindowForSync = window;
    Run().scriptRunning = true;
    KelLnkLink::_ierxco = Launch(script, &KelLnkSynchronise::EndOfLinkSynchroniseBatch);
    if (KelLnkLink::_ierxco != 0) {
      ErrorBox(window, "Link.SynchroBatchKO.Message",
               "An error occurred during the launch of the synchronisation batch.");
      KelLnkUserServices::Current().HideProgress();
      KelLnkLink::spMainWindowForSync = nullptr;
      Run().scriptRunning = false;
      ++Run().failures;
      ReleaseFiles(false);
    }
    return;
  }
  if (type == "TOVRA") {
    if (OpenAllowed(window, self->Instance()))
      OpenInViewer(window, self->Instance(), {other->Instance()}, "Link.SynchroniseWait.Message");
  } else {
    KelLnkUserServices::Current().ErrorBox(
        window, Resource(window, "Link.BadSynchroniseType1.Message",
                         "An invalid synchronise type is defined for links of type") +
                    " " + link.GetLinktype() + ".\n\n" +
                    Resource(window, "Link.BadSynchroniseType2.Message",
                             "The synchronise type must be defined in declarative files as either BATCH or TOVRA."));
  }
  KelLnkUserServices::Current().Refresh(window, 1);
}

void KelLnkSynchronise::EndOfLinkSynchroniseBatch() {
  MML_TRACE("KelLnkLink::EndOfSynchroniseBatch");
  KelLnkUserServices::Current().HideProgress();
  KelLnkLink::spModalDialogForSync = nullptr;
  if (KelLnkLink::_ierxco == 0) KelLnkLink::_ierxco = ScriptResult(kLinkErrorFile);
  ReleaseFiles(false);
  Run().scriptRunning = false;
  KelLnkGraphWindow* window = KelLnkLink::spMainWindowForSync;
  if (KelLnkLink::_ierxco != 0) {
    ++Run().failures;
    ErrorBox(window, "Link.SynchroBatchKO.Error", "An error occurred during the synchronisation batch.");
  } else {
    KelLnkUserServices::Current().Refresh(window, 1);
  }
  KelLnkLink::spMainWindowForSync = nullptr;
}

bool KelLnkSynchronise::Busy() { return Run().scriptRunning || !Run().rest.empty(); }

int KelLnkSynchronise::Failures() { return Run().failures; }

void KelLnkSynchronise::ResetOutcome() { Run().failures = 0; }

void KelLnkSynchronise::Abandon() {
  SyncRun& run = Run();
  KelLnkUserServices::Current().HideProgress();
  run.rest.clear();
  run.scriptRunning = false;
  run.window = nullptr;
  KelLnkObject::SetMainWindowForSync(nullptr);
  KelLnkLink::spMainWindowForSync = nullptr;
  if (run.lockHeld) ReleaseFiles(true);
}
