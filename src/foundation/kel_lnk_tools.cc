#include "foundation/kel_lnk_tools.h"
#include "base/kel_text.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include <fmt/format.h>

#include "base/kel_id.h"
#include "base/mml_constants.h"
#include "host/kel_dm_lnk_tools.h"
#include "host/kel_dm_tovra.h"
#include "host/kel_psn_trace.h"
#include "host/profile/kel_dm_zumo_cmd.h"

namespace {

// Declarative keys.
const char kKeyBestRevision[] = "KELZUMO.QOR.MML.FILTER.BEST_REVISION";
const char kKeyMaturity[] = "KELZUMO.QOR.MML.FILTER.MATURITY";
const char kKeyMaturityMin[] = "KELZUMO.QOR.MML.FILTER.MATURITY.MIN_INDEX";
const char kKeyMaturityNull[] = "KELZUMO.QOR.MML.FILTER.MATURITY.NULL_ALLOWED";
const char kKeyEntityToEntity[] = "KELZUMO.QOR.MML.ENTITY_TO_ENTITY";
const char kKeyForceRecache[] = "KELZUMO.QOR.MML.FORCE_RECACHE";
const char kKeyExtraColours[] = "KELZUMO.QOR.MML.SHOW_EXTRA_COLOURS";
const char kKeyLinkType[] = "KELZUMO.QOR.MML.LINK.TYPE";
const char kKeyLinkTechno[] = "KELZUMO.QOR.MML.LINK.TECHNO";
const char kKeyNoSortName[] = "KELZUMO.QOR.MML.NO_SORT_NAME";
const char kKeyTovraV5[] = "KELZUMO.QOR.MML.TOVRA_V5";
const char kKeyV5Validity[] = "KELZUMO.QOR.MML.TOVRA_V5_RELEASE_VALIDITY";
const char kKeyV5OpenOrder[] = "KELZUMO.QOR.MML.TOVRA_V5_OPEN_ORDER";
const char kKeyV5NewCode[] = "KELZUMO.QOR.MML.TOVRA_V5_NEW_CODE_MML";
const char kKeyV5Solve[] = "KELZUMO.QOR.MML.TOVRA_V5_SOLVE_IN_MML";
const char kKeyImpactedOnSync[] = "KELZUMO.QOR.MML.IMPACTED_ON_SYNC";
const char kKeySyncScript[] = "KELZUMO.QOR.MML.SYNCHRONISE.SCRIPT";
const char kKeySyncTypePrefix[] = "KELZUMO.QOR.MML.SYNCHRONISE.TYPE.";
const char kKeyMigrateScript[] = "KELZUMO.QOR.MML.MIGRATE.SCRIPT";
const char kKeyObsoleteIncremental[] = "KELZUMO.QOR.MML.CACHE.INCREMENTAL";
const char kKeyObsoletePerfo[] = "KELZUMO.QOR.MML.PERFO";

const char kSyncTypeTovra[] = "TOVRA";

const char* const kV4Linktypes[] = {"SOL", "DRW", "FEM", "KIN", "SKD", "SSK", "PIC",
                                    "BM",  "SKN", "NC",  "ROB", "CWL", "TPB"};
const char* const kV5Linktypes[] = {"PRT", "KELPart", "KELDrawing", "Connection", "ContextInput"};

std::function<void()>& BusyHook() {
  static std::function<void()> hook;
  return hook;
}
std::function<KelListValKelUnicodeString()>& PanelProvider() {
  static std::function<KelListValKelUnicodeString()> provider;
  return provider;
}

// Raises `flag` when the logical key is TRUE; never lowers it.
void Raise(const char* key, int& flag) {
  if (KelDMTovra::GetLogicalDec(key)) flag = 1;
}

// Takes the logical key's value when the profile sets it.
void TakeLogical(const char* key, int& value) {
  int read = 0;
  if (KelDMTovra::GetLogicalDec(key, read) == 0) value = read;
}

bool StartsWith(const KelUnicodeString& text, const KelUnicodeString& prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool Contains(const KelListValKelUnicodeString& list, const KelUnicodeString& name) {
  const KelUnicodeString wanted = StripBlanks(name);
  for (const auto& entry : list) {
    if (StripBlanks(entry) == wanted) return true;
  }
  return false;
}

// The script path of `key`, expanded; empty when unset or when the file
// cannot be opened for reading (a directory cannot be a script either).
KelUnicodeString ReadScript(const char* key) {
  KelUnicodeString path;
  if (KelDMTovra::GetStringDec(key, path) != 0) return {};
  path = KelDMTools::ExpandPath(path);
  if (path.empty()) return {};
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return {};
  FILE* file = std::fopen(path.c_str(), "r");
  if (!file) return {};
  std::fclose(file);
  return path;
}

// Why ReadScript(key) gives no script, for a message.
KelUnicodeString WhyNoScript(const char* key) {
  KelUnicodeString path;
  if (KelDMTovra::GetStringDec(key, path) != 0 || path.empty())
    return KelUnicodeString("the profile key ") + key + " is not set";
  KelUnicodeString expanded = KelDMTools::ExpandPath(path);
  if (expanded.empty()) return "the path \"" + path + "\" of " + key + " expands to nothing";
  struct stat info;
  if (stat(expanded.c_str(), &info) != 0) return expanded + ": " + std::strerror(errno);
  if (S_ISDIR(info.st_mode)) return expanded + " is a directory";
  FILE* file = std::fopen(expanded.c_str(), "r");
  if (!file) return expanded + ": " + std::strerror(errno);
  std::fclose(file);
  return expanded;
}

void WriteLines(KelPSNTrace& trace, const KelUnicodeString& text) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == KelUnicodeString::npos) end = text.size();
    trace.Write(text.substr(pos, end - pos));
    pos = end + 1;
  }
}

