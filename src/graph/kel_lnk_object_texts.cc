// KelLnkObject: node text, information text, cycle description and the
// colours of the object's graph node.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include "base/kel_text.h"

#include "base/mml_constants.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_graph_texts.h"
#include "graph/kel_lnk_graph_window.h"
#include "graph/kel_lnk_link.h"
#include "graph/kel_lnk_object.h"
#include "host/kel_lnk_resources.h"
#include "host/kel_psn_trace.h"
#include "linkdb/kel_lnk_api.h"
#include "linkdb/kel_lnk_data_manager.h"

KelUnicodeString KelLnkResourceText(KelLnkGraphWindow* window, const KelString& key,
                                    const KelUnicodeString& defaultText) {
  if (window) return window->GetResource(key, defaultText);
  KelUnicodeString text;
  return KelLnkResourceCatalogue::GetResourceValueFromKey(key, text) ? text : defaultText;
}

int KelLnkColourNumber(const KelUnicodeString& text) {
  // As "%d" reads it: leading blanks, a sign, the digits; 0 without digits.
  const char* start = text.c_str();
  char* end = nullptr;
  const long value = std::strtol(start, &end, 10);
  return end == start ? 0 : static_cast<int>(value);
}

KelListValKelUnicodeString KelLnkObject::GetIdentificators() {
  MML_TRACE("KelLnkObject::GetIdentificators");
  const KelUnicodeString table = KelLnkTools::RightTrim(instance_->GetTable());
  KelListValKelUnicodeString texts = KelLnkDataManager::GetObjectIdentificators(
      instance_->GetEnvironment(), table, instance_->Coid(), instance_->Compid(), -1);
  if (window_ && window_->GetShowLocks()) {
    for (const KelUnicodeString& line : KelLnkDataManager::GetObjectLockS(instance_->GetEnvironment(), table,
                                                                          instance_->Coid(), instance_->Compid())) {
      texts.push_back(line);
    }
  }
  if (window_ && window_->GetTextWidth() != -1) {
    const size_t width = window_->GetTextWidth() < 0 ? 0 : static_cast<size_t>(window_->GetTextWidth());
    for (KelUnicodeString& text : texts) {
      text = StripBlanks(text).substr(0, width);
      if (text.empty()) text.assign(1, ' ');
    }
  }
  return texts;
}

KelListValKelUnicodeString KelLnkObject::CycleLine() const {
  // GetIdentificators reads no state of the object it could change.
  return const_cast<KelLnkObject*>(this)->GetIdentificators();
}

KelListValKelUnicodeString KelLnkObject::GetCycleInformation() const {
  MML_TRACE("KelLnkObject::GetCycleInformation");
  KelListValKelUnicodeString lines;
  if (expandable_ != kExpandSameAsFather) return lines;
  auto lineOf = [](const KelLnkObject* object) {
    KelUnicodeString line;
    for (const KelUnicodeString& text : object->CycleLine()) line += text + " ";
    return line;
  };
  lines.push_back(lineOf(this));
  const KelLnkObject* current = this;
  while (true) {
    const KelLnkObject* next = current->parentLink_ ? current->parentLink_->GetParent() : nullptr;
    if (next == nullptr || *next->instance_ == *instance_) break;
    lines.push_back(lineOf(next));
    current = next;
  }
  if (!lines.empty()) lines.push_back(lines.front());
  return lines;
}

