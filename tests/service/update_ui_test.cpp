#include "servicetest.h"

#include "service/services.h"
#include "service/updatearea.h"
#include "widgets/dialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>

namespace {

class UpdateArea : public FreshAppDir {
protected:
  void SetUp() override
  {
    FreshAppDir::SetUp();
    services_.shared = &service_;
    QObject::connect(&channel_, &QLineEdit::textChanged, [this](const QString &t) {
      if (t.isEmpty())
        return;
      written_.append(t);
      // The window's channel handler: ask the service, then empty the box.
      if (t == QStringLiteral("wsClientLogin"))
        area_->RequestVersionInfo(ServiceNumber);
      channel_.clear();
    });
    quit_.setInterval(500);
    area_ = std::make_unique<TUpdateCheck>(nullptr, &services_, &channel_, &quit_, nullptr);
    ClientVersion = 16783119;
    CatalogVersion = QStringLiteral("Channel");  // the catalog step stops at once
  }
  void TearDown() override
  {
    area_.reset();
    FreshAppDir::TearDown();
  }
  UserServices services_;
  FakeUserService service_;
  QLineEdit channel_;
  QTimer quit_;
  QStringList written_;
  std::unique_ptr<TUpdateCheck> area_;
};

// Action 1460 asks the service once; its answer, even one carrying 1460
// again, asks no further.
TEST_F(UpdateArea, WebServiceRequestRunsOncePerEngineReport)
{
  CatalogVersion = QStringLiteral("100093");
  ExeUpdateEnabled = 0;
  QDir().mkpath(dir_ + QStringLiteral("Resource/xml"));
  QFile f(dir_ + QStringLiteral("Resource/xml/100093.xml"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();
  service_.version.curResult = 1;
  service_.version.versionFlag = 1460;
  service_.version.lastVersionID = 100093;
  service_.version.upVersionID = QStringLiteral("3");
  area_->HandleVersionInfo(1460, 100093, 42, 1);
  ASSERT_TRUE(area_->calls()->waitIdle(5000));
  EXPECT_EQ(written_, QStringList{QStringLiteral("wsClientLogin")});
  EXPECT_EQ(service_.calls, QStringList{QStringLiteral("clientByVersion 1.0.23.15 42")});
  EXPECT_EQ(ServiceNumber, 42);
}

TEST_F(UpdateArea, ServiceAnswerStartsTheUpdaterAndTheQuitTimer)
{
  ExeUpdateEnabled = 1;
  service_.version.curResult = 1;
  service_.version.versionFlag = 3;
  service_.version.upVersionID = QStringLiteral(" 17 ");
  QStringList started;
  area_->seams.startProgram = [&](const QString &p, const QStringList &a) {
    started.append(p + QLatin1Char(' ') + a.join(QLatin1Char('|')));
    return true;
  };
  const QString cwd = dir_ + QStringLiteral("cwd/");
  QDir().mkpath(cwd);
  QFile updater(cwd + QStringLiteral("KsvUpdate.exe"));
  ASSERT_TRUE(updater.open(QIODevice::WriteOnly));
  updater.close();
  area_->seams.currentDir = cwd;
  ScopedDialogRecorder boxes(true);
  area_->RequestVersionInfo(9);
  ASSERT_TRUE(area_->calls()->waitIdle(5000));
  EXPECT_EQ(boxes.questions(), QStringList{QStringLiteral("系统有更新,是否希望升级?")});
  EXPECT_EQ(started, QStringList{cwd + QStringLiteral("KsvUpdate.exe UPDATE_VERSION_NOTE|17")});
  EXPECT_TRUE(quit_.isActive());
}

TEST_F(UpdateArea, FailedOrRefusedRequestsChangeNothing)
{
  ExeUpdateEnabled = 1;
  ScopedDialogRecorder boxes(true);
  service_.version.curResult = 0;
  service_.version.versionFlag = 2;
  area_->RequestVersionInfo(9);
  ASSERT_TRUE(area_->calls()->waitIdle(5000));
  service_.version.curResult = 1;
  service_.version.upVersionID = QStringLiteral("x");
  area_->RequestVersionInfo(9);
  ASSERT_TRUE(area_->calls()->waitIdle(5000));
  service_.failWith = "fault";
  area_->RequestVersionInfo(9);
  ASSERT_TRUE(area_->calls()->waitIdle(5000));
  EXPECT_EQ(service_.calls.size(), 3);
  EXPECT_TRUE(boxes.entries.isEmpty());
  EXPECT_FALSE(quit_.isActive());
  EXPECT_EQ(ServiceNumber, 0);
  // No proxy: no call at all.
  services_.shared = nullptr;
  area_->RequestVersionInfo(9);
  EXPECT_EQ(area_->calls()->running(), 0);
}

// The catalog is downloaded on a worker and put in place on the window's
// thread; a broken download changes nothing.
TEST_F(UpdateArea, CatalogStepFetchesOffTheWindowsThread)
{
  const auto write = [](const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
  };
  const QString xml = dir_ + QStringLiteral("Resource/xml/");
  ASSERT_TRUE(write(xml + QStringLiteral("100093.xml"), "<c><r><id>1</id></r></c>"));
  ResourceBaseUrl = dir_ + QStringLiteral("site/");
  CatalogVersion = QStringLiteral("100093");
  ExeUpdateEnabled = 0;
  XmlUpdateEnabled = 1;
  ASSERT_TRUE(write(ResourceBaseUrl + QStringLiteral("100094/all/100094.XML"), "<c><r><id>"));
  area_->HandleVersionInfo(0, 100094, 3, 0);
  EXPECT_FALSE(QFile::exists(xml + QStringLiteral("100094.XML")));
  EXPECT_EQ(ReadIniValue(LocalIniFile, "Info", "7"), QStringLiteral("100093"));

  ASSERT_TRUE(
      write(ResourceBaseUrl + QStringLiteral("100094/all/100094.XML"), "<c><r><id>2</id></r></c>"));
  area_->HandleVersionInfo(0, 100094, 3, 0);
  EXPECT_TRUE(QFile::exists(xml + QStringLiteral("100094.XML")));
  EXPECT_TRUE(QFile::exists(xml + QStringLiteral("Channel.xml")));
  EXPECT_EQ(ReadIniValue(LocalIniFile, "Info", "7"), QStringLiteral("100094"));
}

}  // namespace
