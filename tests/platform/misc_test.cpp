// Paths, message boxes, the file copy and the text hook.
#include <gtest/gtest.h>

#include <QApplication>
#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>
#include <filesystem>
#include <cerrno>
#include <cstdlib>
#include <unistd.h>
#include <fstream>
#include <iterator>

#include "platform/lzcopy.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/textid.h"

using namespace plat;
namespace fs = std::filesystem;

TEST(Paths, StoredWindowsNamesMapBelowTheDriveRoot) {
  SetDriveRoot("/srv/drive/");
  EXPECT_EQ(DriveRoot('c'), "/srv/drive");
  EXPECT_EQ(MapPath("c:\\charproc.log"), "/srv/drive/charproc.log");
  EXPECT_EQ(MapPath("C:\\Daten\\Tel\\x.db"), "/srv/drive/Daten/Tel/x.db");
  EXPECT_EQ(MapPath("c:\\service.xxx"), "/srv/drive/service.xxx");
  EXPECT_EQ(MapPath("\\top.ini"), "/srv/drive/top.ini");
  EXPECT_EQ(MapPath(".\\sumcharge.ini"), "./sumcharge.ini");
  EXPECT_EQ(MapPath("sub\\x.ini"), "sub/x.ini");
  EXPECT_EQ(MapPath("x.ini"), "x.ini");
  EXPECT_EQ(MapPath("/var/lib/x\\y"), "/var/lib/x\\y");
  EXPECT_EQ(MapPath(""), "");
  EXPECT_FALSE(fs::exists("/srv/drive"));  // mapping creates nothing
  SetDriveRoot("");
  ::setenv("PALOMIR_DRIVE_ROOT", "/env/root", 1);
  EXPECT_EQ(MapPath("d:\\a.log"), "/env/root/a.log");
  ::unsetenv("PALOMIR_DRIVE_ROOT");
  ::unsetenv("PALOMIR_HOME");
  ::setenv("HOME", "/home/u", 1);
  EXPECT_EQ(MapPath("D:\\a.log"), "/home/u/.palomir/drive_d/a.log");
}

// Without a set root each program home has drive folders of its own.
TEST(Paths, TheDefaultDriveRootBelongsToTheProgramsHome) {
  const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  struct Case {
    const char* driveRoot;
    const char* palomirHome;
    const char* home;
    const char* mapped;  // of "c:\\callinfo.txt"
  } cases[] = {
      {nullptr, "/srv/a", "/home/u", "/srv/a/drive_c/callinfo.txt"},
      {nullptr, "/srv/b/", "/home/u", "/srv/b/drive_c/callinfo.txt"},
      {nullptr, "/", "/home/u", "/drive_c/callinfo.txt"},
      {nullptr, "", "/home/u", "/home/u/.palomir/drive_c/callinfo.txt"},
      {nullptr, nullptr, "/home/u", "/home/u/.palomir/drive_c/callinfo.txt"},
      {nullptr, nullptr, "", "/tmp/.palomir/drive_c/callinfo.txt"},
      {"/shared", "/srv/a", "/home/u", "/shared/callinfo.txt"},
  };
  auto set = [](const char* name, const char* value) {
    if (value) ::setenv(name, value, 1);
    else ::unsetenv(name);
  };
  for (const Case& c : cases) {
    set("PALOMIR_DRIVE_ROOT", c.driveRoot);
    set("PALOMIR_HOME", c.palomirHome);
    set("HOME", c.home);
    EXPECT_EQ(MapPath("c:\\callinfo.txt"), c.mapped) << (c.palomirHome ? c.palomirHome : "(none)");
  }
  ::unsetenv("PALOMIR_DRIVE_ROOT");
  ::unsetenv("PALOMIR_HOME");
  set("HOME", savedHome.empty() ? nullptr : savedHome.c_str());
}

TEST(Paths, TheFoldersAboveAFileAreMadeWhenMissing) {
  const fs::path root = fs::temp_directory_path() / ("brimlow_paths_" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root);
  // Made, all levels; there already; nothing above; a file in the way.
  EXPECT_TRUE(MakeParentFolders((root / "drive_c/Daten/Tel/x.log").string()));
  EXPECT_TRUE(fs::is_directory(root / "drive_c/Daten/Tel"));
  EXPECT_FALSE(fs::exists(root / "drive_c/Daten/Tel/x.log"));
  EXPECT_TRUE(MakeParentFolders((root / "drive_c/y.log").string()));
  EXPECT_TRUE(MakeParentFolders("relative.log"));
  std::ofstream(root / "plain") << "x";
  errno = 0;
  EXPECT_FALSE(MakeParentFolders((root / "plain/sub/z.log").string()));
  EXPECT_NE(errno, 0);
  EXPECT_FALSE(MakeParentFolders((root / "plain/z.log").string()));
  fs::remove_all(root);
}

TEST(Paths, ExeDirIsTheFolderOfTheRunningProgram) {
  EXPECT_EQ(ExeDir(), fs::path(ExePath()).parent_path().string());
  EXPECT_TRUE(fs::exists(ExeDir() + "/platform_tests"));
}