KelUnicodeString KelLnkObject::InformationText() {
  MML_TRACE("KelLnkObject::Information");
  KelUnicodeString text;
  if (expandable_ == kExpandSameAsFather) {
    text += "Cycle detected !";
    text += "\n";
    for (const KelUnicodeString& line : GetCycleInformation()) text += "\n" + line + "\n";
    text += "\n";
  }
  const bool exists = Exists() != 0;
  const int type = instance_->GetType();
  if (!exists) {
    if (IsNull()) {
      text += "The Object which contained the UUID referenced by the link is unknown\n";
    } else {
      text += "Object no longer exists.";
      text += "\n";
      KelDMInstance part;
      if (type != 0 && type != 1 && instance_->GetPart(part) == 0) {
        KelListValKelUnicodeString partTexts = KelLnkDataManager::GetObjectIdentificators(
            part.GetEnvironment(), KelLnkTools::RightTrim(part.GetTable()), part.Coid(), part.Compid(), -1);
        if (!partTexts.empty()) {
          text += "\n";
          text += "The associated part was : ";
          text += "\n";
          for (const KelUnicodeString& partText : partTexts) text += partText + " ";
        }
      }
    }
  } else {
    text += "Object          : " + instance_->GetNameInstance(3, 1, " ", "$BOM_NAVIG") + "\n\n";
    KelDMInstance part;
    if (type != 0 && type != 1) {
      KelUnicodeString partName =
          instance_->GetPart(part) == 0 ? part.GetNameInstance(3, 1, " ", "$BOM_NAVIG") : kMmlUnknownName;
      text += "Associated Part : " + partName + "\n\n";
    }
    text += "Date            : " + GetDate() + "\n";
    text += "MML Entities    : " + IntToString(KelLnkAPI::GetEntityCount(instance_->GetObjID())) + "\n";
  }
  if (mmlFunctionTrace.LevelIsActive()) {
    text += "\n";
    text += "Environment: \"" + instance_->GetEnvironment() + "\"\n";
    text += "Table: \"" + instance_->GetTable() + "\"\n";
    text += "COID: " + instance_->GetXCoid() + "\n";
    text += "COMPID: " + instance_->GetXCompid() + "\n";
    text += KelUnicodeString("Exists: ") + (exists ? "YES" : "NO") + "\n";
    text += KelUnicodeString("Is latest: ") + (IsLatest() ? "YES" : "NO") + "\n";
    text += "Latest date: " + GetLatestDate() + "\n";
    text += "\nDepth: " + IntToString(level_);
  }
  return text;
}

void KelLnkObject::Information() {
  const KelUnicodeString text = InformationText();
  std::cout << text;
  if (!text.empty() && text.back() != '\n') std::cout << "\n";
  std::cout << std::flush;
}

void KelLnkObject::UpdateTextElem(KelIGraphNode_var node) {
  MML_TRACE("KelLnkObject::UpdateTextElem");
  if (node) node->SetText(GetIdentificators());
}

void KelLnkObject::CustomGraphNode(KelIGraphNode_var node) {
  MML_TRACE("KelLnkObject::CustomGraphNode");
  if (node == nullptr) return;
  KelString key;
  switch (expandable_) {
    case kExpandSameAsFather:
      key = "Object.Colours.SameAsFather";
      break;
    case kExpandSameInOtherBranch:
      key = "Object.Colours.SameInOtherBranch";
      break;
    case kExpandSameExpandedInOtherBranch:
      key = "Object.Colours.SameExpandedInOtherBranch";
      break;
    case kExpandSolved:
      key = "Object.Colours.Solved";
      break;
    default: {
      key = "Object.Colours.Default";
      // Plain classes, unless the graph comes from the product-structure
      // navigator: then root (no product instance) or intermediate classes.
      const bool psnClasses =
          KelLnkTools::IsTOVRAV5True() && window_ && window_->HasPSNContext() && node->IsPSNViewerNode();
      const int variant = psnClasses ? (GetZumoInstance() ? 2 : 1) : 0;
      auto pick = [variant](const KelUnicodeString& plain, const KelUnicodeString& root,
                            const KelUnicodeString& intermediate) {
        return variant == 0 ? plain : (variant == 1 ? root : intermediate);
      };
      switch (GetCondition(0)) {
        case GOOD:
          key += ".Good";
          node->SetColorClass(pick(kMmlCondGood, kMmlObjGoodR, kMmlObjGoodI));
          break;
        case BADDATE:
          key += ".Bad";
          node->SetColorClass(pick(kMmlCondBadDate, kMmlObjBadDateR, kMmlObjBadDateI));
          break;
        case BROKEN:
          key = "Object.Colours.Broken";
          node->SetColorClass(pick(kMmlCondBroken, kMmlObjBrokenR, kMmlObjBrokenI));
          break;
        default:
          key = "Object.Colours.Unknown";
          node->SetColorClass(pick(kMmlCondUnknown, kMmlObjUnknownR, kMmlObjUnknownI));
          break;
      }
      break;
    }
  }
  const int colour = KelLnkColourNumber(KelLnkResourceText(window_, key, "0"));
  if (!KelLnkTools::IsComputeLinkTechno()) {
    node->SetColor(colour);
    return;
  }
  const int techno = GetParentTechno();
  if (techno == 1 || techno == 2) {
    const KelString linkKey = techno == 1 ? "Link.Colours.Model" : "Link.Colours.Entity";
    node->SetFirstSubElementColor(KelLnkColourNumber(KelLnkResourceText(window_, linkKey, "0")));
    node->SetDecorationVisibility(0, false);
    node->SetDecorationVisibility(1, false);
    return;
  }
  node->SetColor(colour);
}
