// The handler's window "Net Main Window": the registered user line and the
// trace of socket events and control steps. The lists are kept here without
// any display; the Qt window is made the first time the window is shown
// (and only when a QApplication runs).
#pragma once
#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace netlink {

class CNetMainWindow {
 public:
  static constexpr std::size_t kTraceLimit = 1000;
  static constexpr std::size_t kTraceDropOnFull = 30;

  CNetMainWindow();
  ~CNetMainWindow();
  CNetMainWindow(const CNetMainWindow&) = delete;
  CNetMainWindow& operator=(const CNetMainWindow&) = delete;

  void AddUser(const std::string& line);
  // Adds a trace line while the window is visible; an empty line adds
  // nothing. A full list loses its 30 oldest lines first.
  void Trace(const std::string& line);
  void Show(bool minimised);
  void Hide();
  bool visible() const { return visible_; }
  const std::vector<std::string>& users() const { return users_; }
  const std::deque<std::string>& traceLines() const { return trace_; }
  bool hasWidget() const { return widget_ != nullptr; }

 private:
  struct Widget;
  std::vector<std::string> users_;
  std::deque<std::string> trace_;
  bool visible_ = false;
  std::unique_ptr<Widget> widget_;
};

}  // namespace netlink
