// The play list tree: loading with trimming and marks, adding and finding
// rows, the shared life of its items, and the click that plays a row.
#include "../player/testappdir.h"
#include "standinwindow.h"

#include "base/gbk.h"
#include "base/globals.h"
#include "lists/core/playlistfile.h"
#include "lists/playback.h"
#include "lists/playlist.h"
#include "player/listnodes.h"
#include "widgets/mainwindowport.h"

#include <QDir>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

class PlayListTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(app.isValid());
    new QVBoxLayout(&page);
    list = std::make_unique<TPlayList>(&page);
    tree = list->tvPlayList;
  }
  void writeList(const QStringList &lines)
  {
    ASSERT_TRUE(app.write("Resource/Dat/pvlt_last.dat", ToGbk(lines.join("\r\n") + "\r\n")));
  }
  QStringList ids() const
  {
    QStringList out;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
      out << NodeItem(tree->topLevelItem(i))->id;
    return out;
  }

  TestAppDir app{false};
  QWidget page;
  std::unique_ptr<TPlayList> list;
  QTreeWidget *tree = nullptr;
};

TEST_F(PlayListTest, LoadTrimsSavesAtOnceAndMarksWhatIsNotOnDisk)
{
  QStringList lines = {"id=120"};
  for (int i = 1; i <= 150; ++i)
    lines << QStringLiteral("%1,0701,游戏 %1,,%2,2024-1-1 8:00:00").arg(i).arg(i % 3 == 0 ? 0 : 1);
  writeList(lines);
  ASSERT_TRUE(app.write("Caches/60.swf", "x"));
  ASSERT_TRUE(app.write("DL/游戏 61.swf", "x"));

  ASSERT_TRUE(list->LoadListFile(LastPlayedFile, tree, 100));
  EXPECT_EQ(tree->topLevelItemCount(), 100);
  EXPECT_EQ(ids().first(), "51");
  QTreeWidgetItem *selected = SelectedNode(tree);
  ASSERT_NE(selected, nullptr);
  EXPECT_EQ(tree->indexOfTopLevelItem(selected), 69);
  EXPECT_EQ(CurrentItem, NodeItem(selected));
  EXPECT_EQ(CurrentItem->id, "120");
  EXPECT_EQ(selected->text(0), "游戏 120");
  // Saved at once: header 70, 100 lines.
  const auto saved = ReadListLines(LastPlayedFile);
  ASSERT_TRUE(saved.has_value());
  EXPECT_EQ(saved->size(), 101);
  EXPECT_EQ(saved->first(), "id=70");

  // Images by type; the not-on-disk mark spares type 0 and files present
  // in the cache (60) or the download folder under their name (61).
  for (int row = 0; row < tree->topLevelItemCount(); ++row) {
    const TKsvPlayPtr item = NodeItem(tree->topLevelItem(row));
    const int id = item->id.toInt();
    const bool typeZero = id % 3 == 0;
    EXPECT_EQ(NodeImage(tree->topLevelItem(row)), typeZero ? 2 : 3) << id;
    const bool onDisk = id == 60 || id == 61;
    EXPECT_EQ(NodeOverlay(tree->topLevelItem(row)), typeZero || onDisk ? -1 : UncachedOverlay)
        << id;
  }

  // A missing file is an error for the caller; the tree stays as it was.
  EXPECT_FALSE(list->LoadListFile(AppDir + "Resource/Dat/missing.dat", tree, 100));
  EXPECT_EQ(tree->topLevelItemCount(), 100);
}

TEST_F(PlayListTest, OrganiserLoadKeepsEverythingAndEmptyFileGivesEmptyList)
{
  QStringList lines = {"id=11"};
  for (int i = 1; i <= 300; ++i)
    lines << QStringLiteral("%1,7,n%1,,1,d").arg(i);
  writeList(lines);
  QTreeWidget own;
  ASSERT_TRUE(list->LoadListFile(LastPlayedFile, &own, -1));
  EXPECT_EQ(own.topLevelItemCount(), 300);
  ASSERT_TRUE(list->LoadListFile(LastPlayedFile, tree, 100));
  EXPECT_EQ(tree->topLevelItemCount(), 290);
  EXPECT_EQ(ids().first(), "11");
  EXPECT_EQ(ReadListLines(LastPlayedFile)->first(), "id=1");

  writeList({});
  ASSERT_TRUE(app.write("Resource/Dat/pvlt_last.dat", ""));
  ASSERT_TRUE(list->LoadListFile(LastPlayedFile, tree, 100));
  EXPECT_EQ(tree->topLevelItemCount(), 0);
  EXPECT_TRUE(list->SavePlayList(tree));
  EXPECT_EQ(QFileInfo(LastPlayedFile).size(), 0);
}

