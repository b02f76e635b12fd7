// What the phone book dialog tests share: the offscreen application, a
// manual loop, scripted boxes, the store (in memory or on file) and a text
// source that names each text by its id ("T11.62") except the field names,
// which tests look for.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "platform/textid.h"
#include "tests/phonebook/dialogs/bookstore.h"
#include "tests/platform/dialogkit/testapp.h"

namespace pbtest {

inline const char* TestText(int group, int entry) {
  static const char* const kNames[] = {"Firma", "Strasse", "Nr", "PLZ", "Ort", "Land", "Titel", "Name",
                                       "Telefon", "Extern", "Fax", "Kundennummer", "Notiz", "in Gebrauch",
                                       "Behandlung"};
  if (group == 16 && entry >= 0 && entry <= 14) return kNames[entry];
  static thread_local char buf[32];
  plat::FormatC(buf, sizeof buf, "T%i.%i", group, entry);
  return buf;
}

// Each test runs over the store in memory and over the real file.
class PbTest : public ::testing::TestWithParam<Backing> {
 protected:
  void SetUp() override {
    testapp::App();
    plat::SetTextSource(&TestText);
    plat::SetMessageBoxImpl(&boxes);
  }
  void TearDown() override {
    plat::SetMessageBoxImpl(nullptr);
    plat::SetTextSource(nullptr);
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> t;
    for (const auto& b : boxes.shown) t.push_back(b.text);
    return t;
  }
  plat::ManualLoop loop;
  plat::ScriptedMessageBox boxes;
  BookStore store{GetParam()};
};

}  // namespace pbtest
