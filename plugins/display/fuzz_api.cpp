// Arbitrary bytes as a host's calls into the display control: items added
// under any handle, parameters of any name and value, window requests,
// timers, tab selections and closes, offscreen. Nothing may crash, and
// every answer must be one of the interface's codes.
#include <QApplication>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/offscreen.h"
#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "plugins/display/overviewdlg.h"
#include "plugins/display/tarquel.h"

namespace {

struct Bytes {
  const std::uint8_t* p;
  std::size_t n;
  std::uint8_t U8() { return n ? (--n, *p++) : 0; }
  std::int32_t I32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | U8();
    return static_cast<std::int32_t>(v);
  }
  std::string Text(std::size_t max) {
    std::size_t len = U8() % (max + 1);
    std::string s;
    for (; len && n; --len) s.push_back(static_cast<char>(U8()));
    return s;  // a zero inside ends it as the plug-in sees it
  }
};

const char* const kNames[] = {
    "Fkt1.Message", "Fkt4.Message", "Fkt5.Description", "GenFkt1.Message", "GenFkt2.Description", "ParentWindow",
    "MaxColumns", "MaxRows", "ShowOverview", "Label", "LabelOverview", "State1.Blink", "BackgroundColor",
    "TextColor", "SmallLabel", "SmallLabel.BackgroundColor", "Contents", "Description", "ToolTip", "Token",
    "UniqueID", "State1", "State2", "WNDPosition", "Fkt9.Message", ""};
const char* const kValues[] = {" +5", "x5", "0", "1", "-1", "64", "65", "2147483648", "-2147483649", "99999",
                               "1,2,3,4", "-5,-5,100000,100000", "\xdc" "bersicht", ""};

void Check(int result) {
  if (result != 0 && result != 1 && result != 4 && result != 12) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzapp::Offscreen<QApplication>("tarquel_fuzz");
  plat::ManualLoop loop;
  plat::ScriptedMessageBox boxes;
  plat::SetMessageBoxImpl(&boxes);
  Bytes in{data, size};
  std::vector<DLLIFC_ITEM> handles;
  int added = 0;
  Check(TARQAPICreate(0, 37, 0));
  auto pickHandle = [&]() -> DLLIFC_ITEM {
    const std::uint8_t k = in.U8();
    if (k < 16) return 0;
    if (k < 24) return -1;
    if (k < 40) return in.I32();
    return handles.empty() ? 0 : handles[k % handles.size()];
  };
  auto pickName = [&]() -> std::string {
    const std::uint8_t k = in.U8();
    return k < 230 ? kNames[k % (sizeof kNames / sizeof *kNames)] : in.Text(24);
  };
  auto pickValue = [&]() -> std::string {
    const std::uint8_t k = in.U8();
    return k < 200 ? kValues[k % (sizeof kValues / sizeof *kValues)] : in.Text(24);
  };
  for (int steps = 0; in.n && steps < 400; ++steps) {
    switch (in.U8() % 7) {
      case 0: {
        // Bounded, so that a window never holds thousands of tiles.
        if (added >= 80) break;
        DLLIFC_ITEM h = 77;
        const int r = TARQAPIAddItem(pickHandle(), &h, in.U8());
        Check(r);
        if ((r == 0) != (h > 0)) std::abort();
        if (r == 0) {
          handles.push_back(h);
          ++added;
        }
        break;
      }
      case 1: {
        const std::string name = pickName(), value = pickValue();
        Check(TARQAPIItemSetParamAsString(pickHandle(), name.c_str(), value.c_str()));
        break;
      }
      case 2: {
        const std::string name = pickName(), value = pickValue();
        Check(TARQAPISetParamAsString(name.c_str(), value.c_str()));
        char text[DLLIFC_TEXT_SIZE];
        Check(TARQAPIGetParamAsString("WNDPosition", text));
        break;
      }
      case 3: {
        const std::int32_t state = static_cast<std::int32_t>(in.U8()) << 8 | in.U8();
        Check(TARQAPIVisualStateFunction(state, in.U8() % 3));
        break;
      }
      case 4:
        Check(TARQAPIClose());
        if (in.U8() & 1) Check(TARQAPICreate(0, 37, 0));
        break;
      case 5:
        loop.Advance(in.U8() * 10);
        break;
      case 6:
        if (tarquel::COverviewDlg* o = tarquel::Overview(); o && o->IsCreated()) {
          o->UserSelect(tarquel::COverviewDlg::IDC_TABS, in.U8() % 8);
          if (tarquel::CTilePage* page = o->TilePage()) page->FocusTile(in.U8() % 8, in.U8() % 4);
        }
        break;
    }
  }
  loop.RunUntilIdle();
  TARQAPIClose();
  plat::SetMessageBoxImpl(nullptr);
  return 0;
}
