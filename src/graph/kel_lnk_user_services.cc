#include "graph/kel_lnk_user_services.h"

#include <iostream>

namespace {

class ConsoleServices : public KelLnkUserServices {
 public:
  void ErrorBox(KelLnkGraphWindow*, const KelUnicodeString& text) override { std::cerr << text << std::endl; }
  void MessageBox(KelLnkGraphWindow*, const KelUnicodeString& text) override { std::cerr << text << std::endl; }
  void Refresh(KelLnkGraphWindow*, int) override {}
  void ShowPlan(KelLnkGraphWindow*, KelLnkObject&, Plan, ReverseLinks) override {}
  void ShowOrder(KelLnkGraphWindow*, const KelListValKelDMInstance&, const KelRawCollint&) override {}
  void ShowProgress(KelLnkGraphWindow*) override {}
  void HideProgress() override {}
  void OpenWindow(const KelDMInstance&, int) override {}
};

KelLnkUserServices* gInstalled = nullptr;

}  // namespace

KelLnkUserServices& KelLnkUserServices::Current() {
  static ConsoleServices console;
  return gInstalled ? *gInstalled : console;
}

void KelLnkUserServices::Install(KelLnkUserServices* services) { gInstalled = services; }
