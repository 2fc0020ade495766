#include "items.h"

#include <QFile>

namespace media_test {

QString ItemsPath()
{
  return QString::fromLocal8Bit(qgetenv("KESTROVA_SOURCE_DIR")) + "/portal/data/items.tsv";
}

QString MediaDir()
{
  return QString::fromLocal8Bit(qgetenv("KESTROVA_BUILD_DIR")) + "/portal/media";
}

QVector<Item> LoadItems(const QString &path, QString *error)
{
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    *error = "cannot open " + path;
    return {};
  }
  const QStringList lines = QString::fromUtf8(f.readAll()).split('\n');
  if (lines.isEmpty() || lines[0] != "id\ttype\tchannel\tname\tfile") {
    *error = "bad header: " + lines.value(0);
    return {};
  }
  QVector<Item> items;
  for (int i = 1; i < lines.size(); ++i) {
    if (lines[i].isEmpty() && i == lines.size() - 1)
      break;  // final newline
    const QStringList cols = lines[i].split('\t');
    if (cols.size() != 5) {
      *error = QString("line %1 has %2 columns").arg(i + 1).arg(cols.size());
      return {};
    }
    items.push_back({cols[0], cols[1], cols[2], cols[3], cols[4]});
  }
  return items;
}

}  // namespace media_test
