// The list organiser on the play list and on the favorites: it works on its
// own copy, its commands on the tree, saving each mode, closing with and
// without changes, failed saves, and a fetch running while it is open.
#include "arearig.h"

#include "base/gbk.h"
#include "lists/core/favoritesfile.h"
#include "lists/core/playlistfile.h"
#include "lists/trimplaylist.h"

#include <QDir>
#include <QLabel>

namespace {

class OrganiserTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(rig.app.isValid());
    DownloadServerUrl = "http://127.0.0.1:9/files/";
  }
  // A play list file of five games, ids 1..5, line `selected` selected.
  void writePlayList(int selected)
  {
    QStringList lines = {QStringLiteral("id=%1").arg(selected)};
    for (int i = 1; i <= 5; ++i)
      lines << QStringLiteral("%1,0701,游戏 %1,,1,2024-1-1 8:00:00").arg(i);
    ASSERT_TRUE(rig.app.write("Resource/Dat/pvlt_last.dat", ToGbk(lines.join("\r\n") + "\r\n")));
  }
  void writeFavorites()
  {
    std::vector<TKsvPlayPtr> items;
    for (int i = 1; i <= 5; ++i)
      items.push_back(MakeKsvPlay(QString::number(i), "7", QStringLiteral("收藏 %1").arg(i),
                                  i == 5 ? "0" : "4"));
    ASSERT_TRUE(CreateFavoriteXML(items, FavoritesFilePath()).ok);
  }
  // Opens the organiser through its button; `user` plays the user.
  void open(bool favorites, const std::function<void(TfrmTrimPlayList *)> &user)
  {
    bool ran = false;
    PlayDialogsWith([&](TfrmWinTemplate *d) {
      ran = true;
      user(static_cast<TfrmTrimPlayList *>(d));
    });
    if (favorites)
      Press(rig.favorites()->imgDealFavoriteList);
    else
      Press(rig.list()->imgDealPlayList);
    PlayDialogsWith({});
    EXPECT_TRUE(ran);
  }
  static void select(TfrmTrimPlayList *d, int row)
  {
    SelectNode(d->tvPlayList, row >= 0 ? d->tvPlayList->topLevelItem(row) : nullptr);
  }
  static int selectedRow(TfrmTrimPlayList *d)
  {
    return d->tvPlayList->indexOfTopLevelItem(SelectedNode(d->tvPlayList));
  }

  AreaRig rig;
  ScopedDialogRecorder boxes;
};

TEST_F(OrganiserTest, CommandsOnTheTree)
{
  writePlayList(2);
  open(false, [&](TfrmTrimPlayList *d) {
    EXPECT_EQ(d->caption(), "整理游戏记录");
    EXPECT_EQ(d->lblCurFun->text(), "1");
    EXPECT_FALSE(d->lblCurFun->isVisible());
    EXPECT_EQ(d->size(), QSize(308, 381));
    EXPECT_EQ(d->tvPlayList->width(), 280);
    EXPECT_EQ(d->imgDel->geometry().x(), 8);
    EXPECT_EQ(d->imgSave->geometry(), QRect(211, d->imgSave->y(), 55, 21));
    ASSERT_EQ(TreeIds(d->tvPlayList), "1,2,3,4,5");
    EXPECT_EQ(selectedRow(d), 1);

    d->imgUpClick();
    EXPECT_EQ(TreeIds(d->tvPlayList), "2,1,3,4,5");
    EXPECT_EQ(selectedRow(d), 0);
    d->imgUpClick();
    EXPECT_EQ(boxes.infoTexts(), QStringList{"已经是第一行"});

    // The second-to-last goes last and stays selected; the last cannot.
    select(d, 3);
    d->imgDownClick();
    EXPECT_EQ(TreeIds(d->tvPlayList), "2,1,3,5,4");
    EXPECT_EQ(selectedRow(d), 4);
    EXPECT_EQ(NodeItem(SelectedNode(d->tvPlayList))->id, "4");
    d->imgDownClick();
    EXPECT_EQ(boxes.infoTexts().last(), "已经是最后一行");

    // Deleting selects the entry that followed; the last leaves none.
    select(d, 1);
    d->imgDelClick();
    EXPECT_EQ(TreeIds(d->tvPlayList), "2,3,5,4");
    EXPECT_EQ(NodeItem(SelectedNode(d->tvPlayList))->id, "3");
    select(d, 3);
    d->imgDelClick();
    EXPECT_EQ(TreeIds(d->tvPlayList), "2,3,5");
    EXPECT_EQ(SelectedNode(d->tvPlayList), nullptr);
    const int shown = boxes.infoTexts().size();
    d->imgDelClick();  // nothing selected: nothing happens
    EXPECT_EQ(TreeIds(d->tvPlayList), "2,3,5");
    EXPECT_EQ(boxes.infoTexts().size(), shown);
    d->imgUpClick();
    d->imgDownClick();
    EXPECT_EQ(boxes.infoTexts().mid(shown), (QStringList{"没有选中的节目", "没有选中的节目"}));

    while (d->tvPlayList->topLevelItemCount() > 0) {
      select(d, 0);
      d->imgDelClick();
    }
    d->imgUpClick();
    d->imgDownClick();
    EXPECT_EQ(boxes.infoTexts().mid(shown + 2),
              (QStringList{"列表为空不能移动", "列表为空不能移动"}));
    EXPECT_EQ(d->modified, 1);
    boxes.answers << false;  // closing: do not save
  });
}

