// Import of real files: encodings, quotes, line ends, long and short
// lines, duplicate and missing numbers, binary files; the records checked
// field by field and the boxes by their texts.
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "phonebook/dialogs/importdlg.h"
#include "phonebook/dialogs/importreader.h"
#include "phonebook/store/dbstore.h"
#include "tests/phonebook/dialogs/pbtest_support.h"

using namespace pb;

namespace {

std::string ImportFile(const std::string& name) { return std::string(BRIMLOW_SOURCE_DIR) + "/tests/phonebook/import/" + name; }

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::vector<std::string>> AllLines(const std::string& file, char sep, TextEncoding* enc, std::size_t* skipped) {
  std::string text;
  EXPECT_TRUE(DecodeImportText(Bytes(ImportFile(file)), &text, enc)) << file;
  ImportLines lines(text, sep);
  std::vector<std::vector<std::string>> out;
  std::vector<std::string> cols;
  while (lines.Next(&cols)) out.push_back(cols);
  if (skipped) *skipped = lines.Skipped();
  return out;
}

using Rows = std::vector<std::vector<std::string>>;

}  // namespace

TEST(ImportReader, CommittedFilesComeOutAsTheirLinesAndColumns) {
  struct Case {
    const char* file;
    char sep;
    TextEncoding enc;
    Rows rows;
  };
  const Case cases[] = {
      {"excel_semicolon.csv", ';', TextEncoding::kCp1252,
       {{"Firma", "Name", "Telefon", "Notiz"},
        {"B\xe4" "ckerei \"Zum Korn\"", "M\xfcller, Hans", "0611/22 33-44", "erste Zeile\r\nzweite Zeile"},
        {"Schmidt GmbH", "Schmidt", "0228-12345", ""}}},
      {"utf8_bom.tsv", '\t', TextEncoding::kUtf8Bom,
       {{"Firma", "Name", "Telefon"}, {"Gr\xfc\xdf" "e AG", "J\xf6rg \x80 ?", "089 1234"}}},
      {"utf16le.tsv", '\t', TextEncoding::kUtf16Le,
       {{"Firma", "Name", "Telefon"}, {"\xc4rzte e.V.", "Dr. Wei\xdf", "030 987654"}}},
      {"lf_only.txt", ',', TextEncoding::kUtf8,
       {{"Firma", "Name", "Telefon"}, {"Alpha", "Anton", "0401111"}, {"Beta", "Berta", "0402222"}}},
      {"cr_only.txt", ';', TextEncoding::kUtf8, {{"Alpha", "Anton", "0401111"}, {"Beta", "Berta", "0402222"}}},
      // The same file split at a separator it does not use is one column.
      {"cr_only.txt", '\t', TextEncoding::kUtf8, {{"Alpha;Anton;0401111"}, {"Beta;Berta;0402222"}}},
  };
  for (const Case& c : cases) {
    TextEncoding enc;
    EXPECT_EQ(AllLines(c.file, c.sep, &enc, nullptr), c.rows) << c.file;
    EXPECT_EQ(enc, c.enc) << c.file;
  }
}

TEST(ImportReader, QuotesLineEndsAndBrokenInput) {
  struct Case {
    std::string text;
    char sep;
    Rows rows;
  };
  const Case cases[] = {
      {"a,\"b,c\",d", ',', {{"a", "b,c", "d"}}},
      {"\"x\"\"y\"\"\",z", ',', {{"x\"y\"", "z"}}},
      {"\"two\nlines\",3\r\nnext,4", ',', {{"two\r\nlines", "3"}, {"next", "4"}}},
      {"\"cr\rbreak\";5", ';', {{"cr\r\nbreak", "5"}}},
      {"mid\"quote\",7", ',', {{"mid\"quote\"", "7"}}},  // a quote inside a column is a character
      // A quote that never closes, or closes with more text behind it, is
      // a character: its column and line end where they would without it.
      {"\"never closed,8\r\nstill", ',', {{"\"never closed", "8"}, {"still"}}},
      {"\"open\tB\t1\nC\t\"D\"\t2\n", '\t', {{"\"open", "B", "1"}, {"C", "D", "2"}}},
      {"\"a,1\nb,\"two\nlines\",2", ',', {{"\"a", "1"}, {"b", "two\r\nlines", "2"}}},
      {"\"ab\"c,1\nd,2", ',', {{"\"ab\"c", "1"}, {"d", "2"}}},
      {"x,\"y", ',', {{"x", "\"y"}}},
      {"\"a\nb\"c\n\"d\",e", ',', {{"\"a"}, {"b\"c"}, {"d", "e"}}},
      {",,", ',', {{"", "", ""}}},
      {"\r\n\r\n\n\r", ',', {}},
      {"a\r\r\nb", ',', {{"a"}, {"b"}}},
      {"\"\"", ',', {{""}}},
  };
  for (const Case& c : cases) {
    ImportLines lines(c.text, c.sep);
    Rows got;
    std::vector<std::string> cols;
    while (lines.Next(&cols)) got.push_back(cols);
    EXPECT_EQ(got, c.rows) << c.text;
  }
}

