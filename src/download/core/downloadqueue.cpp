#include "download/core/downloadqueue.h"

#include "base/globals.h"
#include "player/core/ksvplay.h"

#include <cmath>

QString DownloadProgressText(std::int32_t percent, std::int32_t totalBytes)
{
  const double total = static_cast<double>(totalBytes);
  const double done = std::round(total * static_cast<double>(percent) / 100.0);
  return QStringLiteral("共") + FormatThousands(total) + QStringLiteral("字节,已下载") +
         FormatThousands(done) + QStringLiteral("字节");
}

QString CompletedDownloadHint(const QString &hint)
{
  const QString mark = QStringLiteral("已下载");
  const qsizetype at = hint.indexOf(mark);
  if (at < 0)
    return hint;
  return hint.left(at) + QStringLiteral("已下载完成");
}

std::optional<std::int32_t> TaskNumberOf(const QString &localAddress)
{
  const QString mark = QStringLiteral("P2P/");
  const qsizetype at = localAddress.indexOf(mark);
  if (at < 0)
    return std::nullopt;
  const qsizetype from = at + mark.size();
  const qsizetype length = localAddress.size() - 4 - from;
  if (length <= 0)
    return std::nullopt;
  const QString digits = localAddress.mid(from, length);
  bool ok = false;
  const qlonglong value = digits.toLongLong(&ok);
  if (!ok)
    return std::nullopt;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<qulonglong>(value)));
}

QString DownloadTargetOf(const QString &fileName)
{
  if (!IsSafeFileName(fileName))
    return QString();
  return DownloadDir + fileName;
}

QString CacheFileOf(const QString &id, const QString &fileName)
{
  if (!IsContentId(id))
    return QString();
  const qsizetype dot = fileName.lastIndexOf(u'.');
  const QString extension = dot < 0 ? QString() : fileName.mid(dot);
  return CacheDir + id + extension;
}

QString FetchedRowStatus(int percent, const TTransferResult &worker, std::int64_t engineTotal)
{
  if (percent < 100)
    return StatusIncomplete;
  if (!worker.complete)
    return StatusFailed;
  if (worker.announcedSize >= 0 && worker.bytesWritten != worker.announcedSize)
    return StatusFailed;
  // The engine's total is exact below its 2^31-1 limit.
  if (engineTotal > 0 && engineTotal < 2147483647ll && worker.bytesWritten != engineTotal)
    return StatusFailed;
  return StatusDone;
}

int TDownloadQueue::add(const QString &fileName, const QString &id, const QString &address)
{
  if (!IsSafeFileName(fileName))
    throw DownloadRequestError("the file name is not a single file name");
  if (!IsContentId(id))
    throw DownloadRequestError("the id is not a content id");
  if (address.trimmed().isEmpty())
    throw DownloadRequestError("the address is empty");
  rows.append(TDownloadRow{fileName, QString(), id, address});
  return static_cast<int>(rows.size()) - 1;
}

TDownloadQueue::Step TDownloadQueue::nextStep() const
{
  if (DownloadPos >= rows.size())
    return Step::Finish;
  if (!rows[DownloadPos].status.isEmpty())
    return Step::Wait;
  return Step::Start;
}

TDownloadRow *TDownloadQueue::current()
{
  if (DownloadPos < 0 || DownloadPos >= rows.size())
    return nullptr;
  return &rows[DownloadPos];
}

void TDownloadQueue::finishCurrent(const QString &status)
{
  if (TDownloadRow *row = current())
    row->status = status;
  ++DownloadPos;
  m_fetching = false;
  m_task = 0;
  m_percent.reset();
  m_worker.reset();
  m_engineTotal = 0;
}

void TDownloadQueue::fetchStarted(std::int32_t taskNumber)
{
  m_fetching = true;
  m_task = taskNumber;
  m_percent.reset();
  m_worker.reset();
  m_engineTotal = 0;
  WorkerIdle = false;
}

QString TDownloadQueue::taskEnded(int percent, std::int64_t engineTotal)
{
  if (!m_fetching || m_percent)
    return QString();
  m_percent = percent;
  m_engineTotal = engineTotal;
  return settle();
}

QString TDownloadQueue::workerEnded(const TTransferResult &result)
{
  WorkerIdle = true;
  if (!m_fetching || m_worker)
    return QString();
  m_worker = result;
  return settle();
}

QString TDownloadQueue::settle()
{
  if (!m_percent || !m_worker)
    return QString();
  const QString status = FetchedRowStatus(*m_percent, *m_worker, m_engineTotal);
  m_lastPercent = *m_percent;
  finishCurrent(status);
  return status;
}
