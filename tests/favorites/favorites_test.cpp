// The favorites area: adding the current item from the play page (one per
// id, its messages, a failed or damaged file), loading the tree once, the
// images of both modes, the tab and a click that plays.
#include "arearig.h"

#include "lists/core/favoritesfile.h"

#include <QDir>

namespace {

const QString Added = QStringLiteral("已加入\"我的收藏\"。");
const QString Exists = QStringLiteral("该节目在\"我的收藏\"已存在。");

class FavoritesTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(rig.app.isValid()); }
  // Presses the play page's favorite button with `item` as the current one.
  void add(const TKsvPlayPtr &item)
  {
    CurrentItem = item;
    Press(rig.playback->host->imgFavorite2);
  }
  QTreeWidget *tree() const { return rig.favorites()->tvFavorite; }

  AreaRig rig;
  ScopedDialogRecorder boxes;
  QString file = FavoritesFilePath();
};

TEST_F(FavoritesTest, AddingFromThePlayPage)
{
  // No current item: nothing at all.
  CurrentItem.reset();
  Press(rig.playback->host->imgFavorite2);
  EXPECT_TRUE(boxes.entries.isEmpty());
  EXPECT_FALSE(QFileInfo::exists(file));

  // The first favorite makes the file; there is no backup yet.
  const TKsvPlayPtr first = MakeKsvPlay("1000", "0701", "小猫%20钓鱼", "1");
  add(first);
  EXPECT_EQ(boxes.infoTexts(), QStringList{Added});
  ASSERT_EQ(tree()->topLevelItemCount(), 1);
  QTreeWidgetItem *node = tree()->topLevelItem(0);
  EXPECT_EQ(node->text(0), "小猫 钓鱼");
  EXPECT_EQ(NodeImage(node), TFavorites::FavoriteImage);
  EXPECT_EQ(NodeItem(node), first);  // the same record as the current item
  EXPECT_EQ(first->name, "小猫%20钓鱼");
  EXPECT_FALSE(QFileInfo::exists(file + "_bak"));
  const QByteArray one = FileBytes(file);
  EXPECT_TRUE(one.contains("<name>小猫%20钓鱼</name>"));

  // The second keeps the first version as the backup.
  add(MakeKsvPlay("1001", "0701", "Tom & Jerry <2>", "4"));
  EXPECT_EQ(boxes.infoTexts(), (QStringList{Added, Added}));
  EXPECT_EQ(FileBytes(file + "_bak"), one);
  const FavoritesRead read = ReadFavoritesFile(file);
  ASSERT_EQ(read.items.size(), 2u);
  EXPECT_EQ(read.items[1]->name, "Tom & Jerry <2>");

  // The same id again (another record) is refused and changes nothing.
  const QByteArray two = FileBytes(file);
  add(MakeKsvPlay("1000", "9", "other", "1"));
  EXPECT_EQ(boxes.infoTexts().last(), Exists);
  EXPECT_EQ(tree()->topLevelItemCount(), 2);
  EXPECT_EQ(FileBytes(file), two);
  EXPECT_EQ(FileBytes(file + "_bak"), one);
}

TEST_F(FavoritesTest, TheFirstAdditionLoadsTheStoredFavoritesFirst)
{
  ASSERT_TRUE(
      CreateFavoriteXML({MakeKsvPlay("1", "7", "甲", "1"), MakeKsvPlay("2", "7", "乙", "0")}, file)
          .ok);
  add(MakeKsvPlay("2", "7", "乙", "1"));
  EXPECT_EQ(boxes.infoTexts(), QStringList{Exists});
  add(MakeKsvPlay("3", "7", "丙", "1"));
  EXPECT_EQ(TreeIds(tree()), "1,2,3");
  EXPECT_EQ(ReadFavoritesFile(file).items.size(), 3u);
  // Showing the page later does not read the file again.
  QFile::remove(file);
  rig.favorites()->imgFavoriteMouseDown();
  EXPECT_EQ(tree()->topLevelItemCount(), 3);
}

