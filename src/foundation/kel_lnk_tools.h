// The module's settings and link-type tables, and the value encodings used in
// SQL text.
//
// KelLnkTools reads, once per database environment, the declarative keys of
// the host profile (docs/profile.md), the declared link types with their
// names, the synchronise type of each link type, the two site scripts, and
// the debug switches of the process environment. Every other part of the
// module asks it through the static accessors below; none of them reads the
// settings by itself: the main window and the batch driver call Initialise
// first.
//
// Flags are only ever raised: a later initialisation (after a change of the
// current environment) never clears a flag or a debug switch raised before.
// The three keys read "as they are" (IMPACTED_ON_SYNC, MIN_INDEX,
// NULL_ALLOWED) take the value of the profile whenever they are read.
#pragma once

#include <functional>

#include "base/kel_types.h"

// Direction of a graph: 0 "impacted by" (from an object to the objects it
// points to), 1 "impacts on" (from an object to the objects that point to it).
enum KelLnkOrder : int { kOrderImpactedBy = 0, kOrderImpactsOn = 1 };

class KelLnkTools {
 public:
  // ---- Settings ----

  // Reads the settings for the host's current environment. When they were
  // already read for it, only re-checks the relation environments against
  // GetListeFiltered() (see IsEnvCheck). Writes the declarative report
  // through the trace when the trace is active.
  static void Initialise();
  // 1 once the relation environments were found out of step with the
  // environments of the host's result panel.
  static int IsEnvCheck() { return St().checkEnv; }

  // Flags of the declarative keys ("KELZUMO.QOR.MML." followed by ...).
  static int IsFilterRevision() { return St().filterRevision; }              // FILTER.BEST_REVISION
  static int IsFilterMaturity() { return St().filterMaturity; }              // FILTER.MATURITY
  static int GetFilterMaturityMin() { return St().filterMaturityMin; }       // FILTER.MATURITY.MIN_INDEX
  static int IsFilterMaturityNullOK() { return St().filterMaturityNullOK; }  // FILTER.MATURITY.NULL_ALLOWED
  static int IsEntityMode() { return St().entityToEntity; }                  // ENTITY_TO_ENTITY (LINK.TECHNO, TOVRA_V5)
  static int IsForceRecache() { return St().forceRecache; }                  // FORCE_RECACHE
  static int IsExtraColours() { return St().extraColours; }                  // SHOW_EXTRA_COLOURS (TOVRA_V5)
  static int IsComputeLinkType() { return St().linkType; }                   // LINK.TYPE
  static int IsComputeLinkTechno() { return St().linkDCTechno; }             // LINK.TECHNO
  static int IsSortName() { return St().objectSortName; }                    // NO_SORT_NAME (its value as is)
  static int IsTOVRAV5True() { return St().iloveV5; }                        // TOVRA_V5
  static int IsReleaseValid() { return St().isValid; }                       // TOVRA_V5_RELEASE_VALIDITY
  static int IsOrderedOpen() { return St().isV5Order; }                      // TOVRA_V5_OPEN_ORDER
  static int IsV5NewCode() { return St().isV5NewCode; }                      // TOVRA_V5_NEW_CODE_MML
  static int SolveV5InGraph() { return St().solveV5; }                       // TOVRA_V5_SOLVE_IN_MML
  static int IsImpactsOnSupported() { return St().impactOnSupported; }       // IMPACTED_ON_SYNC

  // Debug switches: 1 when the variable MML_DEBUG_CUSTOM, MML_DEBUG_EXPAND,
  // MML_DEBUG_SELECT, MML_DEBUG_MMLV5, MML_PERFO existed at initialisation.
  static int DbgCustom() { return St().dbgCustom; }
  static int DbgExpand() { return St().dbgExpand; }
  static int DbgSelect() { return St().dbgSelect; }
  static int DbgMMLV5() { return St().dbgMMLV5; }
  static int DbgPerfo() { return St().dbgPerfo; }

  // Environments holding link tables ("$EXT"), as read at initialisation.
  static KelListValKelUnicodeString GetRelationEnvironments() { return St().relationEnvironment; }
  // Link types in declaration order ("SOL", "DRW", ...).
  static KelListValKelUnicodeString GetLinktypes() { return St().linktype; }
  // The link-type names, parallel to GetLinktypes().
  static KelListValKelUnicodeString GetLinknames() { return St().linkname; }
  // The synchronise types, parallel to GetLinktypes().
  static KelListValKelUnicodeString GetSynchroniseTypes() { return St().synchroniseType; }
  // The widths offered for graph arcs: 8, 16, 32, 64.
  static KelRawCollint GetWidths() { return {8, 16, 32, 64}; }

  // ---- Link-type translations ----

