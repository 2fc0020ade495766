#pragma once
// The SOAP 1.1 proxy of the user web service: hand-built document-style
// envelopes over the program's HTTP client.  Every call is one POST to the
// endpoint with SOAPAction "" and User-Agent "Borland SOAP 1.2"; the body
// element is the operation in the service namespace with its parameters
// in0, in1, ... as text; the answer's "out" and the fields of its complex
// types are read by name, whatever their prefixes.  A transport failure, an
// HTTP error, a SOAP fault or an answer that cannot be read throws
// UserServiceError.  Calls are synchronous and bounded by the HTTP client's
// time-outs; callers on the user-interface thread run them in a worker.
#include "service/core/userservice.h"

#include "net/http.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

// The two namespaces of the service's description.
inline constexpr char UserServiceNamespace[] = "http://service.user.kestrova.net";
inline constexpr char UserServiceTypeNamespace[] = "http://model.user.kestrova.net";
inline constexpr char SoapEnvelopeNamespace[] = "http://schemas.xmlsoap.org/soap/envelope/";

// The two credentials sent with every call: Md5Hex of the two service keys.
QString UserCredential();
QString PasswordCredential();

// The request envelope of one operation, parameters in0, in1, ... in order.
QByteArray BuildSoapRequest(const QString &operation, const QStringList &params);

// One field of an answer: the name as sent and its text (nil reads empty).
struct SoapField {
  QString name;
  QString text;
};
// The answer's "out": its text for a simple result, its child elements for a
// complex one.  Throws UserServiceError for a fault, an envelope without a
// body or an "out", or malformed XML.
struct SoapAnswer {
  QString text;
  QList<SoapField> fields;
  QString field(const QString &name) const;
  // Decimal field; empty or absent gives 0, other text throws.
  int intField(const QString &name) const;
};
SoapAnswer ParseSoapAnswer(const QByteArray &body);

class TUserService : public IUserService {
public:
  using Transport = std::function<HttpResponse(const HttpRequest &)>;
  struct Options {
    // Empty: UserServiceUrl as it is at the time of each call.
    QString endpoint;
    // The feedback dialog's proxy sends `text/xml; charset="utf-8"`, the
    // shared one plain "text/xml".
    bool charsetInContentType = false;
    // Unset: HttpPerform.  Tests record requests through it.
    Transport transport;
  };
  TUserService();
  explicit TUserService(Options options);

  KsvUserCurPoint userLogin(const QString &userName, const QString &passwordMd5) override;
  TChnlVersioninfo clientByVersion(const QString &versionText, int serviceNumber) override;
  int saveUserAdvice(int userId, const QString &versionText, const QString &contact,
                     const QString &text) override;
  QString getSearchCntsClz(const QString &words) override;

  // Sends one operation and gives back its parsed answer.
  SoapAnswer Call(const QString &operation, const QStringList &params);

private:
  Options m_options;
};

// The shared proxy of the program (address: UserServiceUrl at each call).
IUserService &SharedUserService();

// The search on the server: getSearchCntsClz of the shared proxy (or the one
// given), its "out" text unchanged; errors pass on to the caller.
QString RemoteSearchPage(const QString &words);
QString RemoteSearchPage(IUserService &service, const QString &words);