TEST(ImportReader, EncodingsAndBinaryInput) {
  struct Case {
    std::string bytes;
    bool ok;
    TextEncoding enc;
    std::string text;
  };
  const Case cases[] = {
      {"plain", true, TextEncoding::kUtf8, "plain"},
      {"M\xfcller", true, TextEncoding::kCp1252, "M\xfcller"},              // not UTF-8: Windows-1252
      {"M\xc3\xbcller", true, TextEncoding::kUtf8, "M\xfcller"},
      {"\xef\xbb\xbf\xe2\x82\xac", true, TextEncoding::kUtf8Bom, "\x80"},
      {std::string("\xfe\xff\x00\x41\x26\x3a", 6), true, TextEncoding::kUtf16Be, "A?"},  // a smiley has no byte
      {std::string("\xff\xfe\x3d\xd8\x00\xde", 6), true, TextEncoding::kUtf16Le, "?"},   // a pair: one character
      {std::string("a\0b", 3), false, TextEncoding::kCp1252, ""},
      {std::string("\xff\xfe" "a\0\0\0", 6), false, TextEncoding::kUtf16Le, ""},
      {"\xff\xfe", true, TextEncoding::kUtf16Le, ""},
  };
  for (const Case& c : cases) {
    std::string text = "junk";
    TextEncoding enc;
    EXPECT_EQ(DecodeImportText(c.bytes, &text, &enc), c.ok) << c.bytes;
    EXPECT_EQ(enc, c.enc) << c.bytes;
    EXPECT_EQ(text, c.text) << c.bytes;
  }
}

TEST(ImportReader, LineOverOneMebibyteIsSkippedAndCounted) {
  std::string text = "a,1\n" + std::string(ImportLines::kMaxLine + 10, 'x') + ",2\nb,3\n";
  ImportLines lines(text, ',');
  Rows got;
  std::vector<std::string> cols;
  while (lines.Next(&cols)) got.push_back(cols);
  EXPECT_EQ(got, (Rows{{"a", "1"}, {"b", "3"}}));
  EXPECT_EQ(lines.Skipped(), 1u);
  EXPECT_EQ(lines.PhysicalLine(), 3u);
}

TEST(ImportReader, DigitScanTakesAnyLength) {
  const std::pair<const char*, bool> cases[] = {
      {"", false}, {"0", false}, {"0000", false}, {"00001", true}, {"abc", false}, {"0a1", false},
      {"12345678901234567890123", true}, {"00000000000000000000000", false}, {"7", true},
  };
  for (const auto& [n, ok] : cases) EXPECT_EQ(HasNonZeroLeadingDigits(n), ok) << n;
}

// ------------------------------------------------------------- the import

class ImportRun : public pbtest::PbTest {
 protected:
  // Links columns 0.. to the fields given, in order.
  ImportStats Run(const std::string& file, char sep, const std::vector<int>& fields, ImportOptions opt = {}) {
    CDataBaseImportFileChecker checker;
    checker.SetSeparator(sep);
    EXPECT_EQ(checker.OpenFile(ImportFile(file)), 1) << file;
    for (std::size_t i = 0; i < fields.size(); ++i) checker.AddLink(static_cast<int>(i), fields[i]);
    return RunImport(0, store, checker, opt);
  }
  std::string F(std::size_t n, int id) { return store.Records().at(n).Get(id); }
};

