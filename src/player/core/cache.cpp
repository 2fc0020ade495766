#include "player/core/cache.h"

#include "base/routines.h"

#include <QFile>
#include <QFileInfo>

QStringList PruneCacheVictims(const QStringList &entries, const QSet<QString> &keepIds)
{
  QStringList victims;
  for (const QString &entry : entries) {
    if (entry.isEmpty() || entry == u"." || entry == u"..")
      continue;
    const int dot = entry.lastIndexOf(u'.');
    const QString base = dot < 0 ? entry : entry.left(dot);
    if (!keepIds.contains(base))
      victims << entry;
  }
  return victims;
}

int PruneCacheFolder(const QString &cacheDir, const QSet<QString> &keepIds)
{
  if (cacheDir.isEmpty())
    return 0;
  int deleted = 0;
  for (const QString &name : PruneCacheVictims(ListFolderEntries(cacheDir), keepIds)) {
    const QString path = cacheDir + name;
    const QFileInfo info(path);
    // Only plain files (or links, which are removed, not followed).
    if (info.isDir() && !info.isSymLink())
      continue;
    if (QFile::remove(path))
      ++deleted;
  }
  return deleted;
}
