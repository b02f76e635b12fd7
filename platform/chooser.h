// The platform's colour and font choosers behind one interface, so that
// tests answer them by script.
#pragma once
#include <string>
#include <vector>

#include "platform/win32types.h"

namespace plat {

class IChooser {
 public:
  virtual ~IChooser() = default;
  // Modal; false when the user cancelled.
  virtual bool ChooseColour(WindowId owner) = 0;
  // The chosen face name (Windows-1252), or false when the user cancelled.
  virtual bool ChooseFont(WindowId owner, std::string* face) = 0;
};

// The current implementation (the Qt one by default); nullptr restores it.
IChooser& ChooserImpl();
void SetChooserImpl(IChooser* impl);

// For tests: counts the runs and answers with the queued faces in order;
// an empty face, or none left, is a cancel. Colours are always confirmed.
class ScriptedChooser : public IChooser {
 public:
  bool ChooseColour(WindowId) override {
    ++colourRuns;
    return true;
  }
  bool ChooseFont(WindowId, std::string* face) override {
    ++fontRuns;
    if (faces.empty()) return false;
    std::string f = faces.front();
    faces.erase(faces.begin());
    if (f.empty()) return false;
    *face = f;
    return true;
  }
  int colourRuns = 0, fontRuns = 0;
  std::vector<std::string> faces;
};

}  // namespace plat
