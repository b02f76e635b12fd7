// The own workstation's call data: dialog 182 "Gesprächsdaten, Arbeitsplatz"
// lists the lines and acts on a chosen one, dialog 192
// "Gesprächsinformationen" sets their order (CINFSOSEQ), dialog 185
// "Gesprächsinformation" shows one call in fields.
#pragma once
#include <string>

#include "ui/listdialog.h"

class CCallInfo;
class ICallDataSource;
class IReportPrinter;

class CCallDataDlg : public CListDialog {
 public:
  static constexpr int kResourceId = 182;
  enum : int {
    IDC_LIST = 1252, IDC_SHOW = 1253, IDC_CALLBACK = 1254, IDC_EMPTY = 1255, IDC_PRINT = 1256,
    IDC_DATABASE = 1257, IDC_TOCALLBACKLIST = 1141, IDC_COUNT = 1296,
  };

  // printer: null while there is no print library; the print button is
  // then disabled.
  CCallDataDlg(ICallDataSource& list, IReportPrinter* printer);

  // Reads every line and fills the list box once, in the order CINFSOSEQ
  // asks (1 newest first).
  void Fill();

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, plat::Notify code) override;
  void OnDeferred(int action, std::int64_t arg) override;

 private:
  void ActOnSelection(int code);

  ICallDataSource& list_;
  IReportPrinter* printer_;
  std::string pendingLine_;  // the line an action was asked for
};

class CCallDataOrderDlg : public plat::Dialog {
 public:
  static constexpr int kResourceId = 192;
  enum : int { IDC_OLDEST = 1349, IDC_NEWEST = 1351 };

  CCallDataOrderDlg();
  int m_Order = 0;  // CINFSOSEQ

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
};

class CCallInformationDlg : public plat::Dialog {
 public:
  static constexpr int kResourceId = 185;
  enum : int {
    IDC_EXTENSION = 1276, IDC_COMPANY = 1278, IDC_NAME = 1274, IDC_NUMBER = 1280, IDC_DATE = 1258,
    IDC_FROM = 1259, IDC_TO = 1284, IDC_COST = 1261,
  };

  // The fields of one call; the record is read while the dialog opens.
  explicit CCallInformationDlg(const CCallInfo& call);

 protected:
  bool OnInitDialog() override;

 private:
  const CCallInfo& call_;
};

// The view's menu commands: 182 on the list, 192 storing CINFSOSEQ on OK.
int RunCallDataDlg(ICallDataSource& list, IReportPrinter* printer, plat::WindowId owner);
int RunCallDataOrderDlg(plat::WindowId owner);
// Dialog 185 for a call (the list's action "show").
int ShowCallInformation(const CCallInfo& call, plat::WindowId owner);
