#include "net/http.h"

#include <atomic>
#include <curl/curl.h>
#include <mutex>

namespace {

std::atomic<long long> connectMs{5000};
std::atomic<long long> totalMs{15000};

void InitCurlOnce()
{
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer {
  const HttpRequest *request = nullptr;
  QByteArray body;
  bool tooLarge = false;
};

size_t OnBody(char *data, size_t size, size_t count, void *user)
{
  auto *t = static_cast<Transfer *>(user);
  const size_t n = size * count;
  if (t->request->headersOnly)
    return 0;  // ends the transfer; the status is already known
  if (t->body.size() + static_cast<qint64>(n) > t->request->maxBodyBytes) {
    t->tooLarge = true;
    return 0;
  }
  t->body.append(data, static_cast<qsizetype>(n));
  return n;
}

}  // namespace

HttpTimeouts DefaultHttpTimeouts()
{
  return HttpTimeouts{std::chrono::milliseconds(connectMs.load()),
                      std::chrono::milliseconds(totalMs.load())};
}

void SetDefaultHttpTimeouts(const HttpTimeouts &timeouts)
{
  connectMs = timeouts.connect.count();
  totalMs = timeouts.total.count();
}

HttpResponse HttpPerform(const HttpRequest &request)
{
  HttpResponse response;
  InitCurlOnce();
  CURL *curl = curl_easy_init();
  if (!curl) {
    response.error = QStringLiteral("cannot start an HTTP request");
    return response;
  }
  const HttpTimeouts timeouts = request.timeouts.value_or(DefaultHttpTimeouts());
  const QByteArray url = request.url.trimmed().toUtf8();
  Transfer transfer;
  transfer.request = &request;
  char errorText[CURL_ERROR_SIZE] = {};

  curl_easy_setopt(curl, CURLOPT_URL, url.constData());
  curl_easy_setopt(curl, CURLOPT_DEFAULT_PROTOCOL, "http");
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.connect.count()));
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(timeouts.total.count()));
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
  if (!request.userAgent.isEmpty())
    curl_easy_setopt(curl, CURLOPT_USERAGENT, request.userAgent.constData());

  switch (request.method) {
  case HttpRequest::Method::Get:
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    break;
  case HttpRequest::Method::Head:
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    break;
  case HttpRequest::Method::Post:
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.constData());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(request.body.size()));
    break;
  }

  curl_slist *headers = nullptr;
  for (const auto &[name, value] : request.headers) {
    // A header may not carry a line break into the request.
    if (name.contains('\n') || name.contains('\r') || value.contains('\n') || value.contains('\r'))
      continue;
    const QByteArray line = value.isEmpty() ? name + ';' : name + ": " + value;
    headers = curl_slist_append(headers, line.constData());
  }
  if (headers)
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);

  const CURLcode code = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  char *contentType = nullptr;
  curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &contentType);

  response.status = status;
  if (contentType)
    response.contentType = contentType;
  if (code == CURLE_OK || (code == CURLE_WRITE_ERROR && request.headersOnly && status > 0)) {
    response.completed = status > 0;
    response.body = std::move(transfer.body);
  } else if (transfer.tooLarge) {
    response.error = QStringLiteral("answer larger than %1 bytes").arg(request.maxBodyBytes);
  } else {
    response.error = QString::fromUtf8(errorText[0] ? errorText : curl_easy_strerror(code));
  }
  if (!response.completed && response.error.isEmpty())
    response.error = QStringLiteral("no HTTP answer");

  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return response;
}

HttpResponse HttpGet(const QString &url, const QList<QPair<QByteArray, QByteArray>> &headers)
{
  HttpRequest request;
  request.url = url;
  request.headers = headers;
  return HttpPerform(request);
}

HttpResponse HttpPost(const QString &url, const QByteArray &body,
                      const QList<QPair<QByteArray, QByteArray>> &headers)
{
  HttpRequest request;
  request.method = HttpRequest::Method::Post;
  request.url = url;
  request.body = body;
  request.headers = headers;
  return HttpPerform(request);
}
