#pragma once
// The user web service: SOAP 1.1, document style, port type
// UserServicePortType with 27 operations, published as service UserService,
// port UserServiceHttpPort.  Requests carry one element named after the
// operation (service namespace) with parameters in0, in1, …; answers carry
// <operation>Response with one child "out" whose fields are in the type
// namespace.  userLogin, clientByVersion, saveUserAdvice and getSearchCntsClz
// are served; the other operations are described but answer a fault.
#include "model.h"
#include "store.h"

#include <QByteArray>
#include <QString>

namespace portal {

inline constexpr char kServiceNamespace[] = "http://service.user.kestrova.net";
inline constexpr char kTypeNamespace[] = "http://model.user.kestrova.net";
inline constexpr qsizetype kMaxEnvelopeBytes = 64 * 1024;

class UserService {
public:
  // `searchDb` is read by getSearchCntsClz, which writes its result pages
  // into `resourceDir` + "search/" (served under the resource base address).
  UserService(const Model &model, Store &store, QString searchDb, QString resourceDir);

  QByteArray Wsdl(const QString &endpoint) const;

  struct Reply {
    int status = 200;  // 500 with a fault
    QByteArray body;   // the answer envelope
  };
  Reply Handle(const QByteArray &request);

  // The texts the service expects as credentials.
  static QString UserCredential();
  static QString PasswordCredential();

private:
  const Model &model_;
  Store &store_;
  QString searchDb_;
  QString resourceDir_;
};

}  // namespace portal
