// The widget boundary: Windows-1252 bytes to and from QString.
#include "platform/qtext.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

#include <cstring>

#include "platform/text_tables.h"

namespace plat {

QString ToQString(const std::string& cp1252) {
  QString out;
  out.reserve(static_cast<qsizetype>(cp1252.size()));
  for (unsigned char c : cp1252) out.append(QChar(static_cast<char16_t>(detail::Cp1252ToUnicode(c))));
  return out;
}

QString ToQString(const char* cp1252) { return cp1252 ? ToQString(std::string(cp1252)) : QString(); }

std::string FromQString(const QString& s) {
  std::string out;
  out.reserve(static_cast<std::size_t>(s.size()));
  for (qsizetype i = 0; i < s.size(); ++i) {
    const QChar c = s.at(i);
    if (c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) {
      ++i;  // one character outside the code page
      out += '?';
      continue;
    }
    out += static_cast<char>(detail::UnicodeToCp1252(c.unicode()));
  }
  return out;
}

bool InstallQtTranslations(const std::string& language) {
  // Goes with the application object.
  static QPointer<QTranslator> installed;
  if (installed || !QCoreApplication::instance()) return !installed.isNull();
  auto* t = new QTranslator(QCoreApplication::instance());
  if (!t->load(QStringLiteral("qtbase_") + QString::fromStdString(language),
               QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete t;
    return false;
  }
  QCoreApplication::installTranslator(t);
  installed = t;
  return true;
}

}  // namespace plat
