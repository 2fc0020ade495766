#include "crypto/md5.h"

#include <QCryptographicHash>
#include <cstring>

Md5Digest Md5(QByteArrayView data)
{
  const QByteArray hash = QCryptographicHash::hash(data, QCryptographicHash::Md5);
  Md5Digest digest{};
  std::memcpy(digest.data(), hash.constData(), digest.size());
  return digest;
}
