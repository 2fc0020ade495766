// Fuzz target: any bytes as an INI file are read without a crash or a hang,
// and a value written into it reads back while every other value stays as
// it was; a write that is refused leaves the file's bytes untouched.  The
// names asked for are taken from the file's own lines, so they meet sections
// and keys that exist.
#include "base/gbk.h"
#include "base/ini.h"
#include "fuzzsupport.h"

#include <QStringDecoder>
#include <cstdint>
#include <utility>

namespace {

// The file's text the way the reader decodes it (a byte-order mark picks
// UTF-8 or UTF-16, anything else is GBK).
QString FileText(const QByteArray &bytes)
{
  if (bytes.startsWith("\xEF\xBB\xBF"))
    return QString::fromUtf8(bytes.mid(3));
  if (bytes.startsWith("\xFF\xFE"))
    return QStringDecoder(QStringDecoder::Utf16LE)(bytes.mid(2));
  if (bytes.startsWith("\xFE\xFF"))
    return QStringDecoder(QStringDecoder::Utf16BE)(bytes.mid(2));
  return FromGbk(bytes);
}

// Section and key names that may be in the file: the text of "[...]" lines
// and the text before '=' of other lines.  A few of each.
std::pair<QStringList, QStringList> Names(const QByteArray &bytes)
{
  QStringList sections{QStringLiteral("Info")}, keys{QStringLiteral("1")};
  const QStringList lines = FileText(bytes).split(u'\n');
  for (QString line : lines) {
    line = line.trimmed();
    if (line.startsWith(u'[')) {
      if (sections.size() < 5)
        sections << line.mid(1, line.indexOf(u']') - 1).trimmed();
    } else if (line.contains(u'=')) {
      if (keys.size() < 5)
        keys << line.left(line.indexOf(u'=')).trimmed();
    }
  }
  return {sections, keys};
}

bool SameName(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

const QString kMissing = QStringLiteral("\x01missing");

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  const QString path = fuzz::ScratchFile(QStringLiteral("platform.ini"), bytes);
  const auto [sections, keys] = Names(bytes);

  const IniFile before = IniFile::Load(path);
  FUZZ_CHECK(before.exists());
  for (const QString &s : sections)
    for (const QString &k : keys) {
      const QString v = before.Value(s, k, kMissing);
      FUZZ_CHECK(before.Contains(s, k) == (v != kMissing));
      FUZZ_CHECK(v == kMissing || v == v.trimmed());
    }

  // Three writes, each into a fresh copy of the file: the last section found
  // with a key found, and so on back to the fixed names.
  const QString values[] = {QStringLiteral("新的值 1"), QStringLiteral(" x=y;[z] "),
                            QStringLiteral("a\r\nb")};
  for (qsizetype i = 0; i < 3; ++i) {
    const QString &s = sections.at(qMax<qsizetype>(0, sections.size() - 1 - i));
    const QString &k = keys.at((i + 1) % keys.size());
    const QString &value = values[i];
    fuzz::ScratchFile(QStringLiteral("platform.ini"), bytes);
    const bool ok = WriteIniValue(path, s, k, value);
    if (!ok) {
      FUZZ_CHECK(fuzz::FileBytes(path) == bytes);
      continue;
    }
    FUZZ_CHECK(!value.contains(u'\n'));
    const IniFile after = IniFile::Load(path);
    FUZZ_CHECK(after.Value(s, k, kMissing) == value.trimmed());
    for (const QString &s2 : sections)
      for (const QString &k2 : keys) {
        if (SameName(s, s2) && SameName(k, k2))
          continue;
        FUZZ_CHECK(after.Value(s2, k2, kMissing) == before.Value(s2, k2, kMissing));
      }
  }
  return 0;
}
