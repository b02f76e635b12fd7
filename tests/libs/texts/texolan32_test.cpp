#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "libs/texts/langfile.h"
#include "libs/texts/texts_source.h"
#include "libs/texts/veskoapi.h"
#include "platform/msgbox.h"
#include "platform/textid.h"

namespace fs = std::filesystem;

namespace {

class TextLib : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) /
           ("texolan_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    while (VESKOAPIDeleteMapEntry(0) == 0) {
    }
    fs::remove_all(dir_);
  }

  std::string Write(const std::string& name, const std::string& content) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
  }

  // Opens content as a file; returns the code and leaves the handle in h.
  int Open(const std::string& content, VESKOSESSION& h) {
    return VESKOAPIOpenSession(Write("f" + std::to_string(n_++) + ".lng", content).c_str(), 0, &h);
  }

  static std::string Text(VESKOSESSION h, int g, int e) { return VESKOAPIGetTextParameter(h, g, e, 0); }
  static std::string Desc(VESKOSESSION h, int g, int e) { return VESKOAPIGetDescriptionParameter(h, g, e, 0); }

  fs::path dir_;
  int n_ = 0;
};

TEST_F(TextLib, EachParseErrorGivesItsCodeAndNoSession) {
  const struct {
    int code;
    const char* file;
  } cases[] = {
      {3, "1 ::=x\n"},
      {4, "BEGIN_GROUP 1\nBEGIN_GROUP 2\nEND_GROUP 2\n"},
      {5, "BEGIN_GROUP ab {x}\nEND_GROUP 0\n"},
      {6, "BEGIN_GROUP 1 {a} b\nEND_GROUP 1\n"},
      {6, "BEGIN_GROUP 1 plain words\nEND_GROUP 1\n"},
      {7, "END_GROUP 1\n"},
      {8, "BEGIN_GROUP 1\nEND_GROUP 2\n"},
      {8, "BEGIN_GROUP 1\nEND_GROUP x1\n"},
      {9, "BEGIN_GROUP 1\nEND_GROUP 1 more\n"},
      {10, "BEGIN_GROUP 1\n0 ::=a\n"},
      {11, "BEGIN_GROUP 1\n0 no assignment\nEND_GROUP 1\n"},
      {11, "BEGIN_GROUP 1\n1a2 ::=x\nEND_GROUP 1\n"},
      {12, "BEGIN_GROUP 1\n0 {abc ::= x\nEND_GROUP 1\n"},
      {12, "BEGIN_GROUP 1\n0 ::= a}b\nEND_GROUP 1\n"},
      {13, "BEGIN_GROUP 1\n0 ::=\nEND_GROUP 1\n"},
  };
  for (const auto& c : cases) {
    VESKOSESSION h = 1234;
    EXPECT_EQ(Open(c.file, h), c.code) << c.file;
    EXPECT_EQ(h, VESKO_NO_SESSION) << c.file;
  }
  VESKOSESSION h = 1234;
  EXPECT_EQ(VESKOAPIOpenSession((dir_ / "missing.lng").c_str(), 0, &h), 1);
  EXPECT_EQ(h, VESKO_NO_SESSION);
  EXPECT_EQ(VESKOAPIOpenSession(dir_.c_str(), 0, &h), 1);  // a folder is no file
  EXPECT_EQ(VESKOAPIOpenSession(nullptr, 0, &h), 1);
  EXPECT_EQ(VESKOAPIOpenSession("x", 0, nullptr), 1);
}

