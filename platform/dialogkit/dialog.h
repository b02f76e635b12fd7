// The generic dialog: built from its template, texts from the language
// file (the template's text as fallback), help context registered while it
// exists, and every control notification routed to one command handler by
// control id. Helpers keep the shapes the dialogs' logic was written for
// (item text, check state, list box and combo box operations).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/dialogkit/dlgtemplate.h"
#include "platform/messages.h"
#include "platform/msgbox.h"

class QWidget;
class QDialog;
class QIcon;

namespace plat {

enum class Notify { Clicked, DoubleClicked, SelChange, Change, KillFocus };

class Dialog : public IMessageTarget {
 public:
  // A shipped template of the deliverable that owns the dialog
  // (dlg::kProgram, dlg::kKestrum, ...).
  Dialog(std::string deliverable, int resourceId);
  // A dialog from a template given by the caller instead of a shipped one.
  explicit Dialog(dlg::Template tpl, std::string deliverable = {});
  ~Dialog() override;
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Modal: IDOK, IDCANCEL or what EndDialog gave; -1 when the dialog could
  // not be built (no template, no application object). The program's exit
  // ends it with Esc's handling and IDCANCEL, and once the exit has begun it
  // answers IDCANCEL without being shown.
  int DoModal(WindowId owner = 0);
  // Modeless: built, initialised and shown; false when it could not be built.
  bool Create(WindowId owner = 0);
  void DestroyWindow();
  void EndDialog(int result);

  bool IsCreated() const;
  bool IsModalRunning() const { return modal_; }
  bool Ended() const { return ended_; }
  bool EndedForExit() const { return endedForExit_; }
  int Result() const { return result_; }
  // True while a notification of this dialog is being handled.
  bool Dispatching() const;
  WindowId Id() const { return id_; }
  int ResourceId() const { return resourceId_; }
  const std::string& Deliverable() const { return deliverable_; }
  WindowId Owner() const { return owner_; }
  const dlg::Template& GetTemplate() const { return tpl_; }
  // Error text when building failed.
  const std::string& BuildError() const { return buildError_; }

  // --- item access (texts are Windows-1252) ---
  std::string GetWindowText() const;
  void SetWindowText(const std::string& text);
  std::string GetItemText(int id) const;
  void SetItemText(int id, const std::string& text);
  int GetItemInt(int id, bool* ok = nullptr) const;
  void SetItemInt(int id, int value);
  int IsChecked(int id) const;                // check boxes and radios: 0 or 1
  void CheckButton(int id, int state);        // does not notify
  void CheckRadioButton(int firstId, int lastId, int checkId);
  int GetRadioIndex(int firstId) const;       // index in the group starting there; -1 none
  void SetRadioIndex(int firstId, int index); // -1 clears the group
  void EnableItem(int id, bool enable);
  bool IsItemEnabled(int id) const;
  void ShowItem(int id, bool show);
  bool IsItemVisible(int id) const;           // not explicitly hidden
  void SetFocusItem(int id);
  void LimitText(int id, int chars);

  // --- list boxes (plain and with tab stops) and combo boxes ---
  // A tab-stop list keeps each line's raw text; columns are only shown.
  int AddString(int id, const std::string& text);  // index, or -1
  int InsertString(int id, int index, const std::string& text);  // -1 appends
  int DeleteString(int id, int index);              // lines left, or -1
  void ResetContent(int id);
  int GetCount(int id) const;
  int GetCurSel(int id) const;
  int SetCurSel(int id, int index);                 // does not notify; -1 clears
  std::string GetLBText(int id, int index) const;
  int FindString(int id, int start, const std::string& prefix) const;  // no case
  int FindStringExact(int id, int start, const std::string& text) const;
  int SelectString(int id, int start, const std::string& prefix);
  void SetItemData(int id, int index, std::int64_t data);
  std::int64_t GetItemData(int id, int index) const;

