#include "transfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>

namespace kestrova::engine {

TransferSettings TransferSettings::FromEnvironment()
{
  TransferSettings s;
  s.backoff = std::chrono::milliseconds(EnvLong("KESTROVA_ENGINE_RETRY_MS", 1000, 0, 60000));
  s.retries = static_cast<int>(EnvLong("KESTROVA_ENGINE_RETRIES", 3, 0, 20));
  s.stallSeconds = EnvLong("KESTROVA_ENGINE_STALL_SEC", 30, 1, 3600);
  return s;
}

void Progress::update(std::int64_t receivedBytes, std::int64_t totalBytes)
{
  received.store(receivedBytes, std::memory_order_relaxed);
  if (totalBytes > 0)
    total.store(totalBytes, std::memory_order_relaxed);
  std::int64_t t = total.load(std::memory_order_relaxed);
  if (t <= 0)
    return;
  // 100 is kept for "complete and in place"; a running task shows 99 at most.
  auto p = static_cast<std::int32_t>(std::min<std::int64_t>(99, receivedBytes * 100 / t));
  std::int32_t old = percent.load(std::memory_order_relaxed);
  while (p > old && !percent.compare_exchange_weak(old, p, std::memory_order_relaxed)) {
  }
}

void Progress::complete()
{
  std::int64_t r = received.load(std::memory_order_relaxed);
  if (total.load(std::memory_order_relaxed) <= 0)
    total.store(r, std::memory_order_relaxed);
  percent.store(100, std::memory_order_relaxed);
}

void EnsureCurlReady()
{
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void SetCommonOptions(void *handle, const char *url, long connectSeconds)
{
  CURL *easy = handle;
  curl_easy_setopt(easy, CURLOPT_URL, url);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, connectSeconds);
  curl_easy_setopt(easy, CURLOPT_USERAGENT, "kestrova-engine/1.0");
}

bool IsFetchableUrl(const char *url)
{
  if (url == nullptr || *url == '\0')
    return false;
  EnsureCurlReady();
  CURLU *h = curl_url();
  if (h == nullptr)
    return false;
  bool ok = false;
  if (curl_url_set(h, CURLUPART_URL, url, 0) == CURLUE_OK) {
    char *scheme = nullptr;
    char *host = nullptr;
    if (curl_url_get(h, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        curl_url_get(h, CURLUPART_HOST, &host, 0) == CURLUE_OK) {
      ok = (std::strcmp(scheme, "http") == 0 || std::strcmp(scheme, "https") == 0) &&
           host[0] != '\0';
    }
    curl_free(scheme);
    curl_free(host);
  }
  curl_url_cleanup(h);
  return ok;
}

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
  if (text.size() < prefix.size())
    return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  }
  return true;
}

std::string Trimmed(std::string_view v)
{
  while (!v.empty() && std::isspace(static_cast<unsigned char>(v.front())))
    v.remove_prefix(1);
  while (!v.empty() && std::isspace(static_cast<unsigned char>(v.back())))
    v.remove_suffix(1);
  return std::string(v);
}

bool ParseInt64(std::string_view v, std::int64_t &out)
{
  if (v.empty())
    return false;
  std::int64_t value = 0;
  for (char c : v) {
    if (c < '0' || c > '9')
      return false;
    if (value > (INT64_MAX - (c - '0')) / 10)
      return false;
    value = value * 10 + (c - '0');
  }
  out = value;
  return true;
}

// "bytes 100-199/1000" -> first = 100, total = 1000 ("*" gives 0).
bool ParseContentRange(const std::string &header, std::int64_t &first, std::int64_t &total)
{
  std::string_view v = header;
  if (!StartsWithNoCase(v, "bytes "))
    return false;
  v.remove_prefix(6);
  auto dash = v.find('-');
  auto slash = v.find('/');
  if (dash == std::string_view::npos || slash == std::string_view::npos || dash > slash)
    return false;
  std::int64_t last = 0;
  if (!ParseInt64(v.substr(0, dash), first) ||
      !ParseInt64(v.substr(dash + 1, slash - dash - 1), last) || last < first)
    return false;
  std::string_view t = v.substr(slash + 1);
  if (t == "*") {
    total = 0;
    return true;
  }
  return ParseInt64(t, total) && total > last;
}

// State of one transfer across its attempts, and of the attempt running.
struct Run {
  Run(Sink &s, Progress &p, const CancelToken &c, CURL *e)
      : sink(s), progress(p), cancel(c), easy(e)
  {
  }

  Sink &sink;
  Progress &progress;
  const CancelToken &cancel;
  CURL *easy = nullptr;

