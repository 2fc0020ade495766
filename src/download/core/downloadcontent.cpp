#include "download/core/downloadcontent.h"

#include "net/enginelibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTimer>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <curl/curl.h>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// libcurl hands the body over in pieces of 16 KiB.  They are gathered into
// blocks of 1 MiB, and a thread of the sink's own writes each block to the
// file while the next one is received.  At most kBlocks blocks exist; the
// receiving side waits for a free one.
class Sink {
public:
  static constexpr qsizetype kWriteSize = 1024 * 1024;
  static constexpr int kBlocks = 3;

  Sink(QFile *file, const std::atomic<bool> *stop) : m_file(file), stop(stop)
  {
    m_current.reserve(kWriteSize);
    for (int i = 1; i < kBlocks; ++i) {
      m_free.emplace_back();
      m_free.back().reserve(kWriteSize);
    }
    m_thread = std::thread([this] { writeBlocks(); });
  }
  ~Sink() { finish(false); }

  // False once a write failed: the transfer ends.
  bool append(const char *data, qsizetype len)
  {
    while (len > 0) {
      if (m_current.size() == kWriteSize && !handOver())
        return false;
      const qsizetype n = std::min(len, kWriteSize - m_current.size());
      m_current.append(data, n);
      data += n;
      len -= n;
    }
    return true;
  }

  // Writes what is left when `writeRest`, otherwise drops it, and waits for
  // the thread.  False when a write failed.
  bool finish(bool writeRest)
  {
    if (!m_thread.joinable())
      return !writeFailed();
    if (writeRest && !m_current.isEmpty())
      handOver();
    {
      std::lock_guard lock(m_mx);
      m_ended = true;
      if (!writeRest)
        m_full.clear();
    }
    m_cv.notify_all();
    m_thread.join();
    return !writeFailed();
  }

  bool writeFailed() const
  {
    std::lock_guard lock(m_mx);
    return m_failed;
  }
  // Bytes the file holds; exact once finish() returned.
  qint64 written() const
  {
    std::lock_guard lock(m_mx);
    return m_written;
  }

private:
  bool handOver()
  {
    std::unique_lock lock(m_mx);
    m_cv.wait(lock, [&] { return m_failed || !m_free.empty(); });
    if (m_failed)
      return false;
    m_full.push_back(std::move(m_current));
    m_current = std::move(m_free.back());
    m_free.pop_back();
    lock.unlock();
    m_cv.notify_all();
    return true;
  }

  void writeBlocks()
  {
    std::unique_lock lock(m_mx);
    for (;;) {
      m_cv.wait(lock, [&] { return m_ended || !m_full.empty(); });
      if (m_full.empty())
        return;  // ended
      QByteArray block = std::move(m_full.front());
      m_full.pop_front();
      lock.unlock();
      const bool ok = m_file->write(block.constData(), block.size()) == block.size();
      lock.lock();
      if (!ok) {
        m_failed = true;
        m_full.clear();
      } else {
        m_written += block.size();
      }
      block.resize(0);  // keeps the memory
      m_free.push_back(std::move(block));
      m_cv.notify_all();
    }
  }

  QFile *m_file;
  QByteArray m_current;  // being filled by the receiving side

  mutable std::mutex m_mx;
  std::condition_variable m_cv;
  std::deque<QByteArray> m_full;   // for the thread to write, in order
  std::vector<QByteArray> m_free;  // written, to be filled again
  qint64 m_written = 0;
  bool m_failed = false;
  bool m_ended = false;
  std::thread m_thread;

public:
  const std::atomic<bool> *stop;
};

size_t WriteBody(char *data, size_t size, size_t count, void *user)
{
  auto *sink = static_cast<Sink *>(user);
  const size_t bytes = size * count;
  if (sink->stop->load() || !sink->append(data, static_cast<qsizetype>(bytes)))
    return 0;
  return bytes;
}

int CheckStop(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
  return static_cast<Sink *>(user)->stop->load() ? 1 : 0;
}

}  // namespace

