// Fetch and prefetch rules with a fake engine: what is asked of the engine,
// what the status label and the play list show, and when the item plays.
#include "playbackrig.h"

#include "base/globals.h"
#include "lists/core/playlistfile.h"
#include "widgets/dialogs.h"
#include "widgets/lxsimage.h"

#include <QLabel>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

class FetchTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(app.isValid());
    DownloadServerUrl = "http://127.0.0.1:9/files/";
    rig = std::make_unique<PlaybackRig>(&engine);
  }
  void cache(const QString &id, const QString &ext = ".swf")
  {
    ASSERT_TRUE(app.put(TestAppDir::PaintMovie(), "Caches/" + id + ext));
  }
  QString status() const { return rig->host->lblStatus->text(); }

  TestAppDir app{false};
  FakeEngine engine;
  std::unique_ptr<PlaybackRig> rig;
};

TEST_F(FetchTest, UncachedItemIsFetchedShowsProgressAndPlaysWhenTheFileArrives)
{
  const TKsvPlayPtr game = rig->add("1000", "1", "小猫%20钓鱼");
  EXPECT_EQ(NodeOverlay(rig->node(0)), UncachedOverlay);
  rig->click(0);

  ASSERT_EQ(engine.callsOf("new").size(), 1);
  const auto call = engine.callsOf("new").first();
  EXPECT_EQ(call.id, 1000);
  EXPECT_EQ(call.url, DownloadServerUrl + "8/439D5BAD48622949.swf");
  EXPECT_EQ(call.path, CacheDir + "1000.swf");
  EXPECT_TRUE(rig->timer->isActive());
  EXPECT_EQ(CurrentItem, game);
  EXPECT_EQ(game->number, 1000);
  EXPECT_EQ(game->name, "小猫 钓鱼");
  EXPECT_EQ(status(), "正在缓冲,请稍等");
  EXPECT_FALSE(rig->host->imgDownload->isEnabled());
  EXPECT_EQ(rig->host->imgDownload->toolTip(), "正在缓冲,不要重复下载。");
  EXPECT_EQ(rig->pages->currentIndex(), 1);
  EXPECT_TRUE(rig->host->ShockwaveFlash1->Movie() == TFlashView::StopMovie());

  // Progress: the engine knows the task; the label follows, in bold.
  engine.progress[1000] = {57, 0, 2048000};
  rig->fetch->TimerDownloadTimer();
  EXPECT_EQ(status(), "共2,000KB,已下载57%");
  EXPECT_TRUE(rig->host->lblStatus->font().bold());
  EXPECT_TRUE(rig->timer->isActive());
  // No information this tick: the label keeps its text.
  engine.progress.clear();
  rig->fetch->TimerDownloadTimer();
  EXPECT_EQ(status(), "共2,000KB,已下载57%");

  // The file is there: the timer stops, the mark goes, the game plays.
  cache("1000");
  rig->fetch->TimerDownloadTimer();
  EXPECT_FALSE(rig->timer->isActive());
  EXPECT_EQ(NodeOverlay(rig->node(0)), -1);
  EXPECT_EQ(rig->host->ShockwaveFlash1->Movie(), CacheDir + "1000.swf");
  EXPECT_EQ(rig->host->ShockwaveFlash1->ScaleMode(), 2);
  EXPECT_EQ(rig->host->ShockwaveFlash1->BackgroundColor(), 0);
  EXPECT_EQ(game->number, 0);
  EXPECT_TRUE(PlayStarted);
  EXPECT_EQ(status(), "");
  EXPECT_FALSE(rig->host->lblStatus->font().bold());
  EXPECT_TRUE(rig->host->imgDownload->isEnabled());
  EXPECT_EQ(rig->host->imgDownload->toolTip(), "下载该游戏");
  EXPECT_EQ(rig->host->flashUsed, 1);
  // Played with add-to-list: the row is selected and the file saved.
  EXPECT_EQ(rig->list->tvPlayList->topLevelItemCount(), 1);
  EXPECT_EQ(SelectedNode(rig->list->tvPlayList), rig->node(0));
  const auto lines = ReadListLines(LastPlayedFile);
  ASSERT_TRUE(lines && lines->size() == 2);
  EXPECT_EQ(lines->at(0), "id=1");
  EXPECT_TRUE(lines->at(1).startsWith("1000,0701,小猫 钓鱼,,1,"));
}

TEST_F(FetchTest, CompleteReportPlaysAtOnceAndAFailedFetchStopsTheTimer)
{
  rig->add("1000", "1");
  rig->add("1001", "1");
  rig->click(0);
  ASSERT_TRUE(rig->timer->isActive());
  cache("1000");
  engine.report(1000, 100);
  EXPECT_FALSE(rig->timer->isActive());
  EXPECT_EQ(rig->host->ShockwaveFlash1->Movie(), CacheDir + "1000.swf");

  // The next item's server answers 404: the engine ends the task below 100.
  const int before = engine.callsOf("new").size();
  engine.progress.clear();
  rig->click(1);
  // (Playing 1000 prefetched 1001; the click takes that prefetch over.)
  EXPECT_EQ(engine.callsOf("new").size(), before);
  ASSERT_TRUE(rig->timer->isActive());
  engine.report(1001, 0);
  EXPECT_FALSE(rig->timer->isActive());
  EXPECT_EQ(status(), "服务器连接失败");
  EXPECT_FALSE(rig->host->imgDownload->isEnabled());

  // The user clicks again: a fetch of its own starts.
  rig->click(1);
  EXPECT_EQ(engine.callsOf("new").size(), before + 1);
  EXPECT_EQ(engine.callsOf("new").last().id, 1001);
  EXPECT_TRUE(rig->timer->isActive());
  EXPECT_EQ(status(), "正在缓冲,请稍等");
}

