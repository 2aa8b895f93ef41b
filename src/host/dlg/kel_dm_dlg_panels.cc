#include "host/dlg/kel_dm_dlg_panels.h"

#include <algorithm>

#include "host/db/kel_dm_ier_message.h"

namespace {
std::vector<KelDMDlgMessage*>& Panels() {
  static std::vector<KelDMDlgMessage*> panels;
  return panels;
}
}  // namespace

KelDMDlgMessage::KelDMDlgMessage(int type, int code, const std::string& text)
    : KelDlgNotify(nullptr, "DMMessage", 0), type_(type), code_(code) {
  Panels().push_back(this);
  SetTitle(KelDMIerMessage(code).GetShortMessage());
  SetText(text.empty() ? KelDMIerMessage(code).GetDisplayMessage(1) : text);
  for (KelNotification n : {KelNotification::OK, KelNotification::Close}) {
    AddAnalyseNotificationCB(
        this, n,
        [this](KelCommand*, KelNotification, void*) {
          SetVisibility(false);
          RequestDelayedDestruction();
        },
        nullptr, this);
  }
  SetVisibility(true);
}

KelDMDlgMessage::~KelDMDlgMessage() {
  auto& panels = Panels();
  panels.erase(std::remove(panels.begin(), panels.end(), this), panels.end());
}

int KelDMDlgMessage::Count() { return static_cast<int>(Panels().size()); }

KelDMDlgMessage* KelDMDlgMessage::Last() { return Panels().empty() ? nullptr : Panels().back(); }

KelDMInsertPanel::KelDMInsertPanel(const std::string& name, const std::string& title, const std::string& table,
                                   const KelListValKelUnicodeString& attributes,
                                   const KelListValKelUnicodeString& defaults)
    : KelDlgDialog(nullptr, name, 0), table_(table), attributes_(attributes) {
  SetTitle(title);
  for (size_t k = 0; k < attributes.size(); ++k) {
    auto* label = new KelDlgLabel(this, "Label" + attributes[k], 0);
    label->SetTitle(attributes[k]);
    label->SetGridConstraints(static_cast<int>(k), 0);
    auto* editor = new KelDlgEditor(this, attributes[k], 0);
    if (k < defaults.size()) editor->SetText(defaults[k]);
    editor->SetGridConstraints(static_cast<int>(k), 1);
    editors_.push_back(editor);
  }
}

void KelDMInsertPanel::GetQueryBuffer(KelListValKelUnicodeString& names, KelListValKelUnicodeString& values) const {
  names = attributes_;
  values.clear();
  for (const KelDlgEditor* editor : editors_) values.push_back(editor->GetText());
}
