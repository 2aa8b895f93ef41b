#include "host/psn/kel_psn_tree.h"

#include <algorithm>
#include <set>

#include "host/db/host_sql.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/kel_dm_tovra.h"
#include "host/psn/kel_psn_schema.h"

namespace {

KelUnicodeString ObjectKey(const KelDMInstance& object) {
  return object.GetEnvironment() + "." + object.GetTable() + " " + object.GetXCoid() + " " + object.GetXCompid();
}

// "<env>.<table>" into its parts; false when there is no ".".
bool SplitCompname(const std::string& text, std::string* env, std::string* table) {
  const size_t dot = text.find('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == text.size()) return false;
  *env = text.substr(0, dot);
  *table = text.substr(dot + 1);
  while (!table->empty() && table->back() == ' ') table->pop_back();
  return true;
}

}  // namespace

// ---- Node manager ----

void KelPSNNodeMngr::AddSelected(KelPSNNode* node) {
  if (node && !IsSelected(node)) selected_.push_back(node);
}

void KelPSNNodeMngr::RemoveSelected(KelPSNNode* node) {
  selected_.erase(std::remove(selected_.begin(), selected_.end(), node), selected_.end());
}

bool KelPSNNodeMngr::IsSelected(const KelPSNNode* node) const {
  return std::find(selected_.begin(), selected_.end(), node) != selected_.end();
}

// ---- Reading the tables ----

// The nodes of one reading, depth first, before they are matched with the
// nodes of the tree.
struct KelPSNTree::Built {
  struct Item {
    KelUnicodeString key;  // the chain of objects and instance identifiers from the top
    int father = -1;
    Entry entry;
  };
  std::vector<Item> items;
};

int KelPSNTree::Build(Built* built, std::string* error) const {
  KelDbConnection* connection = KelDMTovra::GetConnection(top_.GetEnvironment());
  if (!connection) {
    *error = "no database connection for the environment " + top_.GetEnvironment();
    return kel_ier::kDbNoConnection;
  }
  {
    KelDbResult result;
    const std::string sql = "SELECT $COID FROM " + QuoteHostTableName(top_.GetEnvironment(), "PART_LIST") +
                            " WHERE $COID = ? AND $COMPID = ?";
    if (connection->Execute(sql, {KelDbValue::Id(top_.Coid()), KelDbValue::Id(top_.Compid())}, &result) != 0 ||
        result.rows.empty()) {
      *error = "no part " + ObjectKey(top_) + " to build a product structure from";
      return kel_ier::kInstanceNotFound;
    }
  }

  Built::Item topItem;
  topItem.key = ObjectKey(top_);
  topItem.entry.object = top_;
  built->items.push_back(topItem);
  // Depth-first walk with an explicit stack, so that a deep product cannot
  // exhaust the call stack; `onPath` holds the parts from the top down to the
  // part being read, to refuse a part used inside itself.
  struct Frame {
    int item;
    bool entered;
  };
  std::vector<Frame> stack{{0, false}};
  std::vector<KelUnicodeString> onPath;
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.entered) {
      onPath.pop_back();
      stack.pop_back();
      continue;
    }
    frame.entered = true;
    const int index = frame.item;
    const KelDMInstance part = built->items[index].entry.object;
    onPath.push_back(ObjectKey(part));
    const auto& env = part.GetEnvironment();

