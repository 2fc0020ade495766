// The checked page opening of the page browsers: nothing waits for the
// server, an unreachable or failing address gives the fallback page, and a
// newer request wins over an older one still under way.
#include "testappdir.h"

#include "player/pagebrowser.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A loopback server that either never answers or answers every request
// with `status`.
class TinyServer : public QTcpServer {
public:
  explicit TinyServer(int status) : m_status(status)
  {
    listen(QHostAddress::LocalHost, 0);
    connect(this, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket *s = nextPendingConnection()) {
        if (m_status == 0)
          continue;  // silent: the connection stays open, unanswered
        connect(s, &QTcpSocket::readyRead, s, [this, s] {
          s->readAll();
          const QByteArray body = "<html><body>status</body></html>";
          s->write("HTTP/1.1 " + QByteArray::number(m_status) +
                   " X\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: " +
                   QByteArray::number(body.size()) + "\r\n\r\n" + body);
          s->disconnectFromHost();
        });
      }
    });
  }
  QString address(const QString &path) const
  {
    return QStringLiteral("http://127.0.0.1:%1/%2").arg(serverPort()).arg(path);
  }

private:
  int m_status;
};

class PageCheckTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(app.put(TestAppDir::SourceDir() + "/appdir/Resource/html/offline/OffLine.htm",
                        "Resource/Html/offline/OffLine.htm"));
    fallback = OfflinePagePath();
    ASSERT_FALSE(fallback.isEmpty());
  }
  bool ShowsFallback() const
  {
    return WaitFor([&] { return view.url().fileName() == "OffLine.htm"; }, 20000);
  }
  TestAppDir app{false};
  QWebEngineView view;
  QString fallback;
};

TEST_F(PageCheckTest, ASilentServerIsNotWaitedForAndANewerRequestWins)
{
  TinyServer silent(0);
  const QString slow = silent.address("ad.html");
  OpenPageChecked(&view, slow, fallback);
  // The request is on its way without an answer: nothing waited for it.
  EXPECT_EQ(view.page()->requestedUrl(), QUrl(slow));
  // A newer request for an address nobody serves: its fallback shows, and the
  // older request never replaces it.
  QTcpServer closed;
  ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
  const QString refused = QStringLiteral("http://127.0.0.1:%1/x.html").arg(closed.serverPort());
  closed.close();
  OpenPageChecked(&view, refused, fallback);
  EXPECT_TRUE(ShowsFallback()) << view.url().toString().toStdString();
  silent.close();
  Pump(500);
  EXPECT_EQ(view.url().fileName(), "OffLine.htm");
}

TEST_F(PageCheckTest, AnErrorStatusGivesTheFallbackAndASuccessStays)
{
  TinyServer missing(404);
  OpenPageChecked(&view, missing.address("gone.html"), fallback);
  EXPECT_TRUE(ShowsFallback()) << view.url().toString().toStdString();

  TinyServer fine(200);
  const QString page = fine.address("ok.html");
  OpenPageChecked(&view, page, fallback);
  EXPECT_TRUE(WaitFor([&] { return view.url() == QUrl(page) && !view.page()->isLoading(); },
                      20000));
  Pump(300);
  EXPECT_EQ(view.url(), QUrl(page));
}

// Pages held back (until a window's first paint): no view gets a page, the
// newest request of each view opens at the release, a view gone meanwhile
// is skipped, and a release without opening drops them.  A page maker runs
// once, before the first page opens in its view.
TEST_F(PageCheckTest, HeldPagesOpenAtTheReleaseAndAPageMakerRunsFirst)
{
  TinyServer fine(200);
  QWebEngineView other;
  auto gone = std::make_unique<QWebEngineView>();
  auto hasPage = [](QWebEngineView &v) { return v.findChild<QWebEnginePage *>() != nullptr; };
  int made = 0;
  SetPageMaker(&other, [&] {
    ++made;
    other.setPage(new QWebEnginePage(&other));
  });

  HoldPageLoads();
  OpenPage(&view, fine.address("old.html"));
  OpenPageChecked(&other, fine.address("other.html"), fallback);
  OpenPage(gone.get(), fine.address("gone.html"));
  OpenPageChecked(&view, fine.address("new.html"), fallback);  // replaces old.html
  gone.reset();
  Pump(200);
  EXPECT_FALSE(hasPage(view));
  EXPECT_FALSE(hasPage(other));
  EXPECT_EQ(made, 0);
  ReleasePageLoads();
  EXPECT_EQ(made, 1);
  EXPECT_EQ(view.page()->requestedUrl(), QUrl(fine.address("new.html")));
  EXPECT_EQ(other.page()->requestedUrl(), QUrl(fine.address("other.html")));
  OpenPage(&other, fine.address("again.html"));
  EXPECT_EQ(made, 1);  // once only

  QWebEngineView dropped;
  HoldPageLoads();
  OpenPage(&dropped, fine.address("never.html"));
  ReleasePageLoads(false);
  Pump(200);
  EXPECT_FALSE(hasPage(dropped));
  // Not held any more: a page opens at once.
  OpenPage(&dropped, fine.address("now.html"));
  EXPECT_EQ(dropped.page()->requestedUrl(), QUrl(fine.address("now.html")));
}

}  // namespace
