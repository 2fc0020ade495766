#pragma once
// The text cipher (DES, electronic codebook, with this program's key folding,
// zero padding and upper-case hexadecimal framing) and the MD5 digest text.
// Texts go through as GBK bytes.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>

// The only cipher key of the system, and the two strings whose digests are the
// web service's credentials.
inline constexpr char ContentKey[] = "ZQX@7263$PLAY!BOX";
inline constexpr char ServiceUserKey[] = "MNO#3047*RTVW";
inline constexpr char ServicePasswordKey[] = "HJK@5190(LMN%ST";

using CipherKeyBlock = std::array<std::uint8_t, 8>;

CipherKeyBlock FoldCipherKey(QByteArrayView key);

// Byte level: plain bytes -> upper-case hex, and hex -> plain bytes cut at
// the first zero byte (empty on malformed input).
QByteArray EncipherBytes(QByteArrayView plain, QByteArrayView key);
QByteArray DecipherBytes(QByteArrayView cipherHex, QByteArrayView key);

// Text level: the text and the key as GBK bytes.
QString EncipherText(const QString &text, const QString &key = QString::fromLatin1(ContentKey));
QString DecipherText(const QString &cipherHex,
                     const QString &key = QString::fromLatin1(ContentKey));

// 32 lower-case hex digits of the MD5 digest of the text's GBK bytes.
QString Md5Hex(const QString &text);