    // Representations first, then the parts used.
    KelDbResult reps;
    std::string sql = "SELECT $COMPNAME_REP, $COID_REP, $COMPID_REP FROM " + QuoteHostTableName(env, kPsnRepTable) +
                      " WHERE $COID_PART = ? AND $COMPID_PART = ? AND UBIT IS NULL"
                      " ORDER BY $COMPNAME_REP, $COID_REP, $COMPID_REP";
    if (connection->Execute(sql, {KelDbValue::Id(part.Coid()), KelDbValue::Id(part.Compid())}, &reps) != 0) {
      *error = "cannot read the product structure of " + env + " (create it with mml db init " + env +
               ":psn): " + connection->LastError();
      return kel_ier::kDbExecution;
    }
    for (const auto& row : reps.rows) {
      std::string repEnv, repTable;
      if (!SplitCompname(row[0].AsText(), &repEnv, &repTable)) continue;
      Built::Item item;
      item.father = index;
      item.entry.object = KelDMInstance("KELCON", repEnv, repTable, row[1].AsBinary().AsId(), row[2].AsBinary().AsId());
      item.entry.representation = true;
      item.entry.path = built->items[index].entry.path;
      item.entry.level = built->items[index].entry.level + 1;
      item.key = built->items[index].key + "/rep " + ObjectKey(item.entry.object);
      built->items.push_back(std::move(item));
    }

    KelDbResult uses;
    sql = "SELECT $OID, $COMPNAME_CHILD, $COID_CHILD, $COMPID_CHILD, C_NAME FROM " +
          QuoteHostTableName(env, kPsnInstanceTable) +
          " WHERE $COID_FATHER = ? AND $COMPID_FATHER = ? AND UBIT IS NULL ORDER BY C_RANK, $OID";
    if (connection->Execute(sql, {KelDbValue::Id(part.Coid()), KelDbValue::Id(part.Compid())}, &uses) != 0) {
      *error = "cannot read the product structure of " + env + " (create it with mml db init " + env +
               ":psn): " + connection->LastError();
      return kel_ier::kDbExecution;
    }
    std::vector<int> pushed;
    for (const auto& row : uses.rows) {
      std::string childEnv, childTable;
      if (!SplitCompname(row[1].AsText(), &childEnv, &childTable)) continue;
      Built::Item item;
      item.father = index;
      item.entry.object =
          KelDMInstance("KELCON", childEnv, childTable, row[2].AsBinary().AsId(), row[3].AsBinary().AsId());
      item.entry.oid = row[0].AsBinary().AsId();
      item.entry.name = row[4].AsText();
      item.entry.path = built->items[index].entry.path;
      item.entry.path.push_back(item.entry.oid);
      item.entry.level = built->items[index].entry.level + 1;
      const KelUnicodeString childKey = ObjectKey(item.entry.object);
      if (std::find(onPath.begin(), onPath.end(), childKey) != onPath.end()) {
        *error = "the product structure is cyclic: the part " + childKey + " is used inside itself (instance " +
                 item.entry.oid.Hex() + " of " + ObjectKey(part) + ")";
        return kel_ier::kInstanceNotFound;
      }
      item.key = built->items[index].key + "/" + item.entry.oid.Hex() + " " + childKey;
      built->items.push_back(std::move(item));
      pushed.push_back(static_cast<int>(built->items.size()) - 1);
      if (static_cast<int>(built->items.size()) > kMaxNodes) {
        *error = "the product of " + ObjectKey(top_) + " has more than " + std::to_string(kMaxNodes) + " nodes";
        return kel_ier::kInstanceNotFound;
      }
    }
    // Children read in order: push them last first so that the first is read next.
    for (auto it = pushed.rbegin(); it != pushed.rend(); ++it) stack.push_back(Frame{*it, false});
  }
  // Depth-first order: representations and parts were appended per part as
  // read; sort them so that each node comes right after its father's earlier
  // subtrees.
  std::vector<std::vector<int>> children(built->items.size());
  for (size_t i = 1; i < built->items.size(); ++i) children[built->items[i].father].push_back(static_cast<int>(i));
  std::vector<Built::Item> ordered;
  std::vector<int> newIndex(built->items.size(), -1);
  std::vector<int> walk{0};
  while (!walk.empty()) {
    const int i = walk.back();
    walk.pop_back();
    newIndex[i] = static_cast<int>(ordered.size());
    ordered.push_back(built->items[i]);
    for (auto it = children[i].rbegin(); it != children[i].rend(); ++it) walk.push_back(*it);
  }
  for (Built::Item& item : ordered)
    if (item.father >= 0) item.father = newIndex[item.father];
  built->items = std::move(ordered);
  return kel_ier::kOk;
}