KelUnicodeString ReportLine(const char* indent, const char* key, const KelUnicodeString& value) {
  return fmt::format("{}{:<45} = {}\n", indent, fmt::format("\"{}\"", key), value);
}
KelUnicodeString Logical(int flag) { return flag ? "\"TRUE\"" : "\"FALSE\""; }

// The environments holding the link tables of `kind` (1 "$EXT", 2 entities),
// asked of the host's data-manager tools; `filtered` keeps only those of the
// result panel (GetListeFiltered).
KelListValKelUnicodeString RelationEnvironments(int kind, bool filtered) {
  if (!filtered) return KelDMLnkTools::ComputeRelationEnvironments(kind, nullptr);
  const KelListValKelUnicodeString filter = KelLnkTools::GetListeFiltered();
  return KelDMLnkTools::ComputeRelationEnvironments(kind, &filter);
}

}  // namespace

void KelLnkTools::Initialise() {
  KelPSNTrace trace("KelLnkTools::Initialise", 17, 0);

  // 1. A change of environment makes everything be read again.
  KelUnicodeString environment = KelDMTovra::GetCurrentEnv();
  if (environment != St().environment) {
    St().environment = environment;
    St().initialised = 0;
  }

  // 2. Already read: only check the relation environments against those of
  //    the result panel.
  if (St().initialised == 1) {
    KelListValKelUnicodeString liste = GetListeFiltered();
    if (liste.size() != St().relationEnvironment.size() + St().entityEnvironment.size()) {
      St().checkEnv = 1;
    } else {
      bool missing = false;
      for (const auto& env : St().relationEnvironment) {
        if (!Contains(liste, env)) {
          missing = true;
          break;
        }
      }
      if (!missing && St().entityToEntity) {
        for (const auto& env : St().entityEnvironment) {
          if (!Contains(liste, env)) {
            missing = true;
            break;
          }
        }
      }
      if (missing) St().checkEnv = 1;
    }
    if (St().checkEnv == 1) {
      RelationEnvironments(1, true);
      if (St().entityToEntity) RelationEnvironments(2, true);
    }
    if (trace.LevelIsActive()) {
      for (const auto& env : liste) trace.Write("      ListeEnvi[] = " + env);
    }
    return;
  }

  // 3. Declarative keys, in the order of the key table.
  Raise(kKeyBestRevision, St().filterRevision);
  Raise(kKeyMaturity, St().filterMaturity);
  if (St().filterMaturity) {
    KelDMTovra::GetIntegerDec(kKeyMaturityMin, St().filterMaturityMin);
    TakeLogical(kKeyMaturityNull, St().filterMaturityNullOK);
  }
  Raise(kKeyEntityToEntity, St().entityToEntity);
  Raise(kKeyForceRecache, St().forceRecache);
  Raise(kKeyExtraColours, St().extraColours);
  Raise(kKeyLinkType, St().linkType);
  if (KelDMTovra::GetLogicalDec(kKeyLinkTechno)) {
    St().linkDCTechno = 1;
    St().entityToEntity = 1;
  }
  Raise(kKeyNoSortName, St().objectSortName);
  if (KelDMTovra::GetLogicalDec(kKeyTovraV5)) {
    St().iloveV5 = 1;
    St().extraColours = 1;
    St().entityToEntity = 1;
  }
  if (St().iloveV5) {
    Raise(kKeyV5Validity, St().isValid);
    Raise(kKeyV5OpenOrder, St().isV5Order);
    Raise(kKeyV5NewCode, St().isV5NewCode);
    Raise(kKeyV5Solve, St().solveV5);
  }
  TakeLogical(kKeyImpactedOnSync, St().impactOnSupported);

  // 4. Environments holding the link tables.
  St().relationEnvironment = RelationEnvironments(1, false);
  if (St().entityToEntity) St().entityEnvironment = RelationEnvironments(2, false);
  if (trace.LevelIsActive()) {
    trace.Write("Relation environments found:");
    for (const auto& env : St().relationEnvironment) trace.Write("  \"" + env + "\"");
  }

  // 5. The link-type table.
  St().linktype.clear();
  St().linkname.clear();
  KelListValKelUnicodeString types, names;
  int count = 0;
  KelDMZUMOCmd(St().environment).GetProfile(types, names, count);
  for (int i = 0; i < count && i < static_cast<int>(types.size()) && i < static_cast<int>(names.size()); ++i) {
    const KelUnicodeString& type = types[i];
    const KelUnicodeString& name = names[i];
    if (type.size() >= 6 && StartsWith(type, kMmlKelmm) && name.size() >= 5 && StartsWith(name, "MML_")) {
      St().linktype.push_back(type.substr(5));
      St().linkname.push_back(name);
    } else if (St().iloveV5 && type.size() >= 6 && StartsWith(type, kMmlKelv5) && name.size() >= 8 &&
               StartsWith(name, "MML_V5_")) {
      KelUnicodeString linktype = name.substr(7);
      St().linktype.push_back(linktype);
      St().linkname.push_back(name);
      if (type == kMmlKelv5Cnc) St().connexionStr = linktype;
    }
  }
  if (trace.LevelIsActive()) {
    trace.Write("Cached link types and names:");
    for (size_t i = 0; i < St().linktype.size(); ++i) {
      trace.Write("  " + St().linktype[i] + ": \"" + St().linkname[i] + "\"");
    }
  }

  // 6. Scripts and synchronise types.
  St().synchroniseScript = ReadScript(kKeySyncScript);
  St().synchroniseType.clear();
  for (const auto& type : St().linktype) {
    KelUnicodeString syncType = kSyncTypeTovra;
    KelDMTovra::GetStringDec(kKeySyncTypePrefix + type, syncType);
    St().synchroniseType.push_back(syncType);
  }
  St().migrationScript = ReadScript(kKeyMigrateScript);
  if (trace.LevelIsActive()) {
    trace.Write("Cached synchronise script \"" + St().synchroniseScript + "\"");
    trace.Write("Cached synchronise types:");
    for (size_t i = 0; i < St().linktype.size(); ++i) {
      trace.Write("  " + St().linktype[i] + ": \"" + St().synchroniseType[i] + "\"");
    }
    trace.Write("Cached migration script \"" + St().migrationScript + "\"");
  }

  // 7. Done: report, then the debug switches of the process environment.
  St().initialised = 1;
  if (trace.LevelIsActive()) WriteLines(trace, DeclarativeReport());
  if (std::getenv("MML_DEBUG_CUSTOM")) St().dbgCustom = 1;
  if (std::getenv("MML_DEBUG_EXPAND")) St().dbgExpand = 1;
  if (std::getenv("MML_DEBUG_SELECT")) St().dbgSelect = 1;
  if (std::getenv("MML_DEBUG_MMLV5")) St().dbgMMLV5 = 1;
  if (std::getenv("MML_PERFO")) St().dbgPerfo = 1;
}

