// mml lock checkin|checkout ENV TABLE COID COMPID: check one object in or out,
// as the graph window does, without a window.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "apps/mml/mml_app.h"
#include "apps/mml/mml_object_args.h"
#include "base/kel_id.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/dm/kel_dm_action.h"
#include "host/kel_dm_instance.h"
#include "host/profile/kel_dm_context.h"
#include "ui/kel_lnk_dm_tools.h"

namespace {

const char kCheckInHelp[] =
    "Removes the current user's locks of type \"D\" on the object, in one\n"
    "transaction. Refused (nothing changed, exit status 1) when the object's\n"
    "maturity index is above KELZUMO.QOR.LOCK.CHECKIN_MAX_MATURITY of the profile\n"
    "(QOR-20500), or when the user holds no such lock (QOR-20517, naming the\n"
    "object and the user). Prints \"CheckIn: OK\" on success.\n"
    "The user is --user (or MML_USER, else the login name). Needs --db (or MML_DB).";

const char kCheckOutHelp[] =
    "Replaces the object's locks of type \"D\" by one new lock, in one\n"
    "transaction. The lock's attributes are those of the lock panel:\n"
    "  $LOCKTYPE       default D\n"
    "  C_RESPONSIBLE   default the current user\n"
    "each changed with --attr NAME=VALUE. Refused (nothing changed, exit status\n"
    "1) when the object does not exist, the profile's ACCESS rules refuse the\n"
    "process QOR BOM CheckOut, or another user holds a lock of type \"D\".\n"
    "Prints \"CheckOut: OK\" on success. Needs --db (or MML_DB).";

struct LockArgs : MmlObjectArgs {
  std::vector<std::string> attributes;
};

KelDMInstance Instance(const LockArgs& args) {
  if (args.env.empty() || args.table.empty()) MmlFail("the environment and the table must not be empty");
  for (const std::string* id : {&args.coid, &args.compid}) {
    if (!IsHexIdentifier(*id)) MmlFail("invalid identifier '" + *id + "': expected sixteen hexadecimal digits");
  }
  return KelDMInstance("KELCON", args.env, args.table, args.coid, args.compid);
}

void Finish(const char* action, int rc) {
  if (rc != 0) {
    const KelDMAction::Outcome& outcome = KelDMAction::Last();
    MmlFail(outcome.action == action && !outcome.message.empty() ? outcome.message
                                                                 : KelDMIerMessage(rc).GetDisplayMessage(1));
  }
  std::cout << action << ": OK" << std::endl;
}

void RunCheckIn(const LockArgs& args, const MmlGlobals& globals) {
  const KelDMInstance instance = Instance(args);
  MmlOpenSession(globals, false);
  MmlLoadProfile(globals, false);
  Finish("CheckIn", KelLnkCheckIn(instance, true));
}

void RunCheckOut(const LockArgs& args, const MmlGlobals& globals) {
  const KelDMInstance instance = Instance(args);
  KelListValKelUnicodeString names = {"$LOCKTYPE", "C_RESPONSIBLE"};
  KelListValKelUnicodeString values = {"D", ""};
  for (const std::string& attribute : args.attributes) {
    const size_t equals = attribute.find('=');
    const std::string name = attribute.substr(0, equals);
    size_t k = 0;
    while (k < names.size() && names[k] != name) ++k;
    if (equals == std::string::npos || k == names.size()) {
      MmlFail("invalid --attr '" + attribute + "': expected $LOCKTYPE=VALUE or C_RESPONSIBLE=VALUE");
    }
    values[k] = attribute.substr(equals + 1);
  }
  MmlOpenSession(globals, false);
  MmlLoadProfile(globals, false);
  if (values[1].empty()) values[1] = KelDMContext::CurrentUser();
  int rc = instance.CanCheckOut(1, 1);
  if (rc != 0) MmlFail(KelDMIerMessage(rc).GetDisplayMessage(1));
  Finish("CheckOut", KelLnkApplyCheckOut(instance, names, values));
}

void AddObjectArguments(CLI::App* cmd, LockArgs& args) { args.AddTo(cmd); }

MmlCommand reg("lock", [](CLI::App& app, MmlGlobals& globals) {
  CLI::App* lock = app.add_subcommand("lock", "Check objects in and out");
  lock->require_subcommand(1);
  auto in = std::make_shared<LockArgs>();
  CLI::App* checkin = lock->add_subcommand("checkin", "Remove your lock of type D from an object");
  checkin->footer(kCheckInHelp);
  AddObjectArguments(checkin, *in);
  checkin->callback([in, &globals]() { RunCheckIn(*in, globals); });
  auto out = std::make_shared<LockArgs>();
  CLI::App* checkout = lock->add_subcommand("checkout", "Lock an object with a lock of type D");
  checkout->footer(kCheckOutHelp);
  AddObjectArguments(checkout, *out);
  checkout->add_option("--attr", out->attributes, "A lock attribute, NAME=VALUE (repeatable)");
  checkout->callback([out, &globals]() { RunCheckOut(*out, globals); });
});

}  // namespace
