#include "base/gbk.h"
#include "base/ini.h"

#include "apptest.h"

#include <QDirIterator>
#include <unistd.h>

using IniTest = AppDirTest;

TEST_F(IniTest, ReadsGbkValuesWithNamesInAnyCase)
{
  const QString file = Path("a.ini");
  ASSERT_TRUE(WriteBytes(file, "; comment\r\n"
                               "orphan=before any section\r\n"
                               "[Info]\r\n"
                               "  Name  =  " +
                                   ToGbk(QStringLiteral("小明 的 游戏")) +
                                   "  \r\n"
                                   "Path=D:\\games\\\r\n"
                                   "empty=\r\n"
                                   "dup=first\r\n"
                                   "dup=second\r\n"
                                   "[sys]\r\n"
                                   "var_type=2\n"));  // a line with LF alone
  const IniFile ini = IniFile::Load(file);
  ASSERT_TRUE(ini.exists());
  const struct {
    const char *section, *key;
    QString expected;
  } cases[] = {
      {"Info", "Name", QStringLiteral("小明 的 游戏")},
      {"INFO", "nAmE", QStringLiteral("小明 的 游戏")},
      {"info", "path", QStringLiteral("D:\\games\\")},
      {"Info", "empty", QString()},
      {"Info", "dup", QStringLiteral("first")},
      {"SYS", "VAR_TYPE", QStringLiteral("2")},
  };
  for (const auto &c : cases)
    EXPECT_EQ(ini.Value(c.section, c.key, QStringLiteral("def")), c.expected)
        << c.section << '/' << c.key;
  EXPECT_EQ(ini.Value("Info", "orphan", "def"), QStringLiteral("def"));
  EXPECT_EQ(ini.Value("Info", "missing", "def"), QStringLiteral("def"));
  EXPECT_EQ(ini.Value("nosection", "Name", "def"), QStringLiteral("def"));
  EXPECT_TRUE(ini.Contains("info", "EMPTY"));
  EXPECT_FALSE(ini.Contains("info", "orphan"));

  EXPECT_FALSE(IniFile::Load(Path("missing.ini")).exists());
  EXPECT_EQ(ReadIniValue(Path("missing.ini"), "Info", "Name", "def"), QStringLiteral("def"));
}

TEST_F(IniTest, DamagedFilesAndOtherEncodingsAreReadAsFarAsPossible)
{
  const QByteArray utf8Body = "[Info]\r\nname=" + QStringLiteral("游戏").toUtf8() + "\r\nn=1\r\n";
  QByteArray utf16 = "\xFF\xFE";
  for (QChar c : QString::fromUtf8(utf8Body)) {
    utf16.append(static_cast<char>(c.unicode() & 0xFF));
    utf16.append(static_cast<char>(c.unicode() >> 8));
  }
  const struct {
    const char *name;
    QByteArray bytes;
    QString expectedName;
  } cases[] = {
      {"utf-8 with mark", "\xEF\xBB\xBF" + utf8Body, QStringLiteral("游戏")},
      // Without a mark the file is GBK, even where its bytes happen to be
      // valid UTF-8 too: "学习" in GBK reads as "ѧϰ" in UTF-8.
      {"gbk that is also valid utf-8", "[Info]\r\nname=\xD1\xA7\xCF\xB0\r\nn=1\r\n",
       QStringLiteral("学习")},
      {"utf-8 without mark", utf8Body, FromGbk(QStringLiteral("游戏").toUtf8())},
      {"utf-16 with mark", utf16, QStringLiteral("游戏")},
      {"damaged lines",
       QByteArray("\x00\x01garbage", 9) + "\r\n[Info\r\n=novalue\r\nno equals "
                                          "sign\r\n[Info]\r\nname=\xD3\xCE\xCF\r\n\x81\r\nn=1\r\n",
       QStringLiteral("游\uFFFD")},
      {"no line end at the end", "[Info]\r\nname=x\r\nn=1", QStringLiteral("x")},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteBytes(Path("d.ini"), c.bytes));
    const IniFile ini = IniFile::Load(Path("d.ini"));
    EXPECT_EQ(ini.Value("Info", "name"), c.expectedName);
    EXPECT_EQ(ini.Value("Info", "n"), QStringLiteral("1"));  // reading went on
  }
}

