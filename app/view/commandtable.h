// Menu and control commands by id: a handler and whether it may run. A
// command without a handler is disabled, the way the framework shows it.
#pragma once
#include <functional>
#include <map>
#include <vector>

#include "platform/win32types.h"

class CCommandTable {
 public:
  using Handler = std::function<void()>;
  using Enabler = std::function<bool()>;

  // Replaces a handler registered before; no enabler: always enabled.
  void Register(plat::UINT id, Handler handler, Enabler enabled = {}) {
    commands_[id] = {std::move(handler), std::move(enabled)};
  }
  void Unregister(plat::UINT id) { commands_.erase(id); }
  bool Has(plat::UINT id) const { return commands_.count(id) != 0; }
  bool IsEnabled(plat::UINT id) const {
    auto it = commands_.find(id);
    return it != commands_.end() && (!it->second.enabled || it->second.enabled());
  }
  // false when there is no handler or it is disabled.
  bool Run(plat::UINT id) const {
    auto it = commands_.find(id);
    if (it == commands_.end() || (it->second.enabled && !it->second.enabled())) return false;
    Handler h = it->second.handler;  // a handler may replace itself
    h();
    return true;
  }
  std::vector<plat::UINT> Ids() const {
    std::vector<plat::UINT> ids;
    for (const auto& [id, c] : commands_) ids.push_back(id);
    return ids;
  }

 private:
  struct Command {
    Handler handler;
    Enabler enabled;
  };
  std::map<plat::UINT, Command> commands_;
};
