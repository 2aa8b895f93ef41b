// Link location and update (technology and up-to-date flag), the model filter
// and the validity of instance links.
#include <utility>

#include "foundation/kel_lnk_tools.h"
#include "host/kel_psn_node.h"
#include "host/kel_psn_trace.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "linkdb/kel_lnk_query_context.h"

namespace {

const char* TechnoText(int techno) {
  switch (techno) {
    case MML_LINK_EXT:
      return "MML_LINK_EXT";
    case MML_LINK_ENTITY:
      return "MML_LINK_ENTITY";
    case MML_LINK_BOTH:
      return "MML_LINK_BOTH";
    case MML_LINK_KELV5:
      return "MML_LINK_KELV5";
    default:
      return "MML_LINK_UNKNOWN";
  }
}

// Whether an instance passes the maturity rule of the snapshot.
bool PassesMaturity(const KelDMInstance& instance) {
  int index = 0;
  KelUnicodeString name;
  instance.GetMaturity(index, name);
  if ((index == 0 || index == -1) && KelLnkHybridManager::FilterMaturityNullOK() == 1) return true;
  return index >= KelLnkHybridManager::FilterMaturityMin();
}

}  // namespace

int KelLnkHybridManager::LocateAndUpdateLink(const Link& link, const KelUnicodeString& childTs, int validity,
                                             const KelUnicodeString& v5Status) {
  MML_TRACE("KelLnkHybridManager::LocateAndUpdateLink");
  // Trace texts are built only when the trace is on: this runs once per link reading.
  const bool tracing = mmlFunctionTrace.LevelIsActive();
  if (tracing) {
    mmlFunctionTrace.Write(" Child TMS : " + childTs);
    mmlFunctionTrace.Write(" Validite  : " + std::to_string(validity));
    mmlFunctionTrace.Write(" Link TMS  : " + link.Timestamp.str());
  }

  const bool qorLink = link.Table() == "QOR_LINK";
  // The link's timestamp as text, its storage reused from link to link.
  static thread_local std::string linkText;
  link.Timestamp.AssignTo(linkText);
  const std::string_view linkTs = linkText;
  int j = FindLink(link.FatherIndex, link.ChildIndex, link.TypeNumber());

  if (j < 0) {
    mmlFunctionTrace.Write(" -> Link CREATION <- ");
    Link created = link;
    created.UpToDate = 0;
    created.ClearUuids();
    if (!qorLink) {
      created.UpToDate = linkTs == childTs ? 1 : 0;
    } else if (NewMMLV5() == 1) {
      created.UpToDate = v5Status == "OK" ? 1 : 0;
    } else if (ReleaseValidity() == 0) {
      created.UpToDate = (linkTs.empty() || linkTs == childTs) ? 1 : 0;
    } else if (validity == -1) {
      mmlFunctionTrace.Write("  Ref Link ");
      created.UpToDate = linkTs == childTs ? 1 : 0;
    } else {
      mmlFunctionTrace.Write("  Inst Link ");
      if (validity == 0) {
        if (linkTs.empty() || childTs.empty())
          created.UpToDate = 1;
        else if (linkTs == "0")
          created.UpToDate = 0;
        else
          created.UpToDate = linkTs == childTs ? 1 : 0;
      } else {
        created.UpToDate = 0;
      }
    }
    if (link.Table() == "$EXT")
      created.Techno = MML_LINK_EXT;
    else if (link.Table() == "MML_LINK")
      created.Techno = MML_LINK_ENTITY;
    else if (qorLink)
      created.Techno = MML_LINK_KELV5;
    else
      created.Techno = MML_LINK_UNKNOWN;
    if (tracing)
      mmlFunctionTrace.Write(KelUnicodeString("\n\t    ") + TechnoText(created.Techno) + " :: " + link.Type());
    return AppendLink(std::move(created));
  }

  mmlFunctionTrace.Write(" -> Link UPDATE <- ");
  Link& c = *GetLink(j);
  const int before = c.Techno;
  if (LinkTechno() == 0 || c.Techno == MML_LINK_KELV5) {
    // A further reading can only find the link stale, never bring it back.
    if (!qorLink) {
      if (linkTs != childTs) c.UpToDate = 0;
    } else if (NewMMLV5() == 1) {
      if (v5Status != "OK") c.UpToDate = 0;
    } else if (ReleaseValidity() == 1) {
      if (validity == -1) {
        mmlFunctionTrace.Write("  Ref Link ");
        if (linkTs != childTs) c.UpToDate = 0;
      } else if (validity == 0) {
        mmlFunctionTrace.Write("  Inst Link ");
        if (!linkTs.empty() && !childTs.empty() && linkTs != childTs) c.UpToDate = 0;
        if (linkTs == "0") c.UpToDate = 0;
      } else {
        mmlFunctionTrace.Write("  Inst Link ");
        c.UpToDate = 0;
      }
    } else {
      if (!(linkTs.empty() || linkTs == childTs)) c.UpToDate = 0;
    }
    if (c.Timestamp < link.Timestamp) c.Timestamp = link.Timestamp;
  } else {
    // The entity reading decides.
    if (c.Techno == MML_LINK_EXT && link.Table() == "MML_LINK") {
      c.UpToDate = linkTs == childTs ? 1 : 0;
    } else if ((c.Techno == MML_LINK_EXT && link.Table() == "$EXT") ||
               (link.Table() == "MML_LINK" && (c.Techno == MML_LINK_ENTITY || c.Techno == MML_LINK_BOTH))) {
      if (linkTs != childTs) c.UpToDate = 0;
      if (c.Timestamp < link.Timestamp) c.Timestamp = link.Timestamp;
    }
  }
  if (c.Techno == MML_LINK_EXT && link.Table() == "MML_LINK") {
    c.Techno = MML_LINK_BOTH;
  } else if (c.Techno == MML_LINK_ENTITY && link.Table() == "$EXT") {
    c.Techno = MML_LINK_BOTH;
    c.SetTable("$EXT");
  }
  if (tracing) {
    mmlFunctionTrace.Write(KelUnicodeString("\n\t    ") + TechnoText(before) + " >>> ");
    mmlFunctionTrace.Write(KelUnicodeString(" ") + TechnoText(c.Techno) + " :: " + link.Type());
  }
  return j;
}

