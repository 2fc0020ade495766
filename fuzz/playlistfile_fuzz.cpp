// Fuzz target: any bytes in the play-list file read without a crash or a
// hang; every item the reader accepts has a decimal id, a pid and an integer
// type, the selection points at an item, trimming stays inside the list, and
// what the writer makes of the list reads back as the same list.
#include "base/gbk.h"
#include "base/routines.h"
#include "fuzzsupport.h"
#include "lists/core/playlistfile.h"

#include <QDateTime>
#include <cstdint>

namespace {

bool HasControl(const QString &text)
{
  for (const QChar c : text)
    if (c.unicode() < 0x20)
      return true;
  return false;
}

// The list file holds GBK: a field survives a write only when GBK holds it.
bool GbkHolds(const QString &text) { return FromGbk(ToGbk(text)) == text; }

void CheckWellFormed(const ParsedPlayList &list, qsizetype lineCount)
{
  const int count = static_cast<int>(list.items.size());
  FUZZ_CHECK(list.selected >= -1 && list.selected < count);
  FUZZ_CHECK(list.headerNumber >= 0 && list.headerNumber <= qMax<qsizetype>(0, lineCount - 1));
  for (const TKsvPlayPtr &item : list.items) {
    FUZZ_CHECK(item != nullptr);
    FUZZ_CHECK(IsContentId(item->id));
    FUZZ_CHECK(!item->pid.isEmpty());
    FUZZ_CHECK(IsIntegerText(item->type));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  const auto lines = ReadListLines(fuzz::ScratchFile(QStringLiteral("pvlt_last.dat"), bytes));
  FUZZ_CHECK(lines.has_value());
  for (const QString &line : *lines)
    FUZZ_CHECK(!line.contains(u'\r') && !line.contains(u'\n'));
  const ParsedPlayList list = ParseListLines(*lines);
  CheckWellFormed(list, lines->size());

  const int count = static_cast<int>(list.items.size());
  for (const int limit : {-1, 0, 1, 2, 5, 50}) {
    const int drop = ItemsToTrim(count, list.selected, list.headerNumber, limit);
    FUZZ_CHECK(drop >= 0 && drop <= count);
    ParsedPlayList trimmed = list;
    TrimParsedList(trimmed, limit);
    FUZZ_CHECK(trimmed.items.size() == list.items.size() - std::size_t(drop));
    FUZZ_CHECK(trimmed.selected >= -1 && trimmed.selected < static_cast<int>(trimmed.items.size()));
    if (list.selected >= drop)
      FUZZ_CHECK(trimmed.selected == list.selected - drop);
  }

  // Written and read again: the same items and the same selection.
  bool writable = true;
  for (const TKsvPlayPtr &item : list.items)
    writable = writable && GbkHolds(item->name) && GbkHolds(item->pid) && !HasControl(item->pid) &&
               !HasControl(item->type);
  if (!writable)
    return 0;
  const QDateTime when(QDate(2024, 5, 6), QTime(7, 8, 9));
  const QByteArray again = FormatListFile(list.items, list.selected, when);
  const auto lines2 = ReadListLines(fuzz::ScratchFile(QStringLiteral("pvlt_again.dat"), again));
  FUZZ_CHECK(lines2.has_value());
  const ParsedPlayList list2 = ParseListLines(*lines2);
  CheckWellFormed(list2, lines2->size());
  FUZZ_CHECK(list2.items.size() == list.items.size());
  if (count > 0)
    FUZZ_CHECK(list2.selected == (list.selected >= 0 ? list.selected : 0));
  for (int i = 0; i < count; ++i) {
    const TKsvPlay &a = *list.items[std::size_t(i)];
    const TKsvPlay &b = *list2.items[std::size_t(i)];
    QString name = a.name;
    for (QChar &c : name)
      if (c.unicode() < 0x20)
        c = u' ';
    FUZZ_CHECK(a.id == b.id);
    FUZZ_CHECK(a.pid == b.pid);
    FUZZ_CHECK(a.type == b.type);
    FUZZ_CHECK(name == b.name);
  }
  return 0;
}
