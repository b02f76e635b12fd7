// The export: the layout composed in the dialog, the file byte for byte, a
// target that belongs to the database, and a kill while it is written.
#include <unistd.h>

#include <QTemporaryDir>
#include <filesystem>
#include <string>

#include "phonebook/dialogs/exportdlg.h"
#include "platform/dialogkit/dlgscript.h"
#include "tests/phonebook/dialogs/pbtest_support.h"
#include "tests/support/filefaults.h"

using namespace pb;
using E = CExportDlg;

namespace {

class Export : public pbtest::PbTest {
 protected:
  void SetUp() override {
    PbTest::SetUp();
    store.Add("Alpha", "Anton", "0401");
    store.Add("Beta", "Berta", "0402", false);
    PbRecord r = store.Add("Gamma\tGmbH", "Gustav", "0403");
    r.Set(kNote, "eins\r\nzwei");
    ASSERT_TRUE(store.Save(r));
    ASSERT_TRUE(dir.isValid());
    path = dir.path().toStdString() + "/export.txt";
  }
  // Company and name, a separator, then the number (and the note).
  void Compose(plat::DialogScript::Steps& s, const std::string& file, bool note) {
    s.SelectText(E::IDC_FIELDS, "Firma").Press(E::IDC_ADD).SelectText(E::IDC_FIELDS, "Name").Press(E::IDC_ADD)
        .Press(E::IDC_SEPARATOR).SelectText(E::IDC_FIELDS, "Telefon").Press(E::IDC_ADD);
    if (note) s.Press(E::IDC_SEPARATOR).SelectText(E::IDC_FIELDS, "Notiz").Press(E::IDC_ADD);
    s.Set(E::IDC_FILE, file).Press(1);
  }
  QTemporaryDir dir;
  std::string path;
};

}  // namespace

TEST_P(Export, ComposedLayoutGivesTheFileByteForByte) {
  plat::DialogScript script;
  Compose(script.When(E::kResourceId), path, true);
  E dlg;
  ASSERT_EQ(dlg.DoModal(), plat::IDOK);
  EXPECT_EQ(dlg.recordTemplate, "%c %n\t%i\t%f\r\n");
  EXPECT_EQ(dlg.visibleLayout, "Firma Name\tTelefon\tNotiz\r\n");
  ASSERT_EQ(WriteExport(store, dlg.fileName, dlg.recordTemplate, dlg.visibleLayout), ExportResult::kDone);
  // The deleted record is left out; a TAB or break inside a field is a blank.
  EXPECT_EQ(testsupport::FileBytes(path),
            "Firma Name\tTelefon\tNotiz\r\n"
            "Alpha Anton\t0401\t\r\n"
            "Gamma GmbH Gustav\t0403\teins zwei\r\n");
}

TEST_P(Export, LayoutRulesAndRefusedNames) {
  struct Case {
    const char* file;
    bool accepted;
  };
  const Case cases[] = {{"", false}, {"mit blank.txt", false}, {"ok.txt", true}};
  for (const Case& c : cases) {
    plat::DialogScript script;
    script.When(E::kResourceId).Set(E::IDC_FILE, c.file).Press(1).Press(2);
    boxes.shown.clear();
    E dlg;
    EXPECT_EQ(dlg.DoModal(), c.accepted ? plat::IDOK : plat::IDCANCEL) << c.file;
    EXPECT_EQ(BoxTexts(), c.accepted ? std::vector<std::string>{} : std::vector<std::string>{"T9.17"}) << c.file;
    if (c.accepted) {
      EXPECT_EQ(dlg.recordTemplate, "\r\n");  // no field: one empty line per record
    }
  }
  // The template stops at 127 characters; only fields with a letter are offered.
  plat::DialogScript script;
  int offered = 0;
  auto& s = script.When(E::kResourceId).Do([&](plat::Dialog& d) { offered = d.GetCount(E::IDC_FIELDS); });
  for (int i = 0; i < 70; ++i) s.SelectText(E::IDC_FIELDS, "Ort").Press(E::IDC_ADD);
  s.Press(1);
  E dlg;
  ASSERT_EQ(dlg.DoModal(), plat::IDOK);
  EXPECT_EQ(offered, 12);
  EXPECT_LE(dlg.recordTemplate.size(), E::kMaxTemplate + 2);
  EXPECT_EQ(dlg.recordTemplate.substr(0, 6), "%t %t ");
}