TEST_F(FetchTest, NewDownloadRefusedShowsConnectionFailure)
{
  engine.newDownloadAnswer = false;
  rig->add("1000", "1");
  rig->click(0);
  EXPECT_FALSE(rig->timer->isActive());
  EXPECT_EQ(status(), "服务器连接失败");
}

TEST_F(FetchTest, PrefetchIsTakenOverOrStoppedAndItsEndClearsTheMark)
{
  cache("1");
  rig->add("1", "1");
  rig->add("2", "1");
  rig->add("3", "4");
  rig->click(0);
  // Playing row 0 prefetches row 1.
  ASSERT_EQ(engine.callsOf("new").size(), 1);
  EXPECT_EQ(engine.callsOf("new").first().id, 2);
  EXPECT_EQ(PrefetchId, 2);
  EXPECT_EQ(PrefetchPath, CacheDir + "2.swf");

  // A report of 100 for another id changes nothing.
  engine.report(7, 100);
  EXPECT_EQ(PrefetchId, 2);

  // Playing row 1 while its prefetch runs starts no second fetch.
  rig->click(1);
  EXPECT_EQ(engine.callsOf("new").size(), 1);
  EXPECT_TRUE(engine.callsOf("stop").isEmpty());
  EXPECT_EQ(PrefetchId, 0);
  EXPECT_TRUE(rig->timer->isActive());
  EXPECT_EQ(CurrentItem->number, 2);

  // Back to row 0 (cached): the fetch of row 1 is stopped, row 1 is
  // prefetched again.  Its stop report arrives later and is no failure.
  rig->click(0);
  ASSERT_EQ(engine.callsOf("stop").size(), 1);
  EXPECT_EQ(engine.callsOf("stop").first().id, 2);
  EXPECT_EQ(PrefetchId, 2);
  Pump(50);
  EXPECT_EQ(PrefetchId, 2) << "the stopped task's own end report is not the new prefetch's";

  // A fetch of another item stops the running prefetch first.
  rig->click(2);
  const auto stops = engine.callsOf("stop");
  ASSERT_EQ(stops.size(), 2);
  EXPECT_EQ(stops.last().id, 2);
  EXPECT_EQ(engine.callsOf("new").last().id, 3);
  EXPECT_EQ(engine.callsOf("new").last().path, CacheDir + "3.flv");
  EXPECT_EQ(PrefetchId, 0);
  Pump(50);
  EXPECT_TRUE(rig->timer->isActive())
      << "the stopped prefetch's report does not end the fetch of 3";

  // A completed prefetch clears the row's mark.
  rig->click(0);  // plays row 0 and prefetches row 1 again
  ASSERT_EQ(PrefetchId, 2);
  EXPECT_EQ(NodeOverlay(rig->node(1)), UncachedOverlay);
  cache("2");
  engine.report(2, 100);
  EXPECT_EQ(NodeOverlay(rig->node(1)), -1);
  EXPECT_EQ(PrefetchId, 0);
  EXPECT_TRUE(PrefetchPath.isEmpty());
}

TEST_F(FetchTest, ClickingTheRowBeingFetchedStartsItsFetchAnew)
{
  rig->add("5", "1");
  rig->click(0);
  rig->click(0);
  EXPECT_EQ(engine.callsOf("stop").size(), 1);
  EXPECT_EQ(engine.callsOf("new").size(), 2);
  // The first fetch's stop report comes after the second fetch started.
  Pump(50);
  EXPECT_TRUE(rig->timer->isActive());
  EXPECT_EQ(status(), "正在缓冲,请稍等");
}

TEST_F(FetchTest, SingleRowListPrefetchesNothingAndDownloadFolderFilesPlayWithoutFetch)
{
  cache("1");
  rig->add("1", "1");
  rig->click(0);
  EXPECT_TRUE(engine.callsOf("new").isEmpty()) << "the row after the only row is itself";
  EXPECT_EQ(PrefetchId, 0);

  // Saved by the download manager under its name: no fetch.
  ASSERT_TRUE(app.put(TestAppDir::PaintMovie(), "DL/熊猫 滑雪.swf"));
  const TKsvPlayPtr saved = MakeKsvPlay("77", "0701", "熊猫%20滑雪", "1");
  rig->host->PlayItem(saved, true);
  EXPECT_TRUE(engine.callsOf("new").isEmpty());
  EXPECT_EQ(rig->host->ShockwaveFlash1->Movie(), DownloadDir + "熊猫 滑雪.swf");
  EXPECT_EQ(rig->list->tvPlayList->topLevelItemCount(), 2);
}

TEST_F(FetchTest, ItemsThatCannotBePlayed)
{
  rig->add("1", "1");
  {
    // An id that is not a number never becomes a fetch.
    ScopedDialogRecorder boxes;
    rig->host->PlayItem(MakeKsvPlay("../1", "0701", "x", "1"), true);
    rig->host->PlayItem(MakeKsvPlay("", "0701", "x", "1"), true);
    EXPECT_EQ(boxes.infoTexts().size(), 2);
    EXPECT_TRUE(engine.calls.isEmpty());
    EXPECT_EQ(CurrentItem, nullptr);
    EXPECT_EQ(rig->list->tvPlayList->topLevelItemCount(), 1);
  }
  // A text item shows nothing but is recorded as the selected row.
  const TKsvPlayPtr text = rig->add("9", "3");
  rig->click(1);
  EXPECT_TRUE(engine.callsOf("new").isEmpty());
  EXPECT_EQ(CurrentItem, text);
  const auto lines = ReadListLines(LastPlayedFile);
  ASSERT_TRUE(lines.has_value());
  EXPECT_EQ(lines->value(0), "id=2");
}

}  // namespace
