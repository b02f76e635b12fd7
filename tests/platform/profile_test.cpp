// INI files: reads, byte-exact writes, locale independence, concurrency.
#include <gtest/gtest.h>

#include <optional>

#include "tests/support/testsupport.h"

#include <clocale>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/profile.h"
#include "platform/text.h"

using namespace plat;
namespace fs = std::filesystem;

namespace {

class Profile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("plat_profile_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    file_ = (dir_ / "t.ini").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Put(const std::string& bytes) {
    std::ofstream(file_, std::ios::binary) << bytes;
  }
  std::string Bytes() const {
    std::ifstream in(file_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::string Get(const char* s, const char* k, const char* def = "", std::size_t size = 128) {
    return GetProfileText(s, k, def, file_, size);
  }

  fs::path dir_;
  std::string file_;
};

}  // namespace

TEST_F(Profile, ReadsMatchNamesWithoutCaseAndTrimValues) {
  Put("; comment=1\r\n[GlobConf]\r\n  PPCU =  0.12  \r\nCaun=DM\r\nempty=\r\n\r\n[Other]\nPPCU=9\n[globconf]\nPPCU=dup\n");
  EXPECT_EQ(Get("GLOBCONF", "ppcu"), "0.12");
  EXPECT_EQ(Get("globconf", "CAUN"), "DM");
  EXPECT_EQ(Get("GLOBCONF", "empty", "def"), "");
  EXPECT_EQ(Get("GLOBCONF", "missing", "def  "), "def");
  EXPECT_EQ(Get("nosection", "PPCU", nullptr), "");
  EXPECT_EQ(Get("other", "ppcu"), "9");
  EXPECT_EQ(Get("", "comment"), "");
}

TEST_F(Profile, ReadsAreCutToTheBufferAndMissingFilesGiveDefaults) {
  Put("[S]\nK=abcdefgh\n");
  char buf[5];
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(GetPrivateProfileString("S", "K", "", buf, 5, file_.c_str()), 4u);
  EXPECT_STREQ(buf, "abcd");
  EXPECT_EQ(GetPrivateProfileString("S", "K", "", buf, 1, file_.c_str()), 0u);
  EXPECT_STREQ(buf, "");
  buf[0] = 'x';
  EXPECT_EQ(GetPrivateProfileString("S", "K", "", buf, 0, file_.c_str()), 0u);
  EXPECT_EQ(buf[0], 'x');
  const std::string missing = (dir_ / "none.ini").string();
  EXPECT_EQ(GetProfileText("S", "K", "5000", missing), "5000");
  EXPECT_EQ(GetPrivateProfileInt("S", "K", -4, missing.c_str()), static_cast<UINT>(-4));
  EXPECT_FALSE(fs::exists(missing));
}

// A value cut at the buffer ends where a read of it written back would:
// the file keeps no blank at a value's end.
TEST_F(Profile, AValueCutAtTheBufferEndsInNoBlankAndWritesBackAsRead) {
  Put("[S]\r\nSp=abc def\r\nTab=ab\t\tcd\r\nCr=a \r x\r\nAll=    x\r\nNone=abcdefgh\r\n");
  const struct {
    const char* key;
    std::size_t size;
    const char* read;
  } cases[] = {
      {"Sp", 5, "abc"}, {"Tab", 5, "ab"}, {"Cr", 4, "a"}, {"All", 4, "x"}, {"None", 5, "abcd"}, {"Sp", 128, "abc def"},
  };
  for (const auto& c : cases) {
    const std::string got = Get("S", c.key, "", c.size);
    EXPECT_EQ(got, c.read) << c.key << " in " << c.size;
    ASSERT_TRUE(WritePrivateProfileString("Back", c.key, got.c_str(), file_.c_str()));
    EXPECT_EQ(Get("Back", c.key, "", c.size), got) << c.key << " in " << c.size;
  }
}

TEST_F(Profile, IntegerReadsTakeTheLeadingNumber) {
  Put("[N]\na=42\nb=-4\nc=+7x\nd=abc\ne=\nf= 12 34\ng=99999999999\n");
  const char* f = file_.c_str();
  EXPECT_EQ(GetPrivateProfileInt("n", "A", 1, f), 42u);
  EXPECT_EQ(static_cast<int>(GetPrivateProfileInt("N", "b", 1, f)), -4);
  EXPECT_EQ(GetPrivateProfileInt("N", "c", 1, f), 7u);
  EXPECT_EQ(GetPrivateProfileInt("N", "d", 1, f), 0u);
  EXPECT_EQ(GetPrivateProfileInt("N", "e", 1, f), 0u);
  EXPECT_EQ(GetPrivateProfileInt("N", "f", 1, f), 12u);
  EXPECT_EQ(GetPrivateProfileInt("N", "g", 1, f), 2147483647u);
  EXPECT_EQ(GetPrivateProfileInt("N", "missing", 17, f), 17u);
}

TEST_F(Profile, EnumeratesSectionsAndKeys) {
  Put("[A]\nx=1\ny=2\n[B]\n");
  char buf[64];
  DWORD n = GetPrivateProfileString("A", nullptr, "", buf, sizeof buf, file_.c_str());
  EXPECT_EQ(std::string(buf, n), std::string("x\0y\0", 4));
  n = GetPrivateProfileString(nullptr, nullptr, "", buf, sizeof buf, file_.c_str());
  EXPECT_EQ(std::string(buf, n), std::string("A\0B\0", 4));
  EXPECT_EQ(buf[n], '\0');
  // Cut lists stay inside the buffer and end with two terminators.
  Put("[Alpha]\n[Beta]\n");
  char small[9];
  std::memset(small, '#', sizeof small);
  EXPECT_EQ(GetPrivateProfileString(nullptr, nullptr, "", small, 8, file_.c_str()), 6u);
  EXPECT_EQ(std::string(small, 9), std::string("Alpha\0\0\0#", 9));
  EXPECT_EQ(GetPrivateProfileString(nullptr, nullptr, "", small, 3, file_.c_str()), 1u);
  EXPECT_EQ(std::string(small, 3), std::string("A\0\0", 3));
}

TEST_F(Profile, FirstWriteCreatesTheFile) {
  EXPECT_TRUE(WritePrivateProfileString("GLOBCONF", "CAUN", "DM", file_.c_str()));
  EXPECT_TRUE(WritePrivateProfileString("GLOBCONF", "PPCU", "0.12", file_.c_str()));
  EXPECT_TRUE(WritePrivateProfileString("CHARGES", "Active", "1", file_.c_str()));
  EXPECT_EQ(Bytes(), "[GLOBCONF]\r\nCAUN=DM\r\nPPCU=0.12\r\n[CHARGES]\r\nActive=1\r\n");
  EXPECT_FALSE(WritePrivateProfileString("S", "K", "v", (dir_ / "no/such/dir.ini").c_str()));
  // Nothing left behind but the file itself.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(Profile, WriteToOneSectionLeavesEveryOtherByteAsItWas) {
  const std::string head = "; kept by hand\r\n\r\n[MFRM]\r\nLP=10\r\n  TP = 20 ; odd\r\n\r\n";
  const std::string mid = "[Group_01]\nName=Vertrieb\n\n";
  const std::string tail = "[WPOSITIONS]\r\nWndPos01=1:0,0,0,0\r\nWndPos02=0";  // no final line end
  Put(head + "[GLOBCONF]\r\nCAUN=DM\r\nPPCU=0.12\r\n\r\n" + mid + tail);
  ASSERT_TRUE(WritePrivateProfileString("globconf", "ppcu", "0.15", file_.c_str()));
  ASSERT_TRUE(WritePrivateProfileString("GLOBCONF", "NEW", "x", file_.c_str()));
  EXPECT_EQ(Bytes(), head + "[GLOBCONF]\r\nCAUN=DM\r\nPPCU=0.15\r\nNEW=x\r\n\r\n" + mid + tail);

  ASSERT_TRUE(WritePrivateProfileString("Group_01", "Count", "3", file_.c_str()));
  EXPECT_EQ(Bytes(), head + "[GLOBCONF]\r\nCAUN=DM\r\nPPCU=0.15\r\nNEW=x\r\n\r\n" +
                         "[Group_01]\nName=Vertrieb\nCount=3\n\n" + tail);

  ASSERT_TRUE(WritePrivateProfileString("WPOSITIONS", "WndPos03", "1,2,3,4", file_.c_str()));
  ASSERT_TRUE(WritePrivateProfileString("Fresh", "k", "v", file_.c_str()));
  EXPECT_EQ(Bytes(), head + "[GLOBCONF]\r\nCAUN=DM\r\nPPCU=0.15\r\nNEW=x\r\n\r\n" +
                         "[Group_01]\nName=Vertrieb\nCount=3\n\n" + tail +
                         "\r\nWndPos03=1,2,3,4\r\n[Fresh]\r\nk=v\r\n");
}

TEST_F(Profile, RemovesKeysAndSectionsAndRefusesBrokenLines) {
  Put("[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n");
  ASSERT_TRUE(WritePrivateProfileString("A", "x", nullptr, file_.c_str()));
  EXPECT_EQ(Bytes(), "[A]\r\ny=2\r\n[B]\r\nz=3\r\n");
  ASSERT_TRUE(WritePrivateProfileString("a", nullptr, nullptr, file_.c_str()));
  EXPECT_EQ(Bytes(), "[B]\r\nz=3\r\n");
  ASSERT_TRUE(WritePrivateProfileString("gone", "k", nullptr, file_.c_str()));
  EXPECT_EQ(Bytes(), "[B]\r\nz=3\r\n");
  // A value with a line break would forge a section of its own.
  ASSERT_TRUE(WritePrivateProfileString("B", "z", "evil\r\n[B2]\r\nq=1", file_.c_str()));
  EXPECT_EQ(Bytes(), "[B]\r\nz=evil\r\n");
  EXPECT_FALSE(WritePrivateProfileString("B", "a=b", "1", file_.c_str()));
  EXPECT_FALSE(WritePrivateProfileString("B]x", "a", "1", file_.c_str()));
}

// A settings file that is there but cannot be read (left behind by another
// user, say) must make the write fail, not be replaced by one that holds only
// the written key.
TEST_F(Profile, AFileThatCannotBeReadIsNeverReplaced) {
  const std::string before = "[MFRM]\r\nLP=10\r\n[GLOBCONF]\r\nLLOT=5000\r\n";
  Put(before);
  int result = -1;
  if (::geteuid() == 0) {
    // Root reads everything: try as an unprivileged user in a child, in a
    // folder that user may write to.
    fs::permissions(dir_, fs::perms::all);
    ASSERT_EQ(::chmod(file_.c_str(), 0600), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(99);
      ::_exit(WritePrivateProfileString("GLOBCONF", "LLOT", "6000", file_.c_str()));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 99) << "could not drop privileges";
    result = WEXITSTATUS(status);
  } else {
    ASSERT_EQ(::chmod(file_.c_str(), 0200), 0);
    result = WritePrivateProfileString("GLOBCONF", "LLOT", "6000", file_.c_str());
    ::chmod(file_.c_str(), 0600);
  }
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Bytes(), before);
}