TDownloadContent::TDownloadContent(IEngine *engine, const QString &localAddress,
                                   const QString &targetPath, std::int32_t taskNumber,
                                   QObject *parent)
    : QThread(parent), m_engine(engine), m_address(localAddress), m_target(targetPath),
      m_task(taskNumber)
{
  progressTimer = new QTimer(this);
  progressTimer->setInterval(ProgressIntervalMs);
  connect(progressTimer, &QTimer::timeout, this, &TDownloadContent::ProgressTimerTimer);
  connect(this, &QThread::finished, this, &TDownloadContent::onThreadFinished);
}

TDownloadContent::~TDownloadContent()
{
  requestStop();
  wait();
}

void TDownloadContent::begin()
{
  progressTimer->start();
  start();
}

void TDownloadContent::ProgressTimerTimer()
{
  if (!m_engine)
    return;
  std::int32_t percent = 0, spare = 0, total = 0;
  if (!m_engine->GetProgInfo(m_task, &percent, &spare, &total))
    return;
  Q_EMIT progress(percent, DownloadProgressText(percent, total));
}

void TDownloadContent::onThreadFinished()
{
  progressTimer->stop();
  Q_EMIT transferEnded(m_result);
}

void TDownloadContent::run()
{
  TTransferResult result;
  const QFileInfo target(m_target);
  if (m_target.isEmpty() || !QDir().mkpath(target.absolutePath())) {
    result.error = QStringLiteral("the target folder cannot be made");
    m_result = result;
    return;
  }
  // The body goes to "<target>.<8 hex>.part" beside the target; the rename
  // onto the target replaces it in one step.
  QFile file;
  for (int attempt = 0; attempt < 8 && !file.isOpen(); ++attempt) {
    file.setFileName(
        m_target +
        QStringLiteral(".%1.part").arg(QRandomGenerator::global()->generate(), 8, 16, QChar(u'0')));
    file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered);
  }
  if (!file.isOpen()) {
    result.error = file.errorString();
    m_result = result;
    return;
  }
  const auto discard = [&file] {
    file.close();
    file.remove();
  };

  CURL *curl = curl_easy_init();
  if (!curl) {
    discard();
    result.error = QStringLiteral("no HTTP client");
    m_result = result;
    return;
  }
  Sink sink(&file, &m_stop);
  const QByteArray url = m_address.toUtf8();
  curl_easy_setopt(curl, CURLOPT_URL, url.constData());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, 5000L);
  // No limit on the whole transfer (items can be large), but one that stops
  // moving ends.
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 120L);
  curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, 1024L * 1024L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &WriteBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &CheckStop);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &sink);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  const CURLcode code = curl_easy_perform(curl);
  // The file is the receiving thread's again from here on.
  sink.finish(code == CURLE_OK && !m_stop.load());
  curl_off_t announced = -1;
  curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_cleanup(curl);

  result.bytesWritten = sink.written();
  result.announcedSize = announced >= 0 ? static_cast<qint64>(announced) : -1;
  if (m_stop.load()) {
    result.error = QStringLiteral("stopped");
  } else if (sink.writeFailed()) {
    result.error = file.errorString();
  } else if (code != CURLE_OK) {
    result.error = QString::fromUtf8(curl_easy_strerror(code));
  } else if (status < 200 || status >= 300) {
    result.error = QStringLiteral("HTTP status %1").arg(status);
  } else if (result.announcedSize >= 0 && result.bytesWritten != result.announcedSize) {
    result.error = QStringLiteral("short body");
  }
  if (!result.error.isEmpty()) {
    discard();
    m_result = result;
    return;
  }
  file.close();
  if (file.error() != QFileDevice::NoError) {
    result.error = file.errorString();
    file.remove();
    m_result = result;
    return;
  }
  if (::rename(QFile::encodeName(file.fileName()).constData(),
               QFile::encodeName(m_target).constData()) != 0) {
    result.error = QString::fromLocal8Bit(std::strerror(errno));
    file.remove();
    m_result = result;
    return;
  }
  result.complete = true;
  m_result = result;
}
