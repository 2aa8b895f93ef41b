// A small linked database and a profile for the graph window's tests:
// models M1 -> M2 -> M3 and M1 -> M4, links of type "KELMMxyz"; and a
// product structure over them for the navigator's tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "base/mml_constants.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_link.h"
#include "graph/kel_lnk_object.h"
#include "host/dlg/kel_command.h"
#include "host/dlg/kel_setting_repository.h"
#include "host/psn/kel_psn_tree.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "support/product.h"
#include "ui/kel_dm_dlg_zumo_result.h"
#include "ui/kel_lnk_window_view.h"

class WindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = std::make_unique<TestDatabase>(Engine());
    db_->Init({"E1:objects,links"});
    Product product(*db_);
    for (const char* name : {"M1", "M2", "M3", "M4"}) product.Model(name[1] - '0', name);
    product.Link(1, 2).Link(2, 3).Link(1, 4);
    setenv("MML_CONFIG_DIR", config_.Path().c_str(), 1);
    KelSettingRepository::ForgetAll();
    module_.UseResources("MainWindow.Menu.Graph.Refresh.Title = Rafraichir\n");
    module_.Configure("LINKTYPE E1 KELMMxyz MML_xyz\n" + ProfileKeys());
  }

  void TearDown() override {
    ModuleStateGuard::CloseWindows();
    KelSettingRepository::ForgetAll();
    unsetenv("MML_CONFIG_DIR");
  }

  virtual std::string ProfileKeys() const { return ""; }
  virtual TestEngine Engine() const { return TestEngine::kSqlite; }

  static std::string Coid(int n) { return CoidHex(n); }
  static std::string Compid(int n) { return CompidHex(n); }
  // A link of type "KELMMxyz" from model `father` to model `child`.
  void Link(int father, int child) { Product(*db_).Link(father, child); }

  // A window on `root` in direction `order`, every level open.
  static KelLnkWindowView* Open(const KelDMInstance& root, int order) {
    KelLnkWindowView* window = new KelLnkWindowView(nullptr, &root, order, nullptr, nullptr, nullptr);
    window->SetExpand(KelLnkMainWindow::All);
    window->Refresh(1);
    return window;
  }
  // Right-clicks the first drawn node `pick` accepts; returns the menu.
  static KelDlgObject* RightClick(KelLnkWindowView* window, const std::function<bool(KelLnkNode*)>& pick) {
    KelNavigInstance* found = nullptr;
    window->GetNavigatorController()->GetRootInstance()->Walk([&](KelNavigInstance* i) {
      auto* node = dynamic_cast<KelLnkNode*>(i->GetReference().get());
      if (found == nullptr && node != nullptr && i->IsDrawn() && pick(node)) found = i;
    });
    if (found == nullptr) return nullptr;
    window->GetViewer()->UserMethod(found->GetGraphNode());
    return window->GetContextMenu();
  }
  static std::function<bool(KelLnkNode*)> Object(const std::string& coid) {
    return [coid](KelLnkNode* n) { return n->GetNodetype() == 0 && n->GetInstance().GetXCoid() == coid; };
  }

  static std::function<bool(KelLnkNode*)> LinkTo(const std::string& coid) {
    return [coid](KelLnkNode* n) {
      return n->GetNodetype() == 1 && static_cast<KelLnkLink*>(n)->GetChild()->GetInstance().GetXCoid() == coid;
    };
  }

  std::unique_ptr<TestDatabase> db_;
  TempDir config_;
  ModuleStateGuard module_;
};

// Part P uses part Q (instance I1, represented by M1) and part R (instance
// I2, represented by M2); M4 is not in the product. The tree is read with
// only the top part open.
class ProductStructureFixture : public WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    db_->Init({"E1:psn"});
    for (const char* part : {"5", "6", "7"})
      db_->Exec(std::string("INSERT INTO $VS_E1.PART_LIST ($COID, $COMPID, C_ID) VALUES (X'B00000000000000") + part +
                "', X'B10000000000000" + part + "', 'P" + part + "');");
    // Instance I<n> of part <part> inside P, represented by model n.
    for (const auto& [n, part] : {std::pair{1, "6"}, std::pair{2, "7"}}) {
      db_->Exec(
          "INSERT INTO $VS_E1.PSN_INSTANCE ($OID, $COID_FATHER, $COMPID_FATHER, $COMPNAME_CHILD, $COID_CHILD, "
          "$COMPID_CHILD) VALUES (X'A00000000000000" +
          std::to_string(n) + "', X'B000000000000005', X'B100000000000005', 'E1.PART_LIST', X'B00000000000000" + part +
          "', X'B10000000000000" + part + "');");
      db_->Exec(
          "INSERT INTO $VS_E1.PSN_REP ($COID_PART, $COMPID_PART, $COMPNAME_REP, $COID_REP, $COMPID_REP) VALUES "
          "(X'B00000000000000" +
          std::string(part) + "', X'B10000000000000" + part + "', 'E1.TOVRA_MODEL', X'" + Coid(n) + "', X'" +
          Compid(n) + "');");
    }
    std::string error;
    tree_ =
        KelPSNTree::Load(KelDMInstance(kMmlKelcon, "E1", "PART_LIST", "B000000000000005", "B100000000000005"), &error);
    ASSERT_TRUE(tree_) << error;
    panel_ = std::make_unique<KelDMDlgZUMOResult>();
  }
  void TearDown() override {
    tree_.reset();
    WindowFixture::TearDown();
  }

  std::shared_ptr<KelPSNTree> tree_;
  std::unique_ptr<KelDMDlgZUMOResult> panel_;
};