TEST_P(ImportRun, ExcelFileWithHeaderQuotesAndNote) {
  ImportOptions opt;
  opt.skipFirstLine = true;
  ImportStats s = Run("excel_semicolon.csv", ';', {kCompany, kName, kNumber, kNote}, opt);
  ASSERT_EQ(store.Records().size(), 2u);
  EXPECT_EQ(F(0, kCompany), "B\xe4" "ckerei \"Zum Korn\"");
  EXPECT_EQ(F(0, kName), "M\xfcller, Hans");
  EXPECT_EQ(F(0, kNumber), "0611223344");  // stored normalised
  EXPECT_EQ(F(0, kExternal), "1");
  EXPECT_EQ(F(0, kNote), "erste Zeile\r\nzweite Zeile");
  EXPECT_EQ(F(1, kCompany), "Schmidt GmbH");
  EXPECT_EQ(F(1, kNumber), "022812345");
  EXPECT_EQ(F(1, kNote), "");
  EXPECT_EQ(s.imported, 2);
  EXPECT_EQ(s.notImported, 0);
  // The statistics only.
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"T10.30 2 T10.31 0 T10.27"});
  // The appends were synced as one batch, not each.
  EXPECT_EQ(store.Syncs(), 1);
}

TEST_P(ImportRun, QuotedBreakOutsideTheNoteBecomesABlank) {
  ImportOptions opt;
  opt.skipFirstLine = true;
  opt.statistics = false;
  Run("excel_semicolon.csv", ';', {kCompany, kName, kNumber, kStreet}, opt);
  ASSERT_EQ(store.Records().size(), 2u);
  EXPECT_EQ(F(0, kStreet), "erste Zeile zweite Zeile");
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_P(ImportRun, UnicodeFilesKeepTheirLetters) {
  struct Case {
    const char* file;
    std::string company, name, number;
  };
  const Case cases[] = {
      {"utf8_bom.tsv", "Gr\xfc\xdf" "e AG", "J\xf6rg \x80 ?", "0891234"},
      {"utf16le.tsv", "\xc4rzte e.V.", "Dr. Wei\xdf", "030987654"},
  };
  for (const Case& c : cases) {
    const std::size_t before = store.Records().size();
    ImportOptions opt;
    opt.skipFirstLine = true;
    opt.statistics = false;
    Run(c.file, '\t', {kCompany, kName, kNumber}, opt);
    ASSERT_EQ(store.Records().size(), before + 1) << c.file;
    EXPECT_EQ(F(before, kCompany), c.company);
    EXPECT_EQ(F(before, kName), c.name);
    EXPECT_EQ(F(before, kNumber), c.number);
  }
}

TEST_P(ImportRun, LongLineIsOneRecordWithItsNoteCut) {
  ImportOptions opt;
  opt.statistics = false;
  Run("long_line.tsv", '\t', {kCompany, kName, kNumber, kNote}, opt);
  ASSERT_EQ(store.Records().size(), 3u);
  EXPECT_EQ(F(1, kCompany), "Lang");
  EXPECT_EQ(F(1, kNote), std::string(255, 'x'));
  EXPECT_EQ(F(2, kCompany), "Ende");
}

TEST_P(ImportRun, ShortLinesGiveOneColumnMessageAndCountTheRest) {
  ImportOptions opt;
  opt.skipFirstLine = true;
  opt.validNumbersOnly = false;
  opt.reportMissing = false;
  ImportStats s = Run("short_lines.csv", ';', {kCompany, kName, kNumber}, opt);
  ASSERT_EQ(store.Records().size(), 3u);
  EXPECT_EQ(F(0, kCompany), "Nur Firma");
  EXPECT_EQ(F(0, kName), "");
  EXPECT_EQ(F(1, kName), "Felder");
  EXPECT_EQ(F(2, kNumber), "0899");
  EXPECT_EQ(s.missingColumns, 3);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"T50.0 2 T50.1 1 T50.2", "T10.30 3 T10.31 0 T10.27\r\nT10.35 3"}));
}

