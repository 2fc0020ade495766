#pragma once
// Showing a folder in the desktop's file browser (its default handler for
// folders), through the desktop (widgets/desktop.h).
#include <QString>

void OpenFolderInFileBrowser(const QString &folder);