TEST_F(TextLib, LinesParseByTheFileRules) {
  VESKOSESSION h;
  ASSERT_EQ(Open("\t BEGIN_GROUP 7 {Monitor dialog}\n"
                 "0 ::=Titel\n"
                 "1 {Knopf} ::= OK\n"
                 "2 ::= Text mit Blank am Ende  \n"
                 "\n"
                 "   \t\n"
                 "12x ::=Zahl mit Buchstabe\n"
                 "0 ::=zweiter Eintrag 0\n"
                 "5 {nur ::= Beschreibung} ohne Zuweisung\n"
                 "6 ::=Klammer {innen}\n"
                 "END_GROUP 7\n"
                 "BEGIN_GROUP\n"
                 "1 ::=Gruppe ohne Nummer\n"
                 "END_GROUP\n"
                 "BEGIN_GROUP 7 {zweite}\n"
                 "0 ::=nie gefunden\n"
                 "END_GROUP 7\n"
                 "BEGIN_GROUP 8 {halb\n"
                 "END_GROUP 8\n",
                 h),
            0);
  EXPECT_EQ(Text(h, 0, 0), "");  // (0, 0) is not in this file
  EXPECT_EQ(Text(h, 7, 0), "Titel");
  EXPECT_EQ(Text(h, 7, 1), " OK");
  EXPECT_EQ(Desc(h, 7, 1), "Knopf");
  EXPECT_EQ(Text(h, 7, 2), " Text mit Blank am Ende  ");
  EXPECT_EQ(Text(h, 7, 12), "Zahl mit Buchstabe");
  EXPECT_EQ(Text(h, 7, 6), "Klammer {innen}");
  EXPECT_EQ(Desc(h, 7, 5), "nur ::= Beschreibung");
  EXPECT_EQ(Text(h, 7, 5), "");
  EXPECT_EQ(Desc(h, 7, -1), "Monitor dialog");
  EXPECT_EQ(Text(h, 0, 1), "Gruppe ohne Nummer");
  EXPECT_EQ(Desc(h, 0, -1), "");
  EXPECT_EQ(Desc(h, 8, -1), "hal");  // first and last character go, whatever they are
  EXPECT_EQ(Text(h, 7, 3), "");
  EXPECT_EQ(Text(h, 9, 0), "");
  EXPECT_EQ(Text(h + 1000, 7, 0), "");
  EXPECT_EQ(Desc(h, 9, -1), "");
  EXPECT_EQ(VESKOAPICloseSession(h), 0);
}

TEST_F(TextLib, CrLfFileReadsExactlyLikeLfFile) {
  const std::string lf =
      "BEGIN_GROUP 3 {Gruppe}\n0 ::=eins\n1 {d} ::=zwei  \n2 ::= drei\nEND_GROUP 3\n";
  std::string crlf;
  for (char c : lf) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  VESKOSESSION a, b;
  ASSERT_EQ(Open(lf, a), 0);
  ASSERT_EQ(Open(crlf, b), 0);
  ASSERT_NE(a, b);
  for (int e = -1; e <= 2; ++e) {
    EXPECT_EQ(Text(a, 3, e), Text(b, 3, e)) << e;
    EXPECT_EQ(Desc(a, 3, e), Desc(b, 3, e)) << e;
  }
  EXPECT_EQ(Text(b, 3, 1), "zwei  ");
  // A CR LF group end must still close the group rather than give 9 or 10.
  VESKOSESSION c;
  EXPECT_EQ(Open("BEGIN_GROUP 1\r\n0 ::=x\r\nEND_GROUP 1\r\n", c), 0);
  EXPECT_EQ(Text(c, 1, 0), "x");
  for (VESKOSESSION h : {a, b, c}) EXPECT_EQ(VESKOAPICloseSession(h), 0);
}

TEST_F(TextLib, LongLinesAreReadWhole) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += static_cast<char>('a' + i % 26);
  std::string longDesc(400, 'd');
  VESKOSESSION h;
  ASSERT_EQ(Open("BEGIN_GROUP 1\n0 ::=" + text + "\n1 {" + longDesc + "} ::=" + text + "\nEND_GROUP 1\n", h), 0);
  EXPECT_EQ(Text(h, 1, 0), text);
  EXPECT_EQ(Text(h, 1, 1), text);
  EXPECT_EQ(Desc(h, 1, 1), longDesc);
  EXPECT_EQ(VESKOAPICloseSession(h), 0);
}

TEST_F(TextLib, OverflowingNumbersSaturate) {
  VESKOSESSION h;
  ASSERT_EQ(Open("BEGIN_GROUP 99999999999999999999999 {gross}\n"
                 "4294967297x ::=riesig\n"
                 "END_GROUP 2147483647\n",
                 h),
            0);
  EXPECT_EQ(Desc(h, INT32_MAX, -1), "gross");
  EXPECT_EQ(Text(h, INT32_MAX, INT32_MAX), "riesig");
  EXPECT_EQ(Text(h, 1, 0), "");  // no wrap-around to small numbers
  EXPECT_EQ(VESKOAPICloseSession(h), 0);

  std::int32_t v = -5;
  EXPECT_TRUE(texolan::IsNumberWord("-", &v));
  EXPECT_EQ(v, 0);
  EXPECT_FALSE(texolan::IsNumberWord("-5", &v));
  EXPECT_TRUE(texolan::IsNumberWord("", &v));
  EXPECT_EQ(v, 0);
}

