#include "crypto/cipher.h"

#include "base/gbk.h"
#include "crypto/des.h"
#include "crypto/md5.h"

namespace {

int HexValue(char c)
{
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

constexpr char kUpperHex[] = "0123456789ABCDEF";
constexpr char kLowerHex[] = "0123456789abcdef";

}  // namespace

CipherKeyBlock FoldCipherKey(QByteArrayView key)
{
  // Character n (counted from 1) is added onto byte n mod 8, so the eighth
  // character lands on byte 0 and the ninth on byte 1 again.
  CipherKeyBlock block{};
  for (qsizetype i = 0; i < key.size(); ++i) {
    const auto n = static_cast<std::size_t>((i + 1) % 8);
    block[n] = static_cast<std::uint8_t>(block[n] + static_cast<std::uint8_t>(key[i]));
  }
  return block;
}

QByteArray EncipherBytes(QByteArrayView plain, QByteArrayView key)
{
  const DesKeySchedule des(FoldCipherKey(key), DesKeySchedule::Direction::Encipher);
  // One block at least; a length that is a multiple of 8 gets no extra one.
  const qsizetype blocks = plain.isEmpty() ? 1 : (plain.size() + 7) / 8;
  QByteArray hex;
  hex.reserve(blocks * 16);
  for (qsizetype b = 0; b < blocks; ++b) {
    std::uint8_t in[8] = {};
    for (qsizetype i = 0; i < 8 && b * 8 + i < plain.size(); ++i)
      in[i] = static_cast<std::uint8_t>(plain[b * 8 + i]);
    std::uint8_t out[8];
    des.Transform(in, out);
    for (std::uint8_t byte : out) {
      hex.append(kUpperHex[byte >> 4]);
      hex.append(kUpperHex[byte & 0xF]);
    }
  }
  return hex;
}

QByteArray DecipherBytes(QByteArrayView cipherHex, QByteArrayView key)
{
  if (cipherHex.isEmpty())
    return {};
  // Two digits per byte; a single digit left over at the end is one byte
  // of value 0 to 15.  Any character that is not a hex digit voids all.
  QByteArray bytes;
  bytes.reserve((cipherHex.size() + 1) / 2 + 8);
  for (qsizetype i = 0; i < cipherHex.size(); i += 2) {
    const int high = HexValue(cipherHex[i]);
    if (high < 0)
      return {};
    if (i + 1 == cipherHex.size()) {
      bytes.append(static_cast<char>(high));
      break;
    }
    const int low = HexValue(cipherHex[i + 1]);
    if (low < 0)
      return {};
    bytes.append(static_cast<char>(high << 4 | low));
  }
  while (bytes.size() % 8 != 0)
    bytes.append('\0');

  const DesKeySchedule des(FoldCipherKey(key), DesKeySchedule::Direction::Decipher);
  QByteArray plain(bytes.size(), Qt::Uninitialized);
  for (qsizetype b = 0; b < bytes.size(); b += 8)
    des.Transform(reinterpret_cast<const std::uint8_t *>(bytes.constData() + b),
                  reinterpret_cast<std::uint8_t *>(plain.data() + b));
  // The zero padding of the last block ends the text.
  const qsizetype zero = plain.indexOf('\0');
  if (zero >= 0)
    plain.truncate(zero);
  return plain;
}

QString EncipherText(const QString &text, const QString &key)
{
  return QString::fromLatin1(EncipherBytes(ToGbk(text), ToGbk(key)));
}

QString DecipherText(const QString &cipherHex, const QString &key)
{
  // A character outside Latin-1 is not a hex digit; toLatin1 would turn it
  // into '?', which is not one either, so the result is empty as it must be.
  return FromGbk(DecipherBytes(cipherHex.toLatin1(), ToGbk(key)));
}

QString Md5Hex(const QString &text)
{
  const Md5Digest digest = Md5(ToGbk(text));
  QString hex;
  hex.reserve(32);
  for (std::uint8_t byte : digest) {
    hex.append(QLatin1Char(kLowerHex[byte >> 4]));
    hex.append(QLatin1Char(kLowerHex[byte & 0xF]));
  }
  return hex;
}