  std::int64_t have = 0;        // bytes the sink holds
  std::int64_t knownTotal = 0;  // full size once a response told it
  bool begun = false;           // sink.begin() called
  std::string validator;        // strong ETag or Last-Modified, for If-Range

  // Per attempt.
  bool decided = false;
  std::int64_t skip = 0;  // bytes of this response the sink already holds
  long status = 0;
  bool badStatus = false;
  bool mismatch = false;  // the response does not continue what we hold
  bool sinkFailed = false;
  std::string failure;
  std::string contentRange, etag, lastModified;

  void resetAttempt()
  {
    decided = false;
    skip = 0;
    status = 0;
    badStatus = mismatch = sinkFailed = false;
    failure.clear();
    contentRange.clear();
    etag.clear();
    lastModified.clear();
  }

  bool dropHeld()
  {
    if (have == 0)
      return true;
    if (!sink.rewind())
      return false;
    have = 0;
    progress.update(0, 0);
    return true;
  }

  // Called at the first body byte of the final response (or after it when
  // the body is empty).  False: do not take this body.
  bool decide()
  {
    decided = true;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status >= 300) {
      badStatus = true;
      return false;
    }
    std::int64_t total = 0;
    if (status == 206) {
      std::int64_t first = 0;
      if (!ParseContentRange(contentRange, first, total) || first > have ||
          (knownTotal > 0 && total > 0 && total != knownTotal)) {
        mismatch = true;
        return false;
      }
      skip = have - first;
    } else {
      if (have > 0 && !dropHeld())
        skip = have;  // a stream cannot take back what it sent
      curl_off_t length = -1;
      curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
      total = length >= 0 ? static_cast<std::int64_t>(length) : 0;
      if (skip > 0 && knownTotal > 0 && total > 0 && total != knownTotal) {
        failure = "the content changed while it was being passed on";
        sinkFailed = true;
        return false;
      }
    }
    if (total > 0)
      knownTotal = total;
    if (!etag.empty() && !StartsWithNoCase(etag, "W/"))
      validator = etag;
    else if (!lastModified.empty())
      validator = lastModified;
    if (!begun) {
      begun = true;
      if (!sink.begin(knownTotal)) {
        sinkFailed = true;
        failure = sink.error();
        return false;
      }
    }
    progress.update(have, knownTotal);
    return true;
  }

  std::size_t onBody(const char *data, std::size_t len)
  {
    if (!decided && !decide())
      return 0;
    std::size_t taken = len;
    if (skip > 0) {
      auto drop =
          static_cast<std::size_t>(std::min<std::int64_t>(skip, static_cast<std::int64_t>(len)));
      skip -= static_cast<std::int64_t>(drop);
      data += drop;
      len -= drop;
    }
    if (len > 0) {
      if (!sink.write(data, len)) {
        sinkFailed = true;
        failure = sink.error();
        return 0;
      }
      have += static_cast<std::int64_t>(len);
      progress.update(have, knownTotal);
    }
    return taken;
  }

  void onHeader(std::string_view line)
  {
    if (StartsWithNoCase(line, "HTTP/")) {  // a new response (redirect, 100, final)
      contentRange.clear();
      etag.clear();
      lastModified.clear();
    } else if (StartsWithNoCase(line, "Content-Range:")) {
      contentRange = Trimmed(line.substr(14));
    } else if (StartsWithNoCase(line, "ETag:")) {
      etag = Trimmed(line.substr(5));
    } else if (StartsWithNoCase(line, "Last-Modified:")) {
      lastModified = Trimmed(line.substr(14));
    }
  }
};

std::size_t WriteCallback(char *data, std::size_t size, std::size_t count, void *user)
{
  return static_cast<Run *>(user)->onBody(data, size * count);
}

std::size_t HeaderCallback(char *data, std::size_t size, std::size_t count, void *user)
{
  static_cast<Run *>(user)->onHeader(std::string_view(data, size * count));
  return size * count;
}

int ProgressCallback(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
  return static_cast<Run *>(user)->cancel.cancelled() ? 1 : 0;
}

bool IsTransientCurlError(CURLcode code)
{
  switch (code) {
  case CURLE_COULDNT_RESOLVE_HOST:
  case CURLE_COULDNT_RESOLVE_PROXY:
  case CURLE_COULDNT_CONNECT:
  case CURLE_OPERATION_TIMEDOUT:
  case CURLE_PARTIAL_FILE:
  case CURLE_RECV_ERROR:
  case CURLE_SEND_ERROR:
  case CURLE_GOT_NOTHING:
  case CURLE_HTTP2:
  case CURLE_HTTP2_STREAM:
  case CURLE_SSL_CONNECT_ERROR:
  case CURLE_HTTP3:
  case CURLE_QUIC_CONNECT_ERROR:
    return true;
  default:
    return false;
  }
}

