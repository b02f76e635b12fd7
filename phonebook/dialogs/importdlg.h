// The import of a text file into the phone book: the import dialog (212),
// the linking dialog (211) and the import run itself, which stores every
// wanted line as a new record and tells the user what it did.
#pragma once
#include <string>

#include "phonebook/dialogs/importcheck.h"
#include "phonebook/dialogs/pbstore.h"
#include "platform/dialogkit/dialog.h"

namespace pb {

struct ImportOptions {
  bool preview = false;          // look at each record first
  bool validNumbersOnly = true;
  bool reportMissing = true;
  bool reportDuplicate = true;
  bool statistics = true;
  bool checkDuplicates = true;
  bool skipFirstLine = false;
};

struct ImportStats {
  long imported = 0;
  long notImported = 0;     // every line not stored: dropped, too long, or left by a failure
  long missingColumns = 0;  // columns linked that a line lacked
  bool failed = false;      // a write failed: the import stopped there
};

// The run over an opened and linked file. Boxes go to owner.
ImportStats RunImport(plat::WindowId owner, IPhoneBookStore& store, CDataBaseImportFileChecker& file,
                      const ImportOptions& options);

class CLinkFieldsDlg : public plat::Dialog {
 public:
  static constexpr int kResourceId = 211;
  enum : int {
    IDC_COLUMNS = 1508, IDC_FIELDS = 1509, IDC_LINK = 1511, IDC_LINKED = 1512, IDC_CHECK_NUMBERS = 1513,
    IDC_UNLINK = 1515, IDC_COLUMN_COUNT = 1518, IDC_LINE_COUNT = 1519, IDC_SKIP_FIRST = 1525,
  };

  CLinkFieldsDlg(std::string path, CDataBaseImportFileChecker& file);

  bool checkNumbers = true;
  bool skipFirstLine = false;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  bool OnCommand(int id, plat::Notify code) override;
  plat::LRESULT OnWindowMessage(const plat::Message& m) override;

 private:
  void UpdateButtons();
  void Link();
  void Unlink();
  void FillFields();

  std::string path_;
  CDataBaseImportFileChecker& file_;
};

class CImportDlg : public plat::Dialog {
 public:
  static constexpr int kResourceId = 212;
  static constexpr int kHelpId = 362;
  enum : int {
    IDC_BROWSE = 1520, IDC_PATH = 1521, IDC_SEPARATOR = 1522, IDC_LINK = 1523, IDC_PREVIEW = 1524,
    IDC_VALID_ONLY = 1526, IDC_REPORT_MISSING = 1527, IDC_REPORT_DUPLICATE = 1528, IDC_STATISTICS = 1529,
  };

  explicit CImportDlg(IPhoneBookStore& store);

  std::string path;
  ImportOptions options;
  bool linked = false;
  ImportStats stats;  // of the last run

  CDataBaseImportFileChecker& File() { return file_; }

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  bool OnCommand(int id, plat::Notify code) override;
  plat::LRESULT OnWindowMessage(const plat::Message& m) override;

 private:
  void Browse();
  void OpenLinks();
  void ReadOptions();

  IPhoneBookStore& store_;
  CDataBaseImportFileChecker file_;
};

}  // namespace pb
