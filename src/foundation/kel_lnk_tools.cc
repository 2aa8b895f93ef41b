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

int KelLnkTools::_Initialised = 0;
int KelLnkTools::_CheckEnv = 0;
KelUnicodeString KelLnkTools::_Environment;
int KelLnkTools::_ImpactOnSupported = 0;
int KelLnkTools::_ForceRecache = 0;
int KelLnkTools::_ExtraColours = 0;
int KelLnkTools::_FilterRevision = 0;
int KelLnkTools::_FilterMaturity = 0;
int KelLnkTools::_FilterMaturityNullOK = 0;
int KelLnkTools::_FilterMaturityMin = 0;
int KelLnkTools::_EntityToEntity = 0;
int KelLnkTools::_LinkDCTechno = 0;
int KelLnkTools::_LinkType = 0;
int KelLnkTools::_ObjectSortName = 0;
int KelLnkTools::_IloveV5 = 0;
int KelLnkTools::_IsValid = 0;
int KelLnkTools::_IsV5Order = 0;
int KelLnkTools::_IsV5NewCode = 0;
int KelLnkTools::_SolveV5 = 0;
int KelLnkTools::_DbgCustom = 0;
int KelLnkTools::_DbgExpand = 0;
int KelLnkTools::_DbgSelect = 0;
int KelLnkTools::_DbgMMLV5 = 0;
int KelLnkTools::_DbgPerfo = 0;
KelListValKelUnicodeString KelLnkTools::_RelationEnvironment;
KelListValKelUnicodeString KelLnkTools::_EntityEnvironment;
KelListValKelUnicodeString KelLnkTools::_Linktype;
KelListValKelUnicodeString KelLnkTools::_Linkname;
KelListValKelUnicodeString KelLnkTools::_SynchroniseType;
KelUnicodeString KelLnkTools::_SynchroniseScript;
KelUnicodeString KelLnkTools::_MigrationScript;
KelUnicodeString KelLnkTools::_ConnexionStr;

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
  if (environment != _Environment) {
    _Environment = environment;
    _Initialised = 0;
  }

  // 2. Already read: only check the relation environments against those of
  //    the result panel.
  if (_Initialised == 1) {
    KelListValKelUnicodeString liste = GetListeFiltered();
    if (liste.size() != _RelationEnvironment.size() + _EntityEnvironment.size()) {
      _CheckEnv = 1;
    } else {
      bool missing = false;
      for (const auto& env : _RelationEnvironment) {
        if (!Contains(liste, env)) {
          missing = true;
          break;
        }
      }
      if (!missing && _EntityToEntity) {
        for (const auto& env : _EntityEnvironment) {
          if (!Contains(liste, env)) {
            missing = true;
            break;
          }
        }
      }
      if (missing) _CheckEnv = 1;
    }
    if (_CheckEnv == 1) {
      RelationEnvironments(1, true);
      if (_EntityToEntity) RelationEnvironments(2, true);
    }
    if (trace.LevelIsActive()) {
      for (const auto& env : liste) trace.Write("      ListeEnvi[] = " + env);
    }
    return;
  }

  // 3. Declarative keys, in the order of the key table.
  Raise(kKeyBestRevision, _FilterRevision);
  Raise(kKeyMaturity, _FilterMaturity);
  if (_FilterMaturity) {
    KelDMTovra::GetIntegerDec(kKeyMaturityMin, _FilterMaturityMin);
    TakeLogical(kKeyMaturityNull, _FilterMaturityNullOK);
  }
  Raise(kKeyEntityToEntity, _EntityToEntity);
  Raise(kKeyForceRecache, _ForceRecache);
  Raise(kKeyExtraColours, _ExtraColours);
  Raise(kKeyLinkType, _LinkType);
  if (KelDMTovra::GetLogicalDec(kKeyLinkTechno)) {
    _LinkDCTechno = 1;
    _EntityToEntity = 1;
  }
  Raise(kKeyNoSortName, _ObjectSortName);
  if (KelDMTovra::GetLogicalDec(kKeyTovraV5)) {
    _IloveV5 = 1;
    _ExtraColours = 1;
    _EntityToEntity = 1;
  }
  if (_IloveV5) {
    Raise(kKeyV5Validity, _IsValid);
    Raise(kKeyV5OpenOrder, _IsV5Order);
    Raise(kKeyV5NewCode, _IsV5NewCode);
    Raise(kKeyV5Solve, _SolveV5);
  }
  TakeLogical(kKeyImpactedOnSync, _ImpactOnSupported);

  // 4. Environments holding the link tables.
  _RelationEnvironment = RelationEnvironments(1, false);
  if (_EntityToEntity) _EntityEnvironment = RelationEnvironments(2, false);
  if (trace.LevelIsActive()) {
    trace.Write("Relation environments found:");
    for (const auto& env : _RelationEnvironment) trace.Write("  \"" + env + "\"");
  }

  // 5. The link-type table.
  _Linktype.clear();
  _Linkname.clear();
  KelListValKelUnicodeString types, names;
  int count = 0;
  KelDMZUMOCmd(_Environment).GetProfile(types, names, count);
  for (int i = 0; i < count && i < static_cast<int>(types.size()) && i < static_cast<int>(names.size()); ++i) {
    const KelUnicodeString& type = types[i];
    const KelUnicodeString& name = names[i];
    if (type.size() >= 6 && StartsWith(type, kMmlKelmm) && name.size() >= 5 && StartsWith(name, "MML_")) {
      _Linktype.push_back(type.substr(5));
      _Linkname.push_back(name);
    } else if (_IloveV5 && type.size() >= 6 && StartsWith(type, kMmlKelv5) && name.size() >= 8 &&
               StartsWith(name, "MML_V5_")) {
      KelUnicodeString linktype = name.substr(7);
      _Linktype.push_back(linktype);
      _Linkname.push_back(name);
      if (type == kMmlKelv5Cnc) _ConnexionStr = linktype;
    }
  }
  if (trace.LevelIsActive()) {
    trace.Write("Cached link types and names:");
    for (size_t i = 0; i < _Linktype.size(); ++i) {
      trace.Write("  " + _Linktype[i] + ": \"" + _Linkname[i] + "\"");
    }
  }

  // 6. Scripts and synchronise types.
  _SynchroniseScript = ReadScript(kKeySyncScript);
  _SynchroniseType.clear();
  for (const auto& type : _Linktype) {
    KelUnicodeString syncType = kSyncTypeTovra;
    KelDMTovra::GetStringDec(kKeySyncTypePrefix + type, syncType);
    _SynchroniseType.push_back(syncType);
  }
  _MigrationScript = ReadScript(kKeyMigrateScript);
  if (trace.LevelIsActive()) {
    trace.Write("Cached synchronise script \"" + _SynchroniseScript + "\"");
    trace.Write("Cached synchronise types:");
    for (size_t i = 0; i < _Linktype.size(); ++i) {
      trace.Write("  " + _Linktype[i] + ": \"" + _SynchroniseType[i] + "\"");
    }
    trace.Write("Cached migration script \"" + _MigrationScript + "\"");
  }

  // 7. Done: report, then the debug switches of the process environment.
  _Initialised = 1;
  if (trace.LevelIsActive()) WriteLines(trace, DeclarativeReport());
  if (std::getenv("MML_DEBUG_CUSTOM")) _DbgCustom = 1;
  if (std::getenv("MML_DEBUG_EXPAND")) _DbgExpand = 1;
  if (std::getenv("MML_DEBUG_SELECT")) _DbgSelect = 1;
  if (std::getenv("MML_DEBUG_MMLV5")) _DbgMMLV5 = 1;
  if (std::getenv("MML_PERFO")) _DbgPerfo = 1;
}