bool IsTransientStatus(long status) { return status >= 500 || status == 408 || status == 429; }

}  // namespace

TransferReport RunTransfer(const std::string &url, Sink &sink, Progress &progress,
                           const CancelToken &cancel, const TransferSettings &settings)
{
  EnsureCurlReady();
  TransferReport report;
  CURL *easy = curl_easy_init();
  if (easy == nullptr) {
    report.error = "out of memory";
    return report;
  }
  Run run(sink, progress, cancel, easy);
  char errorText[CURL_ERROR_SIZE];
  int failuresInRow = 0;
  constexpr int kMaxAttempts = 100;  // a server that always cuts after a few bytes ends some day

  for (int attempt = 1;; ++attempt) {
    if (cancel.cancelled()) {
      report.result = TransferResult::Cancelled;
      break;
    }
    run.resetAttempt();
    errorText[0] = '\0';
    curl_easy_reset(easy);
    SetCommonOptions(easy, url.c_str(), settings.connectSeconds);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, TransferSettings::kStallBytesPerSecond);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, settings.stallSeconds);
    // A large receive buffer: each read takes what the socket holds, and
    // the file gets fewer, larger writes (some 5-10 % more throughput on a
    // fast link than 256 KiB).  A library older than 7.88 caps the size at
    // 512 KiB and refuses more.
    if (curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 1024L * 1024L) != CURLE_OK)
      curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 512L * 1024L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, WriteCallback);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &run);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, HeaderCallback);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &run);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, ProgressCallback);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &run);
    std::string range;
    curl_slist *headers = nullptr;
    if (run.have > 0) {
      range = std::to_string(run.have) + "-";
      curl_easy_setopt(easy, CURLOPT_RANGE, range.c_str());
      if (!run.validator.empty()) {
        // The server sends the whole body instead when the content changed.
        std::string ifRange = "If-Range: " + run.validator;
        headers = curl_slist_append(headers, ifRange.c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
      }
    }

    const std::int64_t heldBefore = run.have;
    CURLcode code = curl_easy_perform(easy);
    curl_slist_free_all(headers);
    if (code == CURLE_OK && !run.decided)
      run.decide();  // empty body: no write callback ran
    report.httpStatus = run.status;

    if (cancel.cancelled()) {
      report.result = TransferResult::Cancelled;
      break;
    }
    if (run.sinkFailed) {
      report.error = run.failure.empty() ? "the data could not be stored" : run.failure;
      break;
    }
    bool transient = false;
    if (run.badStatus) {
      if (run.status == 416 && run.have > 0 && run.knownTotal == run.have) {
        report.result = TransferResult::Complete;  // we already hold all of it
        break;
      }
      if (run.status == 416 && run.have > 0 && run.dropHeld()) {
        transient = true;  // our range is of no use; start over
      } else if (IsTransientStatus(run.status)) {
        transient = true;
      } else {
        report.error = "the server answered HTTP " + std::to_string(run.status);
        break;
      }
    } else if (run.mismatch) {
      if (!run.dropHeld()) {
        report.error = "the server could not continue the interrupted transfer";
        break;
      }
      transient = true;
    } else if (code == CURLE_OK) {
      if (run.knownTotal > 0 && run.have < run.knownTotal) {
        transient = true;  // the server ended early without saying so
      } else {
        report.result = TransferResult::Complete;
        break;
      }
    } else if (IsTransientCurlError(code)) {
      transient = true;
    } else {
      report.error = errorText[0] != '\0' ? errorText : curl_easy_strerror(code);
      break;
    }

    if (!transient)
      break;
    // New bytes make a broken connection worth resuming again; a stall
    // counts as a failure even so, or a trickling server would never end.
    const bool progressed = run.have > heldBefore && code != CURLE_OPERATION_TIMEDOUT;
    failuresInRow = progressed ? 1 : failuresInRow + 1;
    if (failuresInRow > settings.retries || attempt >= kMaxAttempts) {
      report.error = run.badStatus ? "the server answered HTTP " + std::to_string(run.status)
                                   : (errorText[0] != '\0' ? std::string(errorText)
                                                           : curl_easy_strerror(code));
      break;
    }
    auto pause = settings.backoff * (1 << std::min(failuresInRow - 1, 4));
    if (!cancel.waitFor(pause)) {
      report.result = TransferResult::Cancelled;
      break;
    }
  }
  curl_easy_cleanup(easy);
  if (report.result == TransferResult::Complete)
    progress.update(run.have, run.knownTotal);
  return report;
}

}  // namespace kestrova::engine