TEST_F(FavoritesTest, ImagesOfBothModes)
{
  ASSERT_TRUE(CreateFavoriteXML({MakeKsvPlay("1", "7", "a", "1"), MakeKsvPlay("2", "7", "b", "4"),
                                 MakeKsvPlay("3", "7", "c", "0"), MakeKsvPlay("4", "7", "d", "x")},
                                file)
                  .ok);
  const struct {
    const char *mode;
    QList<int> images;
  } cases[] = {
      {"play", {10, 10, 0, 10}},
      {"mng", {3, 6, 0, 3}},
  };
  QTreeWidget other;
  for (const auto &c : cases) {
    ASSERT_TRUE(TFavorites::LoadFavorites(&other, QString::fromLatin1(c.mode)));
    QList<int> images;
    for (int i = 0; i < other.topLevelItemCount(); ++i)
      images << NodeImage(other.topLevelItem(i));
    EXPECT_EQ(images, c.images) << c.mode;
  }
  // A damaged file empties the tree and is reported to the caller; no file
  // is an empty list.
  ASSERT_TRUE(rig.app.write("Resource/Dat/pvlt_favorite.xml", "<as><a>"));
  EXPECT_FALSE(TFavorites::LoadFavorites(&other, "play"));
  EXPECT_EQ(other.topLevelItemCount(), 0);
  QFile::remove(file);
  EXPECT_TRUE(TFavorites::LoadFavorites(&other, "play"));
}

TEST_F(FavoritesTest, DamagedFileIsKeptAsideAndTheUserToldOnce)
{
  const QByteArray damaged = "<as><a><id>5</id><name>连连看</name></a>";  // cut off
  ASSERT_TRUE(rig.app.write("Resource/Dat/pvlt_favorite.xml", damaged));
  add(MakeKsvPlay("7", "7", "新", "1"));
  ASSERT_EQ(boxes.infoTexts().size(), 2);
  EXPECT_TRUE(boxes.infoTexts().first().contains("pvlt_favorite.xml_damaged"))
      << boxes.infoTexts().first().toStdString();
  EXPECT_EQ(boxes.infoTexts().last(), Added);
  EXPECT_EQ(FileBytes(file + "_damaged"), damaged);
  EXPECT_EQ(TreeIds(tree()), "7");

  add(MakeKsvPlay("8", "7", "再", "1"));
  EXPECT_EQ(boxes.infoTexts().size(), 3);
  EXPECT_EQ(boxes.infoTexts().last(), Added);
  EXPECT_FALSE(QFileInfo::exists(file + "_damaged2"));
}

TEST_F(FavoritesTest, FailedWriteTakesTheFavoriteBackOut)
{
  ASSERT_TRUE(QDir().mkpath(file));  // the file's name is taken by a folder
  add(MakeKsvPlay("7", "7", "新", "1"));
  EXPECT_EQ(boxes.infoTexts(), QStringList{QStringLiteral("加入\"我的收藏\"失败。")});
  EXPECT_EQ(tree()->topLevelItemCount(), 0);
  // Once the disk is right again the same item can be added.
  ASSERT_TRUE(QDir(file).removeRecursively());
  add(MakeKsvPlay("7", "7", "新", "1"));
  EXPECT_EQ(boxes.infoTexts().last(), Added);
  EXPECT_EQ(TreeIds(tree()), "7");
}

TEST_F(FavoritesTest, TabPageAndClick)
{
  ASSERT_TRUE(
      CreateFavoriteXML({MakeKsvPlay("1", "7", "a", "1"), MakeKsvPlay("2", "7", "b", "1")}, file)
          .ok);
  EXPECT_EQ(tree()->topLevelItemCount(), 0);  // not read before the page shows
  ActiveListTab = 1;
  rig.favorites()->imgFavoriteMouseDown();
  EXPECT_EQ(ActiveListTab, 3);
  EXPECT_EQ(rig.releasedTabs, 1);
  EXPECT_EQ(rig.window.listPage, 2);
  EXPECT_EQ(TreeIds(tree()), "1,2");
  rig.favorites()->imgFavoriteMouseDown();
  EXPECT_EQ(rig.releasedTabs, 1);

  // A click plays the row without adding it to the play list.
  QList<QPair<QString, bool>> played;
  rig.favorites()->playItem = [&](const TKsvPlayPtr &item, bool add) {
    played << qMakePair(item->id, add);
  };
  rig.favorites()->tvFavoriteClick();  // no selection: nothing
  SelectNode(tree(), tree()->topLevelItem(1));
  rig.favorites()->tvFavoriteClick();
  EXPECT_EQ(played, (QList<QPair<QString, bool>>{{"2", false}}));
}

}  // namespace