TEST_F(Profile, SettingsSavedAndLoadedUnderAGermanLocaleKeepTheirValuesAndBytes) {
  auto save = [&](const std::string& path) {
    char buf[64];
    FormatC(buf, sizeof buf, "%.2f", 0.12);
    WritePrivateProfileString("GLOBCONF", "PPCU", buf, path.c_str());
    WritePrivateProfileString("CHARGES", "TaxValue", StrFormatC("%2.2f", 16.0).c_str(), path.c_str());
    WritePrivateProfileString("CHARGES", "CurrencyToEuroFactor", StrFormatC("%3.4f", 0.4975).c_str(), path.c_str());
  };
  const std::string ref = (dir_ / "ref.ini").string();
  save(ref);

  std::optional<testsupport::GermanLocale> de(std::in_place);
  if (!de->Active()) GTEST_SKIP() << "no German locale";
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.2f", 0.12);
  EXPECT_STREQ(probe, "0,12") << "the locale is really German";
  char buf[16];
  FormatC(buf, sizeof buf, "%.2f", 0.12);
  EXPECT_STREQ(buf, "0.12");

  save(file_);
  const double ppcu = AtofC(Get("GLOBCONF", "PPCU").c_str());
  const double factor = AtofC(Get("CHARGES", "CurrencyToEuroFactor").c_str());
  de.reset();

  EXPECT_DOUBLE_EQ(ppcu, 0.12);
  EXPECT_DOUBLE_EQ(factor, 0.4975);
  std::ifstream a(ref, std::ios::binary);
  EXPECT_EQ(Bytes(), std::string(std::istreambuf_iterator<char>(a), std::istreambuf_iterator<char>()));
  EXPECT_EQ(Get("CHARGES", "TaxValue"), "16.00");
}