TEST_F(IniTest, WriteNeverCreatesAFile)
{
  const QString file = Path("Config/local.ini");
  EXPECT_FALSE(WriteIniValue(file, "Info", "1", "5"));
  EXPECT_FALSE(QFileInfo::exists(file));
  EXPECT_FALSE(QFileInfo::exists(Path("Config")));
  // A folder of that name is not a file either.
  ASSERT_TRUE(QDir().mkpath(file));
  EXPECT_FALSE(WriteIniValue(file, "Info", "1", "5"));
}

TEST_F(IniTest, WriteKeepsEveryOtherLineAndItsOrder)
{
  const QString file = Path("local.ini");
  const QByteArray chinese = ToGbk(QStringLiteral("下载目录"));
  ASSERT_TRUE(WriteBytes(file, "; keep me\r\n"
                               "[Info]\r\n"
                               "1=3\r\n"
                               "Name=" +
                                   chinese +
                                   "\r\n"
                                   "\r\n"
                                   "[Other]\r\n"
                                   "1=other\r\n"));
  struct Step {
    const char *section, *key;
    QString value;
    QByteArray after;
  };
  const Step steps[] = {
      // replaced in place, found without regard to case
      {"INFO", "NAME", QStringLiteral("新的"),
       "; keep me\r\n[Info]\r\n1=3\r\nNAME=" + ToGbk(QStringLiteral("新的")) +
           "\r\n\r\n[Other]\r\n1=other\r\n"},
      // a new key goes after the last key of its section
      {"Info", "12", QStringLiteral("/tmp/缓存/"),
       "; keep me\r\n[Info]\r\n1=3\r\nNAME=" + ToGbk(QStringLiteral("新的")) +
           "\r\n12=" + ToGbk(QStringLiteral("/tmp/缓存/")) + "\r\n\r\n[Other]\r\n1=other\r\n"},
      // a new section goes at the end; an empty value is written as such
      {"sys", "var_type", QString(),
       "; keep me\r\n[Info]\r\n1=3\r\nNAME=" + ToGbk(QStringLiteral("新的")) +
           "\r\n12=" + ToGbk(QStringLiteral("/tmp/缓存/")) +
           "\r\n\r\n[Other]\r\n1=other\r\n[sys]\r\nvar_type=\r\n"},
  };
  for (const Step &s : steps) {
    SCOPED_TRACE(s.key);
    ASSERT_TRUE(WriteIniValue(file, s.section, s.key, s.value));
    EXPECT_EQ(ReadBytes(file), s.after);
    EXPECT_EQ(ReadIniValue(file, s.section, s.key, "def"), s.value);
  }
  EXPECT_EQ(ReadIniValue(file, "Other", "1"), QStringLiteral("other"));
}

TEST_F(IniTest, WriteReplacesTheFileAsAWhole)
{
  const QString file = Path("local.ini");
  ASSERT_TRUE(WriteBytes(file, "[Info]\r\n1=0\r\n"));
  // A second name for the old file keeps the old content: the new content
  // went into a new file that took the name over.
  ASSERT_EQ(
      ::link(QFile::encodeName(file).constData(), QFile::encodeName(Path("old.ini")).constData()),
      0);
  ASSERT_TRUE(WriteIniValue(file, "Info", "1", "1"));
  EXPECT_EQ(ReadBytes(Path("old.ini")), QByteArray("[Info]\r\n1=0\r\n"));
  EXPECT_EQ(ReadBytes(file), QByteArray("[Info]\r\n1=1\r\n"));
  // No temporary file is left behind.
  QStringList names =
      QDir(dir_).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  names.sort();
  EXPECT_EQ(names, (QStringList{"local.ini", "old.ini"}));
}

TEST_F(IniTest, RefusedWritesLeaveTheFileUntouched)
{
  const QString file = Path("local.ini");
  const QByteArray before = "[Info]\r\n1=0\r\n";
  ASSERT_TRUE(WriteBytes(file, before));
  const struct {
    const char *section, *key;
    QString value;
  } refused[] = {
      {"Info", "1", QStringLiteral("0\r\n2=injected")},
      {"Info", "1", QStringLiteral("a\nb")},
      {"Info", "a=b", QStringLiteral("x")},
      {"Info", "", QStringLiteral("x")},
      {"Info", "[x]", QStringLiteral("x")},
      {"In]fo", "1", QStringLiteral("x")},
      {"", "1", QStringLiteral("x")},
      {"Info", "1", QStringLiteral("한국어")},  // GBK has no Hangul
      {"Info", "1", QStringLiteral("\U0001F600")},
  };
  for (const auto &r : refused) {
    EXPECT_FALSE(WriteIniValue(file, r.section, r.key, r.value))
        << r.key << ' ' << r.value.toStdString();
    EXPECT_EQ(ReadBytes(file), before);
  }
}

