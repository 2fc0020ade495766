// The settings dialog: what OK applies, and what it refuses.
#include "skintest.h"
#include "testdesktop.h"

#include "base/config.h"
#include "base/globals.h"
#include "base/ini.h"
#include "shell/settings.h"
#include "widgets/dialogs.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QTemporaryDir>

namespace {

class SettingsTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(tmp.isValid());
    ResetGlobals();
    root = tmp.path() + '/';
    PreparePaths(root);
    ASSERT_TRUE(QFile::exists(LocalIniFile));
    DownloadDir = root + "DL/";
    ASSERT_TRUE(QDir().mkpath(DownloadDir));
    ASSERT_TRUE(WriteIniValue(LocalIniFile, "Info", "10", DownloadDir));
    CloseMode = "1";
    ASSERT_TRUE(WriteIniValue(LocalIniFile, "Info", "8", "1"));
  }
  void TearDown() override
  {
    ResetGlobals();
  }

  SettingsHooks Hooks(bool registered = false)
  {
    SettingsHooks h;
    h.isAutorunRegistered = [registered] { return registered; };
    h.setPcRun = [this](int v) { pcRun << v; };
    return h;
  }
  QString Key(const char *key) const { return ReadIniValue(LocalIniFile, "Info", key, "<none>"); }

  QTemporaryDir tmp;
  QString root;
  QList<int> pcRun;
  // Boxes are recorded; dialogs and the folder chooser are played by the test.
  RecordingDesktop desktop_;
};

TEST_F(SettingsTest, FormShowsTheCurrentState)
{
  for (bool registered : {false, true}) {
    for (const char *mode : {"1", "0", "2"}) {
      CloseMode = mode;
      TfrmSettings dlg(Hooks(registered));
      EXPECT_EQ(dlg.caption(), "系统设置");
      EXPECT_EQ(dlg.CheckBox1->isChecked(), registered);
      EXPECT_EQ(dlg.CheckBox1Tag, 0);
      EXPECT_EQ(dlg.rbtnCloseSystem->isChecked(), CloseMode == "1") << mode;
      EXPECT_EQ(dlg.rbtnHideWin->isChecked(), CloseMode != "1") << mode;
      EXPECT_EQ(dlg.edtDownloadDir->text(), DownloadDir);
    }
  }
}

