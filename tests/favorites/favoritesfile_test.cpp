// The favorites file: reading by element name, writing with the backup rule,
// deleting for an empty list, failed writes, damaged files kept aside, and
// names that need escaping.
#include "base/globals.h"
#include "lists/core/favoritesfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace {

QByteArray ReadBytes(const QString &path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteBytes(const QString &path, const QByteArray &bytes)
{
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QStringList Ids(const std::vector<TKsvPlayPtr> &items)
{
  QStringList ids;
  for (const auto &item : items)
    ids << item->id;
  return ids;
}

std::vector<TKsvPlayPtr> Items(std::initializer_list<const char *> ids)
{
  std::vector<TKsvPlayPtr> items;
  for (const char *id : ids)
    items.push_back(MakeKsvPlay(QString::fromLatin1(id), "0701",
                                QStringLiteral("游戏 ") + QString::fromLatin1(id), "1"));
  return items;
}

class FavoritesFileTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(dir.isValid());
    AppDir = dir.path() + u'/';
    file = FavoritesFilePath();
    backup = file + "_bak";
  }
  void TearDown() override { AppDir.clear(); }

  QTemporaryDir dir;
  QString file, backup;
};

TEST_F(FavoritesFileTest, PathLiesInTheDataFolderWhateverItsCase)
{
  EXPECT_EQ(file, AppDir + "Resource/Dat/pvlt_favorite.xml");
  ASSERT_TRUE(QDir().mkpath(AppDir + "resource/DAT"));
  ASSERT_TRUE(WriteBytes(AppDir + "resource/DAT/PVLT_Favorite.xml", "<as/>"));
  EXPECT_EQ(FavoritesFilePath(), AppDir + "resource/DAT/PVLT_Favorite.xml");
}

TEST_F(FavoritesFileTest, FirstAndSecondFavoriteWithBackup)
{
  // The first write creates the folders and the file; there is nothing to
  // back up yet.
  const FavoritesWrite first = CreateFavoriteXML(Items({"101"}), file);
  EXPECT_TRUE(first.ok);
  EXPECT_TRUE(QFileInfo(file).isFile());
  EXPECT_FALSE(QFileInfo::exists(backup));
  const QByteArray one = ReadBytes(file);
  EXPECT_EQ(QString::fromUtf8(one),
            QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                           "<as><a><id>101</id><name>游戏 101</name><pid>0701</pid>"
                           "<type>1</type></a></as>\n"));

  // The second keeps the one-favorite version as the backup.
  EXPECT_TRUE(CreateFavoriteXML(Items({"101", "102"}), file).ok);
  EXPECT_EQ(ReadBytes(backup), one);
  EXPECT_EQ(Ids(ReadFavoritesFile(file).items), (QStringList{"101", "102"}));

  // The third replaces the old backup with the two-favorite version.
  const QByteArray two = ReadBytes(file);
  EXPECT_TRUE(CreateFavoriteXML(Items({"101", "102", "103"}), file).ok);
  EXPECT_EQ(ReadBytes(backup), two);
  // Nothing else is left in the folder (no temporary files).
  EXPECT_EQ(QDir(QFileInfo(file).absolutePath()).entryList(QDir::Files),
            (QStringList{"pvlt_favorite.xml", "pvlt_favorite.xml_bak"}));
}

TEST_F(FavoritesFileTest, EmptyListDeletesTheFileAndKeepsTheBackup)
{
  ASSERT_TRUE(CreateFavoriteXML(Items({"1"}), file).ok);
  ASSERT_TRUE(CreateFavoriteXML(Items({"1", "2"}), file).ok);
  const QByteArray lastBackup = ReadBytes(backup);

  const FavoritesWrite w = CreateFavoriteXML({}, file);
  EXPECT_TRUE(w.ok);
  EXPECT_TRUE(w.deleted);
  EXPECT_FALSE(QFileInfo::exists(file));
  EXPECT_EQ(ReadBytes(backup), lastBackup);
  EXPECT_EQ(ReadFavoritesFile(file).status, FavoritesRead::Missing);

  // With no file an empty list is written as an empty document.
  const FavoritesWrite again = CreateFavoriteXML({}, file);
  EXPECT_TRUE(again.ok);
  EXPECT_FALSE(again.deleted);
  const FavoritesRead read = ReadFavoritesFile(file);
  EXPECT_EQ(read.status, FavoritesRead::Loaded);
  EXPECT_TRUE(read.items.empty());
}