TEST_F(Profile, TwoThreadsWritingOneFileLoseNothing) {
  auto writer = [&](const char* section) {
    for (int i = 0; i < 40; ++i)
      WritePrivateProfileString(section, StrFormatC("K%02d", i).c_str(), StrFormatC("%d", i).c_str(), file_.c_str());
  };
  std::thread a(writer, "A"), b(writer, "B");
  a.join();
  b.join();
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(static_cast<int>(GetPrivateProfileInt("A", StrFormatC("K%02d", i).c_str(), -1, file_.c_str())), i);
    EXPECT_EQ(static_cast<int>(GetPrivateProfileInt("B", StrFormatC("K%02d", i).c_str(), -1, file_.c_str())), i);
  }
}

// What a read gives back, written again, reads back the same: the lists and
// stores load a file and save what they loaded.
TEST_F(Profile, AValueReadBackWritesBackTheSameBytes) {
  using namespace std::string_literals;
  struct Case {
    const char* what;
    std::string line;   // the key's line as the file holds it
    std::string value;  // what a read gives
  } cases[] = {
      {"plain", "k=x\r\n", "x"},
      {"lone CR inside", "k=x\rshrtdial-07AL-19]\r\n", "x\rshrtdial-07AL-19]"},
      {"lone CR, LF file", "k=a\rb\n", "a\rb"},
      {"NUL inside", "k=08\0" "15\r\n"s, "08"},
      {"NUL after a blank", "k=ab \0cd\r\n"s, "ab"},
      {"NUL first", "k=\0x\r\n"s, ""},
      {"blanks around", "k=  a b \t\r\n", "a b"},
  };
  for (const Case& c : cases) {
    Put("[S]\r\n" + c.line + "[T]\r\nz=1\r\n");
    const std::string read = Get("S", "k");
    EXPECT_EQ(read, c.value) << c.what;
    ASSERT_TRUE(WritePrivateProfileString("S", "k", read.c_str(), file_.c_str())) << c.what;
    EXPECT_EQ(Get("S", "k"), read) << c.what;
    const std::string once = Bytes();
    ASSERT_TRUE(WritePrivateProfileString("S", "k", Get("S", "k").c_str(), file_.c_str())) << c.what;
    EXPECT_EQ(Bytes(), once) << c.what;
    EXPECT_EQ(Get("T", "z"), "1") << c.what;
  }
  // A NUL ends a name too, for reads, lists and writes alike.
  Put("[S\0x]\r\nk\0y=1\r\n"s);
  EXPECT_EQ(Get("S", "k"), "1");
  char names[32];
  EXPECT_EQ(GetPrivateProfileString("S", nullptr, "", names, sizeof names, file_.c_str()), 2u);
  EXPECT_EQ(std::string(names, 3), std::string("k\0\0", 3));
  // A value with a line feed keeps what stands before it.
  ASSERT_TRUE(WritePrivateProfileString("S", "k", "a\rb\nc", file_.c_str()));
  EXPECT_EQ(Get("S", "k"), "a\rb");
  // A CR at a value's end never changes the line ends of the file.
  Put("[S]\nk=1\n");
  ASSERT_TRUE(WritePrivateProfileString("S", "k", "ab\r\r", file_.c_str()));
  ASSERT_TRUE(WritePrivateProfileString("S", "n", "2", file_.c_str()));
  EXPECT_EQ(Bytes(), "[S]\nk=ab\nn=2\n");
}

