#include "catalog/core/linkcommand.h"

#include "base/gbk.h"
#include "base/routines.h"
#include "crypto/cipher.h"

#include <QStringDecoder>

namespace {

bool IsBlankOrControl(QChar c) { return c.unicode() <= 0x20; }

// The record of one item, or null when the item fails.
TKsvPlayPtr ChannelItem(const QString &item, const QString &channelId, const QString &channelType)
{
  const qsizetype cut = item.indexOf(u'_');
  // Without "_" the id is the decipherment of empty text and the whole item
  // is the name.
  const QString cipher = cut < 0 ? QString() : item.left(cut);
  const QString name = cut < 0 ? item : item.mid(cut + 1);
  const QString id = DecipherText(cipher, QString::fromLatin1(ContentKey));
  if (!IsContentId(id))
    return nullptr;
  return MakeKsvPlay(id, channelId, name, channelType);
}

TKsvPlayPtr FullItem(const QString &item)
{
  const QStringList fields = SplitDelimited(item, u'_');
  if (fields.size() < 4)
    return nullptr;
  const QString id = DecipherText(fields[0], QString::fromLatin1(ContentKey));
  if (!IsContentId(id))
    return nullptr;
  return MakeKsvPlay(id, fields[3], fields[1], fields[2]);
}

bool IsHex(QChar c)
{
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

int HexValue(QChar c)
{
  if (c >= u'0' && c <= u'9')
    return c.unicode() - '0';
  if (c >= u'a' && c <= u'f')
    return c.unicode() - 'a' + 10;
  return c.unicode() - 'A' + 10;
}

// The byte of an escape "%XY" at `at`, or -1.
int EscapedByte(const QString &text, qsizetype at)
{
  if (at + 2 >= text.size())
    return -1;
  if (text[at] != u'%' || !IsHex(text[at + 1]) || !IsHex(text[at + 2]))
    return -1;
  return HexValue(text[at + 1]) * 16 + HexValue(text[at + 2]);
}

}  // namespace

LinkKind ClassifyLink(const QString &address)
{
  if (address.contains(u"ID_#", Qt::CaseInsensitive))
    return LinkKind::EmptySelection;
  if (address.contains(u"ID_", Qt::CaseInsensitive)) {
    if (address.contains(u"TJID_", Qt::CaseInsensitive))
      return LinkKind::FullList;
    return LinkKind::ChannelList;
  }
  if (address.contains(u"DL_", Qt::CaseInsensitive))
    return LinkKind::Download;
  return LinkKind::Ordinary;
}

QStringList SplitDelimited(const QString &text, QChar separator)
{
  QStringList fields;
  const qsizetype n = text.size();
  qsizetype p = 0;
  while (p < n && IsBlankOrControl(text[p]))
    ++p;
  while (p < n) {
    QString field;
    if (text[p] == u'"') {
      ++p;
      while (p < n) {
        if (text[p] == u'"') {
          if (p + 1 < n && text[p + 1] == u'"') {
            field += u'"';
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        field += text[p++];
      }
    } else {
      const qsizetype start = p;
      while (p < n && !IsBlankOrControl(text[p]) && text[p] != separator)
        ++p;
      field = text.mid(start, p - start);
    }
    fields << field;
    while (p < n && IsBlankOrControl(text[p]))
      ++p;
    if (p < n && text[p] == separator) {
      if (p + 1 == n)
        fields << QString();
      do
        ++p;
      while (p < n && IsBlankOrControl(text[p]));
    }
  }
  return fields;
}

QList<TKsvPlayPtr> ParseListCommand(LinkKind kind, const QString &address, const QString &channelId,
                                    const QString &channelType)
{
  QList<TKsvPlayPtr> records;
  if (kind != LinkKind::FullList && kind != LinkKind::ChannelList)
    return records;
  const bool full = kind == LinkKind::FullList;
  const QString marker = full ? QStringLiteral("TJID_") : QStringLiteral("ID_");
  const qsizetype at = address.indexOf(marker, 0, Qt::CaseInsensitive);
  if (at < 0)
    return records;
  QString payload = address.mid(at + marker.size());
  if (payload.endsWith(u','))
    payload.chop(1);
  payload.replace(u',' + marker, QStringLiteral("^"));
  const QStringList items = SplitDelimited(payload, u'^');
  for (const QString &item : items)
    records << (full ? FullItem(item) : ChannelItem(item, channelId, channelType));
  return records;
}

TKsvPlayPtr ParseDownloadCommand(const QString &address)
{
  const qsizetype at = address.indexOf(u"DL_");
  if (at < 0)
    return nullptr;
  const QStringList fields = SplitDelimited(address.mid(at), u'_');
  if (fields.size() < 4)
    return nullptr;
  const QString id = DecipherText(fields[1], QString::fromLatin1(ContentKey));
  if (!IsContentId(id))
    return nullptr;
  const QString type = fields[3];
  const QString extension = TypeToExtension(type);
  const QString base = fields[2];
  const QString name = base + extension;
  // The name becomes a file in the download folder: it must stay there.
  if (base.isEmpty() || !IsSafeFileName(name) || !IsSafeFileName(SpacedName(name)) ||
      SpacedName(base).trimmed().isEmpty())
    return nullptr;
  const QString contentAddress = ContentAddress(id, extension);
  if (contentAddress.isEmpty())
    return nullptr;
  return MakeKsvPlay(id, QString(), name, type, contentAddress);
}

QString DownloadFileName(const TKsvPlay &record) { return SpacedName(record.name); }

ListCommandOutcome RunListCommand(LinkKind kind, const QList<TKsvPlayPtr> &records,
                                  const QString &listPlayMode, ILinkPlayList &list)
{
  ListCommandOutcome out;
  out.items = int(records.size());
  if (records.isEmpty())
    return out;
  int remembered = -1;
  for (qsizetype i = 0; i < records.size(); ++i) {
    const TKsvPlayPtr &record = records[i];
    if (!record)
      continue;  // this item failed; the others go on
    const QString found = list.Find(record->id);
    int position = found.toInt();
    if (found == u"-1") {
      if (!list.Append(record))
        continue;
      ++out.appended;
      position = list.Count() - 1;
    }
    if (i == 0)
      remembered = position;
  }
  if (listPlayMode == u"0") {
    if (remembered >= 0) {
      out.showPlayPage = true;
      out.playPosition = remembered;
    }
  } else if (out.items == list.Count()) {
    out.showPlayPage = true;
    out.playPosition = 0;
  } else {
    out.showPlayPage = kind == LinkKind::ChannelList;
    out.message = LinkMessages::AddedToList;
  }
  return out;
}

QString DecodeNonAsciiEscapes(const QString &address)
{
  QString out;
  out.reserve(address.size());
  qsizetype i = 0;
  const qsizetype n = address.size();
  while (i < n) {
    int byte = address[i] == u'%' ? EscapedByte(address, i) : -1;
    if (byte < 0x80) {
      out += address[i++];
      continue;
    }
    // A run of escaped bytes of which at least the first is not ASCII.
    const qsizetype start = i;
    QByteArray bytes;
    while (i < n && (byte = EscapedByte(address, i)) >= 0x80) {
      bytes += char(byte);
      i += 3;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
      text = FromGbk(bytes);
      if (text.contains(QChar::ReplacementCharacter))
        text = address.mid(start, i - start);  // neither: left as it came
    }
    out += text;
  }
  return out;
}
