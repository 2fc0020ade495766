#pragma once
// The favorites file (Resource/Dat/pvlt_favorite.xml) as plain data, so that
// reading and writing can be checked without any window.  GUI-free.
//
// The file is an XML document in UTF-8, written without indentation:
//   <?xml version="1.0" encoding="UTF-8"?>
//   <as><a><id>..</id><name>..</name><pid>..</pid><type>..</type></a>...</as>
// Readers look the four children of an "a" up by name, in any order; a
// missing one reads as empty text.  Attributes are neither written nor read.
//
// Every write keeps the previous version as the backup (file + "_bak"); an
// empty list is stored as no file at all.  The file itself is only ever
// replaced whole (a temporary file renamed onto it), so a crash in the middle
// of a save leaves either the old or the new version.  A file that is not
// well-formed is copied aside (file + "_damaged", numbered when taken) before
// anything replaces it, so a damaged list is never silently overwritten.
#include "player/core/ksvplay.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

// The favorites file of the program folder: AppDir + "Resource/Dat/
// pvlt_favorite.xml", with existing folders and the file found whatever the
// case of their names.
QString FavoritesFilePath();

// Appended to the file name for the backup of the previous version.
inline constexpr const char *FavoritesBackupSuffix = "_bak";
// Appended to the file name of a favorites file that was not well-formed
// when it was kept aside ("_damaged", then "_damaged2", "_damaged3" ...).
inline constexpr const char *DamagedFavoritesSuffix = "_damaged";

struct FavoritesRead {
  enum Status {
    Missing,     // no file: the list is empty
    Loaded,      // read; `items` holds the favorites
    Malformed,   // not well-formed XML: nothing is read
    Unreadable,  // the file exists but could not be read
  };
  Status status = Missing;
  std::vector<TKsvPlayPtr> items;
  QString error;  // the parser's message for Malformed
};

// Reads the favorites from the document's bytes: one record per child
// element of the document element, in document order.  A child without an
// id is skipped and the next one is read.
FavoritesRead ParseFavoritesXml(const QByteArray &bytes);
// Reads the file (Missing when it does not exist).
FavoritesRead ReadFavoritesFile(const QString &path);

// The document's bytes for these items, in list order.  XML's special
// characters are escaped, so names with "&", "<" or quotes and Chinese text
// read back unchanged; characters XML cannot carry (control characters,
// unpaired surrogates) become spaces.
QByteArray FormatFavoritesXml(const std::vector<TKsvPlayPtr> &items);

struct FavoritesWrite {
  bool ok = false;       // the file now holds the list (or is gone for none)
  bool deleted = false;  // the list was empty and the file was deleted
  // Where a file that was not well-formed was kept (empty when none was).
  QString keptAside;
};

// How a file's bytes are written: true when the file holds exactly these
// bytes afterwards.  The default writes a temporary file and renames it.
using FavoritesWriter = std::function<bool(const QString &path, const QByteArray &bytes)>;

// Writes the list to `file` with the backup rule:
//  - an empty list deletes an existing file (its backup stays); with no file
//    an empty document ("as" without children) is written;
//  - an existing well-formed file becomes the backup (file + "_bak", replacing
//    an older one), then the new version replaces the file;
//  - an existing file that is not well-formed is kept aside first and the
//    backup is left as it was (it holds the last good version);
//  - an existing file that cannot be read is left alone and nothing is
//    written (ok stays false);
//  - the file's folder is created with all missing parents;
//  - when the file is missing after a failed write and this write made the
//    backup, the backup goes back to the file name.
FavoritesWrite CreateFavoriteXML(const std::vector<TKsvPlayPtr> &items, const QString &file,
                                 const FavoritesWriter &writer = {});
