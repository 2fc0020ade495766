#include "lists/core/favoritesfile.h"

#include "base/globals.h"
#include "base/pathcase.h"
#include "lists/core/playlistfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

QString FavoritesFilePath()
{
  return ResolveCase(AppDir + QStringLiteral("Resource/Dat/pvlt_favorite.xml"));
}

namespace {

// The text of the current element, child elements' text included; the
// reader stands on its end element afterwards.
QString ElementText(QXmlStreamReader &xml)
{
  return xml.readElementText(QXmlStreamReader::IncludeChildElements);
}

// One child element of the document element, read from its start element
// to its end element.
TKsvPlayPtr ReadFavorite(QXmlStreamReader &xml)
{
  QString id, name, pid, type;
  bool hasId = false, hasName = false, hasPid = false, hasType = false;
  while (xml.readNextStartElement()) {
    const QStringView tag = xml.name();
    // The first element of a name counts; later ones are skipped.
    if (tag == u"id" && !hasId) {
      id = ElementText(xml);
      hasId = true;
    } else if (tag == u"name" && !hasName) {
      name = ElementText(xml);
      hasName = true;
    } else if (tag == u"pid" && !hasPid) {
      pid = ElementText(xml);
      hasPid = true;
    } else if (tag == u"type" && !hasType) {
      type = ElementText(xml);
      hasType = true;
    } else {
      xml.skipCurrentElement();
    }
  }
  if (xml.hasError() || id.isEmpty())
    return nullptr;
  return MakeKsvPlay(id, pid, name, type);
}

// XML 1.0 carries no control characters and no unpaired surrogates; a line
// break would not survive a read either (line ends are normalised).
QString XmlText(const QString &text)
{
  QString s = text;
  for (qsizetype i = 0; i < s.size(); ++i) {
    const QChar c = s.at(i);
    if (c.unicode() < 0x20 || c.unicode() == 0xFFFE || c.unicode() == 0xFFFF) {
      s[i] = u' ';
    } else if (c.isHighSurrogate()) {
      if (i + 1 < s.size() && s.at(i + 1).isLowSurrogate())
        ++i;
      else
        s[i] = u' ';
    } else if (c.isLowSurrogate()) {
      s[i] = u' ';
    }
  }
  return s;
}

bool Exists(const QString &path) { return QFileInfo::exists(path); }

// The first free name of file + "_damaged", "_damaged2", ...
QString DamagedName(const QString &file)
{
  const QString base = file + QLatin1String(DamagedFavoritesSuffix);
  if (!Exists(base))
    return base;
  for (int n = 2;; ++n) {
    const QString name = base + QString::number(n);
    if (!Exists(name))
      return name;
  }
}

}  // namespace

FavoritesRead ParseFavoritesXml(const QByteArray &bytes)
{
  FavoritesRead out;
  QXmlStreamReader xml(bytes);
  if (!xml.readNextStartElement()) {
    out.status = FavoritesRead::Malformed;
    out.error = xml.hasError() ? xml.errorString() : QStringLiteral("no document element");
    return out;
  }
  while (xml.readNextStartElement()) {
    if (TKsvPlayPtr item = ReadFavorite(xml))
      out.items.push_back(std::move(item));
    if (xml.hasError())
      break;
  }
  // The rest of the document must be well-formed too.
  while (!xml.atEnd() && !xml.hasError())
    xml.readNext();
  if (xml.hasError()) {
    out.status = FavoritesRead::Malformed;
    out.error = xml.errorString();
    out.items.clear();
    return out;
  }
  out.status = FavoritesRead::Loaded;
  return out;
}

FavoritesRead ReadFavoritesFile(const QString &path)
{
  FavoritesRead out;
  if (!QFileInfo(path).isFile()) {
    out.status = Exists(path) ? FavoritesRead::Unreadable : FavoritesRead::Missing;
    return out;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    out.status = FavoritesRead::Unreadable;
    out.error = file.errorString();
    return out;
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    out.status = FavoritesRead::Unreadable;
    out.error = file.errorString();
    return out;
  }
  return ParseFavoritesXml(bytes);
}

QByteArray FormatFavoritesXml(const std::vector<TKsvPlayPtr> &items)
{
  QByteArray bytes;
  QXmlStreamWriter xml(&bytes);
  xml.setAutoFormatting(false);
  xml.writeStartDocument(QStringLiteral("1.0"));
  xml.writeStartElement(QStringLiteral("as"));
  for (const TKsvPlayPtr &item : items) {
    if (!item)
      continue;
    xml.writeStartElement(QStringLiteral("a"));
    xml.writeTextElement(QStringLiteral("id"), XmlText(item->id));
    xml.writeTextElement(QStringLiteral("name"), XmlText(item->name));
    xml.writeTextElement(QStringLiteral("pid"), XmlText(item->pid));
    xml.writeTextElement(QStringLiteral("type"), XmlText(item->type));
    xml.writeEndElement();
  }
  xml.writeEndElement();
  xml.writeEndDocument();
  return bytes;
}

FavoritesWrite CreateFavoriteXML(const std::vector<TKsvPlayPtr> &items, const QString &file,
                                 const FavoritesWriter &writer)
{
  const FavoritesWriter write = writer ? writer : FavoritesWriter(&WriteFileAtomically);
  FavoritesWrite out;
  const QString backup = file + QLatin1String(FavoritesBackupSuffix);

  // What stands at the file name now decides what is kept of it.
  QByteArray previous;
  bool previousGood = false;
  if (Exists(file)) {
    QFile old(file);
    if (!old.open(QIODevice::ReadOnly))
      return out;  // cannot be backed up: left alone
    previous = old.readAll();
    if (old.error() != QFileDevice::NoError)
      return out;
    old.close();
    previousGood = ParseFavoritesXml(previous).status == FavoritesRead::Loaded;
    if (!previousGood) {
      const QString aside = DamagedName(file);
      if (!write(aside, previous))
        return out;
      out.keptAside = aside;
    }
  }
  const bool hadFile = Exists(file);

  bool nonEmpty = false;
  for (const TKsvPlayPtr &item : items)
    nonEmpty = nonEmpty || item != nullptr;
  if (!nonEmpty && hadFile) {
    out.ok = QFile::remove(file);
    out.deleted = out.ok;
    return out;
  }

  // The previous good version becomes the backup.  The file is replaced
  // only by the rename at the end of the write, so it never goes missing.
  // A backup that cannot be written does not stop the save: the file
  // itself is still replaced safely.
  bool madeBackup = false;
  if (hadFile && previousGood)
    madeBackup = write(backup, previous);

  if (!QDir().mkpath(QFileInfo(file).absolutePath()))
    return out;
  out.ok = write(file, FormatFavoritesXml(items));
  if (!out.ok && madeBackup && !Exists(file) && Exists(backup))
    QFile::copy(backup, file);
  return out;
}
