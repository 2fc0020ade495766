#pragma once
// One small blocking HTTP client over libcurl for the whole program: address
// checks, web service calls, catalog fetches.  Every request is bounded in
// time (connect 5 s, whole request 15 s unless the request says otherwise),
// only http and https are spoken, and redirects are followed only on request.
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <chrono>
#include <optional>

struct HttpTimeouts {
  std::chrono::milliseconds connect{5000};
  std::chrono::milliseconds total{15000};
};

// The time-outs a request gets when it sets none of its own.  Tests lower
// them; nothing else should need to.
HttpTimeouts DefaultHttpTimeouts();
void SetDefaultHttpTimeouts(const HttpTimeouts &timeouts);

struct HttpRequest {
  enum class Method { Get, Head, Post };
  Method method = Method::Get;
  QString url;
  QList<QPair<QByteArray, QByteArray>> headers;  // name, value
  QByteArray userAgent;
  QByteArray body;  // sent with Post
  bool followRedirects = false;
  // Stop once the status line and headers are in; the body is not read.
  bool headersOnly = false;
  // Refuse answers larger than this (the request then fails).
  qint64 maxBodyBytes = 64ll * 1024 * 1024;
  // Unset: DefaultHttpTimeouts().
  std::optional<HttpTimeouts> timeouts;
};

struct HttpResponse {
  // True when an HTTP answer arrived, whatever its status.
  bool completed = false;
  long status = 0;
  QByteArray body;
  QByteArray contentType;
  // Why the request did not complete (connection refused, time-out, ...).
  QString error;

  bool ok() const { return completed && status >= 200 && status < 300; }
};

HttpResponse HttpPerform(const HttpRequest &request);

// Shorthands.
HttpResponse HttpGet(const QString &url, const QList<QPair<QByteArray, QByteArray>> &headers = {});
HttpResponse HttpPost(const QString &url, const QByteArray &body,
                      const QList<QPair<QByteArray, QByteArray>> &headers = {});
