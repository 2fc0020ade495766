#pragma once
// What the stand-in portal offers: categories, channels and content items,
// read from its seed folder (data/channels.tsv, data/items.tsv, media/) or
// generated in scale mode.  Immutable once loaded, so every request thread
// may read it without locking.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace portal {

// Catalog versions served, oldest first.  A new installation ships the first;
// the newest is what the update report names by default.
inline constexpr int kCatalogVersions[] = {100093, 100094};
inline constexpr int kShippedCatalogVersion = 100093;
inline constexpr int kNewestCatalogVersion = 100094;

struct Item {
  int id = 0;
  QString type;     // "1" game, "2" audio, "4" video
  QString channel;  // the channel it belongs to
  QString name;     // display name (may hold blanks)
  QString file;     // media file name; empty for generated content
};

struct Record {  // one catalog record: a category or a channel
  QString id;
  QString pid;
  QString name;
  QString type;      // "0" for a category
  int since = 0;     // first catalog version that lists it
  QList<int> items;  // ids of the items listed on the channel's pages
  bool isChannel() const { return id.size() == 6; }
};

class Model {
public:
  // Reads <seed>/data/channels.tsv and (when present) <seed>/data/items.tsv.
  // Problems that do not stop the portal are appended to `warnings`.
  static std::optional<Model> LoadSeed(const QString &seedDir, QString *error,
                                       QStringList *warnings);
  // `channels` generated channels with 50 generated games each.
  static Model Generate(int channels);

  const QList<Record> &records() const { return records_; }
  QList<Record> RecordsOf(int version) const;  // in file order
  const Record *FindRecord(const QString &id) const;
  const Item *FindItem(int id) const;
  QList<const Item *> ItemsOf(const Record &channel) const;
  QList<const Item *> AllItems() const;  // ascending id
  QString mediaDir() const { return mediaDir_; }
  bool generated() const { return generated_; }
  // Identity of the data the derived files are made from.
  QByteArray fingerprint() const { return fingerprint_; }

  // The bytes of a generated item (a small movie); empty for seed items.
  static QByteArray GeneratedMovie(int id);

private:
  void Finish(QStringList *warnings);

  QList<Record> records_;
  QHash<QString, qsizetype> recordIndex_;
  QHash<int, Item> items_;
  QString mediaDir_;
  bool generated_ = false;
  QByteArray fingerprint_;
};

bool IsServedVersion(int version);
// Extension for a content type number ("1" -> ".swf", ...), empty if none.
QString TypeExtension(const QString &type);
// ⌈id ÷ 128⌉, the content server's folder of an item.
int ContentFolder(int id);

}  // namespace portal
