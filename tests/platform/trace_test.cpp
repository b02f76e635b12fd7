// The trace-window stand-in: copies, handles, threads, back ends.
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QTimer>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "platform/trace.h"

using namespace plat;

namespace {
struct UseBackend {
  explicit UseBackend(ITraceBackend* b) { SetTraceBackend(b); }
  ~UseBackend() { SetTraceBackend(nullptr); }
};
}  // namespace

TEST(Trace, CopiesWhatItIsGiven) {
  RecordingTraceBackend rec;
  UseBackend use(&rec);
  OpenCSTATraceWindow(0, 0);
  auto record = std::make_unique<std::uint8_t[]>(982);
  for (int i = 0; i < 982; ++i) record[i] = static_cast<std::uint8_t>(i);
  ProcessCSTATraceMessage(0, record.get());
  record.reset();
  CloseCSTATraceWindow(0);
  CloseCSTATraceWindow(0);  // double close: nothing

  std::uint32_t com = OpenComTraceWindow(17, 33);
  ASSERT_NE(com, 0u);
  char rx[] = "\x16\x16\x05";
  ProcessComTraceMessage(com, 0, 3, rx);
  ProcessComTraceMessage(com, 1, 5000, rx);  // implausible count: nothing copied
  ProcessComTraceMessage(com, 9, 0, "WaitCommEvent returns 5");
  ProcessComTraceMessage(com, 14, 40, reinterpret_cast<const void*>(std::uintptr_t{33}));
  ProcessComTraceMessage(com, 10, 0, nullptr);
  CloseComTraceWindow(com);

  std::uint32_t log = OpenLogWindow(17, 0);
  ProcessLogMessage(log, "Start\0junk", 10);  // stops at the terminator
  CloseLogWindow(log);

  auto ev = rec.Events();
  ASSERT_EQ(ev.size(), 13u);
  EXPECT_EQ(ev[1].channel, TraceEvent::Csta);
  ASSERT_EQ(ev[1].data.size(), 982u);
  EXPECT_EQ(ev[1].data[981], static_cast<std::uint8_t>(981));
  EXPECT_EQ(ev[2].op, TraceEvent::Close);
  EXPECT_EQ(ev[3].owner, 17u);
  EXPECT_EQ(ev[3].kind, 33);
  EXPECT_EQ(ev[4].data, (std::vector<std::uint8_t>{0x16, 0x16, 0x05}));
  EXPECT_TRUE(ev[5].data.empty());
  EXPECT_EQ(std::string(ev[6].data.begin(), ev[6].data.end()), "WaitCommEvent returns 5");
  EXPECT_EQ(ev[7].number, 33u);
  EXPECT_EQ(ev[9].op, TraceEvent::Close);
  EXPECT_EQ(std::string(ev[11].data.begin(), ev[11].data.end()), "Start");
  EXPECT_EQ(ev[12].op, TraceEvent::Close);
}

TEST(Trace, ToleratesUnknownHandlesClosedWindowsAndNoWindow) {
  RecordingTraceBackend rec;
  UseBackend use(&rec);
  ProcessCSTATraceMessage(0, nullptr);  // not open
  ProcessComTraceMessage(12345, 0, 4, "abcd");
  CloseComTraceWindow(12345);
  ProcessLogMessage(0, "after a failed open", 19);
  std::uint32_t h = OpenLogWindow(0, 0);
  CloseLogWindow(h);
  CloseLogWindow(h);
  ProcessLogMessage(h, "late", 4);
  CloseComTraceWindow(h);  // a log handle is no serial trace handle
  EXPECT_EQ(rec.Events().size(), 2u);

  SetTraceBackend(nullptr);  // null back end: still distinct handles
  std::uint32_t a = OpenLogWindow(0, 0), b = OpenComTraceWindow(0, 33);
  EXPECT_NE(a, 0u);
  EXPECT_NE(b, 0u);
  EXPECT_NE(a, b);
  ProcessLogMessage(a, "x", 1);
  CloseLogWindow(a);
  CloseComTraceWindow(b);
}

TEST(Trace, FourThreadsAtOnce) {
  RecordingTraceBackend rec;
  UseBackend use(&rec);
  OpenCSTATraceWindow(0, 0);
  constexpr int kEach = 200;
  std::vector<std::thread> threads;
  for (int n = 0; n < 4; ++n) {
    threads.emplace_back([n] {
      std::uint32_t com = OpenComTraceWindow(0, 33);
      std::uint32_t log = OpenLogWindow(0, 0);
      std::vector<std::uint8_t> rec(982, static_cast<std::uint8_t>(n));
      char line[64];
      for (int i = 0; i < kEach; ++i) {
        ProcessCSTATraceMessage(0, rec.data());
        ProcessComTraceMessage(com, 1, 982, rec.data());
        std::snprintf(line, sizeof line, "thread %d line %d", n, i);
        ProcessLogMessage(log, line, static_cast<int>(std::strlen(line)));
        if (n == 3 && i == kEach / 2) SetTraceBackend(nullptr);  // swap under load
      }
      CloseComTraceWindow(com);
      CloseLogWindow(log);
      CloseComTraceWindow(com);
    });
  }
  for (auto& t : threads) t.join();
  CloseCSTATraceWindow(0);
  for (const auto& e : rec.Events()) {
    if (e.op != TraceEvent::Process) continue;
    if (e.channel == TraceEvent::Log) {
      EXPECT_EQ(std::string(e.data.begin(), e.data.begin() + 7), "thread ");
    } else {
      ASSERT_EQ(e.data.size(), 982u);
      EXPECT_EQ(e.data.front(), e.data.back());
    }
  }
}

TEST(Trace, QtWindowsShowTheTrafficOfAnyThread) {
  int argc = 1;
  char name[] = "platform_tests";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  auto qt = std::make_unique<QtTraceBackend>();
  SetTraceBackend(qt.get());
  std::uint32_t log = OpenLogWindow(1, 0);
  std::thread th([&] {
    for (int i = 0; i < 10; ++i) ProcessLogMessage(log, "Eintrag \xFC", 9);
  });
  th.join();
  QTimer::singleShot(0, &app, [&] { app.quit(); });
  app.exec();
  QListWidget* window = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* l = qobject_cast<QListWidget*>(w)) window = l;
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->count(), 10);
  EXPECT_EQ(window->item(0)->text(), QString::fromUtf8("Eintrag ü"));
  CloseLogWindow(log);
  qt.reset();  // detaches itself
  EXPECT_EQ(CurrentTraceBackend(), nullptr);
}
