// The shipped language file must open cleanly and hold every text that the
// code and the dialog templates ask for.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "libs/texts/langfile.h"
#include "libs/texts/veskoapi.h"

namespace fs = std::filesystem;

namespace {

const std::string kFile = std::string(BRIMLOW_BINARY_DIR) + "/bin/velt_ger.lng";

struct Use {
  int group, entry;
  std::string where;
};

void ScanFile(const fs::path& p, const std::regex& re, std::vector<Use>& uses) {
  std::ifstream in(p, std::ios::binary);
  std::string line;
  int n = 0;
  while (std::getline(in, line)) {
    ++n;
    for (std::sregex_iterator it(line.begin(), line.end(), re), end; it != end; ++it) {
      uses.push_back({std::stoi((*it)[1]), std::stoi((*it)[2]), p.string() + ":" + std::to_string(n)});
    }
  }
}

std::vector<Use> ScanTree() {
  const std::regex code(R"(TextId\(\s*(\d+)\s*,\s*(\d+)\s*\))");
  const std::set<std::string> sourceExt = {".cpp", ".h", ".hpp", ".cc", ".cxx", ".inc", ".ipp"};
  std::vector<Use> uses;
  const fs::path root(BRIMLOW_SOURCE_DIR);
  for (const char* dir : {"core", "app", "libs", "netlink", "plugins", "phonebook", "print", "charges", "platform"}) {
    if (!fs::is_directory(root / dir)) continue;
    for (const auto& e : fs::recursive_directory_iterator(root / dir)) {
      if (e.is_regular_file() && sourceExt.count(e.path().extension().string())) ScanFile(e.path(), code, uses);
    }
  }
  // Dialog templates name their texts "@group.entry".
  const std::regex dialog(R"((?:^|[\s"])@(\d+)\.(\d+)\b)");
  const fs::path dialogs = root / "resources" / "dialogs";
  if (fs::is_directory(dialogs)) {
    for (const auto& e : fs::recursive_directory_iterator(dialogs)) {
      if (!e.is_regular_file() || e.path().extension() == ".md") continue;
      ScanFile(e.path(), sourceExt.count(e.path().extension().string()) ? code : dialog, uses);
    }
  }
  return uses;
}

TEST(LanguageFile, OpensCleanly) {
  VESKOSESSION h;
  ASSERT_EQ(VESKOAPIOpenSession(kFile.c_str(), 0, &h), 0) << kFile;
  EXPECT_STREQ(VESKOAPIGetTextParameter(h, 0, 0, 0), "Palomir");
  EXPECT_EQ(VESKOAPICloseSession(h), 0);
}

TEST(LanguageFile, HoldsEveryTextTheCodeAsksFor) {
  std::vector<texolan::TextGroup> groups;
  ASSERT_EQ(texolan::ParseLanguageFile(kFile, groups), 0);
  std::string missing;
  const std::vector<Use> uses = ScanTree();
  for (const Use& u : uses) {
    const texolan::TextGroup* g = texolan::FindGroup(groups, u.group);
    const texolan::TextEntry* e = g ? texolan::FindEntry(*g, u.entry) : nullptr;
    if (!e || e->text.empty()) {
      missing += "\n  TextId(" + std::to_string(u.group) + ", " + std::to_string(u.entry) + ") at " + u.where;
    }
  }
  EXPECT_TRUE(missing.empty()) << "texts missing from velt_ger.lng:" << missing;
}

// The file ships in Windows-1252, converted from its UTF-8 source.
TEST(LanguageFile, ShipsAsWindows1252) {
  std::ifstream in(kFile, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(bytes.find("\xC3"), std::string::npos) << "UTF-8 sequences left in the file";
  VESKOSESSION h;
  ASSERT_EQ(VESKOAPIOpenSession(kFile.c_str(), 0, &h), 0);
  EXPECT_STREQ(VESKOAPIGetTextParameter(h, 2, 3, 0), "Bitte nehmen Sie den H\xF6rer ab!");
  EXPECT_EQ(VESKOAPICloseSession(h), 0);
}

// Texts that code reaches by computed entry numbers, so the scan cannot
// see them: the file-error texts and the salutation pairs.
TEST(LanguageFile, HoldsTheComputedTextRanges) {
  VESKOSESSION h;
  ASSERT_EQ(VESKOAPIOpenSession(kFile.c_str(), 0, &h), 0);
  std::vector<std::pair<int, int>> ids;
  for (int e = 0; e <= 6; ++e) ids.push_back({52, e});
  for (int e = 0; e <= 15; ++e) ids.push_back({53, e});
  for (int e = 0; e <= 6; ++e) ids.push_back({42, e});
  for (int e = 0; e <= 4; ++e) ids.push_back({55, e});
  for (int e = 10; e <= 22; ++e) ids.push_back({55, e});
  for (const auto& [g, e] : ids) {
    EXPECT_STRNE(VESKOAPIGetTextParameter(h, g, e, 0), "") << g << ", " << e;
  }
  EXPECT_EQ(VESKOAPICloseSession(h), 0);
}

}  // namespace
