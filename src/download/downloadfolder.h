#pragma once
// Showing a folder in the desktop's file browser (its default handler for
// folders).  Tests put a recorder in its place.
#include <QString>
#include <functional>

void OpenFolderInFileBrowser(const QString &folder);

// While set, OpenFolderInFileBrowser calls the hook instead of the desktop;
// an empty function restores the desktop.  Only for tests.
void SetOpenFolderHook(std::function<void(const QString &folder)> hook);