TEST_F(PlayListTest, AddingFindingAndPlayingRows)
{
  const TKsvPlayPtr a = MakeKsvPlay("10", "7", "a%20b", "1");
  const TKsvPlayPtr b = MakeKsvPlay("11", "7", "b", "4");
  const TKsvPlayPtr c = MakeKsvPlay("12", "7", "c", "x");
  EXPECT_NE(TPlayList::AddToPlayList(a, tree, 1, false), nullptr);
  EXPECT_NE(TPlayList::AddToPlayList(b, tree, 0, true), nullptr);
  EXPECT_NE(TPlayList::AddToPlayList(c, tree, 1, true), nullptr);
  EXPECT_EQ(ids(), (QStringList{"11", "10", "12"}));
  EXPECT_EQ(tree->topLevelItem(1)->text(0), "a b");
  EXPECT_EQ(a->cachePath, CacheDir + "10.swf");
  EXPECT_EQ(NodeImage(tree->topLevelItem(0)), 6);
  EXPECT_EQ(NodeOverlay(tree->topLevelItem(0)), UncachedOverlay);
  // Not a number: image 3, no mark, not selected; the select of b stands.
  EXPECT_EQ(NodeImage(tree->topLevelItem(2)), 3);
  EXPECT_EQ(NodeOverlay(tree->topLevelItem(2)), -1);
  EXPECT_EQ(SelectedNode(tree), tree->topLevelItem(0));
  // Link items whose id did not decipher are not added at all.
  EXPECT_EQ(TPlayList::AddToPlayList(MakeKsvPlay("", "7", "bad", "1"), tree, 1, true), nullptr);
  EXPECT_EQ(TPlayList::AppendItem(MakeKsvPlay("1x", "7", "bad", "1"), tree), nullptr);
  EXPECT_EQ(tree->topLevelItemCount(), 3);

  EXPECT_EQ(TPlayList::FindInPlayList("10", tree), "1");
  EXPECT_EQ(TPlayList::FindInPlayList("99", tree), "-1");
  EXPECT_EQ(TPlayList::FindInPlayList("", tree), "-1");

  // Playing an item already listed selects its row; a new one is appended.
  list->AddPlayedItem(MakeKsvPlay("10", "7", "a b", "1"));
  EXPECT_EQ(tree->topLevelItemCount(), 3);
  EXPECT_EQ(SelectedNode(tree), tree->topLevelItem(1));
  list->AddPlayedItem(MakeKsvPlay("13", "7", "d", "2"));
  EXPECT_EQ(tree->topLevelItemCount(), 4);
  EXPECT_EQ(SelectedNode(tree), tree->topLevelItem(3));
  EXPECT_EQ(ReadListLines(LastPlayedFile)->first(), "id=4");

  // A click plays the selected row, not added again.
  QList<QPair<TKsvPlayPtr, bool>> played;
  list->playItem = [&](const TKsvPlayPtr &item, bool add) { played.append({item, add}); };
  SelectNode(tree, tree->topLevelItem(0));
  list->tvPlayListClick();
  ASSERT_EQ(played.size(), 1);
  EXPECT_EQ(played.first().first, b);
  EXPECT_FALSE(played.first().second);
  SelectNode(tree, nullptr);
  list->tvPlayListClick();
  EXPECT_EQ(played.size(), 1);
}

TEST_F(PlayListTest, AnItemLivesWhileANodeOrTheCurrentItemHoldsIt)
{
  std::weak_ptr<TKsvPlay> watch;
  {
    const TKsvPlayPtr item = MakeKsvPlay("10", "7", "a", "1");
    watch = item;
    TPlayList::AppendItem(item, tree);
    CurrentItem = item;
  }
  delete tree->takeTopLevelItem(0);
  EXPECT_FALSE(watch.expired()) << "CurrentItem still holds it";
  CurrentItem.reset();
  EXPECT_TRUE(watch.expired());

  {
    const TKsvPlayPtr item = MakeKsvPlay("11", "7", "b", "1");
    watch = item;
    TPlayList::AppendItem(item, tree);
  }
  EXPECT_FALSE(watch.expired());
  tree->clear();
  EXPECT_TRUE(watch.expired());
}

TEST_F(PlayListTest, SelfSelectedTabShowsTheListPage)
{
  int shownPage = -1, released = 0;
  list->showListPage = [&](int page) { shownPage = page; };
  list->releaseActiveListTab = [&] { ++released; };
  ActiveListTab = 1;
  list->imgSelfSelMouseDown();
  EXPECT_EQ(ActiveListTab, 2);
  EXPECT_EQ(shownPage, 1);
  EXPECT_EQ(released, 1);
  list->imgSelfSelMouseDown();
  EXPECT_EQ(released, 1) << "already the active tab";
}

// The main window as the play area sees it, doing nothing.
using QuietWindow = StandInWindow;

TEST(PlayListStart, TheCacheIsPrunedOnlyAgainstAListThatWasRead)
{
  // What the start does with the cache for each state of the list file:
  // a read list keeps its own items; an absent file is an empty list (the
  // cache is emptied); a file that is there but cannot be read (here a
  // folder in its place, which fails for any user) leaves the cache alone.
  const struct {
    const char *what;
    int state;  // 0 read, 1 absent, 2 unreadable
    bool keeps5, keeps9;
  } cases[] = {
      {"read", 0, true, false},
      {"absent", 1, false, false},
      {"unreadable", 2, true, true},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    TestAppDir app(false);
    ASSERT_TRUE(app.isValid());
    ASSERT_TRUE(app.write("Caches/5.swf", "five"));
    ASSERT_TRUE(app.write("Caches/9.swf", "nine"));
    QFile::remove(LastPlayedFile);
    if (c.state == 0) {
      ASSERT_TRUE(app.write("Resource/Dat/pvlt_last.dat", "id=1\r\n5,0701,five,,1,d\r\n"));
    } else if (c.state == 2) {
      ASSERT_TRUE(QDir().mkpath(LastPlayedFile));
    }
    QuietWindow window;
    QWidget playPage, listPage;
    new QVBoxLayout(&playPage);
    new QVBoxLayout(&listPage);
    QTimer timer;
    TPlayback playback(&window, nullptr, &playPage, &listPage, &timer, nullptr);
    playback.LoadPlayList();
    EXPECT_EQ(QFileInfo::exists(CacheDir + "5.swf"), c.keeps5);
    EXPECT_EQ(QFileInfo::exists(CacheDir + "9.swf"), c.keeps9);
  }
}

}  // namespace
