// mml graph ENV TABLE COID COMPID: the graph of one object as the graph
// window draws it, printed as an indented tree instead of drawn on screen.
#include <iostream>
#include <memory>
#include <string>

#include "apps/mml/mml_app.h"
#include "apps/mml/mml_json.h"
#include "apps/mml/mml_object_args.h"
#include "base/kel_id.h"
#include "base/mml_constants.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_custom_node.h"
#include "graph/kel_lnk_link.h"
#include "graph/kel_lnk_object.h"
#include "host/kel_psn_trace.h"
#include "host/navigator/kel_navig_controller.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "ui/kel_lnk_main_window.h"

namespace {

const char kGraphHelp[] =
    "Opens the graph of the object without a window and prints the drawn tree,\n"
    "one node per line, in drawing order. Each line is indented by two blanks per\n"
    "navigator level: the root object at level 0, its links at level 1, the objects\n"
    "they lead to at level 2, and so on. Lines:\n"
    "  OBJECT <identificators> {state=<S> <open|closed> class=<CLASS>}\n"
    "  LINK <link type> {class=<CLASS>}\n"
    "<identificators> are the node texts of the object (the identification fields\n"
    "of the profile, blank-separated). <S> is the expand state of the object:\n"
    "  1 drawn once, 2 drawn below itself (a loop), 3 drawn elsewhere too and no\n"
    "  copy is open, 4 a copy is open elsewhere, 5 solved.\n"
    "open/closed tells whether the node shows its children. <CLASS> is the colour\n"
    "class: good, baddate, mmlstop (broken), mmlunknown for objects; good, goodold,\n"
    "baddate, mmlstop, mmlunknown, up_good, up_baddate for links; - when none.\n"
    "The direction is \"impacted by\" (the objects the object points to) unless\n"
    "--impacts-on is given (the objects that point to it). --depth is the expand\n"
    "depth of the window (default one). Link filter, link type and text width are\n"
    "the window's defaults; settings come from the profile (--profile or\n"
    "MML_PROFILE) when one is given. Needs --db (or MML_DB).\n"
    "With --json: the root node as one JSON object, each node with its fields\n"
    "(object: identificators, state, open, class; link: type, class; class null\n"
    "for none) and the nodes drawn below it in \"children\".";

struct GraphArgs : MmlObjectArgs {
  bool impactsOn = false;
  std::string depth = "one";
  bool json = false;
};

KelLnkMainWindow::Expand ParseDepth(const std::string& text) {
  if (text == "one") return KelLnkMainWindow::One;
  if (text == "two") return KelLnkMainWindow::Two;
  if (text == "three") return KelLnkMainWindow::Three;
  if (text == "all") return KelLnkMainWindow::All;
  MmlFail("invalid depth '" + text + "': expected one, two, three or all");
}

std::string Line(KelNavigInstance* instance) {
  std::string line(static_cast<size_t>(instance->GetLevel()) * 2, ' ');
  auto* node = static_cast<KelLnkNode*>(instance->GetReference().get());
  KelIGraphNode* drawn = instance->GetGraphNode();
  std::string colorClass = drawn->GetColorClass();
  if (colorClass.empty()) colorClass = "-";
  if (node->GetNodetype() == 0) {
    line += "OBJECT";
    for (const KelUnicodeString& text : drawn->GetText()) line += " " + text;
    line += " {state=" + std::to_string(static_cast<int>(node->IsExpandable()));
    line += instance->IsExpanded() ? " open" : " closed";
    line += " class=" + colorClass + "}";
  } else {
    line += "LINK " + static_cast<KelLnkLink*>(node)->GetLinktype() + " {class=" + colorClass + "}";
  }
  return line;
}

// The node of one line as JSON, without its children.
nlohmann::ordered_json JsonNode(KelNavigInstance* instance) {
  auto* node = static_cast<KelLnkNode*>(instance->GetReference().get());
  KelIGraphNode* drawn = instance->GetGraphNode();
  const std::string colorClass = drawn->GetColorClass();
  nlohmann::ordered_json json;
  if (node->GetNodetype() == 0) {
    json["node"] = "object";
    const KelListValKelUnicodeString texts = drawn->GetText();
    json["identificators"] = std::vector<std::string>(texts.begin(), texts.end());
    json["state"] = static_cast<int>(node->IsExpandable());
    json["open"] = instance->IsExpanded();
  } else {
    json["node"] = "link";
    json["type"] = static_cast<KelLnkLink*>(node)->GetLinktype();
  }
  json["class"] = colorClass.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(colorClass);
  json["children"] = nlohmann::ordered_json::array();
  return json;
}

// Nests the nodes of a drawing-order walk by their levels: the nodes that
// follow a node one level deeper, up to the next node of its level or above,
// are its children. Consumes nodes[*next...] from `level` down.
nlohmann::ordered_json Nest(std::vector<std::pair<int, nlohmann::ordered_json>>& nodes, size_t* next) {
  auto& [level, json] = nodes[(*next)++];
  while (*next < nodes.size() && nodes[*next].first > level) json["children"].push_back(Nest(nodes, next));
  return std::move(json);
}

void RunGraph(const GraphArgs& args, MmlGlobals& globals) {
  if (args.env.empty() || args.table.empty()) MmlFail("the environment and the table must not be empty");
  const KelId coid = MmlParseIdentifier("COID", args.coid);
  const KelId compid = MmlParseIdentifier("COMPID", args.compid);
  const KelLnkMainWindow::Expand expand = ParseDepth(args.depth);
  MmlOpenSession(globals, false);
  MmlLoadProfile(globals, false);
  KelLnkTools::Initialise();
  KelLnkHybridManager::CacheDeclarations();
  if (!KelLnkDataManager::DoesObjectExist(args.env, args.table, coid, compid)) {
    MmlFail("no object " + args.env + " " + args.table + " " + coid.Hex() + " " + compid.Hex());
  }

  const KelDMInstance root(kMmlKelcon, args.env, args.table, coid, compid);
  auto window = std::make_unique<KelLnkMainWindow>(nullptr, &root, args.impactsOn ? 1 : 0, nullptr, nullptr, nullptr);
  if (!window->GetRootObject()) MmlFail("the graph cannot be opened");
  window->SetExpand(expand);

  // The window's navigator: the root drawn 2 levels deep, then opened to the
  // expand depth the way the window's refresh does it.
  KelLnkCustomNode::RegisterNodeTypes();
  {
    auto navigator = std::make_unique<KelNavigController>(window->GetRootObject(), KelLnkCustomNode::kNodeType,
                                                          KelLnkCustomNode::kArcType);
    navigator->SetDepth(window->GetExpandDepth());
    navigator->SetDepth(2);
    navigator->SetActivatorsVisibility(true);
    navigator->GetContainer()->Refresh();
    window->EmptyLists();
    KelLnkObject::Clean();
    KelLnkCustomNode* rootNode = window->GetRootCustomNode();
    if (rootNode != nullptr && window->GetRootController() != nullptr) {
      static_cast<KelLnkObject*>(window->GetRootObject().get())->ExpandCollapse(1, rootNode, 0);
      KelLnkObject::Clean();
      navigator->GetContainer()->Refresh();
    }

    if (args.json) {
      std::vector<std::pair<int, nlohmann::ordered_json>> nodes;
      navigator->GetRootInstance()->Walk(
          [&nodes](KelNavigInstance* instance) { nodes.emplace_back(instance->GetLevel(), JsonNode(instance)); });
      size_t next = 0;
      if (!nodes.empty()) MmlEmitJson(Nest(nodes, &next));
    } else {
      // Line by line: a whole-depth graph would otherwise hold its text twice.
      navigator->GetRootInstance()->Walk([](KelNavigInstance* instance) { std::cout << Line(instance) << '\n'; });
      std::cout << std::flush;
    }

    // What the graph drew goes with the process: a whole-depth graph holds
    // hundreds of thousands of drawn nodes, and freeing them one by one
    // costs a tenth of its run. An active trace sees the window close.
    if (kMmlMayEndWithoutTeardown && KelPSNTrace::ActiveLevel() < 0) {
      globals.endWithoutTeardown = true;
      static_cast<void>(navigator.release());
      static_cast<void>(window.release());
      return;
    }
    // The window names the navigator's nodes: forget them before they go.
    window->EmptyLists();
    window->SetRootController(nullptr);
    window->SetRootCustomNode(nullptr);
  }
}

MmlCommand reg("graph", [](CLI::App& app, MmlGlobals& globals) {
  auto args = std::make_shared<GraphArgs>();
  CLI::App* graph = app.add_subcommand("graph", "Print the graph of an object as the graph window draws it");
  graph->footer(kGraphHelp);
  args->AddTo(graph);
  graph->add_flag("--impacts-on", args->impactsOn, "Show the objects that point to the object (impacts on)");
  graph->add_option("--depth", args->depth, "Expand depth: one, two, three or all (default one)");
  graph->add_flag("--json", args->json, "Print the tree as one JSON document instead of text lines");
  graph->callback([args, &globals]() { RunGraph(*args, globals); });
});

}  // namespace
