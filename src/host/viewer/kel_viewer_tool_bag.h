// The CAD viewer tools of a table: the program that opens the objects of
// that table for the user, with its numbered options.
//
// Viewers are registered per table in the host profile (docs/site-scripts.md):
//   KELZUMO.VIEWER.<TABLE>.NAME = <name shown to the user>
//   KELZUMO.VIEWER.<TABLE>.COMMAND = <program path>
//   KELZUMO.VIEWER.<TABLE>.OPTION.<n> = <option text>       n = 1, 2, ...
//   KELZUMO.VIEWER.<TABLE>.CURRENT_OPTION = <n>              default 1
// (a CURRENT_OPTION that is not the number of an option leaves the default)
// Options are numbered from 1 without gaps: the first missing number ends
// the list. Further viewers of a table take the same keys under
// KELZUMO.VIEWER.<TABLE>.<k>. for k = 2, 3, ... (the first missing COMMAND
// ends the list).
//
// Open starts the command as a process of its own (host process services,
// completion event "END_OF_VIEWER"), without a shell, with the arguments
//   <option number> <option text> OBJECT [OBJECT ...]
// (the current option; an empty text when the viewer has no options). An
// object opened by itself (a reference) is four words, one placed in a
// product (an instance) ten:
//   ENV TABLE COID COMPID
//   @instance ENV TABLE COID COMPID TOP_ENV TOP_TABLE TOP_COID TOP_COMPID PATH
// with coid and compid as sixteen hexadecimal digits, TOP_ the product's top
// part and PATH the instance identifiers from the top part down, joined by
// "/".
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/kel_dm_instance.h"
#include "host/kel_zumo_instance.h"
#include "host/process/kel_xco_process.h"

class KelViewerToolBag {
 public:
  // The completion event of the viewers' processes.
  static constexpr const char* kEndEvent = "END_OF_VIEWER";

  // The viewer registered for `table` (trailing blanks ignored) in the
  // current profile; null when there is none or it has no command. One per
  // table for the process (its current option is kept between calls), read
  // again when another profile becomes current.
  static KelViewerToolBag* GetToolBag(const std::string& table);

  // Every viewer registered for `table`: the one above, then viewers 2, 3, ...
  // (none when the one above is missing).
  static std::vector<KelViewerToolBag*> GetToolBags(const std::string& table);

  // The NAME, or the command when the profile gives no name (or an empty one).
  const std::string& GetName() const { return name_; }
  const std::string& GetCommand() const { return command_; }
  int GetNbOptions() const { return static_cast<int>(options_.size()); }
  // The text of option `index` (from 1); empty outside 1..GetNbOptions().
  std::string GetOption(int index) const;
  int GetCurrentOption() const { return current_; }
  // 0, or kel_ier::kViewerBadOption (the current option unchanged) when
  // `index` is outside 1..GetNbOptions().
  int SetCurrentOption(int index);
  // One object to open: by itself, or placed in a product when `placed`
  // holds its product instance (whose path is not empty).
  struct Item {
    KelDMInstance object;
    std::optional<KelZumoInstance> placed;
  };

  // Starts the viewer on `objects` with the current option. Returns 0, or the
  // process service's code when it cannot be started; an empty list opens
  // nothing and gives kel_ier::kViewerNothingToOpen.
  int Open(const KelListValKelDMInstance& objects);
  // The same for references and instances; the process's end raises `event`,
  // which runs `onEnd` (host process services) when not null.
  int OpenItems(const std::vector<Item>& items, const char* event = kEndEvent, KelXcoCallback onEnd = nullptr);
  // The argument vector Open passes (argv[0] first).
  std::vector<std::string> Arguments(const KelListValKelDMInstance& objects) const;
  std::vector<std::string> Arguments(const std::vector<Item>& items) const;

 private:
  std::string name_;
  std::string command_;
  std::vector<std::string> options_;
  int current_ = 1;
};
