#pragma once
// Keeping the cache folder to the items of the play list.  GUI-free.
#include <QSet>
#include <QString>
#include <QStringList>

// The entries of the cache folder that must go: every entry whose name
// without its last extension ("123.swf" -> "123") is not one of `keepIds`.
QStringList PruneCacheVictims(const QStringList &entries, const QSet<QString> &keepIds);

// Deletes from `cacheDir` (ending with '/') every file PruneCacheVictims picks.
// Folders are left alone and deletion errors are ignored.  Returns how many
// files were deleted.
int PruneCacheFolder(const QString &cacheDir, const QSet<QString> &keepIds);