std::shared_ptr<KelPSNTree> KelPSNTree::Load(const KelDMInstance& top, std::string* error) {
  std::shared_ptr<KelPSNTree> tree(new KelPSNTree(top));
  std::string why;
  if (tree->Reload(&why) != 0) {
    if (error) *error = why;
    return nullptr;
  }
  tree->Open(tree->root_, true);
  return tree;
}

int KelPSNTree::Reload(std::string* error) {
  Built built;
  std::string why;
  const int rc = Build(&built, &why);
  if (rc != 0) {
    if (error) *error = why;
    return rc;
  }
  std::map<KelUnicodeString, KelPSNNode*> previous;
  std::map<const KelPSNNode*, bool> wasOpened;
  for (KelPSNNode* node : order_) {
    const Entry& entry = entries_.at(node);
    wasOpened[node] = entry.opened;
  }
  for (const auto& [node, key] : keys_) previous[key] = const_cast<KelPSNNode*>(node);

  std::map<const KelPSNNode*, Entry> entries;
  std::map<const KelPSNNode*, KelUnicodeString> keys;
  std::vector<KelPSNNode*> order;
  for (Built::Item& item : built.items) {
    KelPSNNode* father = item.father >= 0 ? order[item.father] : nullptr;
    KelPSNNode* node = nullptr;
    auto it = previous.find(item.key);
    if (it != previous.end()) {
      node = it->second;
    } else {
      nodes_.push_back(std::make_unique<KelPSNNode>(nextId_++, KelQorNode(item.entry.object, top_), father, this));
      node = nodes_.back().get();
    }
    item.entry.node = node;
    item.entry.opened = wasOpened.count(node) ? wasOpened[node] : false;
    if (father) entries[father].children.push_back(node);
    order.push_back(node);
    keys[node] = item.key;
    entries[node] = item.entry;
  }
  entries_ = std::move(entries);
  keys_ = std::move(keys);
  order_ = std::move(order);
  root_ = order_.front();
  // What is gone leaves the selection and the centre.
  for (KelPSNNode* node : std::vector<KelPSNNode*>(selection_.GetSelected()))
    if (!IsValidNode(node)) selection_.RemoveSelected(node);
  if (centred_ && !IsValidNode(centred_)) centred_ = nullptr;
  return kel_ier::kOk;
}

// ---- Graph questions ----

KelPSNNode* KelPSNTree::GetNode(const KelRawColldouble& path, KelPSNError& error, const KelUnicodeString&,
                                KelPSNNode* root) {
  KelPSNNode* node = root ? root : root_;
  if (!IsValidNode(node)) {
    error.code = kel_ier::kInstanceNotFound;
    error.shortMessage = "Invalid node";
    error.longMessage = "The node to start from is no longer in the product structure.";
    return nullptr;
  }
  for (double d : path) {
    const KelId oid = KelId::FromDouble(d);
    KelPSNNode* next = nullptr;
    for (KelPSNNode* child : entries_.at(node).children) {
      const Entry& entry = entries_.at(child);
      if (!entry.representation && entry.oid == oid) {
        next = child;
        break;
      }
    }
    if (!next) {
      error.code = kel_ier::kInstanceNotFound;
      error.shortMessage = "No such instance";
      error.longMessage = "The instance " + oid.Hex() + " is not in the product structure.";
      return nullptr;
    }
    node = next;
  }
  return node;
}

int KelPSNTree::IsValid(int& status, KelRawColldouble& validity, int, const KelQorNode* node, void*) {
  validity.clear();
  status = 1;
  if (!node) return kel_ier::kInstanceNotFound;
  for (KelPSNNode* candidate : order_) {
    if (candidate->GetQorNode(0) == node) {
      status = 0;
      break;
    }
  }
  return kel_ier::kOk;
}