// A loader's scope reads the file once; its own writes are seen, another
// thread and another file read as before.
TEST_F(Profile, AReadScopeReadsTheFileOnceAndSeesItsOwnWrites) {
  Put("[A]\r\nk=1\r\n");
  const std::string other = (dir_ / "other.ini").string();
  std::ofstream(other, std::ios::binary) << "[A]\r\nk=o\r\n";
  {
    ProfileReadScope scope(file_);
    EXPECT_EQ(Get("A", "k"), "1");
    Put("[A]\r\nk=2\r\n");  // changed behind the scope's back
    EXPECT_EQ(Get("A", "k"), "1");
    EXPECT_EQ(static_cast<int>(GetPrivateProfileInt("A", "k", -1, file_.c_str())), 1);
    std::string seen;
    std::thread([&] { seen = GetProfileText("A", "k", "", file_); }).join();
    EXPECT_EQ(seen, "2");
    EXPECT_EQ(GetProfileText("A", "k", "", other), "o");
    ASSERT_TRUE(WritePrivateProfileString("A", "n", "3", file_.c_str()));
    EXPECT_EQ(Get("A", "k"), "2");
    EXPECT_EQ(Get("A", "n"), "3");
    {
      ProfileReadScope inner(other);
      EXPECT_EQ(GetProfileText("A", "k", "", other), "o");
      EXPECT_EQ(Get("A", "n"), "3");
    }
  }
  Put("[A]\r\nk=4\r\n");
  EXPECT_EQ(Get("A", "k"), "4");
}
