#include "base/config.h"
#include "base/gbk.h"
#include "base/ini.h"
#include "base/routines.h"

#include "apptest.h"

#include <QXmlStreamReader>

using RoutinesTest = AppDirTest;

TEST(Routines, FormatPackedVersion)
{
  const std::pair<std::int32_t, const char *> cases[] = {
      {16783119, "1.0.23.15"},  // 100170F
      {0x1234ABCD, "18.52.171.205"},
      {0x0100000, "0.16.0.0"},  // short numbers get leading zeros
      {0, "0.0.0.0"},
      {0x7FFFFFFF, "127.255.255.255"},
      {-1, "255.255.255.255"},  // all 32 bits count
  };
  for (const auto &[packed, text] : cases)
    EXPECT_EQ(FormatPackedVersion(packed), QString::fromLatin1(text)) << packed;
}

TEST(Routines, TypeToExtensionAndIntegerText)
{
  const std::pair<const char *, const char *> types[] = {
      {"1", ".swf"},  {"2", ".mp3"}, {"3", ".txt"}, {"4", ".flv"},  {"10", ".rar"},
      {"11", ".zip"}, {"0", ""},     {"5", ""},     {"12", ""},     {"", ""},
      {"x", ""},      {"1.0", ""},   {"-1", ""},    {"04", ".flv"},
  };
  for (const auto &[type, ext] : types)
    EXPECT_EQ(TypeToExtension(QString::fromLatin1(type)), QString::fromLatin1(ext)) << type;

  const std::pair<const char *, bool> numbers[] = {
      {"0", true},           {"-12", true},         {"+7", true},  {"2147483647", true},
      {"-2147483648", true}, {"2147483648", false}, {"", false},   {"1.5", false},
      {"12a", false},        {"0x10", false},       {"一", false},
  };
  for (const auto &[text, isInteger] : numbers)
    EXPECT_EQ(IsIntegerText(QString::fromUtf8(text)), isInteger) << text;
}

TEST(Routines, OwnVersionComesFromTheBuild)
{
  EXPECT_EQ(GetOwnFileVersion(), QStringLiteral("1.0.23.15"));
  EXPECT_EQ(FormatPackedVersion(16783119), GetOwnFileVersion());
}

TEST_F(RoutinesTest, FileSizesBeyondFourGibibytes)
{
  const QString file = Path("big.bin");
  ASSERT_TRUE(WriteBytes(file, QByteArray()));
  QFile f(file);
  ASSERT_TRUE(f.resize(5ll * 1024 * 1024 * 1024 + 3));  // sparse
  EXPECT_EQ(GetFileSize64(file), 5ull * 1024 * 1024 * 1024 + 3);
  EXPECT_EQ(GetFileSize64(Path("missing.bin")), 0u);
  EXPECT_EQ(GetFileSize64(dir_), 0u);
}

TEST_F(RoutinesTest, CopyFileCreatingFolder)
{
  ASSERT_TRUE(WriteBytes(Path("src.swf"), "game bytes"));
  EXPECT_TRUE(CopyFileCreatingFolder(Path("src.swf"), Path("a/b/c/下载.swf")));
  EXPECT_EQ(ReadBytes(Path("a/b/c/下载.swf")), QByteArray("game bytes"));

  // An existing destination is replaced.
  ASSERT_TRUE(WriteBytes(Path("dst.swf"), "an older and longer content"));
  EXPECT_TRUE(CopyFileCreatingFolder(Path("src.swf"), Path("dst.swf")));
  EXPECT_EQ(ReadBytes(Path("dst.swf")), QByteArray("game bytes"));

  // Equal paths: nothing is done, the file stays as it is.
  EXPECT_TRUE(CopyFileCreatingFolder(Path("src.swf"), Path("src.swf")));
  EXPECT_EQ(ReadBytes(Path("src.swf")), QByteArray("game bytes"));

  // A missing source fails and leaves no destination behind.
  EXPECT_FALSE(CopyFileCreatingFolder(Path("missing.swf"), Path("x/missing.swf")));
  EXPECT_FALSE(QFileInfo::exists(Path("x/missing.swf")));
  // A destination below a file cannot be made.
  EXPECT_FALSE(CopyFileCreatingFolder(Path("src.swf"), Path("src.swf/inside.swf")));
}

