// Two data-management panels of the host:
//
//   KelDMDlgMessage   the message panel: a notify box "DMMessage" showing the
//                     catalogue text of an error code (or a given text); OK
//                     or close destroys it at the next idle time.
//   KelDMInsertPanel  the insert panel of one table: a dialog with one editor
//                     per attribute (named after the attribute), whose values
//                     form the query buffer the caller reads on OK or Apply.
//                     The caller registers its own OK, Apply, Cancel and
//                     close callbacks and destroys the panel.
#pragma once

#include <string>
#include <vector>

#include "base/kel_types.h"
#include "host/dlg/kel_dlg_objects.h"

class KelDMDlgMessage : public KelDlgNotify {
 public:
  // `type` is the host's kind of panel (5: error), kept as given; the text is
  // `text` when not empty, else the display message of `code`.
  KelDMDlgMessage(int type, int code, const std::string& text = "");
  int GetType() const { return type_; }
  int GetCode() const { return code_; }
  // Panels alive.
  static int Count();
  // The last panel opened and still alive, or null.
  static KelDMDlgMessage* Last();
  ~KelDMDlgMessage() override;

 private:
  int type_;
  int code_;
};

class KelDMInsertPanel : public KelDlgDialog {
 public:
  // A panel `name` titled `title` for `table`, with one editor per attribute
  // in `attributes`, filled with `defaults` (parallel, may be shorter).
  KelDMInsertPanel(const std::string& name, const std::string& title, const std::string& table,
                   const KelListValKelUnicodeString& attributes, const KelListValKelUnicodeString& defaults);
  const std::string& GetTable() const { return table_; }
  // The attribute names and the values the user typed, in attribute order.
  void GetQueryBuffer(KelListValKelUnicodeString& names, KelListValKelUnicodeString& values) const;

 private:
  std::string table_;
  KelListValKelUnicodeString attributes_;
  std::vector<KelDlgEditor*> editors_;
};
