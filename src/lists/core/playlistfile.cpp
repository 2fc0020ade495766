#include "lists/core/playlistfile.h"

#include "base/gbk.h"
#include "base/routines.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>

std::optional<QStringList> ReadListLines(const QString &path)
{
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return std::nullopt;
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError)
    return std::nullopt;
  QStringList lines;
  if (bytes.isEmpty())
    return lines;
  // Lines end in CR LF; a lone LF or CR also ends a line.
  const QString text = FromGbk(bytes);
  QString line;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (c == u'\r' || c == u'\n') {
      lines << line;
      line.clear();
      if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
        ++i;
    } else {
      line += c;
    }
  }
  if (!line.isEmpty())
    lines << line;
  return lines;
}

ParsedPlayList ParseListLines(const QStringList &lines)
{
  ParsedPlayList out;
  int s = 0;
  const int lineCount = static_cast<int>(lines.size());
  for (int i = 0; i < lineCount; ++i) {
    QString line = lines.at(i);
    if (i == 0 && line.contains(QStringLiteral("id="))) {
      line.remove(QStringLiteral("id="));
      bool ok = false;
      s = line.trimmed().toInt(&ok);
      if (!ok || s < 1)
        s = 1;
      if (s > lineCount - 1)
        s = lineCount - 1;
      out.headerNumber = s;
      continue;
    }
    line.replace(u' ', QStringLiteral("%20"));
    const QStringList fields = line.split(u',');
    const bool blank = lines.at(i).trimmed().isEmpty();
    if (fields.size() < 5) {
      out.damagedLines += blank ? 0 : 1;
      continue;
    }
    const QString &type = fields.at(4);
    // Ids reach paths and server addresses: only decimal ids are items.
    if (!IsIntegerText(type) || fields.at(0).isEmpty() || fields.at(1).isEmpty() ||
        !IsContentId(fields.at(0))) {
      ++out.damagedLines;
      continue;
    }
    out.items.push_back(
        MakeKsvPlay(fields.at(0), fields.at(1), SpacedName(fields.at(2)), type, fields.at(3)));
    if (i == s)
      out.selected = static_cast<int>(out.items.size()) - 1;
  }
  return out;
}

int ItemsToTrim(int count, int selected, int headerNumber, int limit)
{
  if (limit == -1 || count <= limit || headerNumber <= 0)
    return 0;
  // The header counts lines; skipped lines make the selected item's real
  // index smaller, so the real index is used when an item is selected.
  const int p = selected >= 0 ? selected : headerNumber - 1;
  if (count - p < limit)
    return count - limit;
  return p;
}

bool TrimParsedList(ParsedPlayList &list, int limit)
{
  const int count = static_cast<int>(list.items.size());
  const int drop = ItemsToTrim(count, list.selected, list.headerNumber, limit);
  if (drop <= 0)
    return false;
  list.items.erase(list.items.begin(), list.items.begin() + drop);
  if (list.selected >= 0)
    list.selected = list.selected >= drop ? list.selected - drop : -1;
  return true;
}

namespace {

// Commas and line breaks inside a field would shift or split the line; a
// name never carries control characters into the file.
QString FieldText(const QString &text)
{
  QString s = text;
  for (QChar &c : s) {
    if (c.unicode() < 0x20)
      c = u' ';
    else if (c == u',')
      c = QChar(0xFF0C);  // the field separator: a full-width comma reads the same
  }
  return s;
}

QString DateTimeText(const QDateTime &now)
{
  const QLocale locale = QLocale::system();
  QString text = locale.toString(now.date(), QLocale::ShortFormat) + u' ' +
                 now.time().toString(QStringLiteral("HH:mm:ss"));
  return text.remove(u',');
}

}  // namespace

QByteArray FormatListFile(const std::vector<TKsvPlayPtr> &items, int selected, const QDateTime &now)
{
  if (items.empty())
    return QByteArray();
  const int position =
      selected >= 0 && selected < static_cast<int>(items.size()) ? selected + 1 : 1;
  const QString when = DateTimeText(now);
  QString text = QStringLiteral("id=") + QString::number(position) + QStringLiteral("\r\n");
  for (const TKsvPlayPtr &item : items) {
    if (!item)
      continue;
    text += FieldText(item->id) + u',' + FieldText(item->pid) + u',' +
            FieldText(SpacedName(item->name)) + QStringLiteral(",,") + FieldText(item->type) +
            u',' + when + QStringLiteral("\r\n");
  }
  return ToGbk(text);
}

QString DamagedCopyName(const QString &file)
{
  const QString base = file + QStringLiteral("_damaged");
  if (!QFileInfo::exists(base))
    return base;
  for (int n = 2;; ++n) {
    const QString name = base + QString::number(n);
    if (!QFileInfo::exists(name))
      return name;
  }
}

bool WriteFileAtomically(const QString &path, const QByteArray &bytes)
{
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly))
    return false;
  if (file.write(bytes) != bytes.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}