TEST_F(FavoritesFileTest, FailedWriteLeavesThePreviousFile)
{
  ASSERT_TRUE(CreateFavoriteXML(Items({"1"}), file).ok);
  ASSERT_TRUE(CreateFavoriteXML(Items({"1", "2"}), file).ok);
  const QByteArray previous = ReadBytes(file);

  // A writer that fails on the favorites file itself (the backup is
  // written); once simply failing, once after the file went missing (a
  // disk that lost the half-written file).
  for (const bool removeFirst : {false, true}) {
    SCOPED_TRACE(removeFirst);
    const FavoritesWriter failing = [&](const QString &path, const QByteArray &bytes) {
      if (path != file) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
      }
      if (removeFirst)
        QFile::remove(path);
      return false;
    };
    const FavoritesWrite w = CreateFavoriteXML(Items({"1", "2", "3"}), file, failing);
    EXPECT_FALSE(w.ok);
    EXPECT_EQ(ReadBytes(file), previous);
    EXPECT_EQ(ReadBytes(backup), previous);
  }

  // A file that cannot be read is neither backed up nor replaced.
  ASSERT_TRUE(QFile::remove(file));
  ASSERT_TRUE(QDir().mkpath(file));  // a folder where the file should be
  EXPECT_FALSE(CreateFavoriteXML(Items({"9"}), file).ok);
  EXPECT_TRUE(QFileInfo(file).isDir());
  EXPECT_EQ(ReadBytes(backup), previous);
  EXPECT_EQ(ReadFavoritesFile(file).status, FavoritesRead::Unreadable);
}

TEST_F(FavoritesFileTest, DamagedFileIsKeptAsideBeforeItIsReplaced)
{
  ASSERT_TRUE(CreateFavoriteXML(Items({"1"}), file).ok);
  ASSERT_TRUE(CreateFavoriteXML(Items({"1", "2"}), file).ok);
  const QByteArray goodBackup = ReadBytes(backup);
  const QByteArray damaged = "<as><a><id>5</id><name>半截";
  ASSERT_TRUE(WriteBytes(file, damaged));
  EXPECT_EQ(ReadFavoritesFile(file).status, FavoritesRead::Malformed);

  const FavoritesWrite w = CreateFavoriteXML(Items({"7"}), file);
  EXPECT_TRUE(w.ok);
  EXPECT_EQ(w.keptAside, file + "_damaged");
  EXPECT_EQ(ReadBytes(file + "_damaged"), damaged);
  // The backup still holds the last good version, not the damaged one.
  EXPECT_EQ(ReadBytes(backup), goodBackup);
  EXPECT_EQ(Ids(ReadFavoritesFile(file).items), QStringList{"7"});

  // The next write finds a good file: nothing more is kept aside.
  EXPECT_TRUE(CreateFavoriteXML(Items({"7", "8"}), file).keptAside.isEmpty());

  // A second damaged file gets the next free name; an empty list does not
  // delete it unseen either.
  ASSERT_TRUE(WriteBytes(file, "not xml at all"));
  const FavoritesWrite empty = CreateFavoriteXML({}, file);
  EXPECT_TRUE(empty.deleted);
  EXPECT_EQ(empty.keptAside, file + "_damaged2");
  EXPECT_EQ(ReadBytes(file + "_damaged2"), QByteArray("not xml at all"));
}