TEST_P(ImportRun, DuplicateAndMissingNumbers) {
  store.Add("Alt", "Vorhanden", "0712-34");
  ImportStats s = Run("duplicates.csv", ';', {kCompany, kName, kNumber});
  // Eins is new; Zwei and Drei are its number written otherwise; Vier's
  // number is all zeros, Fuenf has none; Sechs is in the book already.
  ASSERT_EQ(store.Records().size(), 2u);
  EXPECT_EQ(F(1, kCompany), "Eins");
  EXPECT_EQ(F(1, kNumber), "061122");
  EXPECT_EQ(s.imported, 1);
  EXPECT_EQ(s.notImported, 5);
  const std::string preview4 = "T10.15\t\tVier\r\nT10.16 \t\t\r\nT10.17\t D\r\nT10.18\t\t0000";
  const std::string preview5 = "T10.15\t\tFuenf\r\nT10.16 \t\t\r\nT10.17\t E\r\nT10.18\t\t";
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{
                            "T10.23 061122 T10.24",
                            "T10.23 061122 T10.24",
                            "T10.22 4: \r\n\r\n" + preview4 + "\r\n\r\n T10.20",
                            "T10.22 5: \r\n\r\n" + preview5 + "\r\n\r\n T10.20",
                            "T10.23 071234 T10.24",
                            "T10.26 5 T10.27",
                        }));
}

TEST_P(ImportRun, PreviewNoSkipsTheRecordAndCancelEndsThePreview) {
  ImportOptions opt;
  opt.preview = true;
  opt.skipFirstLine = true;
  opt.statistics = false;
  boxes.QueueAnswer(plat::IDNO);      // Alpha
  boxes.QueueAnswer(plat::IDCANCEL);  // Beta: imported, no more previews
  Run("lf_only.txt", ',', {kCompany, kName, kNumber}, opt);
  ASSERT_EQ(store.Records().size(), 1u);
  EXPECT_EQ(F(0, kCompany), "Beta");
  EXPECT_EQ(boxes.shown.size(), 2u);
}

TEST_P(ImportRun, BinaryOrMissingFileImportsNothing) {
  CDataBaseImportFileChecker checker;
  EXPECT_EQ(checker.OpenFile(ImportFile("binary.dat")), 0);
  EXPECT_EQ(checker.Scan(), 0);
  EXPECT_EQ(checker.OpenFile(ImportFile("no such file")), 0);
  EXPECT_EQ(RunImport(0, store, checker, ImportOptions{}).imported, 0);
  EXPECT_TRUE(store.Records().empty());
}

// One unbalanced quote in line 3 of 51: every line is read on its own, and
// the statistics count each line that did not come in.
TEST_P(ImportRun, AnUnbalancedQuoteTakesOnlyItsOwnLine) {
  ImportOptions opt;
  opt.skipFirstLine = true;
  opt.reportMissing = false;
  opt.reportDuplicate = false;
  CDataBaseImportFileChecker checker;
  checker.SetSeparator('\t');
  ASSERT_EQ(checker.OpenFile(ImportFile("unbalanced_quote.tsv")), 1);
  ASSERT_EQ(checker.Scan(), 1);
  EXPECT_EQ(checker.GetLineCount(), 51);
  EXPECT_EQ(checker.GetColumnCount(), 3);
  for (int i = 0; i < 3; ++i) checker.AddLink(i, std::vector<int>{kCompany, kName, kNumber}[static_cast<std::size_t>(i)]);
  ImportStats s = RunImport(0, store, checker, opt);
  // Line 30 repeats the number of line 20, line 40 has none.
  EXPECT_EQ(s.imported, 48);
  EXPECT_EQ(s.notImported, 2);
  ASSERT_EQ(store.Records().size(), 48u);
  EXPECT_EQ(F(1, kCompany), "\"Nordlicht GmbH");
  EXPECT_EQ(F(1, kName), "Hansen");
  EXPECT_EQ(F(1, kNumber), "0401003");
  EXPECT_EQ(F(2, kCompany), "Firma 4");
  EXPECT_EQ(F(8, kCompany), "Zum \"Anker\"");
  EXPECT_EQ(F(47, kNumber), "0401051");
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"T10.30 48 T10.31 2 T10.27"});
}

TEST_P(ImportRun, AFailedWriteStopsAndSaysSo) {
  store.SetFailWrites(true);
  ImportOptions opt;
  opt.skipFirstLine = true;
  ImportStats s = Run("lf_only.txt", ',', {kCompany, kName, kNumber}, opt);
  EXPECT_TRUE(s.failed);
  EXPECT_EQ(s.imported, 0);
  // The line that failed and the one never read.
  EXPECT_EQ(s.notImported, 2);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "T10.25 2 T10.27\r\nT10.36");
}