  // The declared name of `type`; "KELMM" + type when the type is not declared.
  static KelUnicodeString LinktypeToLinkname(const KelUnicodeString& type);
  // "V5_" + type when the type begins with "KEL", else "KELMM" + type; the
  // wildcard "%" gives "KELMM_%".
  static KelUnicodeString LinktypeToLinklabel(const KelUnicodeString& type);
  // The label less a leading "KELMM", else less a leading "V5_", else as is.
  static KelUnicodeString LinklabelToLinktype(const KelUnicodeString& label);
  // 1 when `type` is one of the Tovra V4 link types, else 0.
  static int IsTOVRAV4Linktype(const KelUnicodeString& type);
  // 1 when `type` is one of the Tovra V5 link types, else 0.
  static int IsTOVRAV5Linktype(const KelUnicodeString& type);
  // The V4 or the V5 test.
  static int IsTOVRALinktype(const KelUnicodeString& type);
  // Replaces the name equal to `currentName` by `newName` (first match only);
  // nothing when no name is equal.
  static void ResetLinkName(const KelUnicodeString& newName, const KelUnicodeString& currentName);
  // The link type of V5 connection links (empty when none is declared).
  static KelUnicodeString GetConnexionStr() { return St().connexionStr; }

  // ---- Synchronisation ----

  // Full path of the synchronise script; empty when not set or not readable.
  static KelUnicodeString GetSynchroniseScript() { return St().synchroniseScript; }
  // Full path of the migration script; empty when not set or not readable.
  static KelUnicodeString GetMigrationScript() { return St().migrationScript; }
  // When GetMigrationScript() is empty: the reason, naming the key or the path.
  static KelUnicodeString WhyNoMigrationScript();
  // "BATCH" or "TOVRA" for a declared link type. For an undeclared one writes
  // "WARNING : MML type <type> not declared in the profile." on standard
  // output and returns "TOVRA".
  static KelUnicodeString GetSynchroniseType(const KelUnicodeString& type);

  // ---- Host user interface ----

  // Shows the host application's busy cursor (through the hook; nothing
  // without a window).
  static void Busy();
  static void SetBusyHook(std::function<void()> hook);
  // The environments listed by the first of the host's result panels; empty
  // while there is no panel (no provider set).
  static KelListValKelUnicodeString GetListeFiltered();
  static void SetResultPanelProvider(std::function<KelListValKelUnicodeString()> provider);

  // ---- Declarative report ----

  // The report of the settings as read: "Declarative information:", one line
  // per logical key, then the obsolete keys. Each line ends with "\n".
  static KelUnicodeString DeclarativeReport();

  // ---- Value encodings ----

  // The sixteen hexadecimal digits of the identifier carried in `value`.
  static KelUnicodeString DoubleToXString(double value);
  // The sixteen hexadecimal digits of the identifier made of the first 8
  // bytes at `bytes`.
  static KelUnicodeString StringToXString(const char* bytes);
  // An SQL character expression that rebuilds the identifier's 8 bytes, first
  // byte first: "CHR(b1)||CHR(b2)||...||CHR(b8)", bytes as unsigned decimals.
  static KelUnicodeString DoubleToSQLString(double value);
  // `text` without its trailing blanks.
  static KelUnicodeString RightTrim(const KelUnicodeString& text);

  // ---- Reset ----

  // Puts every member back to its initial value and removes the hooks: the
  // settings of a fresh process, not yet read (MmlModule::Reset).
  static void ResetState();

  // ---- State ----

  // The settings as read. One instance, inside kel_lnk_tools.cc, read through
  // the accessors above; ResetState returns it to these initial values.
  struct State {
    int initialised = 0;
    int checkEnv = 0;
    KelUnicodeString environment;
    int impactOnSupported = 0;
    int forceRecache = 0;
    int extraColours = 0;
    int filterRevision = 0;
    int filterMaturity = 0;
    int filterMaturityNullOK = 0;
    int filterMaturityMin = 0;
    int entityToEntity = 0;
    int linkDCTechno = 0;
    int linkType = 0;
    int objectSortName = 0;
    int iloveV5 = 0;
    int isValid = 0;
    int isV5Order = 0;
    int isV5NewCode = 0;
    int solveV5 = 0;
    int dbgCustom = 0;
    int dbgExpand = 0;
    int dbgSelect = 0;
    int dbgMMLV5 = 0;
    int dbgPerfo = 0;
    KelListValKelUnicodeString relationEnvironment;
    KelListValKelUnicodeString entityEnvironment;
    KelListValKelUnicodeString linktype;
    KelListValKelUnicodeString linkname;
    KelListValKelUnicodeString synchroniseType;
    KelUnicodeString synchroniseScript;
    KelUnicodeString migrationScript;
    KelUnicodeString connexionStr;
  };
  // Tests only: the state, to set a case up without a profile.
  static State& StateForTesting();

 private:
  static State& St();
};

// The decimal text of `value`.
KelUnicodeString IntToString(int value);
