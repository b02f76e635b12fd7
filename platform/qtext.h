// The widget boundary: Windows-1252 bytes to and from QString.
#pragma once
#include <QString>
#include <string>

namespace plat {

QString ToQString(const std::string& cp1252);
QString ToQString(const char* cp1252);
std::string FromQString(const QString& s);  // unmappable characters become '?'

// Qt's own texts (the standard buttons of boxes and dialogs, the file and
// print dialogs) in the language, e.g. "de", from the system's Qt
// translations. Once per process; false when there are none for it.
bool InstallQtTranslations(const std::string& language);

}  // namespace plat