// Fails every record write after the first few and counts data syncs.
class FailWritesAfter : public plat::io::Hook {
 public:
  explicit FailWritesAfter(int allowed) : allowed_(allowed), previous_(plat::io::CurrentHook()) { plat::io::SetHook(this); }
  ~FailWritesAfter() override { plat::io::SetHook(previous_); }
  int Before(plat::io::Op op, const char*) override {
    if (op == plat::io::Op::Fdatasync) ++syncs;
    if (op == plat::io::Op::PWrite && failing && allowed_-- <= 0) return ENOSPC;
    return 0;
  }
  bool failing = true;
  int syncs = 0;

 private:
  int allowed_;
  plat::io::Hook* previous_;
};

// An import stopped by a failed write must not leave the phone book in its
// batch mode: a record the call model adds afterwards is synced at once.
TEST_P(ImportRun, AFailedWriteEndsTheBatch) {
  if (store.Kind() != pbtest::Backing::kFile) GTEST_SKIP() << "the batch belongs to the file";
  const std::string csv = store.Folder() / "three.csv";
  testsupport::PutFile(csv, "A,Anton,0401111\nB,Berta,0402222\nC,Carl,0403333\n");
  CDataBaseImportFileChecker checker;
  checker.SetSeparator(',');
  ASSERT_EQ(checker.OpenFile(csv), 1);
  for (int i = 0; i < 3; ++i) checker.AddLink(i, std::vector<int>{kCompany, kName, kNumber}[static_cast<std::size_t>(i)]);
  ImportOptions opt;
  opt.statistics = false;
  FailWritesAfter hook(2);  // the first record and its count word
  ImportStats s = RunImport(0, store, checker, opt);
  EXPECT_TRUE(s.failed);
  EXPECT_EQ(s.imported, 1);
  EXPECT_EQ(s.notImported, 2);
  hook.failing = false;
  const int before = hook.syncs;
  CMyDataBaseParamInterface* fresh = nullptr;
  ASSERT_EQ(store.Database().NewRecord(&fresh), PBS_DONE);
  CDataBaseParam number;
  number.SetText("0409999");
  fresh->SetParam(PBP_NUMBER, number, nullptr);
  ASSERT_EQ(store.Database().UpdateRecord(&fresh), PBS_DONE);
  EXPECT_GT(hook.syncs, before);
  EXPECT_EQ(store.Database().GetRecordCount(), 2u);
}

