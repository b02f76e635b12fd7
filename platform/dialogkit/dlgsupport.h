// Services around dialogs: the help-ID registration hook, the plain-text
// help file shown on F1, and the windows that dialogs use as owners.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/win32types.h"

class QWidget;

namespace plat::dlg {

// The help-ID library is not a dependency of the platform layer: the
// program wires these hooks to it. Without hooks, registrations are kept
// in a table of the kit so that F1 still works.
using HelpAddFn = int (*)(std::uint32_t key, std::int32_t contextId);
using HelpDeleteFn = int (*)(std::uint32_t key);
using HelpGetFn = std::int32_t (*)(std::uint32_t key);
void SetHelpIdHooks(HelpAddFn add, HelpDeleteFn del, HelpGetFn get);
int AddHelpId(WindowId window, std::int32_t contextId);
int DeleteHelpId(WindowId window);
std::int32_t GetHelpId(WindowId window);  // -1 when none

// Help text file: "[<context id>] <title>" starts a topic, the lines up to
// the next topic are its text; "#" lines are comments. UTF-8 on disk.
void SetHelpFile(const std::string& path);  // default: <ExeDir>/velt_ger.hlp
std::string HelpFile();
// Texts come back in Windows-1252.
bool FindHelpTopic(const std::string& utf8File, std::int32_t contextId, std::string* title,
                   std::string* body);
// Shows the topic of the window's registered context id; nothing when the
// window registered none. Returns the context id shown, or -1.
std::int32_t ShowHelpFor(WindowId window);
// Replaces the help window (tests); an empty function restores it.
using HelpViewer = std::function<void(std::int32_t contextId, const std::string& title,
                                      const std::string& body)>;
void SetHelpViewer(HelpViewer viewer);

// Qt widgets behind window ids, so that a dialog finds its owner and a
// library can disable or raise a window it knows only by id.
void SetWindowWidget(WindowId window, QWidget* widget);  // nullptr forgets
QWidget* WindowWidget(WindowId window);
// Returns whether the window was disabled before (as the platform did).
bool EnableWindow(WindowId window, bool enable);
bool IsWindowEnabled(WindowId window);
void SetForegroundWindow(WindowId window);
// The last window brought to the foreground (tests).
WindowId LastForegroundWindow();

}  // namespace plat::dlg
