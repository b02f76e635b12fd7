#include "app/callwin/newrecordquestiondlg.h"

#include <QDialog>

#include "app/callwin/winplace.h"
#include "core/iface/viewhub.h"
#include "platform/messages.h"

CNewRecordQuestionDlg::CNewRecordQuestionDlg() : Dialog(plat::dlg::kProgram, kResourceId) {}

CNewRecordQuestionDlg::~CNewRecordQuestionDlg() {
  SetClosedNotice(nullptr);  // the owner is going away itself
  DestroyWindow();
}

bool CNewRecordQuestionDlg::Create(plat::WindowId view) {
  if (IsCreated()) return true;
  view_ = view;
  return Dialog::Create(view);
}

void CNewRecordQuestionDlg::Show(int show) { callwin::SetShown(Window(), show); }

bool CNewRecordQuestionDlg::OnInitDialog() {
  QDialog* w = Window();
  w->adjustSize();
  callwin::PlaceOrCentre(w, kPosition);
  return true;
}

void CNewRecordQuestionDlg::Answer(int yes) {
  Show(0);
  if (view_) plat::PostMessage(view_, hub::kNewRecordAnswer, static_cast<plat::WPARAM>(questionId), yes);
}
