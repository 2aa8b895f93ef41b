// KelDMDlgZUMOResult: the result panel, the window the user starts from.
//
// It lists the environments that hold links ("EnvironmentList"; the chosen
// ones are what GetListeFiltered answers, all of them while none is chosen),
// finds the objects of a table ("Table", default TOVRA_MODEL) whose C_ID
// matches a name filter ("NameFilter", "%" and "_" as in SQL; empty: all)
// with the button "Search" into "ObjectList", and opens a graph window on
// the selected object with "OpenImpactedBy" or "OpenImpactsOn" through
// LaunchMMLWindow. The first panel made is the one the module asks for its
// environments, and the one LaunchMMLWindow uses without a panel.
//
// It also keeps the viewer tools registered per table (KelDMViewerTool),
// which the graph window's option button reads.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/dlg/kel_dlg_objects.h"
#include "host/kel_dm_instance.h"

class KelLnkMainWindow;

// A viewer that opens the objects of a table, with its options (numbered
// from 1).
class KelDMViewerTool {
 public:
  virtual ~KelDMViewerTool() = default;
  virtual int GetNbOptions() const = 0;
  virtual std::string GetOptionTitle(int option) const = 0;
  virtual int GetCurrentOption() const = 0;
  virtual void SetCurrentOption(int option, int flag) = 0;
};

class KelDMDlgZUMOResult : public KelDlgDocument {
 public:
  KelDMDlgZUMOResult();
  ~KelDMDlgZUMOResult() override;

  // The environments chosen, in list order; all of them when none is.
  KelListValKelUnicodeString GetListeFiltered() const;
  // Fills "ObjectList" from the table and the filter; returns the count
  // found, or -1 (with the message in the status bar) on a database error.
  int Search();
  // The instance of row `row` of "ObjectList" (false when out of range).
  bool GetObject(int row, KelDMInstance* instance) const;
  // Opens a graph window on the selected object; null without a selection.
  KelLnkMainWindow* OpenSelected(int order);
  // A graph window opened through this panel (LaunchMMLWindow): the panel's
  // destruction deletes it, at the next idle time, unless it went before.
  void AdoptWindow(KelLnkMainWindow* window);

  void RegisterViewer(const std::string& table, std::unique_ptr<KelDMViewerTool> tool);
  KelDMViewerTool* GetViewer(const std::string& table) const;

  KelDlgMultiList* GetEnvironmentList() const { return environments_; }
  KelDlgMultiList* GetObjectList() const { return objects_; }
  KelDlgEditor* GetTableEditor() const { return table_; }
  KelDlgEditor* GetFilterEditor() const { return filter_; }

 private:
  KelDlgMultiList* environments_;
  KelDlgEditor* table_;
  KelDlgEditor* filter_;
  KelDlgMultiList* objects_;
  KelDlgStatusBar* status_;
  std::vector<KelDMInstance> found_;
  std::map<std::string, std::unique_ptr<KelDMViewerTool>> viewers_;
  std::vector<KelLnkMainWindow*> windows_;  // opened through the panel; not owned until it goes
};

// The host list of result panels, oldest first.
class KelDMDlgResultPanel {
 public:
  static const std::vector<KelDMDlgZUMOResult*>& GetListResultPanel();
};
