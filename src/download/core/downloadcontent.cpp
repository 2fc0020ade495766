#include "download/core/downloadcontent.h"

#include "net/enginelibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <curl/curl.h>

namespace {

struct Sink {
  QFile *file;
  const std::atomic<bool> *stop;
  qint64 written = 0;
  bool writeFailed = false;
};

size_t WriteBody(char *data, size_t size, size_t count, void *user)
{
  auto *sink = static_cast<Sink *>(user);
  const size_t bytes = size * count;
  if (sink->stop->load())
    return 0;
  if (sink->file->write(data, static_cast<qint64>(bytes)) != static_cast<qint64>(bytes)) {
    sink->writeFailed = true;
    return 0;
  }
  sink->written += static_cast<qint64>(bytes);
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

  Sink sink{&file, &m_stop};
  CURL *curl = curl_easy_init();
  if (!curl) {
    discard();
    result.error = QStringLiteral("no HTTP client");
    m_result = result;
    return;
  }
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
  curl_off_t announced = -1;
  curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_cleanup(curl);

  result.bytesWritten = sink.written;
  result.announcedSize = announced >= 0 ? static_cast<qint64>(announced) : -1;
  if (m_stop.load()) {
    result.error = QStringLiteral("stopped");
  } else if (sink.writeFailed) {
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
