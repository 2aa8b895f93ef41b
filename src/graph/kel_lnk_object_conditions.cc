// KelLnkObject: the object condition, the impacted-on condition and the
// clearing of their caches.
#include <iostream>

#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_graph_window.h"
#include "graph/kel_lnk_link.h"
#include "graph/kel_lnk_object.h"
#include "host/kel_psn_trace.h"

namespace {

bool IsSound(int linkCondition) {
  return linkCondition == KelLnkLink::GOOD || linkCondition == KelLnkLink::GOODOLD ||
         linkCondition == KelLnkLink::UP_GOOD;
}

const char* ConditionTrace(int condition) {
  switch (condition) {
    case KelLnkObject::GOOD:
      return "Condition : GOOD\n";
    case KelLnkObject::BADDATE:
      return "Condition : BADDATE\n";
    case KelLnkObject::BROKEN:
      return "Condition : BROKEN\n";
    default:
      return "Condition : UNKNOWN\n";
  }
}

KelLnkLink* AsLink(const KelBaseUnknown_var& handle) { return static_cast<KelLnkLink*>(handle.get()); }

}  // namespace

int KelLnkObject::GetCondition(int reverse) {
  MML_TRACE("KelLnkObject::GetCondition");
  if (DbgExpand()) std::cout << " GetCondition Object ? \n";
  auto answer = [this](int condition) {
    condition_ = condition;
    conditionCached_ = true;
    if (DbgExpand()) std::cout << ConditionTrace(condition) << std::flush;
    return condition;
  };
  if (conditionCached_) {
    if (DbgExpand()) std::cout << ConditionTrace(condition_) << std::flush;
    return condition_;
  }
  if (!Exists()) return answer(IsNull() ? UNKNOWN : BROKEN);

  int direction = window_ ? window_->GetOrder() : 0;
  if (reverse) direction = direction ? 0 : 1;

  if (direction == 0) {
    bool allSound = true;
    bool technoSeen = false;
    const bool computeTechno = KelLnkTools::IsComputeLinkTechno() != 0;
    for (const KelBaseUnknown_var& handle : GetLnkChildren(reverse != 0)) {
      KelLnkLink* link = AsLink(handle);
      int linkCondition = link->GetCondition(reverse);
      if (linkCondition == KelLnkLink::UNKNOWN) continue;
      // Once a link known from both sources is met, only such links count.
      if (computeTechno && !technoSeen && link->GetTechno() == 3) {
        technoSeen = true;
        allSound = true;
      }
      if ((!technoSeen || link->GetTechno() == 3) && !IsSound(linkCondition)) allSound = false;
    }
    return answer(allSound ? GOOD : BADDATE);
  }

  if (parentLink_ == nullptr) return answer(GOOD);
  return answer(IsSound(parentLink_->GetCondition(0)) ? GOOD : BADDATE);
}

int KelLnkObject::GetImpactOnCondition() {
  MML_TRACE("KelLnkObject::GetImpactOnCondition");
  if (impactOnConditionCached_) return impactOnCondition_;
  int condition = GOOD;
  if (!Exists()) {
    condition = BROKEN;
  } else {
    for (const KelBaseUnknown_var& handle : GetLnkChildren(0)) {
      if (!IsSound(AsLink(handle)->GetCondition(0))) {
        condition = BADDATE;
        break;
      }
    }
  }
  impactOnCondition_ = condition;
  impactOnConditionCached_ = true;
  return condition;
}

void KelLnkObject::Uncache(const int recursive) {
  MML_TRACE("KelLnkObject::Uncache");
  if (!recursive) {
    conditionCached_ = false;
    impactOnConditionCached_ = false;
    return;
  }
  KelListValKelDMInstance path;
  UncacheWithoutLoop(path);
}

void KelLnkObject::UncacheWithoutLoop(KelListValKelDMInstance& path) {
  MML_TRACE("KelLnkObject::UncacheWithoutLoop");
  for (const KelDMInstance& seen : path) {
    if (seen == *instance_) return;
  }
  path.push_back(*instance_);
  for (const KelBaseUnknown_var& handle : GetLnkChildren(0)) AsLink(handle)->UncacheWithoutLoop(path);
  path.pop_back();
  conditionCached_ = false;
  impactOnConditionCached_ = false;
}
