#pragma once
// TfrmDownload: the small always-on-top window "下载" that holds the queue of
// downloads.  Rows are handled one at a time, every 2000 ms a step
// (Timer1Timer): an item already in the cache is copied; any other is
// registered with the engine, whose local address the worker reads into the
// download folder.  When every row is handled the user is asked whether to
// open the folder, and the window closes.  Closing it forgets its rows and
// stops a running transfer (no partial file stays).
#include "download/core/downloadcontent.h"
#include "download/core/downloadqueue.h"
#include "widgets/wintemplate.h"

#include <QPointer>
#include <functional>

class QLabel;
class QProgressBar;
class QTableWidget;
class QTimer;
class IEngine;

class TfrmDownload : public TfrmWinTemplate {
  Q_OBJECT
public:
  static constexpr int QueueIntervalMs = 2000;
  // How long a fetch whose worker has ended waits for the engine's report
  // before it counts as ended below 100.
  static constexpr int ReportWaitMs = 60000;

  // The colours of lblLocalDir: under the mouse, and otherwise.
  static QColor LinkHoverColour() { return QColor(0, 0, 255); }
  static QColor LinkColour() { return QColor(35, 136, 208); }

  explicit TfrmDownload(IEngine *engine, QWidget *owner = nullptr);
  ~TfrmDownload() override;  // FormDestroy

  // --- Controls ------------------------------------------------------------
  // Columns "序号", "文件", "状态"; a hidden fourth column holds the id.
  QTableWidget *lv1 = nullptr;
  QLabel *lblResid = nullptr;  // hidden: id of the row being fetched
  QLabel *LblDownloadHint = nullptr;
  QWidget *pnlPro = nullptr;
  QProgressBar *ProgressBar1 = nullptr;
  QLabel *lblLocalDir = nullptr;
  QTimer *Timer1 = nullptr;

  // Adds a waiting row (numbered from 1), starts Timer1 and shows the window.
  // Throws DownloadRequestError for a row that could not be saved.
  void AddRow(const QString &fileName, const QString &id, const QString &address);

  void Timer1Timer();
  // Registers the address with the engine and starts the worker on the
  // local address it gives.  False when either fails.
  bool StartDownloadRow(const QString &address, const QString &target, const QString &id);
  // The engine's report for the task this window fetches.
  void TaskEndCallback(int id, int percent);
  // Whether a task-end report for `id` is this window's: a fetch runs and
  // lblResid holds that id.
  bool ownsTaskEnd(int id) const;
  void lblLocalDirClick();

  const TDownloadQueue &queue() const { return m_queue; }
  TDownloadContent *worker() const { return m_worker; }

  // Called when the window goes while its engine task has not reported its
  // end yet: that report, when it comes, is no longer anyone's.
  std::function<void(int id)> onTaskAbandoned;

protected:
  void closeEvent(QCloseEvent *e) override;  // FormClose
  bool eventFilter(QObject *watched, QEvent *e) override;

private:
  void setRowStatus(int row, const QString &status);
  void workerEnded(const TTransferResult &result);
  void rowEnded(int row, const QString &status, int percent);
  void stopTransfer();

  IEngine *m_engine;
  TDownloadQueue m_queue;
  QPointer<TDownloadContent> m_worker;
  QString m_target;  // target of the running fetch
  TTransferResult m_lastResult;
  quint64 m_fetchSerial = 0;
};
