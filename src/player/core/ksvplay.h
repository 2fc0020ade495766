#pragma once
// One playable item and the rules that turn it into a server address and
// local file paths.  GUI-free.
//
// Ids come from web pages and list files, so they are checked before they go
// anywhere: only an id of decimal digits that fits a 32-bit integer is ever
// turned into a path, an address or a fetch, and a name that could leave its
// folder ("/", "\", "..", control characters) never becomes part of a path.
// The path and address rules answer with empty text for such items; callers
// treat empty text as "no such file / nothing to fetch".
#include <QString>
#include <cstdint>
#include <memory>

struct TKsvPlay {
  QString id;               // content id, decimal digits; compared as text
  std::int32_t number = 0;  // the id's value while the item is fetched, else 0
  QString pid;              // channel or category the item came from
  QString name;             // display name, spaces as spaces
  QString address;          // server address of the content file
  QString type;             // content type number as decimal text
  QString cachePath;        // full path of the item's file in the cache
};

// Items are shared: the list node that shows an item and CurrentItem both hold
// it, and it goes when the last holder lets it go.
using TKsvPlayPtr = std::shared_ptr<TKsvPlay>;

TKsvPlayPtr MakeKsvPlay(const QString &id, const QString &pid, const QString &name,
                        const QString &type, const QString &address = QString());

// True for 1 to 10 decimal digits whose value fits a signed 32-bit integer.
bool IsContentId(const QString &id);
// The id's value, or -1 when it is not a content id.
std::int32_t ContentIdValue(const QString &id);

// True when `name` may stand as a file name inside a folder: not empty, no
// path separator, no "..", no control character.
bool IsSafeFileName(const QString &name);

// Every "%20" turned into a space.
QString SpacedName(const QString &name);

// Server folder of an id: ceil(id / 128); 0 gives 0, 128 gives 1, 129 gives 2.
std::int64_t ContentFolder(std::int64_t id);

// DownloadServerUrl + folder + "/" + enciphered id + extension; empty when the
// id is not a content id.
QString ContentAddress(const QString &id, const QString &extension);
QString ContentAddress(const TKsvPlay &item);

// CacheDir + id + extension of the item's type; empty when the id is not a
// content id.
QString CachePathOf(const TKsvPlay &item);

// DownloadDir + name + extension of the item's type (the name with "%20" as
// spaces, as the download manager saves it); empty when the name is not a
// safe file name.
QString DownloadPathOf(const TKsvPlay &item);

// The local file of an item: the cache path when that file exists, else the
// download-folder path when that file exists, else empty.
QString LocalFileOf(const TKsvPlay &item);

// The "#,##" number format: thousands separators, no decimals, rounded to the
// nearest whole number, and empty text for a value below one half.
QString FormatThousands(double value);

// "共" + F(total / 1024) + "KB,已下载" + F(percent) + "%".
QString FetchProgressText(std::int32_t percent, std::int32_t totalBytes);

// --- Process-wide playback state (user-interface thread only) ---------------
extern TKsvPlayPtr CurrentItem;         // the item played or fetched
extern std::int32_t PrefetchId;         // id being prefetched; 0 = none
extern QString PrefetchPath;            // cache path of the prefetched item
extern std::int32_t AudioPlayerSerial;  // serial of the audio player's name

// Puts the playback state back to its initial values (for tests).
void ResetPlaybackState();