KelPSNNode* KelPSNTree::FindTree(const KelDMInstance& instance, KelPSNNode* from, bool openedOnly) {
  if (!from) from = root_;
  if (!IsValidNode(from)) return nullptr;
  std::vector<KelPSNNode*> walk{from};
  while (!walk.empty()) {
    KelPSNNode* node = walk.back();
    walk.pop_back();
    const Entry& entry = entries_.at(node);
    if (openedOnly && !IsOpenedInGraph(node)) continue;
    if (entry.object == instance) return node;
    for (auto it = entry.children.rbegin(); it != entry.children.rend(); ++it) walk.push_back(*it);
  }
  return nullptr;
}

bool KelPSNTree::IsValidNode(const KelPSNNode* node) const { return node && entries_.count(node) != 0; }

const KelPSNTree::Entry* KelPSNTree::Find(const KelPSNNode* node) const {
  auto it = entries_.find(node);
  return it == entries_.end() ? nullptr : &it->second;
}

std::vector<KelPSNNode*> KelPSNTree::AllNodes() const { return order_; }

bool KelPSNTree::IsOpenedInGraph(const KelPSNNode* node) const {
  if (!IsValidNode(node)) return false;
  for (const KelPSNNode* up = node->GetFather(); up; up = up->GetFather()) {
    if (!entries_.at(up).opened) return false;
  }
  return true;
}

std::vector<KelPSNNode*> KelPSNTree::VisibleNodes() const {
  std::vector<KelPSNNode*> visible;
  for (KelPSNNode* node : order_)
    if (IsOpenedInGraph(node)) visible.push_back(node);
  return visible;
}

void KelPSNTree::Open(KelPSNNode* node, bool opened) {
  auto it = entries_.find(node);
  if (it != entries_.end()) it->second.opened = opened;
}

void KelPSNTree::OpenAll() {
  for (auto& [node, entry] : entries_) entry.opened = true;
}

int KelPSNTree::GetZumoInstance(const KelPSNNode* node, KelZumoInstance& zumo) const {
  const Entry* entry = Find(node);
  if (!entry) return kel_ier::kInstanceNotFound;
  zumo = KelZumoInstance(top_, entry->path);
  if (entry->representation) zumo.SetRep(entry->object.GetTable(), entry->object.Compid());
  // The top part and its representations are the product itself.
  if (entry->path.empty()) return kel_ier::kOk;
  return zumo.FullyDefine();
}

KelUnicodeString KelPSNTree::GetText(const KelPSNNode* node) const {
  const Entry* entry = Find(node);
  if (!entry) return "(invalid node)";
  KelUnicodeString text = std::to_string(node->NodeId());
  if (!entry->name.empty()) text += " " + entry->name;
  KelUnicodeString name = entry->object.GetNameInstance(3, 1, " ", "$BOM_NAVIG");
  text += " " + name;
  return text;
}

// ---- Selection ----

void KelPSNTree::Select(const std::vector<KelPSNNode*>& nodes) {
  selection_.ClearSelected();
  for (KelPSNNode* node : nodes)
    if (IsValidNode(node)) selection_.AddSelected(node);
  Notify();
}

void KelPSNTree::Centre(KelPSNNode* node) {
  if (!IsValidNode(node)) return;
  for (KelPSNNode* up = node->GetFather(); up; up = up->GetFather()) Open(up, true);
  centred_ = node;
  Notify();
}

int KelPSNTree::Subscribe(std::function<void()> listener) {
  listeners_[nextListener_] = std::move(listener);
  return nextListener_++;
}

void KelPSNTree::Unsubscribe(int id) { listeners_.erase(id); }

void KelPSNTree::Notify() {
  // A listener may unsubscribe while it runs: walk a copy.
  std::vector<std::function<void()>> copies;
  for (auto& [id, listener] : listeners_) copies.push_back(listener);
  for (auto& listener : copies) listener();
}
