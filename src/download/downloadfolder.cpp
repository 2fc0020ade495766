#include "download/downloadfolder.h"

#include "widgets/desktop.h"

#include <QUrl>

void OpenFolderInFileBrowser(const QString &folder)
{
  Desktop().OpenUrl(QUrl::fromLocalFile(folder));
}