TEST_F(OrganiserTest, PlayListCopyIsOwnAndClosingUnchangedTouchesNothing)
{
  writePlayList(3);
  ASSERT_TRUE(rig.list()->LoadListFile(LastPlayedFile, rig.list()->tvPlayList, 100));
  const TKsvPlayPtr current = CurrentItem;
  ASSERT_EQ(current->id, "3");
  const QByteArray before = FileBytes(LastPlayedFile);
  open(false, [&](TfrmTrimPlayList *d) {
    ASSERT_EQ(d->tvPlayList->topLevelItemCount(), 5);
    // Records of its own; the current item is still the main list's.
    EXPECT_NE(NodeItem(d->tvPlayList->topLevelItem(2)),
              NodeItem(rig.list()->tvPlayList->topLevelItem(2)));
    EXPECT_EQ(CurrentItem, current);
    // Saving without a change is refused and the dialog stays.
    d->imgSaveClick();
    EXPECT_EQ(boxes.infoTexts(), QStringList{"列表未调整。"});
    EXPECT_TRUE(d->isVisible());
  });
  EXPECT_TRUE(boxes.questions().isEmpty());  // nothing changed: no question
  EXPECT_EQ(FileBytes(LastPlayedFile), before);
  EXPECT_EQ(CurrentItem, current);
}

TEST_F(OrganiserTest, ClosingWithChangesAsks)
{
  writePlayList(1);
  rig.list()->LoadListFile(LastPlayedFile, rig.list()->tvPlayList, 100);
  const QByteArray before = FileBytes(LastPlayedFile);
  const QString question = QStringLiteral("列表已调整,是否保存?");

  // No: the changes are dropped.
  boxes.answers << false;
  open(false, [&](TfrmTrimPlayList *d) {
    select(d, 0);
    d->imgDelClick();
    d->close();
    EXPECT_FALSE(d->isVisible());
  });
  EXPECT_EQ(boxes.questions(), QStringList{question});
  EXPECT_EQ(FileBytes(LastPlayedFile), before);
  EXPECT_EQ(TreeIds(rig.list()->tvPlayList), "1,2,3,4,5");

  // Yes: saved as by the save button.
  boxes.answers << true;
  open(false, [&](TfrmTrimPlayList *d) {
    select(d, 0);
    d->imgDelClick();
  });  // left open: closed as by the close button
  EXPECT_EQ(boxes.questions(), (QStringList{question, question}));
  EXPECT_EQ(boxes.infoTexts().last(), "游戏记录整理完成。");
  EXPECT_EQ(TreeIds(rig.list()->tvPlayList), "2,3,4,5");
}

