#include "download/downloadform.h"

#include "base/globals.h"
#include "base/routines.h"
#include "download/core/downloadcontent.h"
#include "download/downloadfolder.h"
#include "net/enginelibrary.h"
#include "player/core/ksvplay.h"
#include "widgets/dialogs.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

enum Column { ColNumber = 0, ColFile = 1, ColStatus = 2, ColId = 3 };

void PaintLink(QLabel *label, const QColor &colour)
{
  QFont f = label->font();
  f.setBold(false);
  f.setItalic(false);
  f.setUnderline(false);
  label->setFont(f);
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText, colour);
  label->setPalette(pal);
}

}  // namespace

TfrmDownload::TfrmDownload(IEngine *engine, QWidget *owner)
    : TfrmWinTemplate(owner, QSize(380, 300)), m_engine(engine)
{
  setObjectName(QStringLiteral("frmDownload"));
  setCaption(QStringLiteral("下载"));
  setWindowFlag(Qt::WindowStaysOnTopHint, true);

  auto *column = new QVBoxLayout(pnlMain);
  column->setContentsMargins(8, 8, 8, 8);
  column->setSpacing(6);

  lv1 = new QTableWidget(0, 4, pnlMain);
  lv1->setObjectName(QStringLiteral("lv1"));
  lv1->setHorizontalHeaderLabels(
      {QStringLiteral("序号"), QStringLiteral("文件"), QStringLiteral("状态"), QString()});
  lv1->setColumnHidden(ColId, true);
  lv1->horizontalHeader()->setMinimumSectionSize(40);
  lv1->setColumnWidth(ColNumber, 40);
  lv1->setColumnWidth(ColFile, 200);
  lv1->setColumnWidth(ColStatus, 70);
  lv1->verticalHeader()->hide();
  lv1->setShowGrid(true);
  lv1->setSelectionBehavior(QAbstractItemView::SelectRows);
  lv1->setSelectionMode(QAbstractItemView::SingleSelection);
  lv1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  column->addWidget(lv1, 1);

  lblResid = new QLabel(QStringLiteral("0"), pnlMain);
  lblResid->setObjectName(QStringLiteral("lblResid"));
  lblResid->hide();

  LblDownloadHint = new QLabel(DownloadHintDesign, pnlMain);
  LblDownloadHint->setObjectName(QStringLiteral("LblDownloadHint"));
  StyleText(LblDownloadHint);
  column->addWidget(LblDownloadHint);

  pnlPro = new QWidget(pnlMain);
  pnlPro->setObjectName(QStringLiteral("pnlPro"));
  auto *bar = new QVBoxLayout(pnlPro);
  bar->setContentsMargins(0, 0, 0, 0);
  ProgressBar1 = new QProgressBar(pnlPro);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setFixedHeight(16);
  bar->addWidget(ProgressBar1);
  pnlPro->hide();
  column->addWidget(pnlPro);

  lblLocalDir = new QLabel(QStringLiteral("打开文件存放目录"), pnlMain);
  lblLocalDir->setObjectName(QStringLiteral("lblLocalDir"));
  lblLocalDir->setCursor(Qt::PointingHandCursor);
  PaintLink(lblLocalDir, LinkColour());
  lblLocalDir->installEventFilter(this);
  column->addWidget(lblLocalDir, 0, Qt::AlignRight);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(QueueIntervalMs);
  connect(Timer1, &QTimer::timeout, this, &TfrmDownload::Timer1Timer);
  Timer1->start();
}

TfrmDownload::~TfrmDownload()
{
  Timer1->stop();
  stopTransfer();
}

void TfrmDownload::AddRow(const QString &fileName, const QString &id, const QString &address)
{
  const int row = m_queue.add(fileName, id, address);
  lv1->insertRow(row);
  lv1->setItem(row, ColNumber, new QTableWidgetItem(QString::number(row + 1)));
  lv1->setItem(row, ColFile, new QTableWidgetItem(fileName));
  lv1->setItem(row, ColStatus, new QTableWidgetItem(QString()));
  lv1->setItem(row, ColId, new QTableWidgetItem(id));
  Timer1->start();
  show();
  raise();
}

void TfrmDownload::setRowStatus(int row, const QString &status)
{
  if (row < 0 || row >= m_queue.rows.size())
    return;
  m_queue.rows[row].status = status;
  if (QTableWidgetItem *item = lv1->item(row, ColStatus))
    item->setText(status);
}

void TfrmDownload::Timer1Timer()
{
  switch (m_queue.nextStep()) {
  case TDownloadQueue::Step::Wait:
    return;
  case TDownloadQueue::Step::Finish: {
    Timer1->stop();
    if (m_queue.rows.isEmpty())
      return;
    ProgressBar1->setValue(0);
    pnlPro->hide();
    if (AskYesNo(AllDownloadsDoneQuestion, this))
      OpenFolderInFileBrowser(DownloadDir);
    close();
    return;
  }
  case TDownloadQueue::Step::Start:
    break;
  }

  const int row = m_queue.DownloadPos;
  const TDownloadRow r = m_queue.rows[row];
  setRowStatus(row, StatusDownloading);
  const QString target = DownloadTargetOf(r.fileName);
  LblDownloadHint->clear();
  LblDownloadHint->show();
  lblResid->setText(r.id);
  const QString cached = CacheFileOf(r.id, r.fileName);
  if (target.isEmpty()) {
    m_queue.finishCurrent(StatusFailed);
    setRowStatus(row, StatusFailed);
    return;
  }
  if (!cached.isEmpty() && QFileInfo(cached).isFile()) {
    const bool copied = CopyFileCreatingFolder(cached, target);
    m_queue.finishCurrent(copied ? StatusDone : StatusFailed);
    setRowStatus(row, copied ? StatusDone : StatusFailed);
    return;
  }
  pnlPro->show();
  if (!StartDownloadRow(r.address, target, r.id)) {
    // A row that cannot start is failed; the queue goes on with the next.
    m_queue.finishCurrent(StatusFailed);
    setRowStatus(row, StatusFailed);
  }
}

