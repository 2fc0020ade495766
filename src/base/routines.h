#pragma once
// Small stateless file, version and text routines shared by the subsystems.
// Unless a routine says otherwise it catches its own failures and answers
// with a neutral result (false, 0, empty text).
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

// Whether the desktop's autostart entry of this program exists and is not
// switched off: $XDG_CONFIG_HOME/autostart/kestrova.desktop (default
// ~/.config/autostart), not marked "Hidden=true" (nor switched off with
// "X-GNOME-Autostart-enabled=false").  Only read here; the
// engine library writes it.
bool IsAutorunRegistered();
QString AutorunEntryFile();

// "1.0.23.15": the program's own version, four decimal parts.
QString GetOwnFileVersion();

// The size of a file in bytes (full 64 bits); 0 for a missing file or a
// folder.
quint64 GetFileSize64(const QString &path);

// Deletes a folder with everything in it, depth first.  Whatever cannot be
// deleted is left, silently; a missing folder is no error.  Links are never
// followed: a link inside is removed as a link, and when `folder` itself is
// a link to a folder only the link is removed.
void DeleteFolderTree(const QString &folder);

// The bare names (no folder) of the sub-folders and files of a folder, in
// the order the file system lists them; empty when the folder is missing.
QStringList ListFolderEntries(const QString &folder);

// Creates the file, or truncates an existing one, to zero length.  Returns
// false when it cannot (missing folder, no access).
bool CreateEmptyFile(const QString &path);

// Content type number (decimal text) -> file extension:
// "1" .swf, "2" .mp3, "3" .txt, "4" .flv, "10" .rar, "11" .zip; anything else
// gives empty text.
QString TypeToExtension(const QString &type);

// A packed version (hex digits hold the parts) as "a.b.c.d": seven hex digits
// read as one digit and three pairs, eight as four pairs.  16783119 (hex
// 100170F) gives "1.0.23.15".  Empty text for anything else.
QString FormatPackedVersion(std::int32_t packed);

// True when the text is a signed 32-bit decimal integer.
bool IsIntegerText(const QString &text);

// Copies a file, creating the destination's folders; an existing destination
// is replaced (atomically).  Equal paths: true, nothing done.
bool CopyFileCreatingFolder(const QString &source, const QString &destination);

// Reads the catalog XML in `document` and writes it anew as a UTF-8 XML file
// at `destination` (elements, attributes, text, comments and processing
// instructions kept), replacing that file atomically, then records `version`
// as local.ini [Info] "7".  On a parse or write failure nothing is written,
// the version is not recorded, and the result is false with the reason in
// *error.  A failure to record the version also gives false.
bool InstallCatalogXml(const QByteArray &document, const QString &destination, std::int32_t version,
                       QString *error = nullptr);
// The same for a catalog held in a local file.  (Catalogs on the resource
// site: InstallCatalogFromAddress in app/netroutines.h.)
bool InstallCatalogFile(const QString &source, const QString &destination, std::int32_t version,
                        QString *error = nullptr);