TEST_F(OrganiserTest, SavingThePlayListPlaysTheSelectedEntryAndPrunesTheCache)
{
  writePlayList(1);
  rig.list()->LoadListFile(LastPlayedFile, rig.list()->tvPlayList, 100);
  for (const char *name : {"1.swf", "2.swf", "5.swf", "99.swf"})
    ASSERT_TRUE(rig.app.write(QStringLiteral("Caches/") + name, "x"));
  open(false, [&](TfrmTrimPlayList *d) {
    select(d, 1);
    d->imgDelClick();  // 2 goes, 3 is selected
    d->imgUpClick();   // 3,1,4,5
    Press(d->imgSave, true);
    EXPECT_FALSE(d->isVisible());
  });
  EXPECT_EQ(boxes.infoTexts(), QStringList{"游戏记录整理完成。"});
  const auto lines = ReadListLines(LastPlayedFile);
  ASSERT_TRUE(lines.has_value());
  EXPECT_EQ(lines->first(), "id=1");
  EXPECT_EQ(TreeIds(rig.list()->tvPlayList), "3,1,4,5");
  // Entry 3 (not cached) is fetched and becomes the current item, the main
  // list's record.
  ASSERT_TRUE(CurrentItem);
  EXPECT_EQ(CurrentItem->id, "3");
  EXPECT_EQ(CurrentItem, NodeItem(SelectedNode(rig.list()->tvPlayList)));
  ASSERT_EQ(rig.engine.callsOf("new").size(), 1);
  EXPECT_EQ(rig.engine.callsOf("new").first().id, 3);
  // Cache files of entries no longer listed are gone.
  EXPECT_TRUE(QFileInfo::exists(CacheDir + "1.swf"));
  EXPECT_TRUE(QFileInfo::exists(CacheDir + "5.swf"));
  EXPECT_FALSE(QFileInfo::exists(CacheDir + "2.swf"));
  EXPECT_FALSE(QFileInfo::exists(CacheDir + "99.swf"));
}

TEST_F(OrganiserTest, EmptiedPlayListPlaysNothing)
{
  writePlayList(2);
  rig.list()->LoadListFile(LastPlayedFile, rig.list()->tvPlayList, 100);
  open(false, [&](TfrmTrimPlayList *d) {
    while (d->tvPlayList->topLevelItemCount() > 0) {
      select(d, 0);
      d->imgDelClick();
    }
    d->imgSaveClick();
  });
  EXPECT_EQ(boxes.infoTexts(), QStringList{"游戏记录整理完成。"});
  EXPECT_EQ(FileBytes(LastPlayedFile), QByteArray());
  EXPECT_EQ(rig.list()->tvPlayList->topLevelItemCount(), 0);
  EXPECT_TRUE(rig.engine.callsOf("new").isEmpty());
}

TEST_F(OrganiserTest, AFetchRunningWhileItIsOpenCarriesOn)
{
  writePlayList(1);
  rig.list()->LoadListFile(LastPlayedFile, rig.list()->tvPlayList, 100);
  SelectNode(rig.list()->tvPlayList, rig.list()->tvPlayList->topLevelItem(3));
  rig.list()->tvPlayListClick();  // 4 is fetched
  const TKsvPlayPtr fetching = CurrentItem;
  ASSERT_EQ(fetching->id, "4");
  ASSERT_TRUE(rig.timer->isActive());
  const QByteArray listFile = FileBytes(LastPlayedFile);

  boxes.answers << false;
  open(false, [&](TfrmTrimPlayList *d) {
    EXPECT_EQ(CurrentItem, fetching);
    select(d, 3);
    d->imgDelClick();
    // The fetch's progress tick still reports on the item being fetched.
    rig.engine.progress[4] = {50, 0, 10240};
    rig.playback->fetch->TimerDownloadTimer();
    EXPECT_EQ(rig.playback->host->lblStatus->text(), "共10KB,已下载50%");
  });
  EXPECT_EQ(CurrentItem, fetching);
  EXPECT_TRUE(rig.timer->isActive());
  EXPECT_TRUE(rig.engine.callsOf("stop").isEmpty());
  EXPECT_EQ(FileBytes(LastPlayedFile), listFile);
  EXPECT_EQ(TreeIds(rig.list()->tvPlayList), "1,2,3,4,5");
}