bool TfrmDownload::StartDownloadRow(const QString &address, const QString &target,
                                    const QString &id)
{
  if (!m_engine || m_worker)
    return false;
  char buffer[IEngine::kAddressBufferSize] = {};
  m_engine->SetProgramInfo(address, ContentIdValue(id), 2, 2, buffer);
  buffer[IEngine::kAddressBufferSize - 1] = '\0';
  const QString local = QString::fromUtf8(buffer).trimmed();
  const std::optional<std::int32_t> task = TaskNumberOf(local);
  if (!task)
    return false;

  m_target = target;
  m_lastResult = TTransferResult{};
  m_queue.fetchStarted(*task);
  const quint64 serial = ++m_fetchSerial;
  auto *worker = new TDownloadContent(m_engine, local, target, *task);
  m_worker = worker;
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  connect(worker, &TDownloadContent::progress, this, [this](int percent, const QString &text) {
    ProgressBar1->setValue(percent);
    LblDownloadHint->setText(text);
    ProgressBar1->repaint();
  });
  connect(worker, &TDownloadContent::transferEnded, this,
          [this, serial](const TTransferResult &result) {
            if (serial == m_fetchSerial)
              workerEnded(result);
          });
  worker->begin();
  return true;
}

void TfrmDownload::workerEnded(const TTransferResult &result)
{
  if (m_worker) {
    m_worker->deleteLater();
    m_worker = nullptr;
  }
  m_lastResult = result;
  const int row = m_queue.DownloadPos;
  const std::int32_t task = m_queue.taskNumber();
  const QString status = m_queue.workerEnded(result);
  if (!status.isEmpty()) {
    rowEnded(row, status, m_queue.lastPercent());
    return;
  }
  if (!m_queue.fetching())
    return;
  // The engine's report is still to come.  A worker that failed stopped
  // reading; stopping the task makes the engine report at once.
  if (!result.complete && m_engine)
    m_engine->StopDownload(task);
  const quint64 serial = m_fetchSerial;
  QTimer::singleShot(ReportWaitMs, this, [this, serial] {
    if (serial == m_fetchSerial && m_queue.fetching() && !m_queue.hasReport()) {
      const int waiting = m_queue.DownloadPos;
      if (onTaskAbandoned)
        onTaskAbandoned(ContentIdValue(lblResid->text().trimmed()));
      const QString status = m_queue.taskEnded(0, 0);
      if (!status.isEmpty())
        rowEnded(waiting, status, 0);
    }
  });
}

bool TfrmDownload::ownsTaskEnd(int id) const
{
  return m_queue.fetching() && !m_queue.hasReport() &&
         lblResid->text().trimmed() == QString::number(id);
}

void TfrmDownload::TaskEndCallback(int id, int percent)
{
  if (!ownsTaskEnd(id))
    return;
  const int row = m_queue.DownloadPos;
  std::int32_t done = 0, spare = 0, total = 0;
  if (!m_engine || !m_engine->GetProgInfo(m_queue.taskNumber(), &done, &spare, &total))
    total = 0;
  const QString status = m_queue.taskEnded(percent, total);
  if (!status.isEmpty())
    rowEnded(row, status, percent);
}

void TfrmDownload::rowEnded(int row, const QString &status, int percent)
{
  ++m_fetchSerial;
  setRowStatus(row, status);
  if (status == StatusDone) {
    ProgressBar1->setValue(100);
    LblDownloadHint->setText(CompletedDownloadHint(LblDownloadHint->text()));
  } else {
    ProgressBar1->setValue(qBound(0, percent, 100));
    // A file the worker finished but that is not what the engine served is
    // not kept.
    if (status == StatusFailed && m_lastResult.complete)
      QFile::remove(m_target);
  }
  m_target.clear();
}

void TfrmDownload::stopTransfer()
{
  if (!m_worker && !m_queue.fetching())
    return;
  const std::int32_t task = m_queue.taskNumber();
  const bool reported = m_queue.hasReport();
  ++m_fetchSerial;
  if (m_worker) {
    // The worker discards its temporary file when it stops.
    m_worker->requestStop();
    delete m_worker.data();
    m_worker = nullptr;
  }
  if (m_queue.fetching() && !reported) {
    if (onTaskAbandoned)
      onTaskAbandoned(ContentIdValue(lblResid->text().trimmed()));
    if (m_engine)
      m_engine->StopDownload(task);
  }
  m_queue.finishCurrent(StatusIncomplete);
  m_queue.WorkerIdle = true;
}

void TfrmDownload::closeEvent(QCloseEvent *e)
{
  Timer1->stop();
  stopTransfer();
  TfrmWinTemplate::closeEvent(e);
}

bool TfrmDownload::eventFilter(QObject *watched, QEvent *e)
{
  if (watched == lblLocalDir) {
    switch (e->type()) {
    case QEvent::Enter:
      PaintLink(lblLocalDir, LinkHoverColour());
      break;
    case QEvent::Leave:
      PaintLink(lblLocalDir, LinkColour());
      break;
    case QEvent::MouseButtonRelease:
      if (static_cast<QMouseEvent *>(e)->button() == Qt::LeftButton)
        lblLocalDirClick();
      return true;
    default:
      break;
    }
  }
  return TfrmWinTemplate::eventFilter(watched, e);
}

void TfrmDownload::lblLocalDirClick() { OpenFolderInFileBrowser(DownloadDir); }