TEST_F(TextLib, MapKeyAndPathShareOneCountedSession) {
  const std::string path = Write("shared.lng", "BEGIN_GROUP 0\n0 ::=Palomir\nEND_GROUP 0\n");
  ASSERT_EQ(VESKOAPIAddFileMapEntry("erste", "GERMAN", path.c_str()), 0);
  VESKOSESSION byKey, byPath, byOtherName;
  ASSERT_EQ(VESKOAPIOpenSession("GERMAN", 0, &byKey), 0);
  ASSERT_EQ(VESKOAPIOpenSession(path.c_str(), 0, &byPath), 0);
  EXPECT_EQ(byKey, byPath);
  // Another spelling of the same file is the same session as well.
  const std::string other = (dir_ / "." / "shared.lng").string();
  ASSERT_EQ(VESKOAPIOpenSession(other.c_str(), 0, &byOtherName), 0);
  EXPECT_EQ(byOtherName, byKey);
  // A key is case-sensitive and falls back to being a path.
  VESKOSESSION h;
  EXPECT_EQ(VESKOAPIOpenSession("german", 0, &h), 1);

  EXPECT_EQ(VESKOAPICloseSession(byKey), 0);
  EXPECT_EQ(VESKOAPICloseSession(byKey), 0);
  EXPECT_EQ(Text(byKey, 0, 0), "Palomir");  // one reference left
  EXPECT_EQ(VESKOAPICloseSession(byKey), 0);
  EXPECT_EQ(VESKOAPICloseSession(byKey), 1);
  EXPECT_EQ(Text(byKey, 0, 0), "");
  EXPECT_EQ(VESKOAPICloseSession(VESKO_NO_SESSION), 1);
}

TEST_F(TextLib, ClosedHandlesStayDeadAndOthersStayUsable) {
  VESKOSESSION s[3];
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(Open("BEGIN_GROUP 1\n0 ::=Datei " + std::to_string(i) + "\nEND_GROUP 1\n", s[i]), 0);
  }
  EXPECT_EQ(VESKOAPICloseSession(s[1]), 0);
  EXPECT_EQ(Text(s[0], 1, 0), "Datei 0");
  EXPECT_EQ(Text(s[2], 1, 0), "Datei 2");
  // A session opened after a close never gets the closed one's handle.
  VESKOSESSION again;
  ASSERT_EQ(Open("BEGIN_GROUP 1\n0 ::=neu\nEND_GROUP 1\n", again), 0);
  for (VESKOSESSION old : s) EXPECT_NE(again, old);
  EXPECT_EQ(Text(s[1], 1, 0), "");
  EXPECT_EQ(VESKOAPICloseSession(s[1]), 1);
  for (VESKOSESSION h : {s[0], s[2], again}) EXPECT_EQ(VESKOAPICloseSession(h), 0);
}

