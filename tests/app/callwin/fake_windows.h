// Recording stand-ins for what the call windows talk to: the connection
// drawing and the speed-dial store with its editor.
#pragma once
#include <QWidget>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/callwin/memorykeys.h"
#include "app/callwin/visualizeconnections.h"
#include "core/base/globalconfig.h"
#include "core/callhandler/callhandler.h"

namespace callwintest {

class FakeDrawing : public CVisualizeConnections {
 public:
  struct Registered {
    int key;
    int control;  // the control id of the window (its object name), -1 none
    int kind;
    std::string number;
  };
  struct Connected {
    int from, to, operation;
    bool operator==(const Connected& o) const { return from == o.from && to == o.to && operation == o.operation; }
  };
  struct State {
    int key, code, ref;  // ref -1 without a call
  };
  std::vector<Registered> registered;
  std::vector<Connected> connected;
  std::vector<State> states;
  int repaints = 0;
  int forgotten = 0;

  void RepaintAll() override { ++repaints; }
  Item* Register(int key, QWidget* window, int kind, const std::string& number) override {
    bool ok = false;
    const int id = window ? window->objectName().toInt(&ok) : -1;
    registered.push_back({key, ok ? id : -1, kind, number});
    return nullptr;
  }
  int Connect(int from, int to, int operation) override {
    connected.push_back({from, to, operation});
    return 0;
  }
  int SetCallState(int key, int code, const CCallInfo* call) override {
    states.push_back({key, code, call ? call->callRefId : -1});
    return 1;
  }
  void ForgetWindow(const QWidget*) override { ++forgotten; }
};

// The speed-dial store as far as the memory keys see it, dialling through
// the real call handler as the store does.
class FakeMemoryKeys : public IMemoryKeyStore {
 public:
  static constexpr int kNotDialled = 4;
  CCallHandler* handler = nullptr;
  std::map<int, std::pair<std::string, std::string>> entries;  // n: text, number
  int pending = -1;
  std::vector<int> dialled;
  // The editor's answers: the entry it stores on OK, or none (Cancel).
  std::deque<std::pair<std::string, std::string>> edits;
  std::vector<int> edited;

  int DialEntry(int n) override {
    dialled.push_back(n);
    auto it = entries.find(n);
    if (it == entries.end()) return kNotSet;
    if (pending >= 0) return pending == n ? kAlreadyDialling : kBusy;
    if (!handler->IsLineFree(16)) return kBusy;
    if (!handler->WaitForHandset(16)) return kNoHandset;
    CCallInfo* c = handler->GetFreeCall(16);
    if (!c) return kDialling;
    c->calledNumber = it->second.second;
    c->direction = CCallInfo::kOutgoing;
    c->external = GlobalConfig().IsInternalNumber(c->calledNumber.c_str()) ? 0 : 1;
    if (!handler->MakeCall(c, 16)) {
      c->Release();
      return kNotDialled;
    }
    pending = n;
    return kDialling;
  }
  std::string GetEntryText(int n) override {
    auto it = entries.find(n);
    return it == entries.end() ? "*" : it->second.first;
  }
  std::string GetEntryNumber(int n) override {
    auto it = entries.find(n);
    return it == entries.end() ? "*" : it->second.second;
  }
  bool EditEntry(int n, plat::WindowId) override {
    edited.push_back(n);
    if (edits.empty()) return false;
    auto e = edits.front();
    edits.pop_front();
    if (e.first.empty()) return false;
    entries[n] = e;
    return true;
  }
};

}  // namespace callwintest