TEST_F(RoutinesTest, FolderListingAndDeletion)
{
  ASSERT_TRUE(WriteBytes(Path("cache/1234.swf"), "a"));
  ASSERT_TRUE(WriteBytes(Path("cache/.hidden"), "b"));
  ASSERT_TRUE(WriteBytes(Path("cache/sub/deeper/5.flv"), "c"));
  ASSERT_TRUE(WriteBytes(Path("outside/keep.txt"), "keep"));
  ASSERT_TRUE(QFile::link(Path("outside"), Path("cache/link")));

  QStringList names = ListFolderEntries(Path("cache"));  // without the slash
  names.sort();
  EXPECT_EQ(names, (QStringList{".hidden", "1234.swf", "link", "sub"}));
  EXPECT_EQ(ListFolderEntries(Path("missing/")), QStringList());
  EXPECT_EQ(ListFolderEntries(QString()), QStringList());

  DeleteFolderTree(Path("cache"));
  EXPECT_FALSE(QFileInfo::exists(Path("cache")));
  // The link went, not what it pointed to.
  EXPECT_EQ(ReadBytes(Path("outside/keep.txt")), QByteArray("keep"));

  DeleteFolderTree(Path("missing/"));  // no error
  DeleteFolderTree(QString());
  EXPECT_TRUE(QFileInfo::exists(dir_));
}

TEST_F(RoutinesTest, DeletingALinkedFolderRemovesOnlyTheLink)
{
  ASSERT_TRUE(WriteBytes(Path("elsewhere/keep.txt"), "keep"));
  ASSERT_TRUE(WriteBytes(Path("elsewhere/sub/deep.txt"), "deep"));
  // Given with and without the slash, which makes a difference to the file
  // system: "backup/" resolves the link, "backup" does not.
  for (const char *given : {"backup", "backup/"}) {
    SCOPED_TRACE(given);
    ASSERT_TRUE(QFile::link(Path("elsewhere"), Path("backup")));
    DeleteFolderTree(Path(given));
    EXPECT_FALSE(QFileInfo(Path("backup")).isSymLink()) << "the link is still there";
    EXPECT_FALSE(QFileInfo::exists(Path("backup")));
    EXPECT_EQ(ReadBytes(Path("elsewhere/keep.txt")), QByteArray("keep"));
    EXPECT_EQ(ReadBytes(Path("elsewhere/sub/deep.txt")), QByteArray("deep"));
  }
  // A link to a file is no folder: it stays, and so does its file.
  ASSERT_TRUE(QFile::link(Path("elsewhere/keep.txt"), Path("filelink")));
  DeleteFolderTree(Path("filelink"));
  EXPECT_TRUE(QFileInfo(Path("filelink")).isSymLink());
  EXPECT_EQ(ReadBytes(Path("elsewhere/keep.txt")), QByteArray("keep"));
}

TEST_F(RoutinesTest, CreateEmptyFile)
{
  ASSERT_TRUE(WriteBytes(Path("list.dat"), "content"));
  EXPECT_TRUE(CreateEmptyFile(Path("list.dat")));
  EXPECT_EQ(QFileInfo(Path("list.dat")).size(), 0);
  EXPECT_TRUE(CreateEmptyFile(Path("new.dat")));
  EXPECT_TRUE(QFileInfo(Path("new.dat")).isFile());
  EXPECT_FALSE(CreateEmptyFile(Path("no/such/folder/x.dat")));
}

TEST_F(RoutinesTest, AutorunEntry)
{
  QTemporaryDir config;
  const QByteArray old = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
  const QString entry = config.path() + "/autostart/kestrova.desktop";
  EXPECT_EQ(AutorunEntryFile(), entry);
  EXPECT_FALSE(IsAutorunRegistered());
  const std::pair<QByteArray, bool> cases[] = {
      {"[Desktop Entry]\nType=Application\nExec=/opt/k/kestrova -start\n", true},
      {"[Desktop Entry]\nType=Application\nHidden=false\n", true},
      {"[Desktop Entry]\nType=Application\nHidden=true\n", false},
      {"[Desktop Entry]\nName=Kestrova游戏\nX-GNOME-Autostart-enabled=true\n", true},
      {"[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", false},
      {"", true},
  };
  for (const auto &[text, registered] : cases) {
    ASSERT_TRUE(WriteBytes(entry, text));
    EXPECT_EQ(IsAutorunRegistered(), registered) << text.toStdString();
  }
  qputenv("XDG_CONFIG_HOME", old);
}

