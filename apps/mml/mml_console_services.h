// What the link and synchronisation commands answer in place of the graph
// window's boxes and dialogs: error boxes become lines on standard error
// (and are counted), a plan or an order shown for confirmation is kept for
// the command, and the "wait for the user" of an interactive synchronisation
// waits for the viewers it started to end.
#pragma once

#include <iostream>
#include <string>

#include "graph/kel_lnk_user_services.h"
#include "host/process/kel_xco_process.h"

class MmlConsoleServices : public KelLnkUserServices {
 public:
  MmlConsoleServices() { Install(this); }
  ~MmlConsoleServices() override { Install(nullptr); }
  MmlConsoleServices(const MmlConsoleServices&) = delete;
  MmlConsoleServices& operator=(const MmlConsoleServices&) = delete;

  void ErrorBox(KelLnkGraphWindow*, const KelUnicodeString& text) override {
    std::cerr << "mml: " << text << std::endl;
    ++errors;
  }
  void MessageBox(KelLnkGraphWindow*, const KelUnicodeString&) override {
    while (KelXcoRunningCount() > 0 && xconext() == 0) {
    }
  }
  void Refresh(KelLnkGraphWindow*, int) override { ++refreshes; }
  void ShowPlan(KelLnkGraphWindow*, KelLnkObject&, Plan units, ReverseLinks reverse) override {
    plan = std::move(units);
    reverseLinks = std::move(reverse);
    planShown = true;
  }
  void ShowOrder(KelLnkGraphWindow*, const KelListValKelDMInstance& o, const KelRawCollint& l) override {
    objects = o;
    levels = l;
  }
  void ShowProgress(KelLnkGraphWindow*) override {}
  void HideProgress() override {}
  void OpenWindow(const KelDMInstance&, int) override {}

  int errors = 0;
  int refreshes = 0;
  bool planShown = false;
  Plan plan;
  ReverseLinks reverseLinks;
  KelListValKelDMInstance objects;
  KelRawCollint levels;
};
