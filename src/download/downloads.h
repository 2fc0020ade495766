#pragma once
// The one way to queue a download: the download window opens, or gains a
// row, and its queue takes over.  The download area provides it; the portal
// browser's download command and the play page's download button use it.
// A failure to queue throws (std::exception); the caller shows its message.
#include <QString>

class IDownloads {
public:
  virtual ~IDownloads() = default;
  // `fileName` is a single file name with its extension (blanks, not "%20"),
  // `id` the content id, `address` the server address of the file.
  virtual void AddDownloadRow(const QString &fileName, const QString &id,
                              const QString &address) = 0;
};