TEST_F(OrganiserTest, FavoritesSaveReloadsTheTreeAndEmptyDeletesTheFile)
{
  writeFavorites();
  const QString file = FavoritesFilePath();
  rig.favorites()->imgFavoriteMouseDown();
  ASSERT_EQ(TreeIds(rig.favorites()->tvFavorite), "1,2,3,4,5");
  const QByteArray stored = FileBytes(file);

  open(true, [&](TfrmTrimPlayList *d) {
    EXPECT_EQ(d->caption(), "整理收藏");
    EXPECT_EQ(d->lblCurFun->text(), "2");
    ASSERT_EQ(TreeIds(d->tvPlayList), "1,2,3,4,5");
    EXPECT_EQ(NodeImage(d->tvPlayList->topLevelItem(0)), 6);  // type 4
    EXPECT_EQ(NodeImage(d->tvPlayList->topLevelItem(4)), 0);  // type 0
    select(d, 3);
    d->imgDownClick();
    d->imgSaveClick();
    EXPECT_FALSE(d->isVisible());
  });
  EXPECT_EQ(boxes.infoTexts(), QStringList{"我的收藏整理完成。"});
  EXPECT_EQ(TreeIds(rig.favorites()->tvFavorite), "1,2,3,5,4");
  EXPECT_EQ(NodeImage(rig.favorites()->tvFavorite->topLevelItem(0)), TFavorites::FavoriteImage);
  EXPECT_EQ(FileBytes(file + "_bak"), stored);

  // Emptied: the file goes, the backup of the last write stays.
  open(true, [&](TfrmTrimPlayList *d) {
    while (d->tvPlayList->topLevelItemCount() > 0) {
      select(d, 0);
      d->imgDelClick();
    }
    d->imgSaveClick();
  });
  EXPECT_EQ(boxes.infoTexts().last(), "我的收藏整理完成。");
  EXPECT_FALSE(QFileInfo::exists(file));
  EXPECT_EQ(FileBytes(file + "_bak"), stored);
  EXPECT_EQ(rig.favorites()->tvFavorite->topLevelItemCount(), 0);
}

TEST_F(OrganiserTest, FailedSavesKeepTheDialogAndItsChanges)
{
  writePlayList(1);
  writeFavorites();
  const QString listFile = LastPlayedFile;
  const QByteArray listBefore = FileBytes(listFile);
  open(false, [&](TfrmTrimPlayList *d) {
    select(d, 0);
    d->imgDelClick();
    LastPlayedFile = rig.app.path() + "missing/folder/pvlt_last.dat";
    d->imgSaveClick();
    EXPECT_EQ(boxes.infoTexts(), QStringList{"游戏记录整理失败。"});
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(d->modified, 1);
    // Asked on closing, yes, and failing again: still open.
    boxes.answers << true;
    d->close();
    EXPECT_TRUE(d->isVisible());
    LastPlayedFile = listFile;
    boxes.answers << false;
  });
  EXPECT_EQ(FileBytes(listFile), listBefore);

  const QString file = FavoritesFilePath();
  open(true, [&](TfrmTrimPlayList *d) {
    select(d, 0);
    d->imgDelClick();
    ASSERT_TRUE(QFile::remove(file));
    ASSERT_TRUE(QDir().mkpath(file));  // the file's name is taken by a folder
    d->imgSaveClick();
    EXPECT_EQ(boxes.infoTexts().last(), "我的收藏整理失败。");
    EXPECT_TRUE(d->isVisible());
    boxes.answers << false;
  });
}

}  // namespace
