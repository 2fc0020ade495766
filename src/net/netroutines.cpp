#include "net/netroutines.h"

#include "base/routines.h"
#include "net/http.h"

bool UrlAnswers(const QString &address)
{
  const QString trimmed = address.trimmed();
  if (trimmed.isEmpty())
    return false;

  HttpRequest first;
  first.url =
      trimmed.contains(QStringLiteral("://")) ? trimmed : QStringLiteral("http://") + trimmed;
  first.userAgent = "InetURL:/1.0";
  first.headers = {{"Cache-Control", "no-cache"}, {"Pragma", "no-cache"}};
  first.headersOnly = true;
  const HttpResponse a = HttpPerform(first);
  if (a.completed && (a.status == 200 || a.status == 302))
    return true;

  HttpRequest second;
  second.method = HttpRequest::Method::Head;
  second.url = trimmed;
  second.userAgent = "Mozilla/3.0 (compatible; Indy Library)";
  second.headers = {{"Accept", "text/html, */*"}, {"Content-Type", "text/html"}};
  const HttpResponse b = HttpPerform(second);
  return b.completed && b.status < 400;
}

bool InstallCatalogFromAddress(const QString &source, const QString &destination,
                               std::int32_t version, QString *error)
{
  const QString lower = source.trimmed().toLower();
  if (!lower.startsWith(QStringLiteral("http://")) && !lower.startsWith(QStringLiteral("https://")))
    return InstallCatalogFile(source, destination, version, error);
  const HttpResponse response = HttpGet(source.trimmed());
  if (!response.completed || response.status != 200) {
    if (error)
      *error = response.completed
                   ? QStringLiteral("%1 answered with status %2").arg(source).arg(response.status)
                   : QStringLiteral("%1: %2").arg(source, response.error);
    return false;
  }
  return InstallCatalogXml(response.body, destination, version, error);
}
