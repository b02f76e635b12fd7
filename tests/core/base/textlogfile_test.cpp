#include "core/base/textlogfile.h"

#include <gtest/gtest.h>

#include "tests/support/testsupport.h"

#include <clocale>
#include <cstring>
#include <ctime>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/eventloop.h"
#include "platform/text.h"
#include "tests/support/filefaults.h"
#include "testdir.h"

namespace {

class TextLogFileTest : public TempDirTest {};

TEST_F(TextLogFileTest, CreateIfMissingLeavesAnExistingFileAlone) {
  const std::string f = Path("trace.log");
  CTextLogFile file;
  EXPECT_EQ(file.CreateIfMissing(f.c_str()), 1);
  EXPECT_TRUE(file.IsOpen());
  file.WriteText("first");
  EXPECT_EQ(file.Close(), 1);
  EXPECT_EQ(file.Close(), 0);

  EXPECT_EQ(file.CreateIfMissing(f.c_str()), 0);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(ReadFile(f), "first");

  // An append starts on a line of its own.
  EXPECT_EQ(file.OpenAppend(f.c_str()), 1);
  file.WriteLine("+more");
  file.Close();
  EXPECT_EQ(ReadFile(f), "first\r\n+more\r\n");

  EXPECT_EQ(file.Create(f.c_str()), 1);  // starts it empty
  file.Close();
  EXPECT_EQ(ReadFile(f), "");
  EXPECT_EQ(file.GetFileName(), f);
}

// The program log and a trace may be set to one file: two objects appending
// to it keep both their lines.
TEST_F(TextLogFileTest, TwoObjectsAppendingToOneFileKeepEachOthersLines) {
  const std::string f = Path("shared.log");
  WriteFile(f, "start\r\n");
  CTextLogFile log, trace;
  ASSERT_EQ(log.OpenAppend(f.c_str()), 1);
  ASSERT_EQ(trace.OpenAppend(f.c_str()), 1);
  log.WriteLine("log 1");
  trace.WriteLine("trace 1");
  log.WriteLine("log 2");
  log.Close();
  trace.Close();
  EXPECT_EQ(ReadFile(f), "start\r\nlog 1\r\ntrace 1\r\nlog 2\r\n");
}

TEST_F(TextLogFileTest, FailedOpensAndWritesWhileClosed) {
  CTextLogFile file;
  EXPECT_EQ(file.OpenAppend(Path("missing.log").c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(Path("missing.log")));
  EXPECT_EQ(file.Create(Path("no/such/dir.log").c_str()), 0);
  EXPECT_EQ(file.CreateIfMissing(Path("no/such/dir.log").c_str()), 0);
  EXPECT_EQ(file.CreateIfMissing(""), 0);
  EXPECT_EQ(file.WriteText("x"), 0);
  EXPECT_EQ(file.WriteTimeStamp(), 0);
  EXPECT_EQ(file.WriteLine("x"), 0);
  file.SetFileName("");
  EXPECT_EQ(file.OpenRead(), 0);
  std::string token = "old";
  EXPECT_EQ(file.FirstToken(token), 0);
  EXPECT_EQ(token, "");
}

TEST_F(TextLogFileTest, TokensAreTheLinesIncludingTheLastWithoutLineEnd) {
  const std::string f = Path("import.txt");
  WriteFile(f, "Meier;Hans\r\n\r\nSchulz;Eva\r\nLetzte Zeile");
  CTextLogFile file;
  file.SetFileName(f.c_str());
  ASSERT_EQ(file.OpenRead(), 1);
  EXPECT_FALSE(file.IsOpen());
  std::string t;
  std::vector<std::string> lines;
  for (int r = file.FirstToken(t); r; r = file.NextToken(t)) lines.push_back(t);
  EXPECT_EQ(lines, (std::vector<std::string>{"Meier;Hans", "", "Schulz;Eva", "Letzte Zeile"}));
  EXPECT_EQ(file.NextToken(t), 0);
  EXPECT_EQ(t, "");

  // Another separator over the same loaded text; FirstToken starts again.
  file.SetSeparator(";");
  ASSERT_EQ(file.FirstToken(t), 1);
  EXPECT_EQ(t, "Meier");
  ASSERT_EQ(file.NextToken(t), 1);
  EXPECT_EQ(t, "Hans\r\n\r\nSchulz");

  // Into a small buffer: cut, but the whole token is consumed.
  file.SetSeparator("\r\n");
  char small[6];
  EXPECT_EQ(file.FirstToken(small, sizeof small), 1);
  EXPECT_STREQ(small, "Meier");
  EXPECT_EQ(file.NextToken(small, sizeof small), 1);
  EXPECT_STREQ(small, "");
  EXPECT_EQ(file.NextToken(small, sizeof small), 1);
  EXPECT_STREQ(small, "Schul");

  EXPECT_EQ(file.Close(), 0);  // only loaded, not open; the text is gone
  EXPECT_EQ(file.FirstToken(t), 0);
}

TEST_F(TextLogFileTest, TrailingSeparatorEmptyFileAndEmptySeparator) {
  const std::string f = Path("t.txt");
  CTextLogFile file;
  file.SetFileName(f.c_str());
  std::string t;

  WriteFile(f, "a\r\nb\r\n");
  ASSERT_EQ(file.OpenRead(), 1);
  EXPECT_EQ(file.FirstToken(t), 1);
  EXPECT_EQ(file.NextToken(t), 1);
  EXPECT_EQ(t, "b");
  EXPECT_EQ(file.NextToken(t), 0);

  WriteFile(f, "");
  ASSERT_EQ(file.OpenRead(), 1);
  EXPECT_EQ(file.FirstToken(t), 0);

  WriteFile(f, "x\r\ny");
  file.SetSeparator("");
  ASSERT_EQ(file.OpenRead(), 1);
  EXPECT_EQ(file.FirstToken(t), 1);
  EXPECT_EQ(t, "x\r\ny");
  EXPECT_EQ(file.NextToken(t), 0);
}

TEST_F(TextLogFileTest, FieldsAreBounded) {
  CTextLogFile file;
  const std::string longName(300, 'n');
  file.SetFileName(longName.c_str());
  EXPECT_EQ(file.GetFileName().size(), CTextLogFile::kNameChars);
  file.SetSeparator("0123456789abc");
  EXPECT_EQ(file.GetSeparator(), "012345678");
  EXPECT_EQ(CTextLogFile().GetSeparator(), "\r\n");
}

TEST_F(TextLogFileTest, TimeStampUsesEnglishMonthsWhateverTheLocale) {
  const std::time_t t = testsupport::LocalTime(2026, 12, 8, 6, 30, 0);
  {
    testsupport::GermanLocale de;  // the stamp must not care
    EXPECT_EQ(CTextLogFile::MakeTimeStamp(t), "8. Dec 2026, 06:30:00: ");
    EXPECT_EQ(CTextLogFile::MakeTimeStamp(testsupport::LocalTime(2027, 3, 21, 23, 5, 9)), "21. Mar 2027, 23:05:09: ");
  }

  plat::ManualLoop loop(t);
  plat::SetEventLoop(&loop);
  const std::string f = Path("stamp.log");
  CTextLogFile file;
  ASSERT_EQ(file.Create(f.c_str()), 1);
  EXPECT_EQ(file.WriteTimeStamp(), 1);
  file.WriteTimeStampedLine("Verbindung hergestellt");
  file.Close();
  plat::SetEventLoop(nullptr);
  EXPECT_EQ(ReadFile(f), "8. Dec 2026, 06:30:00: 8. Dec 2026, 06:30:00: Verbindung hergestellt\r\n");
}

TEST_F(TextLogFileTest, LinesFromSeveralThreadsStayWhole) {
  const std::string f = Path("threads.log");
  CTextLogFile file;
  ASSERT_EQ(file.Create(f.c_str()), 1);
  std::vector<std::thread> threads;
  for (int n = 0; n < 4; ++n) {
    threads.emplace_back([&file, n] {
      for (int i = 0; i < 200; ++i) {
        const std::string line = "thread " + std::to_string(n) + " line " + std::to_string(i);
        file.WriteTimeStampedLine(line.c_str());
      }
    });
  }
  for (auto& t : threads) t.join();
  file.Close();

  file.SetFileName(f.c_str());
  ASSERT_EQ(file.OpenRead(), 1);
  std::set<std::string> seen;
  std::string t;
  for (int r = file.FirstToken(t); r; r = file.NextToken(t)) {
    const auto colon = t.find(": thread ");
    ASSERT_NE(colon, std::string::npos) << t;
    seen.insert(t.substr(colon + 2));
  }
  EXPECT_EQ(seen.size(), 800u);
}

// A line and its end go out in one write, and what happened is returned:
// a failing write leaves nothing of the line behind.
TEST_F(TextLogFileTest, ALineIsOneWriteAndItsResult) {
  const std::string f = Path("trace.log");
  CTextLogFile file;
  ASSERT_EQ(file.Create(f.c_str()), 1);
  {
    testsupport::FileFault count;
    EXPECT_EQ(file.WriteLine("one"), 1);
    EXPECT_EQ(file.WriteTimeStampedLine("two"), 1);
    EXPECT_EQ(count.Count(plat::io::Op::Write), 2);
  }
  const std::string before = ReadFile(f);
  for (int err : {ENOSPC, EIO}) {
    testsupport::FileFault fault(plat::io::Op::Write, 1, err);
    EXPECT_EQ(file.WriteLine("lost"), 0);
    EXPECT_EQ(file.LastError(), err);
  }
  {
    testsupport::FileFault fault(plat::io::Op::Write, 1, ENOSPC);
    EXPECT_EQ(file.WriteTimeStampedLine("lost"), 0);
  }
  {
    testsupport::FileFault fault(plat::io::Op::Fdatasync, 1, EIO);
    EXPECT_EQ(file.WriteLineDurably("synced or nothing"), 0);
  }
  EXPECT_EQ(file.WriteLineDurably("three"), 1);
  {
    testsupport::FileFault fault(plat::io::Op::Close, 1, EIO);
    EXPECT_FALSE(file.CloseChecked());
  }
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(ReadFile(f), before + "three\r\n");
  EXPECT_FALSE(file.CloseChecked());
}

// A disk with room for part of a line: the part is taken back.
TEST_F(TextLogFileTest, ANearlyFullDiskLeavesNoHalfLine) {
  const std::string f = Path("full.log");
  WriteFile(f, "kept\r\n");
  int code = -1;
  testsupport::RunChild(
      [&] {
        testsupport::LimitFileSize(12);
        CTextLogFile file;
        if (file.OpenAppend(f.c_str()) != 1) ::_exit(2);
        const int r = file.WriteLine("a line far longer than the room left");
        ::_exit(r == 0 && file.LastError() == EFBIG ? 0 : 1);
      },
      0, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadFile(f), "kept\r\n");
}

// A child appends numbered lines until it is killed: the lines in the file
// are whole and in order, except that the kernel may stop a write between
// two pages of the file and leave the start of the last line; the next
// writer ends that part, so its own lines are whole.
TEST_F(TextLogFileTest, AKilledWriterLeavesWholeLines) {
  const std::string f = Path("killed.log");
  WriteFile(f, "");
  auto lineNo = [](int i) { return plat::StrFormatC("line %07d of the trace", i); };
  const testsupport::KillTally t = testsupport::KillEndlessWriter(
      {.enough = 60, .time = std::chrono::seconds(3)}, 20000,
      [&] {
        CTextLogFile file;
        file.OpenAppend(f.c_str());
        for (int i = 0;; ++i) file.WriteLine(lineNo(i).c_str());
      },
      [&](int run) {
        const std::string text = ReadFile(f);
        WriteFile(f, "");  // the next run starts on an empty file
        int expect = 0;
        std::size_t at = 0;
        for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2, ++expect)
          ASSERT_EQ(text.substr(at, end - at), lineNo(expect)) << "run " << run;
        const std::string rest = text.substr(at);
        ASSERT_EQ(rest, lineNo(expect).substr(0, rest.size())) << "run " << run;
        if (rest.empty()) return;
        WriteFile(f, text);
        CTextLogFile next;
        ASSERT_EQ(next.OpenAppend(f.c_str()), 1);
        ASSERT_EQ(next.WriteLine("next"), 1);
        next.Close();
        EXPECT_EQ(ReadFile(f), text + "\r\nnext\r\n") << "run " << run;
        WriteFile(f, "");
      });
  EXPECT_EQ(t.killed, t.runs);  // the writer never ends by itself
}

// A file that ends inside a line (or without the line end) is ended before
// the next line goes on; one that ends with the separator is left as it is.
TEST_F(TextLogFileTest, AnAppendEndsATornLastLineFirst) {
  struct Case {
    const char* before;
    const char* sep;
    const char* after;
  };
  const Case cases[] = {
      {"", "\r\n", "x\r\n"},
      {"a\r\n", "\r\n", "a\r\nx\r\n"},
      {"a\r\nlin", "\r\n", "a\r\nlin\r\nx\r\n"},
      {"a\r\nb\r", "\r\n", "a\r\nb\r\r\nx\r\n"},
      {"l", "\r\n", "l\r\nx\r\n"},
      {"a;b", ";", "a;b;x;"},
      {"a;", ";", "a;x;"},
  };
  for (const Case& c : cases) {
    const std::string f = Path("torn.log");
    WriteFile(f, c.before);
    CTextLogFile file;
    file.SetSeparator(c.sep);
    ASSERT_EQ(file.OpenAppend(f.c_str()), 1) << c.before;
    ASSERT_EQ(file.WriteLine("x"), 1);
    file.Close();
    EXPECT_EQ(ReadFile(f), c.after) << c.before;
  }
}

}  // namespace
