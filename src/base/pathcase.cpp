#include "base/pathcase.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

QString ResolveCase(const QString &path)
{
  if (path.isEmpty() || QFileInfo::exists(path))
    return path;
  const bool absolute = path.startsWith(u'/');
  const QStringList parts = path.split(u'/', Qt::KeepEmptyParts);
  QString resolved = absolute ? QStringLiteral("/") : QString();
  bool searching = true;
  for (qsizetype i = absolute ? 1 : 0; i < parts.size(); ++i) {
    const QString &part = parts[i];
    const bool last = i == parts.size() - 1;
    if (part.isEmpty() || part == u"." || part == u"..") {
      resolved += part;
      if (!last)
        resolved += u'/';
      continue;
    }
    QString chosen = part;
    if (searching) {
      const QString base = resolved.isEmpty() ? QStringLiteral(".") : resolved;
      if (!QFileInfo::exists(resolved + part)) {
        const QStringList entries = QDir(base).entryList(QDir::AllEntries | QDir::Hidden |
                                                         QDir::System | QDir::NoDotAndDotDot);
        searching = false;
        for (const QString &e : entries) {
          if (e.compare(part, Qt::CaseInsensitive) == 0) {
            chosen = e;
            searching = true;
            break;
          }
        }
      }
    }
    resolved += chosen;
    if (!last)
      resolved += u'/';
  }
  return resolved;
}