int KelLnkHybridManager::FilterModel(const KelDMInstance& instance) {
  MML_TRACE("KelLnkHybridManager::FilterModel");
  if (FilterRevision() == 0 && FilterMaturity() == 0) return 1;
  int cached = FindFilterVerdict(instance.Coid(), instance.Compid());
  if (cached >= 0) return cached;
  int verdict = ComputeFilterModel(instance);
  AppendFilterVerdict(instance.Coid(), instance.Compid(), verdict);
  return verdict;
}

int KelLnkHybridManager::ComputeFilterModel(const KelDMInstance& instance) {
  MML_TRACE("KelLnkHybridManager::ComputeFilterModel");
  if (FilterRevision() == 1 && FilterMaturity() == 0) {
    KelDMInstance last;
    int rc = instance.GetLastRevision(last);
    return (rc == 0 && last != instance) ? 0 : 1;
  }
  if (FilterRevision() == 0 && FilterMaturity() == 1) return PassesMaturity(instance) ? 1 : 0;
  if (FilterRevision() == 1 && FilterMaturity() == 1) {
    if (!PassesMaturity(instance)) return 0;
    KelListValKelDMInstance revisions;
    int rc = instance.GetAllRevision(revisions);
    if (rc != 0 || revisions.empty()) return 1;
    for (size_t k = revisions.size(); k-- > 0;) {
      if (!PassesMaturity(revisions[k])) revisions.erase(revisions.begin() + static_cast<long>(k));
    }
    if (revisions.empty()) return 0;
    return revisions.back() == instance ? 1 : 0;
  }
  return 1;
}

void KelLnkHybridManager::GetValidityOnLink(KelRawColldouble& path, KelRawColldouble& validity, int& status,
                                            KelLnkQueryContext* window) {
  MML_TRACE("KelLnkHybridManager::GetValidityOnLink");
  mmlFunctionTrace.Write(" Validite demandee ");
  if (!window || !window->GetPSNGraph() || !window->GetPSNRootNode()) return;
  KelPSNGraph* graph = window->GetPSNGraph();
  KelPSNError error;
  KelPSNNode* node = graph->GetNode(path, error, "ref", window->GetPSNRootNode());
  if (error.IsError() || !node || !node->GetQorNode(0)) return;
  int hostStatus = status;
  int r = graph->IsValid(hostStatus, validity, 0, node->GetQorNode(0), nullptr);
  if (r != 0) {
    status = -1;
    return;
  }
  mmlFunctionTrace.Write(" IsValid ok : status = " + std::to_string(hostStatus));
  if (hostStatus == 0 || hostStatus == 100 || hostStatus == 200)
    status = 0;
  else if (hostStatus == 1 || hostStatus == 101 || hostStatus == 201)
    status = 1;
  else
    status = 2;
}