KelUnicodeString KelLnkTools::DeclarativeReport() {
  KelUnicodeString out = "Declarative information:\n";
  out += ReportLine("  ", kKeyBestRevision, Logical(St().filterRevision));
  out += ReportLine("  ", kKeyMaturity, Logical(St().filterMaturity));
  if (St().filterMaturity) {
    out += ReportLine("    ", kKeyMaturityMin, IntToString(St().filterMaturityMin));
    out += ReportLine("    ", kKeyMaturityNull, Logical(St().filterMaturityNullOK));
  }
  out += ReportLine("  ", kKeyEntityToEntity, Logical(St().entityToEntity));
  out += ReportLine("  ", kKeyForceRecache, Logical(St().forceRecache));
  out += ReportLine("  ", kKeyExtraColours, Logical(St().extraColours));
  out += ReportLine("  ", kKeyImpactedOnSync, Logical(St().impactOnSupported));
  out += ReportLine("  ", kKeyLinkType, Logical(St().linkType));
  out += ReportLine("  ", kKeyLinkTechno, Logical(St().linkDCTechno));
  out += ReportLine("  ", kKeyNoSortName, Logical(St().objectSortName));
  out += ReportLine("  ", kKeyTovraV5, Logical(St().iloveV5));
  out += ReportLine("  ", kKeyV5Validity, Logical(St().isValid));
  out += ReportLine("  ", kKeyV5OpenOrder, Logical(St().isV5Order));
  out += ReportLine("  ", kKeyV5NewCode, Logical(St().isV5NewCode));
  out += ReportLine("  ", kKeyV5Solve, Logical(St().solveV5));
  out += "Obsolete information - forced to TRUE:\n";
  out += ReportLine("  ", kKeyObsoleteIncremental, Logical(1));
  out += ReportLine("  ", kKeyObsoletePerfo, Logical(1));
  return out;
}

