// The item list of the sample content, read the way a consumer reads it.
#pragma once

#include <QString>
#include <QVector>

namespace media_test {

struct Item {
  QString id, type, channel, name, file;
};

// Reads portal/data/items.tsv; on a malformed file returns no items and says
// why in *error.
QVector<Item> LoadItems(const QString &path, QString *error);
QString ItemsPath();
// Where the build puts the media files.
QString MediaDir();

}  // namespace media_test
