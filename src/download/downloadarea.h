#pragma once
// The download area: the download window (at most one, made on the first
// request and gone when it closes), the play page's download button, and
// the engine's task-end reports of the window's fetches.  It is the
// program's IDownloads.
#include "download/downloads.h"

#include <QHash>
#include <QObject>
#include <QPointer>

class IEngine;
class IMainWindow;
class TContentFetch;
class TPlayerHost;
class TfrmDownload;

class TDownloadArea : public QObject, public IDownloads {
  Q_OBJECT
public:
  // `fetch` dispatches the engine's task-end reports (the window's go to
  // TaskEndCallback here); `host` is the play page with the download
  // button.  Either may be null.
  TDownloadArea(IMainWindow *window, IEngine *engine, TContentFetch *fetch, TPlayerHost *host,
                QObject *parent = nullptr);
  ~TDownloadArea() override;

  // Throws DownloadRequestError (std::exception) when the row could not be
  // saved: a file name that is not a single name in the download folder, an
  // id that is not a content id, an empty address.
  void AddDownloadRow(const QString &fileName, const QString &id, const QString &address) override;

  // The download window, or null.
  TfrmDownload *DownloadForm() const;

  // Whether a task-end report is the download window's (or of a transfer
  // the window gave up); TaskEndCallback takes it then.
  bool belongsToDownloadWindow(int id) const;
  void TaskEndCallback(int id, int percent);

  // Closes the window and stops its transfer; for the program's end, while
  // the engine still runs.
  void Shutdown();

  // How long the report of a given-up task is waited for.
  static constexpr int AbandonedReportMs = 30000;

private:
  IMainWindow *m_window;
  IEngine *m_engine;
  QPointer<TfrmDownload> m_form;
  // Reports still to come for tasks of a closed window: id -> count.
  QHash<int, int> m_abandoned;
};
