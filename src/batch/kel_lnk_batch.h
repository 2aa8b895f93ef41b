// KelLnkBatch: the entry point of the two batch runs of the module, impact
// analysis (GetImpacts) and migration (MigrateE2E).
//
// A batch program builds one driver on the path of an input file naming one
// or more root objects and calls one of the two operations with an error
// record to fill:
//
//   KelLnkBatch batch("/data/roots.txt");
//   KelQorError error;
//   batch.GetImpacts(error, 2);
//   if (error.Ier() != 0) ...;   // severity -1 never reaches the caller
//
// Input file: groups of four lines, one group per root, in this order:
// environment, table, coid, compid (identifiers as sixteen hexadecimal
// digits). Every line, the last one included, ends with a newline; no line is
// empty or longer than 71 characters. A file that breaks any of these rules
// is refused as a whole, with error number 2, before anything is done.
//
// For each root, in file order, the driver builds a windowless KelLnkObject,
// runs the impact walk or the migration on it, judges the error the run left
// (warnings, severity -1, are printed on the standard output and never stop
// the run; any other error is copied to the caller's record and stops the
// run after that root), and clears the object and link caches.
//
// Impact requests: 0 "impacted by", 1 "impacts on", 2 both (a pass in each
// direction). The output files are written next to the input file, named
// after it with the suffixes ".ImpactedBy" and ".ImpactsOn".
//
// A migration holds the site files' lock (batch/kel_lnk_site_files.h) for
// the whole run: a second migration or synchronisation on the machine is
// refused with error number 3 instead of overwriting the command file.
#pragma once

#include <cstdio>
#include <string>

#include "base/kel_types.h"
#include "host/kel_qor_error.h"

class KelLnkBatch {
 public:
  // Input lines are at most this long (newline excluded).
  static constexpr size_t kMaxLineLength = 71;

  explicit KelLnkBatch(const KelUnicodeString& inputFile);
  ~KelLnkBatch();
  KelLnkBatch(const KelLnkBatch&) = delete;
  KelLnkBatch& operator=(const KelLnkBatch&) = delete;

  // The input file opened for reading, or null (traced) when it cannot be
  // opened. The caller closes it.
  FILE* OpenFile();
  // The first line of the input file (the environment of the first root),
  // without its newline; empty when the file cannot be opened.
  KelUnicodeString GetEnvForBatch();

  // Batch migration of every root.
  void MigrateE2E(KelQorError& error);
  // Batch impact analysis of every root; `request` 0, 1 or 2 (anything else
  // is refused with error number 1 before the file is opened).
  void GetImpacts(KelQorError& error, int request);

  const KelUnicodeString& InputFile() const { return inputFile_; }

  // The process ends right after this run (a batch program): the objects and
  // caches of the last root of a successful GetImpacts are left for the
  // process exit to drop instead of being freed one by one. Off by default
  // (a host that goes on, tests); a program that sets it ends with
  // std::_Exit once its output is flushed.
  void SetProcessEndsAfterRun(bool ends) { processEndsAfterRun_ = ends; }

  // Checks the text of an input file and splits it into `lines` (newlines
  // removed). False, with `error` set as for a malformed file, when it
  // breaks a rule above. An empty text holds no root and is accepted.
  static bool ParseInputText(const std::string& text, KelQorError& error, KelListValKelUnicodeString& lines);

 private:
  // Reads and checks the whole input file into `lines` (newlines removed).
  // Returns false with `error` set when it cannot be read or is malformed.
  bool ReadInputFile(KelQorError& error, KelListValKelUnicodeString& lines);
  // The calls made once before the first root.
  void InitialiseRun();

  const KelUnicodeString inputFile_;
  bool processEndsAfterRun_ = false;
};

// The outcome of a run on one line, for programs that report it:
// "error <number>: <short message>: <long message> (severity <severity>)",
// newlines inside the messages written as blanks.
KelUnicodeString KelLnkBatchOutcomeLine(const KelQorError& error);

// Tells the migration the exit status of its script (as the completion event
// reported it), before KelLnkObjectBatch::EndOfMigrationBatch. A script that
// wrote no error file and exited with a non-zero status failed.
void KelLnkNoteMigrationScriptExit(int exitCode);

// Tells the migration that SIGINT or SIGTERM (`signo`) stopped it: its script
// (when started) has been stopped; EndOfMigrationBatch then removes the
// migration files and reports the interruption.
void KelLnkNoteMigrationInterrupted(int signo);
