#include "base/routines.h"

#include "base/config.h"
#include "base/globals.h"
#include "base/ini.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#ifndef KESTROVA_VERSION_TEXT
#define KESTROVA_VERSION_TEXT "0.0.0.0"
#endif

namespace {

void SetError(QString *error, const QString &text)
{
  if (error)
    *error = text;
}

QString FolderWithSlash(QString folder)
{
  if (!folder.endsWith(u'/'))
    folder += u'/';
  return folder;
}

// Copies every token of the reader to the writer.  False on a parse error.
bool CopyXml(QXmlStreamReader &reader, QXmlStreamWriter &writer)
{
  while (!reader.atEnd()) {
    switch (reader.readNext()) {
    case QXmlStreamReader::StartDocument: {
      const QString version = reader.documentVersion().isEmpty()
                                  ? QStringLiteral("1.0")
                                  : reader.documentVersion().toString();
      // standalone="no" means the same as no declaration at all.
      if (reader.isStandaloneDocument())
        writer.writeStartDocument(version, true);
      else
        writer.writeStartDocument(version);
      break;
    }
    case QXmlStreamReader::EndDocument:
      writer.writeEndDocument();
      break;
    case QXmlStreamReader::DTD:
      writer.writeDTD(reader.text().toString());
      break;
    case QXmlStreamReader::StartElement:
      for (const QXmlStreamNamespaceDeclaration &ns : reader.namespaceDeclarations())
        writer.writeNamespace(ns.namespaceUri().toString(), ns.prefix().toString());
      writer.writeStartElement(reader.namespaceUri().toString(), reader.name().toString());
      for (const QXmlStreamAttribute &attr : reader.attributes()) {
        if (!attr.isDefault())
          writer.writeAttribute(attr);
      }
      break;
    case QXmlStreamReader::EndElement:
      writer.writeEndElement();
      break;
    case QXmlStreamReader::Characters:
      if (reader.isCDATA())
        writer.writeCDATA(reader.text().toString());
      else
        writer.writeCharacters(reader.text().toString());
      break;
    case QXmlStreamReader::Comment:
      writer.writeComment(reader.text().toString());
      break;
    case QXmlStreamReader::ProcessingInstruction:
      writer.writeProcessingInstruction(reader.processingInstructionTarget().toString(),
                                        reader.processingInstructionData().toString());
      break;
    case QXmlStreamReader::EntityReference:
      writer.writeEntityReference(reader.name().toString());
      break;
    case QXmlStreamReader::NoToken:
    case QXmlStreamReader::Invalid:
      break;
    }
  }
  return !reader.hasError();
}

}  // namespace

QString AutorunEntryFile()
{
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/autostart/kestrova.desktop");
}

bool IsAutorunRegistered()
{
  const IniFile entry = IniFile::Load(AutorunEntryFile());
  if (!entry.exists())
    return false;
  // An entry can be switched off without being removed: "Hidden=true", or
  // the desktop's own switch.
  const QString group = QStringLiteral("Desktop Entry");
  const QString hidden = entry.Value(group, QStringLiteral("Hidden"));
  const QString enabled = entry.Value(group, QStringLiteral("X-GNOME-Autostart-enabled"));
  return hidden.compare(QStringLiteral("true"), Qt::CaseInsensitive) != 0 &&
         enabled.compare(QStringLiteral("false"), Qt::CaseInsensitive) != 0;
}

QString GetOwnFileVersion()
{
  QStringList parts = QString::fromLatin1(KESTROVA_VERSION_TEXT).split(u'.');
  for (const QString &part : parts) {
    bool ok = false;
    part.toUShort(&ok);
    if (!ok)
      return QStringLiteral("0.0.0.0");
  }
  if (parts.size() > 4)
    return QStringLiteral("0.0.0.0");
  while (parts.size() < 4)
    parts.append(QStringLiteral("0"));
  return parts.join(u'.');
}

quint64 GetFileSize64(const QString &path)
{
  const QFileInfo info(path);
  if (!info.isFile())
    return 0;
  return static_cast<quint64>(info.size());
}

void DeleteFolderTree(const QString &folder)
{
  if (folder.isEmpty())
    return;
  // A link given as the folder is removed as a link: what it points to is
  // not ours to empty.  (With the trailing slash the file system would
  // resolve the link, so look at the name without it.)
  QString bare = folder;
  while (bare.size() > 1 && bare.endsWith(u'/'))
    bare.chop(1);
  const QFileInfo named(bare);
  if (named.isSymLink()) {
    if (named.isDir())
      QFile::remove(bare);
    return;
  }
  const QString dir = FolderWithSlash(folder);
  const QFileInfo self(dir);
  if (!self.isDir())
    return;
  QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  while (it.hasNext()) {
    it.next();
    const QFileInfo entry = it.fileInfo();
    // A link is removed as a link, never followed.
    if (entry.isSymLink())
      QFile::remove(entry.filePath());
    else if (entry.isDir())
      DeleteFolderTree(entry.filePath());
    else if (entry.isFile())
      QFile::remove(entry.filePath());
    // Sockets, pipes and devices are left alone.
  }
  QDir().rmdir(dir);
}

