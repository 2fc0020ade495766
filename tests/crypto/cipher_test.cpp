#include "crypto/cipher.h"
#include "crypto/des.h"
#include "crypto/md5.h"

#include <QList>
#include <gtest/gtest.h>
#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace {

std::array<std::uint8_t, 8> Block(const char *hex16)
{
  const QByteArray bytes = QByteArray::fromHex(hex16);
  std::array<std::uint8_t, 8> block{};
  for (int i = 0; i < 8; ++i)
    block[i] = static_cast<std::uint8_t>(bytes[i]);
  return block;
}

QString Hex(const std::array<std::uint8_t, 8> &block)
{
  return QString::fromLatin1(
      QByteArray(reinterpret_cast<const char *>(block.data()), 8).toHex().toUpper());
}

}  // namespace

// Published DES answers: the classic "Now is t" example, the worked example
// of the textbook key 133457799BBCDFF1, and known-answer entries.
TEST(Des, KnownAnswersBothDirections)
{
  struct Case {
    const char *key, *plain, *cipher;
  };
  const Case cases[] = {
      {"0123456789ABCDEF", "4E6F772069732074", "3FA40E8A984D4815"},
      {"133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
      {"0E329232EA6D0D73", "8787878787878787", "0000000000000000"},
      {"0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
      {"0101010101010101", "0000000000000001", "166B40B44ABA4BD6"},
      // Parity bits are ignored: 00.. and 01.. are the same key.
      {"0000000000000000", "8000000000000000", "95F8A5E5DD31D900"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.key);
    const DesKeySchedule enc(Block(c.key), DesKeySchedule::Direction::Encipher);
    const DesKeySchedule dec(Block(c.key), DesKeySchedule::Direction::Decipher);
    std::array<std::uint8_t, 8> out{};
    enc.Transform(Block(c.plain).data(), out.data());
    EXPECT_EQ(Hex(out), QString::fromLatin1(c.cipher));
    dec.Transform(Block(c.cipher).data(), out.data());
    EXPECT_EQ(Hex(out), QString::fromLatin1(c.plain));
  }
}

TEST(Md5, Rfc1321SuiteAndGbkText)
{
  const std::pair<QString, const char *> cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
      // The digest is taken over the GBK bytes D6 D0 CE C4, not UTF-8.
      {QStringLiteral("中文"), "bcce109775e8e1972e9f5fcda3e12895"},
  };
  for (const auto &[text, digest] : cases)
    EXPECT_EQ(Md5Hex(text), QString::fromLatin1(digest)) << text.toStdString();
}

TEST(Md5, PaddingBoundaries)
{
  // Lengths around the 56-byte mark need one or two closing blocks; a
  // digest must differ from its neighbours and be stable.
  QList<QString> seen;
  for (int n : {55, 56, 57, 63, 64, 65, 119, 120}) {
    const QString digest = Md5Hex(QString(n, u'x'));
    EXPECT_EQ(digest.size(), 32);
    EXPECT_FALSE(seen.contains(digest)) << n;
    seen.append(digest);
  }
  EXPECT_EQ(Md5Hex(QString(64, u'a')), QStringLiteral("014842d480b571495a4a0363793f7367"));
}

TEST(CipherKey, FoldingAddsCharactersOntoBytesByPositionModEight)
{
  EXPECT_EQ(Hex(FoldCipherKey("")), QStringLiteral("0000000000000000"));
  EXPECT_EQ(Hex(FoldCipherKey("A")), QStringLiteral("0041000000000000"));
  // c1..c8 -> c8 c1 c2 ... c7
  EXPECT_EQ(Hex(FoldCipherKey("ABCDEFGH")), QStringLiteral("4841424344454647"));
  // Characters 1, 9 and 17 of the content key share byte 1, 8 and 16 byte 0:
  // "ZQX@7263$PLAY!BOX": byte0 = '3'+'O', byte1 = 'Z'+'$'+'X', ...
  const CipherKeyBlock k = FoldCipherKey(ContentKey);
  EXPECT_EQ(k[0], ('3' + 'O') & 0xFF);
  EXPECT_EQ(k[1], ('Z' + '$' + 'X') & 0xFF);
  EXPECT_EQ(k[7], ('6' + 'B') & 0xFF);
  // Sums wrap modulo 256.
  EXPECT_EQ(FoldCipherKey("\xF0\x01\x01\x01\x01\x01\x01\x01\x20")[1], 0x10);
}

TEST(CipherKey, KeysWithEqualSumsPerByteCollide)
{
  // Exchanging characters n and n+8 of a 16-character key keeps every sum.
  const QString a = QStringLiteral("abcdefghABCDEFGH");
  const QString b = QStringLiteral("AbcdefghaBCDEFGH");
  EXPECT_EQ(FoldCipherKey(a.toLatin1()), FoldCipherKey(b.toLatin1()));
  EXPECT_EQ(EncipherText(QStringLiteral("游戏1234"), a),
            EncipherText(QStringLiteral("游戏1234"), b));
  EXPECT_NE(EncipherText(QStringLiteral("游戏1234"), a),
            EncipherText(QStringLiteral("游戏1234"), QStringLiteral("abcdefghABCDEFGX")));
}

TEST(CipherText, KnownAnswerOfTheContentKey)
{
  EXPECT_EQ(EncipherText(QStringLiteral("1000"), QString::fromLatin1(ContentKey)),
            QStringLiteral("439D5BAD48622949"));
  EXPECT_EQ(EncipherText(QStringLiteral("1000")), QStringLiteral("439D5BAD48622949"));
  EXPECT_EQ(DecipherText(QStringLiteral("439D5BAD48622949")), QStringLiteral("1000"));
}

TEST(CipherText, FramingAndRoundTrips)
{
  struct Case {
    QString text;
    qsizetype digits;
  };
  const Case cases[] = {
      {QString(), 16},  // one block of zero bytes
      {QStringLiteral("a"), 16},
      {QStringLiteral("12345678"), 16},  // exactly one block, no extra
      {QStringLiteral("123456789"), 32},
      {QStringLiteral("中文游戏"), 16},        // 8 GBK bytes (12 in UTF-8)
      {QStringLiteral("小熊快跑 第2关"), 32},  // 14 GBK bytes
      {QStringLiteral("user name with spaces & symbols!@#"), 80},
  };
  const QString keys[] = {QString::fromLatin1(ContentKey), QString(), QStringLiteral("钥匙"),
                          QStringLiteral("x")};
  for (const QString &key : keys) {
    for (const Case &c : cases) {
      SCOPED_TRACE((key + u'|' + c.text).toStdString());
      const QString hex = EncipherText(c.text, key);
      EXPECT_EQ(hex.size(), c.digits);
      EXPECT_EQ(hex, hex.toUpper());
      EXPECT_EQ(DecipherText(hex, key), c.text);
      EXPECT_EQ(DecipherText(hex.toLower(), key), c.text);
    }
  }
  // Another key does not give the text back.
  EXPECT_NE(DecipherText(EncipherText(QStringLiteral("secret")), QStringLiteral("other")),
            QStringLiteral("secret"));
}

TEST(CipherText, MalformedCipherTextGivesEmptyText)
{
  const QString good = EncipherText(QStringLiteral("hello"));
  const QString bad[] = {
      QString(),
      good.left(8) + u' ' + good.mid(9),  // a blank inside
      good.left(15) + u'G',               // a non-hex digit at the end
      QStringLiteral("-1") + good.mid(2),
      good.left(4) + QStringLiteral("中") + good.mid(5),
      good + u'\n',
  };
  for (const QString &hex : bad)
    EXPECT_EQ(DecipherText(hex), QString()) << hex.toStdString();
}

TEST(CipherText, LengthsThatAreNotWholeBlocksStillDecipher)
{
  const QByteArray key(ContentKey);
  // An odd last digit is one byte of value 0..15; missing bytes of the
  // last block count as zero.
  EXPECT_EQ(DecipherBytes("ABC", key), DecipherBytes("AB0C000000000000", key));
  EXPECT_EQ(DecipherBytes("439D5BAD", key), DecipherBytes("439D5BAD00000000", key));
  EXPECT_EQ(DecipherBytes("4", key), DecipherBytes("0400000000000000", key));
  // 17 digits: two blocks, the second made of one byte of value 0..15.
  const QByteArray twoBlocks = DecipherBytes("439D5BAD486229497", key);
  EXPECT_TRUE(twoBlocks.startsWith("1000"));
}

TEST(CipherBytes, ZeroByteEndsThePlainText)
{
  const QByteArray key(ContentKey);
  const QByteArray plain("ab\0cdefghijk", 12);
  const QByteArray hex = EncipherBytes(plain, key);
  EXPECT_EQ(hex.size(), 32);
  EXPECT_EQ(DecipherBytes(hex, key), QByteArray("ab"));
  // Bytes above 0x7F pass through unchanged.
  const QByteArray high("\xFF\x80\xB0\xA1\x01", 5);
  EXPECT_EQ(DecipherBytes(EncipherBytes(high, key), key), high);
}