TEST_P(Export, DatabaseFilesAreNoTarget) {
  // The database itself, a link to it and its deleted-records file.
  const std::vector<std::string> own = store.OwnFiles();
  ASSERT_EQ(own.size(), 2u);
  const std::string db = own[0];
  const std::string before = testsupport::FileBytes(db);
  ASSERT_FALSE(before.empty());
  ::symlink(db.c_str(), (dir.path().toStdString() + "/link.txt").c_str());
  for (const std::string& target : {db, dir.path().toStdString() + "/link.txt", own[1]})
    EXPECT_EQ(WriteExport(store, target, "%c\r\n", ""), ExportResult::kRefused) << target;
  EXPECT_EQ(testsupport::FileBytes(db), before);
  EXPECT_EQ(WriteExport(store, dir.path().toStdString() + "/no/such/folder/x.txt", "%c\r\n", ""), ExportResult::kFailed);
}

TEST_P(Export, AFailedOrKilledExportLeavesTheOldFileWhole) {
  testsupport::PutFile(path, "old export\r\n");
  {
    testsupport::FileFault full(plat::io::Op::Write, 1, ENOSPC);
    EXPECT_EQ(WriteExport(store, path, "%c\r\n", "Firma\r\n"), ExportResult::kFailed);
  }
  EXPECT_EQ(testsupport::FileBytes(path), "old export\r\n");
  const std::string whole = ExportText(store, "%c\r\n", "Firma\r\n");
  for (int nth = 1; nth <= 3; ++nth) {
    const bool killed = testsupport::RunChild([&] {
      testsupport::KillAtOp kill(nth);
      WriteExport(store, path, "%c\r\n", "Firma\r\n");
    }, 0);
    const std::string now = testsupport::FileBytes(path);
    EXPECT_TRUE(now == "old export\r\n" || now == whole) << nth << ": " << now;
    if (!killed) EXPECT_EQ(now, whole);
  }
  EXPECT_EQ(testsupport::FileBytes(path), whole);
}

// Every file of the database, under any name it can be reached by, before
// and after it exists; the deleted-records file above all, which an export
// would otherwise turn into a text file that no purge takes again.
TEST_P(Export, EveryFileOfTheDatabaseIsRefusedByIdentity) {
  const std::vector<std::string> own = store.OwnFiles();
  ASSERT_EQ(own.size(), 2u);
  const std::filesystem::path db = own[0];
  const std::filesystem::path folder = db.parent_path();
  const std::string deleted = (folder / CMyDataBase::kDeletedFileName).string();
  ASSERT_EQ(own[1], deleted);
  ASSERT_FALSE(std::filesystem::exists(deleted));  // no purge yet
  const std::string before = testsupport::FileBytes(db.string());
  std::filesystem::create_directory(folder / "sub");
  std::filesystem::create_hard_link(db, folder / "hard.txt");
  std::filesystem::create_symlink(deleted, folder / "dangling.txt");
  std::filesystem::create_symlink(folder / "sub", folder / "via");
  struct Case {
    std::string name;  // relative ones from the database's folder
    bool refused;
  };
  const Case cases[] = {
      {"delitems.db", true},
      {"./delitems.db", true},
      {"sub/../delitems.db", true},
      {"via/../delitems.db", true},
      {deleted, true},
      {folder.string() + "//./delitems.db", true},
      {"dangling.txt", true},
      {db.filename().string(), true},
      {"hard.txt", true},
      {db.filename().string() + ".tmp4242_7", true},
      {"delitems.db.tmp1_0", true},
      {"sub/delitems.db", false},
      {"delitems.db.txt", false},
      {db.filename().string() + ".tmp", false},
      {db.filename().string() + ".tmp12_x", false},
  };
  const std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  for (const Case& c : cases) {
    EXPECT_EQ(WriteExport(store, c.name, "%c\r\n", ""), c.refused ? ExportResult::kRefused : ExportResult::kDone)
        << c.name;
    if (!c.refused) {
      EXPECT_TRUE(std::filesystem::exists(c.name)) << c.name;
    }
  }
  std::filesystem::current_path(cwd);
  EXPECT_FALSE(std::filesystem::exists(deleted));
  EXPECT_EQ(testsupport::FileBytes(db.string()), before);
}

INSTANTIATE_TEST_SUITE_P(Stores, Export, ::testing::Values(pbtest::Backing::kMemory, pbtest::Backing::kFile),
                         pbtest::BackingName);