  // --- trees ---
  // Items are named by ids that the tree hands out (never reused while the
  // dialog exists); 0 is the root, above the top-level items. An image is
  // an index into the tree's image list; -1 shows none.
  using TreeItem = std::int32_t;
  static constexpr TreeItem kTreeRoot = 0;
  void SetTreeImages(int id, const std::vector<QIcon>& images);
  int GetTreeImageCount(int id) const;
  // Appended under parent; 0 when the tree or the parent is not there.
  TreeItem TreeInsertItem(int id, TreeItem parent, const std::string& text, int image = -1);
  // The item and everything under it; false when it is not there.
  bool TreeDeleteItem(int id, TreeItem item);
  void TreeDeleteAll(int id);
  bool TreeHasItem(int id, TreeItem item) const;
  bool TreeSetItemText(int id, TreeItem item, const std::string& text);
  std::string TreeGetItemText(int id, TreeItem item) const;
  bool TreeSetItemImage(int id, TreeItem item, int image);
  int TreeGetItemImage(int id, TreeItem item) const;  // -1 none or not there
  bool TreeSetItemData(int id, TreeItem item, std::int64_t data);
  std::int64_t TreeGetItemData(int id, TreeItem item) const;  // 0 when not there
  // Children in order; of the root: the top-level items.
  std::vector<TreeItem> TreeChildren(int id, TreeItem parent) const;
  TreeItem TreeParent(int id, TreeItem item) const;  // 0 for top level or not there
  int TreeItemCount(int id) const;                   // all levels; -1 not a tree
  bool TreeExpand(int id, TreeItem item, bool expand);
  TreeItem TreeGetSelection(int id) const;           // 0 none
  bool TreeSelectItem(int id, TreeItem item);        // does not notify; 0 clears
  // The item data role of a tree item's image index (for those who read
  // the widget itself, as tests and screenshots do).
  static int TreeImageRole();

  // --- tab panels ---
  // A row of tabs over an area where the dialog places its pages (children
  // of Item(id)). GetCount, GetCurSel, SetCurSel (quiet) and UserSelect
  // (notifies SelChange) work on them too. An image is an index into the
  // panel's image list; -1 shows none.
  void SetTabImages(int id, const std::vector<QIcon>& images);
  // Inserted before index (-1 appends); its index, or -1 when not a panel.
  int TabInsert(int id, int index, const std::string& text, int image = -1);
  bool TabSetText(int id, int index, const std::string& text);
  std::string TabGetText(int id, int index) const;
  bool TabSetImage(int id, int index, int image);
  int TabGetImage(int id, int index) const;  // -1 none or not there
  void TabDeleteAll(int id);
  // Height of the row of tabs: pages go below it. -1 when not a panel.
  int TabRowHeight(int id) const;

  // --- other controls ---
  void SetProgressPos(int id, int pos);
  int GetProgressPos(int id) const;
  void SetItemIcon(int id, const QIcon& icon);
  // 1 information, 2 warning, 3 error, 4 question; other values clear.
  void SetItemStandardIcon(int id, int which);

  // --- what a user does (tests and scripts); each returns false when the
  // control is missing, hidden or disabled ---
  bool UserSetText(int id, const std::string& text);  // then leaves the field
  bool UserPress(int id);
  bool UserSelect(int id, int index);
  bool UserSelectText(int id, const std::string& text);
  bool UserDoubleClick(int id, int index = -1);
  void UserKey(int qtKey);  // Qt::Key_Escape, Qt::Key_Return, Qt::Key_F1 ...

  QWidget* Item(int id) const;
  QDialog* Window() const;

  // Message targets: posted and sent messages arrive here.
  LRESULT OnMessage(const Message& m) override;

 protected:
  // Called after the texts are set; return value as the platform's (focus).
  virtual bool OnInitDialog() { return true; }
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  virtual void OnClose() { OnCancel(); }  // the window's close box
  // Every notification; return true when handled. Unhandled clicks of
  // 1 and 2 (and Enter and Esc) go to OnOK and OnCancel.
  virtual bool OnCommand(int id, Notify code) { (void)id; (void)code; return false; }
  virtual LRESULT OnWindowMessage(const Message& m) { (void)m; return 0; }
  // Called while the window still exists. A class that overrides it calls
  // DestroyWindow() in its own destructor.
  virtual void OnDestroy() {}
  // The help context registered at initialisation (default: the template's).
  virtual std::int32_t HelpContext() const { return tpl_.help; }

 public:
  // Internal plumbing (used by the window class and the script runner).
  void Route(int id, Notify code);
  void KeyEscape();
  void KeyEnter();
  void CloseBox() { OnClose(); }
  struct Impl;

 private:
  bool Build(WindowId owner);
  void Initialise();
  // Scrolled when too large for the screen, then placed unless it placed itself.
  void Arrange(bool modal);
  void Destroy();
  void EndForExit();

  std::string deliverable_;
  int resourceId_;
  bool preloaded_ = false;
  dlg::Template tpl_;
  std::string buildError_;
  WindowId id_ = 0;
  WindowId owner_ = 0;
  bool modal_ = false;
  bool ended_ = false;
  bool endedForExit_ = false;
  int result_ = IDCANCEL;
  bool helpRegistered_ = false;
  std::unique_ptr<Impl> impl_;
};

}  // namespace plat
