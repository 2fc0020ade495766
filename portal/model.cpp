#include "model.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>

namespace portal {

namespace {

bool IsDigits(const QString &s, qsizetype minLen, qsizetype maxLen)
{
  if (s.size() < minLen || s.size() > maxLen)
    return false;
  return std::all_of(s.begin(), s.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// Rows of a UTF-8 tab-separated file without blank lines and "#" comments;
// the first row is the header.
QList<QStringList> ReadTable(const QString &path, QByteArray *raw, QString *error)
{
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    if (error)
      *error = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
    return {};
  }
  *raw = f.readAll();
  QList<QStringList> rows;
  const QString text = QString::fromUtf8(*raw);
  for (QString line : text.split(u'\n')) {
    if (line.endsWith(u'\r'))
      line.chop(1);
    if (line.trimmed().isEmpty() || line.startsWith(u'#'))
      continue;
    rows.append(line.split(u'\t'));
  }
  return rows;
}

bool IsPlainFileName(const QString &name)
{
  static const QRegularExpression re(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9._-]{0,127}$"));
  return re.match(name).hasMatch() && !name.contains(QStringLiteral(".."));
}

}  // namespace

bool IsServedVersion(int version)
{
  return std::find(std::begin(kCatalogVersions), std::end(kCatalogVersions), version) !=
         std::end(kCatalogVersions);
}

QString TypeExtension(const QString &type)
{
  if (type == u"1")
    return QStringLiteral(".swf");
  if (type == u"2")
    return QStringLiteral(".mp3");
  if (type == u"3")
    return QStringLiteral(".txt");
  if (type == u"4")
    return QStringLiteral(".flv");
  if (type == u"10")
    return QStringLiteral(".rar");
  if (type == u"11")
    return QStringLiteral(".zip");
  return {};
}

int ContentFolder(int id) { return id <= 0 ? 0 : (id - 1) / 128 + 1; }

std::optional<Model> Model::LoadSeed(const QString &seedDir, QString *error, QStringList *warnings)
{
  Model m;
  QByteArray channelsRaw, itemsRaw;
  const QString dataDir = seedDir + QStringLiteral("/data/");
  const QList<QStringList> channelRows =
      ReadTable(dataDir + QStringLiteral("channels.tsv"), &channelsRaw, error);
  if (channelRows.isEmpty()) {
    if (error && error->isEmpty())
      *error = QStringLiteral("%1channels.tsv holds no records").arg(dataDir);
    return std::nullopt;
  }
  for (qsizetype r = 1; r < channelRows.size(); ++r) {
    const QStringList &c = channelRows[r];
    const auto where = QStringLiteral("channels.tsv row %1").arg(r + 1);
    if (c.size() < 5) {
      warnings->append(where + QStringLiteral(": too few columns, skipped"));
      continue;
    }
    Record rec;
    rec.id = c[0].trimmed();
    rec.pid = c[1].trimmed();
    rec.name = c[2].trimmed();
    rec.type = c[3].trimmed();
    rec.since = c[4].trimmed().toInt();
    if (!(IsDigits(rec.id, 4, 4) || IsDigits(rec.id, 6, 6)) || rec.name.isEmpty() ||
        !IsServedVersion(rec.since) || m.recordIndex_.contains(rec.id)) {
      warnings->append(where + QStringLiteral(": bad or repeated record, skipped"));
      continue;
    }
    if (c.size() > 5) {
      // "also" references are resolved in Finish(); keep them as text.
      rec.items.clear();
      for (const QString &ref : c[5].split(u',', Qt::SkipEmptyParts)) {
        const QString t = ref.trimmed();
        if (t.startsWith(u'@') && IsDigits(t.mid(1), 6, 6))
          rec.items.append(-t.mid(1).toInt());  // negative: a whole channel
        else if (IsDigits(t, 1, 9) && t.toInt() > 0)
          rec.items.append(t.toInt());
        else
          warnings->append(where + QStringLiteral(": bad reference '%1' ignored").arg(t));
      }
    }
    m.recordIndex_.insert(rec.id, m.records_.size());
    m.records_.append(rec);
  }

  QString itemsError;
  const QString itemsPath = dataDir + QStringLiteral("items.tsv");
  const QList<QStringList> itemRows = QFileInfo::exists(itemsPath)
                                          ? ReadTable(itemsPath, &itemsRaw, &itemsError)
                                          : QList<QStringList>{};
  if (!QFileInfo::exists(itemsPath))
    warnings->append(QStringLiteral("%1 is missing: the portal lists no items").arg(itemsPath));
  else if (!itemsError.isEmpty())
    warnings->append(itemsError);
  for (qsizetype r = 1; r < itemRows.size(); ++r) {
    const QStringList &c = itemRows[r];
    const auto where = QStringLiteral("items.tsv row %1").arg(r + 1);
    if (c.size() < 5) {
      warnings->append(where + QStringLiteral(": too few columns, skipped"));
      continue;
    }
    Item it;
    const QString idText = c[0].trimmed();
    it.id = IsDigits(idText, 1, 9) ? idText.toInt() : 0;
    it.type = c[1].trimmed();
    it.channel = c[2].trimmed();
    it.name = c[3].trimmed();
    it.file = c[4].trimmed();
    if (it.id <= 0 || TypeExtension(it.type).isEmpty() || !IsDigits(it.channel, 6, 6) ||
        it.name.isEmpty() || !IsPlainFileName(it.file) || m.items_.contains(it.id)) {
      warnings->append(where + QStringLiteral(": bad or repeated item, skipped"));
      continue;
    }
    m.items_.insert(it.id, it);
  }
  m.mediaDir_ = QDir::cleanPath(seedDir + QStringLiteral("/media"));
  m.fingerprint_ =
      QCryptographicHash::hash(channelsRaw + '\0' + itemsRaw, QCryptographicHash::Sha1).toHex();
  m.Finish(warnings);
  return m;
}

Model Model::Generate(int channels)
{
  static const char16_t *const kFirst[] = {u"快乐", u"勇敢", u"聪明", u"调皮", u"可爱",
                                           u"神奇", u"彩虹", u"小小", u"飞天", u"开心"};
  static const char16_t *const kSecond[] = {u"小熊", u"兔子", u"企鹅", u"恐龙", u"火车",
                                            u"飞船", u"小猫", u"海豚", u"蜜蜂", u"熊猫"};
  static const char16_t *const kThird[] = {u"跳跳", u"大冒险", u"找宝藏", u"接苹果", u"赛跑",
                                           u"钓鱼", u"搭积木", u"过河",   u"捉迷藏", u"回家"};
  Model m;
  m.generated_ = true;
  m.fingerprint_ = QByteArray("generated:") + QByteArray::number(channels);
  QSet<QString> categories;
  int nextId = 1;
  for (int i = 0; i < channels; ++i) {
    int cat, idx;
    if (i < 7 * 99) {
      cat = 2 + i % 7;
      idx = i / 7 + 1;
    } else {
      cat = 9 + (i - 7 * 99) / 99;
      idx = (i - 7 * 99) % 99 + 1;
    }
    const QString catId = QStringLiteral("07%1").arg(cat, 2, 10, QLatin1Char('0'));
    if (!categories.contains(catId)) {
      categories.insert(catId);
      Record c{catId,
               QStringLiteral("07"),
               QStringLiteral("分类%1").arg(catId),
               QStringLiteral("0"),
               kShippedCatalogVersion,
               {}};
      m.recordIndex_.insert(c.id, m.records_.size());
      m.records_.append(c);
    }
    Record ch{catId + QStringLiteral("%1").arg(idx, 2, 10, QLatin1Char('0')),
              catId,
              QStringLiteral("频道%1").arg(i + 1),
              QStringLiteral("1"),
              kShippedCatalogVersion,
              {}};
    for (int k = 0; k < 50; ++k, ++nextId) {
      Item it;
      it.id = nextId;
      it.type = QStringLiteral("1");
      it.channel = ch.id;
      const int n = nextId;
      it.name = QString::fromUtf16(kFirst[n % 10]) + QString::fromUtf16(kSecond[(n / 10) % 10]) +
                QString::fromUtf16(kThird[(n / 100) % 10]) +
                (n % 3 == 0 ? QStringLiteral(" %1").arg(n) : QString::number(n));
      m.items_.insert(it.id, it);
    }
    m.recordIndex_.insert(ch.id, m.records_.size());
    m.records_.append(ch);
  }
  QStringList ignored;
  m.Finish(&ignored);
  return m;
}

void Model::Finish(QStringList *warnings)
{
  QHash<QString, QList<int>> own;
  QList<int> ids = items_.keys();
  std::sort(ids.begin(), ids.end());
  for (int id : ids) {
    const Item &it = items_[id];
    if (!recordIndex_.contains(it.channel) || !records_[recordIndex_[it.channel]].isChannel()) {
      warnings->append(
          QStringLiteral("item %1: channel %2 is not in the catalog").arg(id).arg(it.channel));
      continue;
    }
    own[it.channel].append(id);
  }
  // A channel whose own items all share a type takes that type, so its page
  // address and the items' link commands agree with what is served.
  for (Record &rec : records_) {
    if (!rec.isChannel() || !own.contains(rec.id))
      continue;
    const QString t = items_[own[rec.id].first()].type;
    const bool uniform = std::all_of(own[rec.id].begin(), own[rec.id].end(),
                                     [&](int id) { return items_[id].type == t; });
    if (uniform && t != rec.type) {
      warnings->append(
          QStringLiteral("channel %1 lists items of type %2; its type becomes %2").arg(rec.id, t));
      rec.type = t;
    }
  }
  for (Record &rec : records_) {
    if (!rec.isChannel())
      continue;
    const QList<int> refs = rec.items;
    QList<int> list;
    QSet<int> seen;
    auto add = [&](int id) {
      const Item *it = FindItem(id);
      if (!it || seen.contains(id))
        return;
      if (it->type != rec.type) {
        warnings->append(QStringLiteral("channel %1 (type %2) skips item %3 of type %4")
                             .arg(rec.id, rec.type)
                             .arg(id)
                             .arg(it->type));
        return;
      }
      seen.insert(id);
      list.append(id);
    };
    for (int id : own.value(rec.id))
      add(id);
    for (int ref : refs) {
      if (ref > 0)
        add(ref);
      else
        for (int id : own.value(QStringLiteral("%1").arg(-ref, 6, 10, QLatin1Char('0'))))
          add(id);
    }
    rec.items = list;
  }
}

QList<Record> Model::RecordsOf(int version) const
{
  QList<Record> out;
  for (const Record &r : records_)
    if (r.since <= version)
      out.append(r);
  return out;
}

const Record *Model::FindRecord(const QString &id) const
{
  auto it = recordIndex_.constFind(id);
  return it == recordIndex_.constEnd() ? nullptr : &records_[*it];
}

const Item *Model::FindItem(int id) const
{
  auto it = items_.constFind(id);
  return it == items_.constEnd() ? nullptr : &*it;
}

QList<const Item *> Model::ItemsOf(const Record &channel) const
{
  QList<const Item *> out;
  for (int id : channel.items)
    if (const Item *it = FindItem(id))
      out.append(it);
  return out;
}

QList<const Item *> Model::AllItems() const
{
  QList<int> ids = items_.keys();
  std::sort(ids.begin(), ids.end());
  QList<const Item *> out;
  for (int id : ids)
    out.append(&items_.find(id).value());
  return out;
}

QByteArray Model::GeneratedMovie(int id)
{
  // A one-frame movie (uncompressed, version 10) whose background colour
  // follows the id: header, FileAttributes, SetBackgroundColor, ShowFrame, End.
  QByteArray body;
  auto tagHeader = [&body](int code, int length) {
    const quint16 v = static_cast<quint16>((code << 6) | length);
    body.append(char(v & 0xff)).append(char(v >> 8));
  };
  // Frame size RECT: 15-bit fields, 0..11000 x 0..8000 twips (65 bits).
  {
    const int nbits = 15;
    QList<bool> bits;
    auto put = [&bits](int value, int width) {
      for (int b = width - 1; b >= 0; --b)
        bits.append((value >> b) & 1);
    };
    put(nbits, 5);
    for (int v : {0, 11000, 0, 8000})
      put(v, nbits);
    while (bits.size() % 8)
      bits.append(false);
    for (qsizetype i = 0; i < bits.size(); i += 8) {
      int byte = 0;
      for (int b = 0; b < 8; ++b)
        byte = (byte << 1) | (bits[i + b] ? 1 : 0);
      body.append(char(byte));
    }
  }
  body.append(char(0)).append(char(24));  // 24 frames per second
  body.append(char(1)).append(char(0));   // one frame
  tagHeader(69, 4);                       // FileAttributes
  body.append(QByteArray(4, '\0'));
  tagHeader(9, 3);  // SetBackgroundColor
  body.append(char(80 + (id * 37) % 160))
      .append(char(80 + (id * 61) % 160))
      .append(char(80 + (id * 97) % 160));
  tagHeader(1, 0);  // ShowFrame
  tagHeader(0, 0);  // End
  QByteArray movie("FWS");
  movie.append(char(10));
  const quint32 len = static_cast<quint32>(8 + body.size());
  for (int i = 0; i < 4; ++i)
    movie.append(char((len >> (8 * i)) & 0xff));
  return movie + body;
}

}  // namespace portal