TEST(FavoritesXml, ChildrenAreFoundByNameInAnyOrder)
{
  const QByteArray written = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><as>"
                             "<a><id>1</id><name>甲</name><pid>7</pid><type>1</type></a></as>";
  const QByteArray shuffled = "<?xml version=\"1.0\"?>\n<as>\n  <a>\n"
                              "    <type>1</type><pid>7</pid><name>甲</name><id>1</id>\n"
                              "  </a>\n</as>\n";
  for (const QByteArray &doc : {written, shuffled}) {
    const FavoritesRead read = ParseFavoritesXml(doc);
    ASSERT_EQ(read.status, FavoritesRead::Loaded);
    ASSERT_EQ(read.items.size(), 1u);
    const TKsvPlay &item = *read.items.front();
    EXPECT_EQ(item.id, "1");
    EXPECT_EQ(item.name, "甲");
    EXPECT_EQ(item.pid, "7");
    EXPECT_EQ(item.type, "1");
    EXPECT_TRUE(item.address.isEmpty());
  }
}

TEST(FavoritesXml, MissingChildrenReadEmptyAndBadFavoritesAreSkipped)
{
  const FavoritesRead read =
      ParseFavoritesXml("<as>"
                        "<a><id>1</id></a>"                                    // only an id
                        "<a><name>no id</name><type>1</type></a>"              // skipped
                        "<a id=\"9\"><id>2</id><id>3</id><extra><x/></extra>"  // first id counts
                        "<name>乙<b>丙</b></name></a>"             // nested text is kept
                        "<other><id>4</id><type>0</type></other>"  // any element name
                        "</as>");
  ASSERT_EQ(read.status, FavoritesRead::Loaded);
  ASSERT_EQ(Ids(read.items), (QStringList{"1", "2", "4"}));
  EXPECT_TRUE(read.items[0]->name.isEmpty());
  EXPECT_TRUE(read.items[0]->pid.isEmpty());
  EXPECT_TRUE(read.items[0]->type.isEmpty());
  EXPECT_EQ(read.items[1]->name, "乙丙");
  EXPECT_EQ(read.items[2]->type, "0");

  // Not well-formed: nothing is read, even the favorites before the fault.
  for (const char *doc : {"", "<as><a><id>1</id></a>", "<as><a><id>1</a></as>", "<as/><as/>",
                          "<as><a><id>1&2</id></a></as>"}) {
    const FavoritesRead bad = ParseFavoritesXml(doc);
    EXPECT_EQ(bad.status, FavoritesRead::Malformed) << doc;
    EXPECT_TRUE(bad.items.empty()) << doc;
  }
}

TEST(FavoritesXml, NamesSurviveAWriteAndARead)
{
  const QString names[] = {
      QStringLiteral("Tom & Jerry"),
      QStringLiteral("<script>alert(1)</script>"),
      QStringLiteral("say \"hi\" & 'bye'"),
      QStringLiteral("]]> end of CDATA"),
      QStringLiteral("连连看 第二版"),
      QStringLiteral("a%20b"),  // stored as it is in the record
      QStringLiteral("表情 😀"),
      QStringLiteral(""),
  };
  std::vector<TKsvPlayPtr> items;
  int id = 1;
  for (const QString &name : names)
    items.push_back(MakeKsvPlay(QString::number(id++), "p&<>\"", name, "4"));
  const QByteArray doc = FormatFavoritesXml(items);
  const FavoritesRead read = ParseFavoritesXml(doc);
  ASSERT_EQ(read.status, FavoritesRead::Loaded);
  ASSERT_EQ(read.items.size(), items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(read.items[i]->name, items[i]->name);
    EXPECT_EQ(read.items[i]->pid, "p&<>\"");
  }
  // The document is UTF-8 text, Chinese not escaped.
  EXPECT_TRUE(doc.contains("连连看 第二版"));

  // Control characters cannot be carried by XML: they become spaces and
  // the document stays well-formed.
  const FavoritesRead ctl =
      ParseFavoritesXml(FormatFavoritesXml({MakeKsvPlay("1", "7",
                                                        QStringLiteral("a\x01"
                                                                       "b\nc\td") +
                                                            QChar(0xD800),
                                                        "1")}));
  ASSERT_EQ(ctl.status, FavoritesRead::Loaded);
  EXPECT_EQ(ctl.items.at(0)->name, "a b c d ");
}

}  // namespace
