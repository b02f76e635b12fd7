// The widget boundary: Windows-1252 bytes to and from QString.
#pragma once
#include <QString>
#include <string>

namespace plat {

QString ToQString(const std::string& cp1252);
QString ToQString(const char* cp1252);
std::string FromQString(const QString& s);  // unmappable characters become '?'

}  // namespace plat
