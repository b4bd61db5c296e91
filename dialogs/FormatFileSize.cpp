#include <QLocale>

#include "Dialogs.h"

QString FormatFileSize(std::int64_t bytes) {
  struct Unit { std::int64_t size; const char* name; };
  for (const Unit u : {Unit{std::int64_t{1} << 30, " GB"}, Unit{std::int64_t{1} << 20, " MB"},
                       Unit{std::int64_t{1} << 10, " KB"}}) {
    if (bytes >= u.size)
      return QLocale().toString(static_cast<double>(bytes) / static_cast<double>(u.size), 'f', 2) +
             QString::fromLatin1(u.name);
  }
  return QString::number(bytes);
}
