// Connections that abuse the portal: slow clients hold their connections
// while others are served, and a stop closes them all.
#include "harness.h"
#include "slowclients.h"

#include <QElapsedTimer>
#include <QUrl>

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

TEST_F(PortalTest, SlowClientsNeitherBlockRequestsNorTheStop)
{
  const int port = QUrl(portal_->base()).port();
  // More slow clients than the portal has workers, each sending a header
  // line a second and never the end of its request.
  slowclients::SlowClients slow(port, 40, 1s, 8, "/index.htm");
  ASSERT_EQ(slow.opened(), 40);
  std::this_thread::sleep_for(200ms);
  for (const char *path : {"/index.htm", "/engine/version?version=1"}) {
    HttpRequest r;
    r.timeoutMs = 4000;
    const HttpReply reply = portal_->Get(QString::fromLatin1(path), r);
    EXPECT_EQ(reply.status, 200) << path << ": no answer beside the slow clients";
  }
  EXPECT_GT(slow.waiting(), 0) << "the slow clients were still there";

  // A silent connection and a reader that reads nothing of a large page stay
  // open too; the stop closes everything.
  const int silent = slowclients::Connect(port);
  const int stuck = slowclients::Connect(port);
  for (int i = 0; i < 200; ++i)
    slowclients::SendAll(stuck,
                         "GET /hl/100094/all/100094.XML HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  std::this_thread::sleep_for(300ms);
  QElapsedTimer took;
  took.start();
  EXPECT_TRUE(portal_->Stop()) << portal_->stderrText().toStdString();
  EXPECT_LT(took.elapsed(), 2000);
  EXPECT_EQ(slow.waiting(), 0);
  portal_.reset();
  ::close(silent);
  ::close(stuck);
}

}  // namespace
