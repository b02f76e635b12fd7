// The database window (dialog 123, modeless): one record at a time, browsed
// in file order or through the hits of a search, edited, saved, deleted,
// dialled or put on the callback list, and the door to search, import and
// export. It reports to the view's hub under requester id 13.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "phonebook/dialogs/pbstore.h"
#include "phonebook/dialogs/pbwindow.h"

namespace pb {

class CDataBaseDlg : public CPbWindowDlg {
 public:
  static constexpr int kResourceId = 123;
  static constexpr int kOrigin = 13;
  static constexpr int kHelpId = 36;
  enum Mode : int { kView = 0, kEdit = 1, kHitsView = 2, kHitsEdit = 3 };
  enum : int {
    IDC_CLOSE = 1, IDC_FIRST = 1088, IDC_PREV = 1076, IDC_NEXT = 1075, IDC_LAST = 1089, IDC_NEW = 1074,
    IDC_EDIT = 1083, IDC_SAVE = 1097, IDC_DELETE = 1096, IDC_SEARCH = 1090, IDC_SEARCH_HELP = 1091,
    IDC_ALL = 1267, IDC_DIAL = 1121, IDC_LIST = 1122, IDC_IMPORT = 1085, IDC_EXPORT = 1086,
    IDC_PRINT_ALL = 1123, IDC_PRINT_ONE = 1092, IDC_EXTRAS = 1356, IDC_COUNT = 1322,
  };

  explicit CDataBaseDlg(IPhoneBookStore* store);
  ~CDataBaseDlg() override;

  // Built and shown with the view as the hub of its messages.
  bool Create(plat::WindowId view);
  // 1026 brings it to the front; every other code is ignored. Result 1.
  plat::LRESULT Notify(plat::UINT code, plat::WPARAM wParam, plat::LPARAM lParam);
  void Show(int show);
  // Called once when the user closed it (after 1035 went to the hub).
  std::function<void()> closedNotice;
  // Runs the individual treatment of a stored record (a modal dialog over
  // owner) on a copy of it; true when the copy changed and is to be saved.
  // Unset, "individuell" stays disabled. Set before Create.
  std::function<bool(plat::WindowId owner, PbRecord& record)> individualTreatment;

  Mode CurrentMode() const { return mode_; }
  const PbRecord& Item() const { return item_; }
  std::size_t HitCount() const { return hits_.size(); }

  // Runs the search run of the search dialog's answer (tests call it too).
  void RunSearch(const std::string& fieldName, const std::string& content, int stopOption, bool matchCase);

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, plat::Notify code) override;
  plat::LRESULT OnWindowMessage(const plat::Message& m) override;
  void OnDestroy() override;

 private:
  bool Editing() const { return mode_ == kEdit || mode_ == kHitsEdit; }
  bool InHits() const { return mode_ == kHitsView || mode_ == kHitsEdit; }
  void SetMode(Mode m);
  void ShowRecord();
  void ShowCounts(bool withCaption);
  void ShowPlace(std::uint32_t place);  // a record by place, else the last, else empty
  void ShowHit(std::size_t cursor);
  void Move(int id);
  void SaveItem();
  void DeleteItem();
  void Close() override;
  void SendHub(plat::UINT code);
  void Search();
  void Import();
  void Export();
  void EditTreatment();
  void Box(const std::string& text, plat::UINT flags);

  IPhoneBookStore* store_;
  plat::WindowId view_ = 0;
  Mode mode_ = kView;
  PbRecord item_;
  std::vector<std::int64_t> hits_;
  std::size_t hitCursor_ = 0;
};

}  // namespace pb