TEST_F(TextLib, FileMapDeletes) {
  const std::string path = Write("m.lng", "BEGIN_GROUP 0\n0 ::=x\nEND_GROUP 0\n");
  ASSERT_EQ(VESKOAPIAddFileMapEntry("a", "K1", path.c_str()), 0);
  ASSERT_EQ(VESKOAPIAddFileMapEntry("b", "K2", path.c_str()), 0);
  ASSERT_EQ(VESKOAPIAddFileMapEntry("c", "K2", path.c_str()), 0);
  ASSERT_EQ(VESKOAPIAddFileMapEntry("a", "K3", path.c_str()), 0);
  EXPECT_EQ(VESKOAPIDeleteMapEntriesOn(0, "K2"), -1);
  EXPECT_EQ(VESKOAPIDeleteMapEntriesOn(4, "K2"), -1);
  EXPECT_EQ(VESKOAPIDeleteMapEntriesOn(2, "K2"), 0);  // both adjacent ones
  VESKOSESSION h;
  EXPECT_EQ(VESKOAPIOpenSession("K2", 0, &h), 1);
  ASSERT_EQ(VESKOAPIOpenSession("K3", 0, &h), 0);
  EXPECT_EQ(VESKOAPICloseSession(h), 0);
  EXPECT_EQ(VESKOAPIDeleteMapEntriesOn(1, "a"), 0);  // K1 and K3
  EXPECT_EQ(VESKOAPIDeleteMapEntry(0), -1);
  EXPECT_EQ(VESKOAPIOpenSession("K3", 0, &h), 1);

  ASSERT_EQ(VESKOAPIAddFileMapEntry("a", "K4", path.c_str()), 0);
  ASSERT_EQ(VESKOAPIAddFileMapEntry("b", "K5", "elsewhere"), 0);
  EXPECT_EQ(VESKOAPIDeleteMapEntry(-1), -1);
  EXPECT_EQ(VESKOAPIDeleteMapEntry(2), -1);
  EXPECT_EQ(VESKOAPIDeleteMapEntriesOn(3, "elsewhere"), 0);
  EXPECT_EQ(VESKOAPIDeleteMapEntry(1), -1);
  EXPECT_EQ(VESKOAPIDeleteMapEntry(0), 0);
  EXPECT_EQ(VESKOAPIOpenSession("K4", 0, &h), 1);
}

// The incoming-call worker reads texts while the main thread opens and
// closes sessions.
TEST_F(TextLib, ReadersRaceOpenAndClose) {
  VESKOSESSION mainSession;
  ASSERT_EQ(Open("BEGIN_GROUP 46\n0 ::=Hauptdatei\nEND_GROUP 46\n", mainSession), 0);
  std::vector<std::string> files;
  for (int i = 0; i < 8; ++i) files.push_back(Write("r" + std::to_string(i) + ".lng",
                                                    "BEGIN_GROUP 1\n0 ::=nebenbei\nEND_GROUP 1\n"));
  std::atomic<bool> stop{false};
  std::atomic<int> bad{0};
  std::thread reader([&] {
    while (!stop.load()) {
      if (std::string(VESKOAPIGetTextParameter(mainSession, 46, 0, 0)) != "Hauptdatei") ++bad;
      VESKOAPIGetTextParameter(mainSession + 1, 1, 0, 0);
    }
  });
  for (int round = 0; round < 200; ++round) {
    std::vector<VESKOSESSION> open;
    for (const auto& f : files) {
      VESKOSESSION h;
      if (VESKOAPIOpenSession(f.c_str(), 0, &h) == 0) open.push_back(h);
    }
    for (VESKOSESSION h : open) VESKOAPICloseSession(h);
  }
  stop = true;
  reader.join();
  EXPECT_EQ(bad.load(), 0);
  EXPECT_EQ(VESKOAPICloseSession(mainSession), 0);
}

TEST_F(TextLib, VersionAndInformationBox) {
  plat::ScriptedMessageBox box;
  plat::SetMessageBoxImpl(&box);
  EXPECT_STREQ(VESKOAPIGetVersion(0), "VESKOAPI Version 1.1");
  EXPECT_TRUE(box.shown.empty());
  EXPECT_STREQ(VESKOAPIGetVersion(1), "");
  EXPECT_STREQ(VESKOAPIGetVersion(2), "VESKOAPI Version 1.1");
  plat::SetMessageBoxImpl(nullptr);
  ASSERT_EQ(box.shown.size(), 2u);
  EXPECT_NE(box.shown[1].text.find("VESKOAPI Version 1.1"), std::string::npos);
}

TEST_F(TextLib, InstalledSourceFeedsPlatformTexts) {
  VESKOSESSION h;
  ASSERT_EQ(Open("BEGIN_GROUP 0\n0 ::=Palomir\n1 {leer ::=} x\nEND_GROUP 0\n", h), 0);
  texolan::InstallTextSource(h);
  EXPECT_STREQ(plat::GetText(plat::TextId(0, 0)), "Palomir");
  EXPECT_EQ(plat::GetText(plat::TextId(0, 1)), nullptr);
  EXPECT_STREQ(plat::GetTextOr(plat::TextId(0, 7), "fehlt"), "fehlt");
  texolan::InstallTextSource(VESKO_NO_SESSION);
  EXPECT_EQ(plat::GetText(plat::TextId(0, 0)), nullptr);
  EXPECT_EQ(VESKOAPICloseSession(h), 0);
}

}  // namespace
