#include "catalog/core/catalog.h"

#include "base/gbk.h"
#include "base/globals.h"
#include "base/pathcase.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <array>

namespace {

enum Field { Id, Pid, Name, Num, Type, FieldCount };

struct RecordValues {
  std::array<QString, FieldCount> value;
  std::array<bool, FieldCount> seen{};
};

int FieldOf(QStringView name)
{
  if (name == u"id")
    return Id;
  if (name == u"pid")
    return Pid;
  if (name == u"name")
    return Name;
  if (name == u"num")
    return Num;
  if (name == u"type")
    return Type;
  return -1;
}

// A catalog that declares a GBK encoding is decoded through the GBK seam
// (the XML reader itself knows only the Unicode encodings) and handed over
// as text without its declaration.
bool DeclaresGbk(const QByteArray &bytes, qsizetype *declarationEnd)
{
  if (!bytes.startsWith("<?xml"))
    return false;
  const qsizetype end = bytes.indexOf("?>");
  if (end < 0)
    return false;
  const QByteArray declaration = bytes.left(end).toLower();
  static const QRegularExpression encoding(
      QStringLiteral("encoding\\s*=\\s*[\"'](gbk|gb2312|gb18030|cp936)[\"']"));
  if (!encoding.match(QString::fromLatin1(declaration)).hasMatch())
    return false;
  *declarationEnd = end + 2;
  return true;
}

// Walks the records of the catalog in file order and hands each one to
// `take`.  False when the file cannot be read or is not well-formed XML; the
// caller then discards whatever was taken.
template <typename Take>
bool WalkCatalog(const QString &file, Take take)
{
  QFile f(file);
  if (file.isEmpty() || !f.open(QIODevice::ReadOnly))
    return false;
  const QByteArray bytes = f.readAll();
  f.close();

  QXmlStreamReader reader;
  qsizetype declarationEnd = 0;
  if (DeclaresGbk(bytes, &declarationEnd))
    reader.addData(FromGbk(QByteArrayView(bytes).sliced(declarationEnd)));
  else
    reader.addData(bytes);

  if (!reader.readNextStartElement())
    return false;  // no document element (empty file, or not XML)
  // Children of the document element: each element is one record; text,
  // comments and processing instructions between them are no records.
  while (!reader.atEnd()) {
    const QXmlStreamReader::TokenType token = reader.readNext();
    if (token == QXmlStreamReader::EndElement)
      break;  // end of the document element
    if (token != QXmlStreamReader::StartElement)
      continue;
    RecordValues record;
    while (!reader.atEnd()) {
      const QXmlStreamReader::TokenType inner = reader.readNext();
      if (inner == QXmlStreamReader::EndElement)
        break;  // end of the record
      if (inner != QXmlStreamReader::StartElement)
        continue;
      const int field = FieldOf(reader.name());
      if (field < 0 || record.seen[field]) {
        reader.skipCurrentElement();
        continue;
      }
      record.value[field] = reader.readElementText(QXmlStreamReader::IncludeChildElements);
      record.seen[field] = true;
    }
    if (reader.hasError())
      return false;
    take(record);
  }
  // The rest of the document must be well-formed too.
  while (!reader.atEnd())
    reader.readNext();
  return !reader.hasError();
}

CatalogChannel MakeChannel(RecordValues &record)
{
  CatalogChannel channel;
  channel.record.id = std::move(record.value[Id]);
  channel.record.pid = std::move(record.value[Pid]);
  channel.record.name = std::move(record.value[Name]);
  channel.record.type = std::move(record.value[Type]);
  channel.text = ChannelNodeText(channel.record.name, record.value[Num]);
  return channel;
}

}  // namespace

QString CatalogFilePath()
{
  const QString versioned = ResolveCase(AppDir + QStringLiteral("Resource/xml/") + CatalogVersion +
                                        QStringLiteral(".xml"));
  if (QFileInfo(versioned).isFile())
    return versioned;
  return ResolveCase(AppDir + QStringLiteral("Resource/xml/Channel.xml"));
}

QString ChannelNodeText(const QString &name, const QString &num)
{
  return name + u'(' + num + u')';
}

std::optional<std::vector<CatalogChannel>> ReadCategoryChannels(const QString &file,
                                                                const QString &categoryCode)
{
  std::vector<CatalogChannel> channels;
  const bool ok = WalkCatalog(file, [&](RecordValues &record) {
    if (record.value[Pid] == categoryCode)
      channels.push_back(MakeChannel(record));
  });
  if (!ok)
    return std::nullopt;
  return channels;
}

std::optional<std::vector<CatalogChannel>> ReadChannelsById(const QString &file,
                                                            const QStringList &ids)
{
  std::vector<CatalogChannel> channels;
  const bool ok = WalkCatalog(file, [&](RecordValues &record) {
    if (ids.contains(record.value[Id]))
      channels.push_back(MakeChannel(record));
  });
  if (!ok)
    return std::nullopt;
  return channels;
}

bool IsEmptyChannelText(const QString &nodeText) { return nodeText.contains(u"(0)"); }

void RemoveEmptyChannels(std::vector<CatalogChannel> &channels)
{
  std::erase_if(channels, [](const CatalogChannel &c) { return IsEmptyChannelText(c.text); });
}

int ChannelPageColumns(int panelWidth)
{
  const int columns = panelWidth / 150;
  if (columns < 4)
    return 4;
  if (columns > 6)
    return 6;
  return columns;
}

QString ChannelPageAddress(const TC &channel, int panelWidth)
{
  QString path;
  if (channel.id.size() == 6)
    path = channel.id.left(2) + u'/' + channel.id.left(4) + u'/' + channel.id + u'/';
  QString address =
      ResourceBaseUrl + CatalogVersion + QStringLiteral("_DL/") + CatalogScope + u'/' + path;
  if (channel.type == u"1" || channel.type == u"4")
    address += QString::number(ChannelPageColumns(panelWidth)) + u'/';
  return address + QStringLiteral("1.html");
}

bool IsLinkChannel(const TC &channel) { return channel.type.contains(u"5="); }

QString LinkChannelAddress(const TC &channel, const QStringList &table)
{
  if (channel.linkIndex < 0 || channel.linkIndex >= table.size())
    return {};
  return table.at(channel.linkIndex);
}