QStringList ListFolderEntries(const QString &folder)
{
  const QDir dir(FolderWithSlash(folder));
  if (folder.isEmpty() || !dir.exists())
    return {};
  return dir.entryList(QDir::Dirs | QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                       QDir::Unsorted);
}

bool CreateEmptyFile(const QString &path)
{
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
    return false;
  file.close();
  return true;
}

QString TypeToExtension(const QString &type)
{
  bool ok = false;
  const int number = type.toInt(&ok, 10);
  if (!ok)
    return QString();
  switch (number) {
  case 1:
    return QStringLiteral(".swf");
  case 2:
    return QStringLiteral(".mp3");
  case 3:
    return QStringLiteral(".txt");
  case 4:
    return QStringLiteral(".flv");
  case 10:
    return QStringLiteral(".rar");
  case 11:
    return QStringLiteral(".zip");
  default:
    return QString();
  }
}

QString FormatPackedVersion(std::int32_t packed)
{
  const QString hex =
      QString::number(static_cast<std::uint32_t>(packed), 16).toUpper().rightJustified(7, u'0');
  QStringList pieces;
  if (hex.size() == 7)
    pieces = {hex.left(1), hex.mid(1, 2), hex.mid(3, 2), hex.mid(5, 2)};
  else if (hex.size() == 8)
    pieces = {hex.left(2), hex.mid(2, 2), hex.mid(4, 2), hex.mid(6, 2)};
  else
    return QString();
  QStringList parts;
  for (const QString &piece : pieces)
    parts.append(QString::number(piece.toUInt(nullptr, 16)));
  return parts.join(u'.');
}

bool IsIntegerText(const QString &text)
{
  bool ok = false;
  text.toInt(&ok, 10);
  return ok;
}

bool CopyFileCreatingFolder(const QString &source, const QString &destination)
{
  if (source == destination)
    return true;
  QFile in(source);
  if (!in.open(QIODevice::ReadOnly))
    return false;
  if (!QDir().mkpath(QFileInfo(destination).absolutePath()))
    return false;
  // Streamed through a temporary file beside the destination, so a large
  // file needs no memory for itself and a failed copy leaves no half file.
  QSaveFile out(destination);
  if (!out.open(QIODevice::WriteOnly))
    return false;
  QByteArray buffer(1 << 20, Qt::Uninitialized);
  for (;;) {
    const qint64 n = in.read(buffer.data(), buffer.size());
    if (n < 0) {
      out.cancelWriting();
      return false;
    }
    if (n == 0)
      break;
    if (out.write(buffer.constData(), n) != n) {
      out.cancelWriting();
      return false;
    }
  }
  return out.commit();
}

bool InstallCatalogXml(const QByteArray &document, const QString &destination, std::int32_t version,
                       QString *error)
{
  QByteArray rewritten;
  {
    QXmlStreamReader reader(document);
    QXmlStreamWriter writer(&rewritten);
    if (!CopyXml(reader, writer)) {
      SetError(error, QStringLiteral("catalog is not well-formed XML (line %1): %2")
                          .arg(reader.lineNumber())
                          .arg(reader.errorString()));
      return false;
    }
    if (writer.hasError()) {
      SetError(error, QStringLiteral("catalog could not be written anew"));
      return false;
    }
  }
  if (!QDir().mkpath(QFileInfo(destination).absolutePath())) {
    SetError(error, QStringLiteral("cannot create the folder of %1").arg(destination));
    return false;
  }
  QSaveFile out(destination);
  if (!out.open(QIODevice::WriteOnly) || out.write(rewritten) != rewritten.size() ||
      !out.commit()) {
    SetError(error, QStringLiteral("cannot write %1: %2").arg(destination, out.errorString()));
    return false;
  }
  if (!WriteIniValue(LocalIniFile, QString::fromLatin1(LocalIniSection), QStringLiteral("7"),
                     QString::number(version))) {
    SetError(error, QStringLiteral("catalog saved, but its version could not be recorded in %1")
                        .arg(LocalIniFile));
    return false;
  }
  return true;
}

bool InstallCatalogFile(const QString &source, const QString &destination, std::int32_t version,
                        QString *error)
{
  QFile in(source);
  if (!in.open(QIODevice::ReadOnly)) {
    SetError(error, QStringLiteral("cannot read %1: %2").arg(source, in.errorString()));
    return false;
  }
  return InstallCatalogXml(in.readAll(), destination, version, error);
}
