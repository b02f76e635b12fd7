// Declarative dialog templates: which controls a dialog has, their ids,
// texts and how they are grouped. The layout is stated as nested rows,
// columns, grids and group boxes; Qt layouts place the controls, so no
// coordinates are needed. The file format is described in
// resources/dialogs/README.md.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace plat::dlg {

enum class Kind {
  // containers
  Column, Row, Grid, Scroll, Group, Stretch,
  // controls
  Button, DefButton, Check, Radio, Edit, MultiEdit, Static, List, TabList,
  Combo, DropList, Icon, Progress,
  Tree,  // items in levels, each with a text, an image of the tree's list and data
  Tabs,  // a row of tabs, each with a text and an image, above an area for pages
};

struct Node {
  Kind kind = Kind::Column;
  int id = -1;           // -1: a control nobody addresses
  int group = -1;        // text id (group, entry) of the language file; -1 none
  int entry = -1;
  std::string text;      // resource text (Windows-1252), the fallback
  int columns = 1;       // Grid, and Group laid out as a grid
  Kind layout = Kind::Column;  // how a Group arranges its children
  int span = 1;          // columns taken in a grid
  int width = 0;         // minimum width in average characters
  int lines = 0;         // visible lines of lists and multi-line edits
  int maxLength = 0;     // edit limit; 0 none
  std::vector<int> tabs; // tab stops of a TabList in dialog units
  std::vector<int> heads;   // a TabList's column heads: statics shown over its columns
  std::vector<int> fields;  // a TabList's columns: the line's tab-separated field each shows
  bool hidden = false, disabled = false, first = false, readOnly = false, number = false,
       wantReturn = false, vscroll = false, sort = false, bold = false, wrap = false,
       right = false;
  int line = 0;          // line in the template file, for messages
  std::vector<Node> children;

  bool IsContainer() const { return kind <= Kind::Stretch; }
  bool HasTextId() const { return group >= 0 && entry >= 0; }
};

struct Template {
  int id = 0;
  int captionGroup = -1, captionEntry = -1;
  std::string caption;   // Windows-1252
  int help = 0;          // help context id; 0 none
  Node root;             // a Column

  // Controls (not containers) in template order; groups count as controls too.
  void ForEachControl(const std::function<void(const Node&)>& fn) const;
  const Node* Find(int controlId) const;
};

// Parses UTF-8 template text. On failure returns false and sets error to
// "line N: what".
bool ParseTemplate(const std::string& utf8, Template* out, std::string* error);

// Shipped templates, one namespace per deliverable: a dialog id is unique
// only within the deliverable that owns it (kestrum's 123 is not the
// program's 123). Each lives at ":/dialogs/<deliverable>/<id>.dlg", compiled
// into the kit from resources/dialogs/<deliverable>/, or into a plug-in under
// the same prefix.
inline constexpr const char* kProgram = "brimlow";
inline constexpr const char* kKestrum = "kestrum";
inline constexpr const char* kPrint = "marpel32";

bool LoadTemplate(const std::string& deliverable, int resourceId, Template* out,
                  std::string* error);
std::vector<int> ShippedTemplateIds(const std::string& deliverable);
std::vector<std::string> ShippedDeliverables();
// The deliverables that ship a template with this id.
std::vector<std::string> DeliverablesWithTemplate(int resourceId);
// Raw text of a shipped template ("" when none).
std::string ShippedTemplateText(const std::string& deliverable, int resourceId);

}  // namespace plat::dlg
