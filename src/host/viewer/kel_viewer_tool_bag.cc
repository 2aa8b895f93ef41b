#include "host/viewer/kel_viewer_tool_bag.h"

#include <charconv>
#include <map>

#include "host/db/kel_dm_ier_message.h"
#include "host/process/kel_xco_process.h"
#include "host/profile/kel_dm_profile.h"

namespace {
std::string Key(const std::string& table, const std::string& what) {
  std::string trimmed = table;
  while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
  return "KELZUMO.VIEWER." + trimmed + "." + what;
}
}  // namespace

KelViewerToolBag* KelViewerToolBag::GetToolBag(const std::string& table) {
  // One bag per table, kept while the profile declares the same viewer.
  static std::map<std::string, std::unique_ptr<KelViewerToolBag>> bags;
  std::unique_ptr<KelViewerToolBag>& kept = bags[Key(table, "")];
  const KelDMProfile* profile = KelDMProfile::Current();
  const std::string* command = profile ? profile->Find(Key(table, "COMMAND")) : nullptr;
  if (!command || command->empty()) {
    kept.reset();
    return nullptr;
  }
  auto bag = std::make_unique<KelViewerToolBag>();
  bag->command_ = *command;
  const std::string* name = profile->Find(Key(table, "NAME"));
  bag->name_ = name && !name->empty() ? *name : *command;
  for (int n = 1;; ++n) {
    const std::string* option = profile->Find(Key(table, "OPTION." + std::to_string(n)));
    if (!option) break;
    bag->options_.push_back(*option);
  }
  if (kept && kept->command_ == bag->command_ && kept->name_ == bag->name_ && kept->options_ == bag->options_)
    return kept.get();
  // A value that is not a plain option number leaves the default.
  if (const std::string* current = profile->Find(Key(table, "CURRENT_OPTION"))) {
    int index = 0;
    const char* end = current->data() + current->size();
    const auto [stop, why] = std::from_chars(current->data(), end, index);
    if (why == std::errc() && stop == end) bag->SetCurrentOption(index);
  }
  kept = std::move(bag);
  return kept.get();
}

std::vector<KelViewerToolBag*> KelViewerToolBag::GetToolBags(const std::string& table) {
  std::string trimmed = table;
  while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
  // Without the first viewer the table has none: the numbered ones are not
  // looked at (as GetToolBag, which the single opens use, finds none).
  KelViewerToolBag* first = GetToolBag(trimmed);
  if (first == nullptr) return {};
  std::vector<KelViewerToolBag*> bags = {first};
  for (int k = 2;; ++k) {
    KelViewerToolBag* next = GetToolBag(trimmed + "." + std::to_string(k));
    if (next == nullptr) break;
    bags.push_back(next);
  }
  return bags;
}

std::string KelViewerToolBag::GetOption(int index) const {
  return index >= 1 && index <= GetNbOptions() ? options_[index - 1] : std::string();
}

int KelViewerToolBag::SetCurrentOption(int index) {
  if (index < 1 || index > GetNbOptions()) return kel_ier::kViewerBadOption;
  current_ = index;
  return 0;
}

namespace {
std::vector<KelViewerToolBag::Item> References(const KelListValKelDMInstance& objects) {
  std::vector<KelViewerToolBag::Item> items;
  for (const KelDMInstance& o : objects) items.push_back({o, std::nullopt});
  return items;
}

void AddWords(std::vector<std::string>& args, const KelDMInstance& o) {
  std::string table = o.GetTable();
  while (!table.empty() && table.back() == ' ') table.pop_back();
  args.insert(args.end(), {o.GetEnvironment(), table, o.GetXCoid(), o.GetXCompid()});
}
}  // namespace

std::vector<std::string> KelViewerToolBag::Arguments(const KelListValKelDMInstance& objects) const {
  return Arguments(References(objects));
}

std::vector<std::string> KelViewerToolBag::Arguments(const std::vector<Item>& items) const {
  std::vector<std::string> args = {command_, std::to_string(current_), GetOption(current_)};
  for (const Item& item : items) {
    if (!item.placed) {
      AddWords(args, item.object);
      continue;
    }
    args.push_back("@instance");
    AddWords(args, item.object);
    AddWords(args, item.placed->GetBase());
    std::string path;
    for (const KelId& id : item.placed->GetPath()) {
      if (!path.empty()) path += '/';
      path += id.Hex();
    }
    args.push_back(path.empty() ? "-" : path);
  }
  return args;
}

int KelViewerToolBag::Open(const KelListValKelDMInstance& objects) { return OpenItems(References(objects)); }

int KelViewerToolBag::OpenItems(const std::vector<Item>& items, const char* event, KelXcoCallback onEnd) {
  if (items.empty()) return kel_ier::kViewerNothingToOpen;
  int status = 0;
  xcoopr(event, onEnd, &status);
  if (status != 0) return status;
  const std::vector<std::string> args = Arguments(items);
  xcoexe("$LOCAL", command_, KelListValKelUnicodeString(args.begin(), args.end()), -1, -1, "        ", event, &status);
  return status;
}