namespace {

// Every element with its attributes and text, as a comparable outline.
QStringList Outline(const QByteArray &xml)
{
  QStringList out;
  QXmlStreamReader r(xml);
  while (!r.atEnd()) {
    r.readNext();
    if (r.isStartElement()) {
      QString line = u'<' + r.name().toString();
      for (const QXmlStreamAttribute &a : r.attributes())
        line += u' ' + a.name().toString() + u'=' + a.value().toString();
      out << line;
    } else if (r.isCharacters() && !r.isWhitespace()) {
      out << r.text().toString();
    } else if (r.isComment()) {
      out << u'#' + r.text().toString();
    } else if (r.isEndElement()) {
      out << u'/' + r.name().toString();
    }
  }
  if (r.hasError())
    out << QStringLiteral("ERROR ") + r.errorString();
  return out;
}

}  // namespace

TEST_F(RoutinesTest, InstallCatalogKeepsTheDocumentAndRecordsTheVersion)
{
  PreparePaths(dir_);
  const QByteArray catalog =
      "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<!-- catalog -->\r\n<channels>\r\n"
      "  <c id=\"0701\" name=\"" +
      ToGbk(QStringLiteral("益智&amp;游戏")) +
      "\" pid=\"07\" type=\"1\"/>\r\n"
      "  <c id=\"070102\" name=\"" +
      ToGbk(QStringLiteral("拼图")) + "\" pid=\"0701\" type=\"4\">" +
      ToGbk(QStringLiteral("说明 &lt;新&gt;")) + "<![CDATA[raw <b>]]></c>\r\n</channels>\r\n";
  ASSERT_TRUE(WriteBytes(Path("download.tmp"), catalog));

  QString error;
  ASSERT_TRUE(
      InstallCatalogFile(Path("download.tmp"), Path("Resource/Xml/100100.XML"), 100100, &error))
      << error.toStdString();
  const QByteArray written = ReadBytes(Path("Resource/Xml/100100.XML"));
  EXPECT_EQ(Outline(written), Outline(catalog));
  EXPECT_TRUE(Outline(written).contains(QStringLiteral("<c id=0701 name=益智&游戏 pid=07 type=1")));
  EXPECT_TRUE(written.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
  EXPECT_EQ(ReadIniValue(LocalIniFile, "Info", "7"), QStringLiteral("100100"));
}

TEST_F(RoutinesTest, InstallCatalogFailuresWriteNothing)
{
  PreparePaths(dir_);
  ASSERT_TRUE(WriteBytes(Path("Resource/xml/100093.xml"), "<old/>"));
  const struct {
    const char *what;
    std::optional<QByteArray> source;
  } cases[] = {
      {"missing source", std::nullopt},
      {"cut short", "<?xml version=\"1.0\"?><channels><c id=\"1\"/>"},
      {"not xml", "<html><body>404 Not Found</body>"},
      {"empty", ""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    QFile::remove(Path("src.xml"));
    if (c.source) {
      ASSERT_TRUE(WriteBytes(Path("src.xml"), *c.source));
    }
    QString error;
    EXPECT_FALSE(
        InstallCatalogFile(Path("src.xml"), Path("Resource/xml/100093.xml"), 100200, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadBytes(Path("Resource/xml/100093.xml")), QByteArray("<old/>"));
    EXPECT_EQ(ReadIniValue(LocalIniFile, "Info", "7"), QStringLiteral("100093"));
  }

  // Saved, but local.ini is gone: the caller hears of it.
  ASSERT_TRUE(WriteBytes(Path("src.xml"), "<channels/>"));
  ASSERT_TRUE(QFile::remove(LocalIniFile));
  QString error;
  EXPECT_FALSE(
      InstallCatalogFile(Path("src.xml"), Path("Resource/xml/100300.xml"), 100300, &error));
  EXPECT_FALSE(QFileInfo::exists(LocalIniFile));
}
