// The export dialog (209, modal) composes a record layout from fields and
// field separators and chooses the file; WriteExport then writes every
// record in use into it, one line each, as a whole-file replacement.
#pragma once
#include <string>

#include "phonebook/dialogs/pbstore.h"
#include "platform/dialogkit/dialog.h"

namespace pb {

class CExportDlg : public plat::Dialog {
 public:
  static constexpr int kResourceId = 209;
  static constexpr int kHelpId = 361;
  static constexpr std::size_t kMaxTemplate = 127;
  enum : int {
    IDC_FIELDS = 1492, IDC_CLEAR = 1493, IDC_ADD = 1494, IDC_FIELD_SEP = 1495, IDC_RECORD_SEP = 1496,
    IDC_LAYOUT = 1497, IDC_FILE = 1498, IDC_NAMES = 1499, IDC_BROWSE = 1500, IDC_SEPARATOR = 1517,
  };

  explicit CExportDlg(int captionChoice = 0);

  // The answer after OK: both end in CR LF, the layout's "|" became TABs.
  std::string fileName = "export.txt";
  std::string visibleLayout;
  std::string recordTemplate;
  bool namesLine = true;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  bool OnCommand(int id, plat::Notify code) override;
  plat::LRESULT OnWindowMessage(const plat::Message& m) override;

 private:
  void Add();
  void AddSeparator();
  void Browse();

  int captionChoice_;
  std::string keptTexts_[2];
};

enum class ExportResult { kDone, kRefused, kFailed };
// namesLine "" writes none. A field's line breaks and TABs are written as
// blanks, so each record stays one line.
ExportResult WriteExport(IPhoneBookStore& store, const std::string& path, const std::string& recordTemplate,
                         const std::string& namesLine);
// The text of the file WriteExport writes.
std::string ExportText(IPhoneBookStore& store, const std::string& recordTemplate, const std::string& namesLine);

}  // namespace pb