KelUnicodeString KelLnkTools::DeclarativeReport() {
  KelUnicodeString out = "Declarative information:\n";
  out += ReportLine("  ", kKeyBestRevision, Logical(_FilterRevision));
  out += ReportLine("  ", kKeyMaturity, Logical(_FilterMaturity));
  if (_FilterMaturity) {
    out += ReportLine("    ", kKeyMaturityMin, IntToString(_FilterMaturityMin));
    out += ReportLine("    ", kKeyMaturityNull, Logical(_FilterMaturityNullOK));
  }
  out += ReportLine("  ", kKeyEntityToEntity, Logical(_EntityToEntity));
  out += ReportLine("  ", kKeyForceRecache, Logical(_ForceRecache));
  out += ReportLine("  ", kKeyExtraColours, Logical(_ExtraColours));
  out += ReportLine("  ", kKeyImpactedOnSync, Logical(_ImpactOnSupported));
  out += ReportLine("  ", kKeyLinkType, Logical(_LinkType));
  out += ReportLine("  ", kKeyLinkTechno, Logical(_LinkDCTechno));
  out += ReportLine("  ", kKeyNoSortName, Logical(_ObjectSortName));
  out += ReportLine("  ", kKeyTovraV5, Logical(_IloveV5));
  out += ReportLine("  ", kKeyV5Validity, Logical(_IsValid));
  out += ReportLine("  ", kKeyV5OpenOrder, Logical(_IsV5Order));
  out += ReportLine("  ", kKeyV5NewCode, Logical(_IsV5NewCode));
  out += ReportLine("  ", kKeyV5Solve, Logical(_SolveV5));
  out += "Obsolete information - forced to TRUE:\n";
  out += ReportLine("  ", kKeyObsoleteIncremental, Logical(1));
  out += ReportLine("  ", kKeyObsoletePerfo, Logical(1));
  return out;
}

KelUnicodeString KelLnkTools::LinktypeToLinkname(const KelUnicodeString& type) {
  for (size_t i = 0; i < _Linktype.size() && i < _Linkname.size(); ++i) {
    if (_Linktype[i] == type) return _Linkname[i];
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
  for (auto& name : _Linkname) {
    if (name == currentName) {
      name = newName;
      return;
    }
  }
}

KelUnicodeString KelLnkTools::GetSynchroniseType(const KelUnicodeString& type) {
  for (size_t i = 0; i < _Linktype.size(); ++i) {
    if (_Linktype[i] == type) return i < _SynchroniseType.size() ? _SynchroniseType[i] : kSyncTypeTovra;
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

void KelLnkTools::ResetForTesting() {
  _Initialised = 0;
  _CheckEnv = 0;
  _Environment.clear();
  _ImpactOnSupported = _ForceRecache = _ExtraColours = _FilterRevision = _FilterMaturity = 0;
  _FilterMaturityNullOK = _FilterMaturityMin = _EntityToEntity = _LinkDCTechno = _LinkType = 0;
  _ObjectSortName = _IloveV5 = _IsValid = _IsV5Order = _IsV5NewCode = _SolveV5 = 0;
  _DbgCustom = _DbgExpand = _DbgSelect = _DbgMMLV5 = _DbgPerfo = 0;
  _RelationEnvironment.clear();
  _EntityEnvironment.clear();
  _Linktype.clear();
  _Linkname.clear();
  _SynchroniseType.clear();
  _SynchroniseScript.clear();
  _MigrationScript.clear();
  _ConnexionStr.clear();
  BusyHook() = nullptr;
  PanelProvider() = nullptr;
}

KelUnicodeString IntToString(int value) { return fmt::format("{}", value); }

KelUnicodeString KelLnkTools::WhyNoMigrationScript() { return WhyNoScript(kKeyMigrateScript); }