TEST(MessageBoxes, ScriptedBoxRecordsAndAnswersInOrder) {
  ScriptedMessageBox box;
  box.QueueAnswer(IDYES);
  box.QueueAnswer(IDCANCEL);
  SetMessageBoxImpl(&box);
  EXPECT_EQ(MessageBox(3, "Eintrag l\xF6schen?", "Palomir", MB_YESNOCANCEL | MB_ICONQUESTION), IDYES);
  EXPECT_EQ(MessageBox(3, "b", "c", MB_OKCANCEL), IDCANCEL);
  box.defaultAnswer = IDNO;
  EXPECT_EQ(MessageBox(0, "c", "c", MB_YESNO), IDNO);
  ASSERT_EQ(box.shown.size(), 3u);
  EXPECT_EQ(box.shown[0].text, "Eintrag l\xF6schen?");
  EXPECT_EQ(box.shown[0].flags, MB_YESNOCANCEL | MB_ICONQUESTION);
  SetMessageBoxImpl(nullptr);
  EXPECT_NE(&MessageBoxImpl(), &box);
  EXPECT_EQ(MessageBox(0, "headless", "x", MB_YESNO), IDOK);  // no QApplication: recorded, IDOK
}

TEST(MessageBoxes, QtBoxShowsConvertedTextsAndMapsTheAnswer) {
  int argc = 1;
  char name[] = "platform_tests";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  EXPECT_NE(dynamic_cast<QtMessageBox*>(&MessageBoxImpl()), nullptr);
  QString seenText, seenTitle;
  QTimer::singleShot(0, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* box = qobject_cast<QMessageBox*>(w)) {
        seenText = box->text();
        seenTitle = box->windowTitle();
        box->button(QMessageBox::No)->click();
      }
    }
  });
  EXPECT_EQ(MessageBox(0, "Gr\xFC\xDF\x65 \x80", "Titel", MB_YESNO | MB_ICONWARNING), IDNO);
  EXPECT_EQ(seenText, QString::fromUtf8("Grüße €"));
  EXPECT_EQ(seenTitle, QString::fromUtf8("Titel"));
}

TEST(FileCopy, CopiesWholeOrReportsFailure) {
  fs::path dir = fs::temp_directory_path() / ("plat_copy_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::string bytes(100000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 13);
  std::ofstream((dir / "a").string(), std::ios::binary) << bytes;
  std::ofstream((dir / "b").string(), std::ios::binary) << "old";
  EXPECT_EQ(CopyFileLZ((dir / "a").c_str(), (dir / "b").c_str()), 1);
  std::ifstream in((dir / "b").string(), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), bytes);
  EXPECT_EQ(CopyFileLZ((dir / "missing").c_str(), (dir / "c").c_str()), 0);
  EXPECT_FALSE(fs::exists(dir / "c"));
  EXPECT_EQ(CopyFileLZ((dir / "a").c_str(), (dir / "no/dir/c").c_str()), 0);
  EXPECT_EQ(CopyFileLZ(nullptr, (dir / "c").c_str()), 0);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
  fs::remove_all(dir);
}

TEST(TextIds, HookAnswersOrFallsBack) {
  EXPECT_EQ(GetText(TextId(0, 0)), nullptr);
  EXPECT_STREQ(GetTextOr(TextId(0, 0), "fallback"), "fallback");
  SetTextSource([](int g, int e) -> const char* { return g == 0 && e == 0 ? "Palomir" : nullptr; });
  EXPECT_STREQ(GetText(TextId(0, 0)), "Palomir");
  EXPECT_EQ(GetText(TextId(0, 1)), nullptr);
  SetTextSource(nullptr);
}

// The hooks that tests script: the recording ones answer as told, and the
// installed one is what the free functions reach.
#include "platform/filedlg.h"
#include "platform/launcher.h"

TEST(PlatformHooks, LauncherAndFileDialogReachTheInstalledImplementation) {
  plat::RecordingLauncher rec;
  plat::SetLauncherImpl(&rec);
  int err = 0;
  EXPECT_TRUE(plat::StartDetached("tool", {"a b", "0301234567"}, &err));
  rec.result = false;
  EXPECT_FALSE(plat::StartDetached("missing", {}, &err));
  EXPECT_EQ(err, 2);
  plat::SetLauncherImpl(nullptr);
  ASSERT_EQ(rec.started.size(), 2u);
  EXPECT_EQ(rec.started[0].args, (std::vector<std::string>{"a b", "0301234567"}));

  plat::ScriptedFileDialog fd;
  fd.answers = {"/tmp/a.txt", ""};
  plat::SetFileDialogImpl(&fd);
  plat::FileDialogRequest r;
  r.filters = {{"Text", "*.TXT;*.csv"}};
  std::string path;
  EXPECT_TRUE(plat::RunFileDialog(0, r, &path));
  EXPECT_EQ(path, "/tmp/a.txt");
  EXPECT_FALSE(plat::RunFileDialog(0, r, &path));  // cancelled
  EXPECT_FALSE(plat::RunFileDialog(0, r, &path));  // nothing queued: cancelled
  plat::SetFileDialogImpl(nullptr);
  EXPECT_EQ(fd.requests.size(), 3u);
}