TEST_F(IniTest, UnpairedSurrogatesAreRefusedInUnicodeFiles)
{
  // Such a name or value would be stored as a replacement character, so the
  // write would report success for a value that never reads back.
  const QString lone = QStringLiteral("a") + QChar(0xDC00) + QStringLiteral("b");
  const struct {
    const char *name;
    QByteArray bytes;
  } files[] = {
      {"utf8.ini", "\xEF\xBB\xBF[Info]\r\n1=0\r\n"},
      {"utf16.ini", QByteArray("\xFF\xFE[\0I\0n\0f\0o\0]\0\r\0\n\0", 18)},
      {"gbk.ini", "[Info]\r\n1=0\r\n"},
  };
  const struct {
    QString section, key, value;
  } writes[] = {
      {lone, QStringLiteral("1"), QStringLiteral("x")},
      {QStringLiteral("Info"), lone, QStringLiteral("x")},
      {QStringLiteral("Info"), QStringLiteral("1"), lone},
      {QStringLiteral("Info"), QStringLiteral("1"), QString(QChar(0xD800))},
  };
  for (const auto &f : files) {
    const QString file = Path(f.name);
    ASSERT_TRUE(WriteBytes(file, f.bytes));
    for (const auto &w : writes) {
      EXPECT_FALSE(WriteIniValue(file, w.section, w.key, w.value)) << f.name;
      EXPECT_EQ(ReadBytes(file), f.bytes) << f.name;
    }
    // A paired surrogate is a character like any other there.
    if (f.name != std::string_view("gbk.ini")) {
      ASSERT_TRUE(WriteIniValue(file, "Info", "2", QStringLiteral("\U0001F600")));
      EXPECT_EQ(ReadIniValue(file, "Info", "2"), QStringLiteral("\U0001F600")) << f.name;
    }
  }
}

TEST_F(IniTest, WritesKeepTheEncodingOfTheFile)
{
  const QString utf8File = Path("u.ini");
  ASSERT_TRUE(WriteBytes(utf8File,
                         "\xEF\xBB\xBF[Info]\r\nname=" + QStringLiteral("游戏").toUtf8() + "\r\n"));
  // Hangul is fine in a UTF-8 file.
  ASSERT_TRUE(WriteIniValue(utf8File, "Info", "2", QStringLiteral("한국어")));
  EXPECT_EQ(ReadBytes(utf8File), "\xEF\xBB\xBF[Info]\r\nname=" + QStringLiteral("游戏").toUtf8() +
                                     "\r\n2=" + QStringLiteral("한국어").toUtf8() + "\r\n");

  // A GBK file whose bytes are valid UTF-8 as well stays GBK: the value
  // that is there reads right, and a new one is written in GBK.
  const QString both = Path("b.ini");
  ASSERT_TRUE(WriteBytes(both, "[Info]\r\n11=/home/\xD1\xA7\xCF\xB0/\r\n"));
  EXPECT_EQ(ReadIniValue(both, "Info", "11"), QStringLiteral("/home/学习/"));
  ASSERT_TRUE(WriteIniValue(both, "Info", "12", QStringLiteral("/home/图片/")));
  EXPECT_EQ(ReadBytes(both), QByteArray("[Info]\r\n11=/home/\xD1\xA7\xCF\xB0/\r\n12=/home/") +
                                 ToGbk(QStringLiteral("图片")) + "/\r\n");
  // Hangul has no GBK spelling: refused, nothing changes.
  const QByteArray kept = ReadBytes(both);
  EXPECT_FALSE(WriteIniValue(both, "Info", "12", QStringLiteral("한국어")));
  EXPECT_EQ(ReadBytes(both), kept);

  // A GBK file with bytes that are not GBK keeps those bytes untouched.
  const QString gbkFile = Path("g.ini");
  const QByteArray damaged("[Info]\r\nbad=\x81\x20\xFF\r\n");
  ASSERT_TRUE(WriteBytes(gbkFile, damaged));
  ASSERT_TRUE(WriteIniValue(gbkFile, "Info", "ok", QStringLiteral("中")));
  EXPECT_EQ(ReadBytes(gbkFile), damaged + "ok=\xD6\xD0\r\n");
}
