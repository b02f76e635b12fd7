// The library on the program's own loop: Qt's event loop with socket
// notifiers, and the handler's window made when it is first shown.
#include <QApplication>
#include <QElapsedTimer>

#include "netlink/internal.h"
#include "support.h"

using namespace nltest;
using namespace netlink;

TEST(NetOnQt, RegisterAndExchangeOverQtLoop) {
  int argc = 1;
  char name[] = "netlink_qt_test";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  plat::QtEventLoop loop;
  Caller srv, cli;
  auto until = [&](const std::function<bool()>& cond) {
    QElapsedTimer t;
    t.start();
    while (!cond() && t.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return cond();
  };
  const std::uint16_t port = FreePort();
  const std::uint32_t s = PBXNWHOpenDLLEx(srv.id, kFlagServer | kFlagCsta | kFlagShowWindow, nullptr, port);
  const std::uint32_t c = PBXNWHOpenDLLEx(cli.id, kFlagClient | kFlagCsta, "127.0.0.1", port);
  EXPECT_TRUE(WindowOf(s)->hasWidget());
  EXPECT_FALSE(WindowOf(c)->hasWidget()) << "made only when first shown";
  ASSERT_TRUE(until([&] { return cli.Count(kMsgRegistered) == 1 && srv.Count(kMsgClientRegistered) == 1; }));
  const auto id = static_cast<std::uint32_t>(cli.Last(kMsgRegistered)->wParam);
  const Bytes rec = CstaRecord(2, 3);
  ASSERT_EQ(PBXNWHSendMessageToNetWork(c, id, 32, rec.data(), 982), 1u);
  ASSERT_TRUE(until([&] { return srv.Count(kMsgCsta) == 1; }));
  EXPECT_EQ(srv.Last(kMsgCsta)->payload, Received(rec, 11));
  EXPECT_FALSE(WindowOf(s)->traceLines().empty());

  EXPECT_EQ(PBXNWHOpenDLLTraceWindow(c), 1u);
  EXPECT_TRUE(WindowOf(c)->hasWidget());
  EXPECT_EQ(PBXNWHCloseDLLConnection(c, 0), 1u);
  ASSERT_TRUE(until([&] { return cli.Count(kMsgUnregistered) == 1; }));
  EXPECT_EQ(PBXNWHCloseDLL(c), 1u);
  EXPECT_EQ(PBXNWHCloseDLL(s), 1u);
}
