#include "player/core/ksvplay.h"

#include "base/globals.h"
#include "base/routines.h"
#include "crypto/cipher.h"

#include <QFileInfo>
#include <cmath>
#include <limits>

TKsvPlayPtr CurrentItem;
std::int32_t PrefetchId = 0;
QString PrefetchPath;
std::int32_t AudioPlayerSerial = 0;

void ResetPlaybackState()
{
  CurrentItem.reset();
  PrefetchId = 0;
  PrefetchPath.clear();
  AudioPlayerSerial = 0;
}

TKsvPlayPtr MakeKsvPlay(const QString &id, const QString &pid, const QString &name,
                        const QString &type, const QString &address)
{
  auto item = std::make_shared<TKsvPlay>();
  item->id = id;
  item->pid = pid;
  item->name = name;
  item->type = type;
  item->address = address;
  return item;
}

bool IsContentId(const QString &id) { return ContentIdValue(id) >= 0; }

std::int32_t ContentIdValue(const QString &id)
{
  if (id.isEmpty() || id.size() > 10)
    return -1;
  std::int64_t value = 0;
  for (QChar c : id) {
    if (c < u'0' || c > u'9')
      return -1;
    value = value * 10 + (c.unicode() - u'0');
  }
  if (value > std::numeric_limits<std::int32_t>::max())
    return -1;
  return static_cast<std::int32_t>(value);
}

bool IsSafeFileName(const QString &name)
{
  if (name.isEmpty() || name == u"." || name.contains(u"..") || name.contains(u'/') ||
      name.contains(u'\\'))
    return false;
  for (QChar c : name) {
    if (c.unicode() < 0x20 || c.unicode() == 0x7f)
      return false;
  }
  return true;
}

QString SpacedName(const QString &name)
{
  QString s = name;
  return s.replace(QStringLiteral("%20"), QStringLiteral(" "));
}

std::int64_t ContentFolder(std::int64_t id)
{
  if (id <= 0)
    return 0;
  return (id + 127) / 128;
}

QString ContentAddress(const QString &id, const QString &extension)
{
  const std::int32_t value = ContentIdValue(id);
  if (value < 0)
    return QString();
  const QString decimal = QString::number(value);
  return DownloadServerUrl + QString::number(ContentFolder(value)) + u'/' +
         EncipherText(decimal, QString::fromLatin1(ContentKey)) + extension;
}

QString ContentAddress(const TKsvPlay &item)
{
  return ContentAddress(item.id, TypeToExtension(item.type));
}

QString CachePathOf(const TKsvPlay &item)
{
  if (!IsContentId(item.id))
    return QString();
  return CacheDir + item.id + TypeToExtension(item.type);
}

QString DownloadPathOf(const TKsvPlay &item)
{
  const QString name = SpacedName(item.name);
  if (!IsSafeFileName(name))
    return QString();
  const QString file = name + TypeToExtension(item.type);
  if (!IsSafeFileName(file))
    return QString();
  return DownloadDir + file;
}

QString LocalFileOf(const TKsvPlay &item)
{
  const QString cache = CachePathOf(item);
  if (!cache.isEmpty() && QFileInfo(cache).isFile())
    return cache;
  const QString saved = DownloadPathOf(item);
  if (!saved.isEmpty() && QFileInfo(saved).isFile())
    return saved;
  return QString();
}

QString FormatThousands(double value)
{
  if (!std::isfinite(value))
    return QString();
  const long long whole = std::llround(value);
  if (whole == 0)
    return QString();
  const bool negative = whole < 0;
  QString digits = QString::number(negative ? -whole : whole);
  for (int i = digits.size() - 3; i > 0; i -= 3)
    digits.insert(i, u',');
  return negative ? u'-' + digits : digits;
}

QString FetchProgressText(std::int32_t percent, std::int32_t totalBytes)
{
  return QStringLiteral("共") + FormatThousands(totalBytes / 1024.0) + QStringLiteral("KB,已下载") +
         FormatThousands(percent) + u'%';
}
