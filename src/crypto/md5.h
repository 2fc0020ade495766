#pragma once
// The MD5 message digest (RFC 1321), from Qt's QCryptographicHash.
#include <QByteArrayView>
#include <array>
#include <cstdint>

using Md5Digest = std::array<std::uint8_t, 16>;

Md5Digest Md5(QByteArrayView data);