// A kill of the importing process at any instant leaves whole records, the
// first lines of the file in order; the next open repairs the rest.
TEST(ImportKill, LeavesAPrefixOfWholeRecords) {
  testapp::App();
  pbtest::TempFolder dir("pbimportkill");
  constexpr int kLines = 1500;  // six batches of 256 and a rest
  std::string text;
  for (int i = 0; i < kLines; ++i) text += "Firma " + std::to_string(i) + ";Name;0711" + std::to_string(100000 + i) + "\r\n";
  testsupport::PutFile(dir / "big.csv", text);
  const std::string book = dir / "phone.db";
  auto import = [&] {
    CMyDataBase db;
    db.SetLogSink([](const std::string&) {});
    if (db.Open(book) != 1) ::_exit(3);
    CDataBaseStore store(db);
    CDataBaseImportFileChecker checker;
    checker.SetSeparator(';');
    if (checker.OpenFile(dir / "big.csv") != 1) ::_exit(4);
    checker.AddLink(0, kCompany);
    checker.AddLink(2, kNumber);
    ImportOptions opt;
    opt.statistics = false;
    RunImport(0, store, checker, opt);
  };
  // A prefix, whole, with the count word repaired at open.
  auto check = [&](const std::string& when) {
    CMyDataBase db;
    db.SetLogSink([](const std::string&) {});
    ASSERT_EQ(db.Open(book), 1) << when;
    const std::uint32_t n = db.GetRecordCount();
    ASSERT_LE(n, static_cast<std::uint32_t>(kLines)) << when;
    EXPECT_EQ(testsupport::FileBytes(book).size(), DataBaseHeader::kSize + n * DataBaseRecord::kSize) << when;
    CDataBaseStore store(db);
    std::uint32_t k = 0;
    store.ForEach([&](const PbRecord& r) {
      EXPECT_EQ(r.text[kCompany], "Firma " + std::to_string(k)) << when;
      EXPECT_EQ(r.text[kNumber], "0711" + std::to_string(100000 + k)) << when;
      ++k;
      return true;
    });
    EXPECT_EQ(k, n) << when;
    db.Close();
    std::filesystem::remove(book);
  };
  // At each sync and rename of the run in turn, until a run gets through...
  int killed = 0;
  for (int nth = 1; nth <= 64; ++nth) {
    const bool stopped = testsupport::RunChild([&] {
      testsupport::KillAtOp kill(nth);
      import();
    }, 0);
    check("sync " + std::to_string(nth));
    if (!stopped || ::testing::Test::HasFailure()) break;
    ++killed;
  }
  EXPECT_GE(killed, 7);  // a sync after each batch at least
  // ...and at random instants.
  const std::uint32_t seed = static_cast<std::uint32_t>(::getpid());
  testsupport::KillRandom(seed);
  const testsupport::KillTally t = testsupport::KillAtRandomInstants(
      {.enough = 20, .time = std::chrono::seconds(3)}, 60000, import, [&](int run, bool) {
        check("random run " + std::to_string(run) + " seed " + std::to_string(seed));
        return true;
      });
  RecordProperty("random_kills", t.killed);
  // Unkilled, every line is there.
  ASSERT_FALSE(testsupport::RunChild(import, 0));
  CMyDataBase db;
  db.SetLogSink([](const std::string&) {});
  ASSERT_EQ(db.Open(book), 1);
  EXPECT_EQ(db.GetRecordCount(), static_cast<std::uint32_t>(kLines));
}

TEST(ImportChecker, ScanCountsAndLinkTable) {
  CDataBaseImportFileChecker c;
  c.SetSeparator(';');
  ASSERT_EQ(c.OpenFile(ImportFile("short_lines.csv")), 1);
  ASSERT_EQ(c.Scan(), 1);
  EXPECT_EQ(c.GetLineCount(), 4);
  EXPECT_EQ(c.GetColumnCount(), 3);
  EXPECT_EQ(c.ReadLine(2), 2);
  EXPECT_EQ(c.ReadLine(0), 1);
  EXPECT_EQ(c.GetColumn(1, 0), "Name");
  EXPECT_EQ(c.GetColumn(1, 1), "Firma");  // the name of field 1
  EXPECT_EQ(c.GetLineNumber(), 1);
  // Links: the used pairs stay at the front.
  EXPECT_EQ(c.AddLink(0, kCompany), 0);
  EXPECT_EQ(c.AddLink(2, kNumber), 1);
  EXPECT_EQ(c.AddLink(1, kName), 2);
  EXPECT_EQ(c.AddLink(2, kFax), 1);  // a column has one field
  EXPECT_EQ(c.AddLink(100, kNote), -1);
  EXPECT_EQ(c.FindLink(2, 0), kFax);
  EXPECT_EQ(c.FindLink(kName, 1), 1);
  EXPECT_EQ(c.GetLinkText(1, " - "), "Telefon - Fax");
  c.RemoveLink(kFax);
  EXPECT_EQ(c.GetLinkCount(), 2);
  EXPECT_EQ(c.GetLink(1, 1), kName);
  EXPECT_EQ(c.GetLink(2, 0), -1);
  EXPECT_EQ(c.GetLink(100, 0), -1);
  EXPECT_EQ(c.NextLink(-1), 0);
  EXPECT_EQ(c.NextLink(0), 0);
  EXPECT_EQ(c.NextLink(1), kName);
  for (int i = 2; i < 100; ++i) c.AddLink(i, kNote);
  EXPECT_EQ(c.GetLinkCount(), 100);
  EXPECT_EQ(c.CloseFile(), 1);
  EXPECT_EQ(c.CloseFile(), 0);
}

INSTANTIATE_TEST_SUITE_P(Stores, ImportRun, ::testing::Values(pbtest::Backing::kMemory, pbtest::Backing::kFile),
                         pbtest::BackingName);
