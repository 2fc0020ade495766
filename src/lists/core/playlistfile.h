#pragma once
// The play-list file (Resource/Dat/pvlt_last.dat) as plain data, so that
// reading, trimming and writing can be checked without any window.  GUI-free.
//
// The file is GBK text with CR LF line ends.  It is empty for an empty list;
// otherwise line 1 is "id=" + the 1-based position of the selected item (or
// "id=1" when none is selected), followed by one line per item:
//   id,pid,name,,type,date time
#include "player/core/ksvplay.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringList>
#include <optional>
#include <vector>

// What the lines of a list file hold.
struct ParsedPlayList {
  std::vector<TKsvPlayPtr> items;  // the valid item lines, in file order
  int selected = -1;               // index into items of the selected one, or -1
  int headerNumber = 0;            // S: the selected line number (0 = none)
  int damagedLines = 0;            // lines that are neither empty, the header nor an item
};

// The lines of the file at `path` (GBK decoded; a final line end does not make
// an extra empty line).  Empty optional when the file cannot be read.
std::optional<QStringList> ReadListLines(const QString &path);

// Reads the lines: the header clamped into 1 .. lines-1 (a header that is not
// a number gives 1; without a header every line is an item and the first line
// is the selected one), and every item line with at least five comma-separated
// fields, an integer type, a content id and a non-empty pid.  Spaces are
// carried as "%20" while splitting, so names with spaces survive; a name with
// a comma shifts the fields.
ParsedPlayList ParseListLines(const QStringList &lines);

// How many items to delete from the front of a list of `count` items so that
// it keeps at most `limit`: nothing unless limit is not -1, count > limit and
// the header number S > 0.  With P the index of the selected item (or S - 1
// when none could be selected): when fewer than `limit` items follow from P
// on, the last `limit` are kept; otherwise everything before P goes, so the
// selected item becomes the first.
int ItemsToTrim(int count, int selected, int headerNumber, int limit);

// Applies ItemsToTrim to a parsed list (items and the selected index).
// Returns true when items were deleted.
bool TrimParsedList(ParsedPlayList &list, int limit);

// The file's bytes for these items with this selection (empty for no items).
// The sixth field is `now` as local date and time text.
QByteArray FormatListFile(const std::vector<TKsvPlayPtr> &items, int selected,
                          const QDateTime &now = QDateTime::currentDateTime());

// The first free name of file + "_damaged", "_damaged2", "_damaged3" ...: where
// a damaged list file is kept before anything replaces it.
QString DamagedCopyName(const QString &file);

// Writes `bytes` to `path` through a temporary file beside it that is renamed
// onto the path, so the old list survives a crash or a full disk.  False on
// any failure (the old file is then untouched).
bool WriteFileAtomically(const QString &path, const QByteArray &bytes);
