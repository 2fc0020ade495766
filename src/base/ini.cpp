#include "base/ini.h"

#include "base/gbk.h"
#include "base/pathcase.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <optional>

namespace {

enum class Encoding { Gbk, Utf8Bom, Utf16Le, Utf16Be };

// The file split into lines without their line ends.  For UTF-16 files the
// lines are held as UTF-8, so every encoding is ASCII-compatible here and
// lines can be split on '\n' bytes ('\n' is never part of a GBK character).
struct RawFile {
  Encoding encoding = Encoding::Gbk;
  QList<QByteArray> lines;
};

RawFile Split(const QByteArray &fileBytes)
{
  RawFile raw;
  QByteArray body = fileBytes;
  if (body.startsWith("\xEF\xBB\xBF")) {
    raw.encoding = Encoding::Utf8Bom;
    body.remove(0, 3);
  } else if (body.startsWith("\xFF\xFE") || body.startsWith("\xFE\xFF")) {
    const bool little = body.startsWith("\xFF\xFE");
    raw.encoding = little ? Encoding::Utf16Le : Encoding::Utf16Be;
    QStringDecoder decoder(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
    body = QString(decoder(QByteArrayView(body).sliced(2))).toUtf8();
  }
  // Without a byte-order mark the file is GBK, also where its bytes happen
  // to be valid UTF-8 as well (as those of many GBK words are).
  raw.lines = body.split('\n');
  if (!raw.lines.isEmpty() && raw.lines.last().isEmpty())
    raw.lines.removeLast();  // the file ended with a line end
  for (QByteArray &line : raw.lines) {
    if (line.endsWith('\r'))
      line.chop(1);
  }
  return raw;
}

QString DecodeLine(Encoding encoding, QByteArrayView line)
{
  return encoding == Encoding::Gbk ? FromGbk(line) : QString::fromUtf8(line);
}

// Empty when the text cannot be held by the encoding: a character GBK does
// not have, or (in every encoding) an unpaired surrogate, which would be
// written as a replacement character and read back as another name or value.
std::optional<QByteArray> EncodeLine(Encoding encoding, const QString &text)
{
  const QByteArray bytes = encoding == Encoding::Gbk ? ToGbk(text) : text.toUtf8();
  if (DecodeLine(encoding, bytes) != text)
    return std::nullopt;
  return bytes;
}

QByteArray Join(const RawFile &raw)
{
  QByteArray text;
  for (const QByteArray &line : raw.lines) {
    text += line;
    text += "\r\n";
  }
  switch (raw.encoding) {
  case Encoding::Gbk:
    return text;
  case Encoding::Utf8Bom:
    return "\xEF\xBB\xBF" + text;
  case Encoding::Utf16Le:
  case Encoding::Utf16Be: {
    const bool little = raw.encoding == Encoding::Utf16Le;
    QStringEncoder encoder(little ? QStringEncoder::Utf16LE : QStringEncoder::Utf16BE,
                           QStringEncoder::Flag::WriteBom);
    return encoder(QString::fromUtf8(text));
  }
  }
  return text;
}

struct ParsedLine {
  enum Kind { Other, Section, Key } kind = Other;
  QString name, value;
};

ParsedLine Parse(Encoding encoding, QByteArrayView rawLine)
{
  ParsedLine parsed;
  const QString line = DecodeLine(encoding, rawLine).trimmed();
  if (line.isEmpty() || line.startsWith(u';'))
    return parsed;
  if (line.startsWith(u'[')) {
    const qsizetype close = line.indexOf(u']');
    if (close > 0) {
      parsed.kind = ParsedLine::Section;
      parsed.name = line.mid(1, close - 1).trimmed();
    }
    return parsed;
  }
  const qsizetype eq = line.indexOf(u'=');
  if (eq <= 0)
    return parsed;
  parsed.name = line.left(eq).trimmed();
  if (parsed.name.isEmpty())
    return parsed;
  parsed.kind = ParsedLine::Key;
  parsed.value = line.mid(eq + 1).trimmed();
  return parsed;
}

bool SameName(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

bool HasLineBreak(const QString &text) { return text.contains(u'\n') || text.contains(u'\r'); }

QString ExistingFile(const QString &path)
{
  const QString resolved = ResolveCase(path);
  return QFileInfo(resolved).isFile() ? resolved : QString();
}

}  // namespace

IniFile IniFile::Load(const QString &path)
{
  IniFile ini;
  const QString resolved = ExistingFile(path);
  if (resolved.isEmpty())
    return ini;
  QFile file(resolved);
  if (!file.open(QIODevice::ReadOnly))
    return ini;
  ini.exists_ = true;
  const RawFile raw = Split(file.readAll());
  QString section;
  bool inSection = false;
  for (const QByteArray &rawLine : raw.lines) {
    const ParsedLine line = Parse(raw.encoding, rawLine);
    if (line.kind == ParsedLine::Section) {
      section = line.name;
      inSection = true;
    } else if (line.kind == ParsedLine::Key && inSection) {
      ini.entries_.append({section, line.name, line.value});
    }
  }
  return ini;
}

const IniFile::Entry *IniFile::Find(const QString &section, const QString &key) const
{
  for (const Entry &e : entries_) {
    if (SameName(e.section, section) && SameName(e.key, key))
      return &e;
  }
  return nullptr;
}

QString IniFile::Value(const QString &section, const QString &key,
                       const QString &defaultValue) const
{
  const Entry *e = Find(section, key);
  return e ? e->value : defaultValue;
}

bool IniFile::Contains(const QString &section, const QString &key) const
{
  return Find(section, key) != nullptr;
}

QString ReadIniValue(const QString &path, const QString &section, const QString &key,
                     const QString &defaultValue)
{
  return IniFile::Load(path).Value(section, key, defaultValue);
}

bool WriteIniValue(const QString &path, const QString &section, const QString &key,
                   const QString &value)
{
  const QString sectionName = section.trimmed();
  const QString keyName = key.trimmed();
  if (sectionName.isEmpty() || sectionName.contains(u']') || HasLineBreak(sectionName) ||
      keyName.isEmpty() || keyName.contains(u'=') || keyName.startsWith(u'[') ||
      keyName.startsWith(u';') || HasLineBreak(keyName) || HasLineBreak(value))
    return false;

  const QString resolved = ExistingFile(path);
  if (resolved.isEmpty())
    return false;
  QFile in(resolved);
  if (!in.open(QIODevice::ReadOnly))
    return false;
  RawFile raw = Split(in.readAll());
  in.close();

  const std::optional<QByteArray> keyLine =
      EncodeLine(raw.encoding, keyName + u'=' + value.trimmed());
  if (!keyLine)
    return false;

  // Where the section starts, where its last key line is, and the line of
  // the key itself.
  qsizetype header = -1, lastKey = -1, target = -1;
  for (qsizetype i = 0; i < raw.lines.size(); ++i) {
    const ParsedLine line = Parse(raw.encoding, raw.lines[i]);
    if (line.kind == ParsedLine::Section) {
      if (header >= 0)
        break;  // the end of the section we looked in
      if (SameName(line.name, sectionName))
        header = lastKey = i;
    } else if (header >= 0 && line.kind == ParsedLine::Key) {
      lastKey = i;
      if (SameName(line.name, keyName)) {
        target = i;
        break;
      }
    }
  }

  if (target >= 0) {
    raw.lines[target] = *keyLine;
  } else if (header >= 0) {
    raw.lines.insert(lastKey + 1, *keyLine);
  } else {
    const std::optional<QByteArray> headerLine =
        EncodeLine(raw.encoding, u'[' + sectionName + u']');
    if (!headerLine)
      return false;
    raw.lines.append(*headerLine);
    raw.lines.append(*keyLine);
  }

  QSaveFile out(resolved);
  if (!out.open(QIODevice::WriteOnly))
    return false;
  const QByteArray bytes = Join(raw);
  if (out.write(bytes) != bytes.size()) {
    out.cancelWriting();
    return false;
  }
  return out.commit();
}
