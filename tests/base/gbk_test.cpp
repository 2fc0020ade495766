#include "base/gbk.h"

#include <gtest/gtest.h>

TEST(Gbk, RoundTripsChineseAndAscii)
{
  const struct {
    const char *utf8;
    const char *gbk;
  } cases[] = {
      {"", ""},
      {"abc 123", "abc 123"},
      {"推荐类", "\xCD\xC6\xBC\xF6\xC0\xE0"},
      {"Kestrova游戏", "Kestrova\xD3\xCE\xCF\xB7"},
  };
  for (const auto &c : cases) {
    const QString text = QString::fromUtf8(c.utf8);
    EXPECT_EQ(ToGbk(text), QByteArray(c.gbk)) << c.utf8;
    EXPECT_EQ(FromGbk(QByteArray(c.gbk)), text) << c.utf8;
  }
}

TEST(Gbk, DamagedBytesAreReplacedAndTheRestSurvives)
{
  // 0xFF is no GBK byte (0x80 is the euro sign of code page 936); a lead
  // byte at the very end is cut short.
  EXPECT_EQ(FromGbk(QByteArray("a\xFF"
                               "b")),
            QString::fromUtf8("a\xEF\xBF\xBD"
                              "b"));
  EXPECT_EQ(FromGbk(QByteArray("ok\xCD")), QString::fromUtf8("ok\xEF\xBF\xBD"));
  // A UTF-8 file read as GBK gives some text and no crash.
  EXPECT_FALSE(FromGbk(QByteArray("\xE6\x8E\xA8\xE8\x8D\x90")).isEmpty());
}

TEST(Gbk, CharactersOutsideGbkBecomeQuestionMarks)
{
  EXPECT_EQ(ToGbk(QString::fromUtf8("a\xF0\x9F\x98\x80"
                                    "b")),
            QByteArray("a?b"));
}