TEST_F(SettingsTest, RunAtStartOnlyWhenTheBoxWasClicked)
{
  struct Case {
    bool registered;
    int clicks;
    QList<int> expected;
  };
  const Case cases[] = {
      {false, 0, {}}, {true, 0, {}}, {false, 1, {1}}, {true, 1, {0}}, {false, 2, {0}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(::testing::Message() << c.registered << " clicks " << c.clicks);
    pcRun.clear();
    ScopedDialogRecorder rec;
    auto *dlg = new TfrmSettings(Hooks(c.registered));
    QPointer<TfrmSettings> guard(dlg);
    for (int i = 0; i < c.clicks; ++i)
      dlg->CheckBox1->click();
    EXPECT_TRUE(dlg->limgOkClick());
    EXPECT_EQ(pcRun, c.expected);
    EXPECT_EQ(rec.infoTexts(), QStringList{"设置完成。"});
    delete guard.data();
  }
}

TEST_F(SettingsTest, CloseBehaviourIsWrittenWhenChanged)
{
  struct Case {
    const char *before;
    bool pickHide;
    const char *after;
    const char *stored;
  };
  const Case cases[] = {
      {"1", true, "0", "0"},
      {"0", false, "1", "1"},
      {"1", false, "1", "1"},  // unchanged: nothing written
      {"0", true, "0", "0"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(::testing::Message() << c.before << (c.pickHide ? " hide" : " close"));
    CloseMode = c.before;
    ASSERT_TRUE(WriteIniValue(LocalIniFile, "Info", "8", c.before));
    ScopedDialogRecorder rec;
    TfrmSettings dlg(Hooks());
    (c.pickHide ? dlg.rbtnHideWin : dlg.rbtnCloseSystem)->click();
    EXPECT_TRUE(dlg.limgOkClick());
    EXPECT_EQ(CloseMode, c.after);
    EXPECT_EQ(Key("8"), c.stored);
    EXPECT_EQ(rec.infoTexts(), QStringList{"设置完成。"});
  }
}

TEST_F(SettingsTest, FailedCloseBehaviourWriteIsReportedAndTheRestGoesOn)
{
  ASSERT_TRUE(QFile::remove(LocalIniFile));
  ScopedDialogRecorder rec;
  TfrmSettings dlg(Hooks());
  dlg.rbtnHideWin->click();
  dlg.CheckBox1->click();
  EXPECT_TRUE(dlg.limgOkClick());
  EXPECT_EQ(CloseMode, "0");  // this run only
  EXPECT_EQ(pcRun, QList<int>{1});
  EXPECT_EQ(rec.infoTexts(), (QStringList{"关闭主窗口,设置未生效。", "设置完成。"}));
  EXPECT_FALSE(QFile::exists(LocalIniFile)) << "a missing file is never recreated";
}

TEST_F(SettingsTest, DownloadFolderIsTrimmedEndedAndCreated)
{
  struct Case {
    const char *what;
    QString typed;
    QString box;     // the box afterwards
    QString stored;  // key "10" and DownloadDir afterwards
  };
  const QString deep = root + "a/b/c";
  const QString cases_dl = root + "DL/";
  const Case cases[] = {
      {"new folder without the ending slash", deep, deep + "/", deep + "/"},
      {"same folder with spaces", "  " + cases_dl + "\t", cases_dl, cases_dl},
      {"empty box", "   ", "", cases_dl},
      {"same folder without the slash", root + "DL", cases_dl, cases_dl},
      {"existing folder with spaces", " " + root + "x/ ", root + "x/", root + "x/"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    DownloadDir = cases_dl;
    ASSERT_TRUE(WriteIniValue(LocalIniFile, "Info", "10", "marker"));
    QDir().mkpath(root + "x");
    ScopedDialogRecorder rec;
    TfrmSettings dlg(Hooks());
    dlg.edtDownloadDir->setText(c.typed);
    EXPECT_TRUE(dlg.limgOkClick());
    EXPECT_EQ(rec.infoTexts(), QStringList{"设置完成。"});
    EXPECT_EQ(dlg.edtDownloadDir->text(), c.box);
    EXPECT_EQ(DownloadDir, c.stored);
    const bool written = c.stored != cases_dl || c.typed.trimmed() == root + "DL";
    EXPECT_EQ(Key("10"), written ? c.stored : QString("marker"));
    EXPECT_TRUE(QFileInfo(c.stored).isDir());
  }
}

TEST_F(SettingsTest, RefusedDownloadFolderChangesNothing)
{
  QFile file(root + "plainfile");
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  struct Case {
    const char *what;
    QString typed;
  };
  const Case cases[] = {
      {"relative path", "downloads/games"},
      {"a file", root + "plainfile"},
      {"below a file", root + "plainfile/sub/dir"},
      {"home shorthand", "~/games"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    pcRun.clear();
    const QString before = DownloadDir;
    ScopedDialogRecorder rec;
    auto *dlg = new TfrmSettings(Hooks());
    QPointer<TfrmSettings> guard(dlg);
    dlg->show();
    dlg->CheckBox1->click();
    dlg->rbtnHideWin->click();
    dlg->edtDownloadDir->setText(c.typed);
    EXPECT_FALSE(dlg->limgOkClick());
    EXPECT_EQ(rec.infoTexts(), QStringList{"没有权限创建下载文件夹。"});
    EXPECT_TRUE(dlg->isVisible()) << "the dialog stays open";
    EXPECT_EQ(DownloadDir, before);
    EXPECT_EQ(Key("10"), before);
    EXPECT_EQ(CloseMode, "1");
    EXPECT_EQ(Key("8"), "1");
    EXPECT_TRUE(pcRun.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(root + "downloads"));
    delete guard.data();
  }
}

TEST_F(SettingsTest, FolderThatGbkCannotSpellIsRefusedAndNothingChanges)
{
  // local.ini holds the folder in GBK: a name GBK has no characters for
  // could not be kept, so the dialog refuses it before anything is applied
  // (nor is the folder made).
  const QString names[] = {QStringLiteral("한국어"), QStringLiteral("游戏\U0001F600"),
                           QStringLiteral("ไทย")};
  for (const QString &name : names) {
    SCOPED_TRACE(name.toStdString());
    pcRun.clear();
    const QString before = DownloadDir;
    const QByteArray iniBefore = [&] {
      QFile f(LocalIniFile);
      return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    ScopedDialogRecorder rec;
    auto *dlg = new TfrmSettings(Hooks());
    QPointer<TfrmSettings> guard(dlg);
    dlg->show();
    dlg->CheckBox1->click();
    dlg->rbtnHideWin->click();
    dlg->edtDownloadDir->setText(root + name + "/");
    EXPECT_FALSE(dlg->limgOkClick());
    EXPECT_EQ(rec.infoTexts(), QStringList{"下载文件夹的名称中有无法保存的文字，请换一个文件夹。"});
    EXPECT_TRUE(dlg->isVisible()) << "the dialog stays open";
    EXPECT_EQ(DownloadDir, before);
    EXPECT_EQ(CloseMode, "1");
    EXPECT_TRUE(pcRun.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(root + name));
    QFile f(LocalIniFile);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), iniBefore);
    delete guard.data();
  }
  // A Chinese name GBK has is taken.
  ScopedDialogRecorder rec;
  TfrmSettings dlg(Hooks());
  dlg.edtDownloadDir->setText(root + QStringLiteral("学习/"));
  EXPECT_TRUE(dlg.limgOkClick());
  EXPECT_EQ(rec.infoTexts(), QStringList{"设置完成。"});
  EXPECT_EQ(DownloadDir, root + QStringLiteral("学习/"));
  EXPECT_EQ(Key("10"), root + QStringLiteral("学习/"));
}

TEST_F(SettingsTest, TitleBarCloseDiscardsEverything)
{
  PlayDialogsWith([](TfrmWinTemplate *dlg) {
    auto *s = static_cast<TfrmSettings *>(dlg);
    s->CheckBox1->click();
    s->rbtnHideWin->click();
    s->edtDownloadDir->setText("/tmp/elsewhere");
    Click(s->limgClose);
  });
  ShowSettings(nullptr, Hooks());
  PlayDialogsWith({});
  EXPECT_TRUE(pcRun.isEmpty());
  EXPECT_EQ(CloseMode, "1");
  EXPECT_EQ(DownloadDir, root + "DL/");
}

TEST_F(SettingsTest, OkThroughTheButtonClosesTheDialog)
{
  ScopedDialogRecorder rec;
  bool closed = false;
  PlayDialogsWith([&](TfrmWinTemplate *dlg) {
    auto *s = static_cast<TfrmSettings *>(dlg);
    s->rbtnHideWin->click();
    Click(s->limgOk);
    closed = !s->isVisible();
  });
  ShowSettings(nullptr, Hooks());
  PlayDialogsWith({});
  EXPECT_TRUE(closed);
  EXPECT_EQ(CloseMode, "0");
  EXPECT_EQ(rec.infoTexts(), QStringList{"设置完成。"});
}

TEST_F(SettingsTest, BrowseFillsTheBoxOrLeavesIt)
{
  QStringList titles, starts;
  QString answer;
  TestDesktop().folderAnswer = ([&](const QString &title, const QString &start) {
    titles << title;
    starts << start;
    return answer;
  });
  TfrmSettings dlg(Hooks());
  answer = root + "picked";
  Click(dlg.imgBorwse);
  EXPECT_EQ(dlg.edtDownloadDir->text(), root + "picked/");
  answer = root + "ends/";
  dlg.imgBorwseClick();
  EXPECT_EQ(dlg.edtDownloadDir->text(), root + "ends/");
  answer.clear();  // cancelled
  dlg.imgBorwseClick();
  EXPECT_EQ(dlg.edtDownloadDir->text(), root + "ends/");
  EXPECT_EQ(titles, QStringList(3, "选择你要保存文件的目录"));
  EXPECT_EQ(starts, QStringList(3, QString()));
}

TEST_F(SettingsTest, BrowseForFolderClearsAMissingStart)
{
  QString start;
  TestDesktop().folderAnswer = ([&](const QString &, const QString &s) {
    start = s;
    return QString();
  });
  QString folder = root + "missing";
  EXPECT_FALSE(BrowseForFolder("t", QString(), folder));
  EXPECT_TRUE(folder.isEmpty());
  EXPECT_TRUE(start.isEmpty());
  folder = root + "DL";
  EXPECT_FALSE(BrowseForFolder("t", QString(), folder));
  EXPECT_EQ(folder, root + "DL");
  EXPECT_EQ(start, root + "DL");
}

TEST_F(SettingsTest, EngineMissingGreysTheRunAtStartBox)
{
  SettingsHooks h;
  h.isAutorunRegistered = [] { return true; };
  TfrmSettings dlg(h);
  EXPECT_FALSE(dlg.CheckBox1->isEnabled());
  EXPECT_TRUE(dlg.CheckBox1->isChecked());
}

}  // namespace
