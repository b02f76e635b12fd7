// Message boxes for a fuzz input: answered at once, and forgotten when the
// input ends. libFuzzer takes an input that leaves more allocations than it
// frees for a leak and scans the whole heap after it, so the boxes shown
// must not pile up from input to input.
#pragma once
#include <vector>

#include "platform/msgbox.h"

namespace fuzzboxes {

class Scope {
 public:
  Scope() { plat::SetMessageBoxImpl(&Boxes()); }
  ~Scope() { std::vector<plat::ScriptedMessageBox::Shown>().swap(Boxes().shown); }
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;

  // One for the whole run: a box shown after the input still has somewhere
  // to go.
  static plat::ScriptedMessageBox& Boxes() {
    static plat::ScriptedMessageBox boxes;
    return boxes;
  }
};

}  // namespace fuzzboxes