KelUnicodeString KelLnkTools::LinktypeToLinkname(const KelUnicodeString& type) {
  for (size_t i = 0; i < St().linktype.size() && i < St().linkname.size(); ++i) {
    if (St().linktype[i] == type) return St().linkname[i];
  }
  return kMmlKelmm + type;
}

KelUnicodeString KelLnkTools::LinktypeToLinklabel(const KelUnicodeString& type) {
  const KelUnicodeString& prefix = StartsWith(type, kMmlKel) ? kMmlV5Prefix : kMmlKelmm;
  if (type == kMmlSqlPercent) return prefix + "_%";
  return prefix + type;
}

KelUnicodeString KelLnkTools::LinklabelToLinktype(const KelUnicodeString& label) {
  if (StartsWith(label, kMmlKelmm)) return label.substr(kMmlKelmm.size());
  if (StartsWith(label, kMmlV5Prefix)) return label.substr(kMmlV5Prefix.size());
  return label;
}

int KelLnkTools::IsTOVRAV4Linktype(const KelUnicodeString& type) {
  for (const char* t : kV4Linktypes) {
    if (type == t) return 1;
  }
  return 0;
}

int KelLnkTools::IsTOVRAV5Linktype(const KelUnicodeString& type) {
  for (const char* t : kV5Linktypes) {
    if (type == t) return 1;
  }
  return 0;
}

int KelLnkTools::IsTOVRALinktype(const KelUnicodeString& type) {
  return IsTOVRAV4Linktype(type) || IsTOVRAV5Linktype(type) ? 1 : 0;
}

void KelLnkTools::ResetLinkName(const KelUnicodeString& newName, const KelUnicodeString& currentName) {
  for (auto& name : St().linkname) {
    if (name == currentName) {
      name = newName;
      return;
    }
  }
}

KelUnicodeString KelLnkTools::GetSynchroniseType(const KelUnicodeString& type) {
  for (size_t i = 0; i < St().linktype.size(); ++i) {
    if (St().linktype[i] == type) return i < St().synchroniseType.size() ? St().synchroniseType[i] : kSyncTypeTovra;
  }
  std::cout << "WARNING : MML type " << type << " not declared in the profile." << std::endl;
  return kSyncTypeTovra;
}

void KelLnkTools::Busy() {
  if (BusyHook()) BusyHook()();
}

void KelLnkTools::SetBusyHook(std::function<void()> hook) { BusyHook() = std::move(hook); }

KelListValKelUnicodeString KelLnkTools::GetListeFiltered() {
  if (PanelProvider()) return PanelProvider()();
  return {};
}

void KelLnkTools::SetResultPanelProvider(std::function<KelListValKelUnicodeString()> provider) {
  PanelProvider() = std::move(provider);
}

KelUnicodeString KelLnkTools::DoubleToXString(double value) { return KelDMTovra::DoubleToHexa(value); }

KelUnicodeString KelLnkTools::StringToXString(const char* bytes) {
  double value;
  std::memcpy(&value, bytes, 8);
  return DoubleToXString(value);
}

KelUnicodeString KelLnkTools::DoubleToSQLString(double value) {
  // The bytes in the order of the identifier's hexadecimal text, which is the
  // order in which the database stores them, whatever the machine's order.
  const KelId id = KelId::FromDouble(value);
  const auto& bytes = id.Bytes();
  KelUnicodeString out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    out += "CHR(";
    out += IntToString(static_cast<int>(bytes[i]));
    out += ")";
    if (i + 1 < bytes.size()) out += "||";
  }
  return out;
}

KelUnicodeString KelLnkTools::RightTrim(const KelUnicodeString& text) { return RightTrimBlanks(text); }

KelLnkTools::State& KelLnkTools::St() {
  static State state;
  return state;
}

KelLnkTools::State& KelLnkTools::StateForTesting() { return St(); }

void KelLnkTools::ResetState() {
  St() = State();
  BusyHook() = nullptr;
  PanelProvider() = nullptr;
}

KelUnicodeString IntToString(int value) { return fmt::format("{}", value); }

KelUnicodeString KelLnkTools::WhyNoMigrationScript() { return WhyNoScript(kKeyMigrateScript); }
