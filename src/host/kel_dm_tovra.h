// Host conversions, connections and declaratives.
#pragma once

#include "base/kel_types.h"
#include "host/db/kel_db_connection.h"

class KelDMTovra {
 public:
  // The sixteen upper-case hexadecimal digits of the identifier carried in `d`
  // (the double's bytes in memory order).
  static KelUnicodeString DoubleToHexa(double d);
  // The identifier whose sixteen hexadecimal digits are `hex`, in a double's
  // bytes. A text that is not sixteen hexadecimal digits gives the zero bytes.
  static double HexaToDouble(const KelUnicodeString& hex);

  // The connection to use for an environment: the session's main connection
  // (every environment lives in the session's database). Null without session.
  static KelDbConnection* GetConnection(const KelUnicodeString& environment);

  // ---- Declaratives of the host profile (docs/profile.md) ----

  // Non-zero when the logical key is TRUE (0 when FALSE or absent).
  static int GetLogicalDec(const KelUnicodeString& key);
  // 0 when the key is read (value 1 TRUE, 0 FALSE), else a kel_ier code.
  static int GetLogicalDec(const KelUnicodeString& key, int& value);
  // 0 when the integer key is read, else a kel_ier code (value untouched).
  static int GetIntegerDec(const KelUnicodeString& key, int& value);
  // 0 when the text key is read, else a kel_ier code (value untouched).
  static int GetStringDec(const KelUnicodeString& key, KelUnicodeString& value);
  // The current environment: --env, else MML_ENV, else the profile key ENVIRONMENT.
  static KelUnicodeString GetCurrentEnv();
  // A host setting: the profile key "<section>.<key>", empty when absent.
  static KelUnicodeString GetSetting(const KelUnicodeString& section, const KelUnicodeString& key);
};

class KelDMTools {
 public:
  // Expands "$VAR", "${VAR}" and a leading "~" (the home directory). An unset
  // variable expands to an empty text.
  static KelUnicodeString ExpandPath(const KelUnicodeString& path);
};
