#include "download/downloadfolder.h"

#include <QDesktopServices>
#include <QUrl>

namespace {
std::function<void(const QString &)> &Hook()
{
  static std::function<void(const QString &)> hook;
  return hook;
}
}  // namespace

void OpenFolderInFileBrowser(const QString &folder)
{
  if (Hook()) {
    Hook()(folder);
    return;
  }
  QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void SetOpenFolderHook(std::function<void(const QString &folder)> hook)
{
  Hook() = std::move(hook);
}
