// The local server under abuse: slow and silent clients, other pages on
// loopback guessing addresses or sending other Host names, registrations
// nobody fetches, and byte ranges good and bad.
#include <chrono>
#include <regex>
#include <set>
#include <thread>

#include "enginetest.h"
#include "slowclients.h"
#include "testserver.h"

namespace {

using namespace std::chrono_literals;
using slowclients::Exchange;
using slowclients::SlowClients;
using slowclients::StatusOf;

class LocalServerTest : public EngineTest {
protected:
  void TearDown() override
  {
    EngineTest::TearDown();
    unsetenv("KESTROVA_ENGINE_UNCLAIMED_MS");
  }
  // Restarts the engine with the settings of the environment.
  void restart()
  {
    UnInitkestrova();
    Recorder::Get().reset();
    ASSERT_TRUE(Init());
  }
  httplib::Result get(const Local &l, const httplib::Headers &headers = {})
  {
    httplib::Client client("127.0.0.1", l.port);
    client.set_read_timeout(5s);
    return client.Get(l.path.c_str(), headers);
  }
  TestServer server_;
};

TEST_F(LocalServerTest, SlowClientsNeitherBlockRequestsNorTheShutdown)
{
  Local l = RegisterLocal(server_.url("/data/300000.swf"), 60);
  ASSERT_GT(l.port, 0);
  // More slow clients than the server has workers, each a header line a
  // second, never finishing its request.
  SlowClients slow(l.port, 24, 1s, 8, l.path);
  ASSERT_EQ(slow.opened(), 24);
  std::this_thread::sleep_for(200ms);
  const auto res = get(l);
  ASSERT_TRUE(res) << "a normal request got no answer beside the slow clients";
  EXPECT_EQ(res->status, 200);
  EXPECT_TRUE(res->body == TestServer::Content(300000));
  EXPECT_EQ(Recorder::Get().taskEnd(60), 100);
  EXPECT_GT(slow.waiting(), 0) << "the slow clients were still there";

  // Shutting down beside slow clients, a silent connection and a reader that
  // asked for a large body and reads nothing.
  Local big = RegisterLocal(server_.url("/data/30000000"), 61);
  const int silent = slowclients::Connect(l.port);
  const int stuck = slowclients::Connect(big.port);
  ASSERT_TRUE(slowclients::SendAll(stuck, "GET " + big.path + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                                              std::to_string(big.port) + "\r\n\r\n"));
  std::this_thread::sleep_for(300ms);
  const auto start = std::chrono::steady_clock::now();
  UnInitkestrova();
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, 2s) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count()
                      << " ms";
  EXPECT_EQ(slow.waiting(), 0) << "every connection is closed by the shutdown";
  ::close(silent);
  ::close(stuck);
}

TEST_F(LocalServerTest, AddressesCannotBeGuessed)
{
  Local a = RegisterLocal(server_.url("/data/5000.swf"), 70);
  Local b = RegisterLocal(server_.url("/data/6000.swf"), 71);
  // http://127.0.0.1:PORT/<32 hex digits>/P2P/<task>.<ext>, a key of its own
  // for every task.
  const std::regex form(R"(/([0-9a-f]{32})/P2P/(\d+)\.swf)");
  std::smatch ma, mb;
  ASSERT_TRUE(std::regex_match(a.path, ma, form)) << a.path;
  ASSERT_TRUE(std::regex_match(b.path, mb, form)) << b.path;
  EXPECT_NE(ma[1].str(), mb[1].str());
  EXPECT_EQ(ma[2].str(), std::to_string(a.task));

  // Without the key, with another task's key or with a made-up one: unknown,
  // and the task stays for its reader.
  const std::string bare = "/P2P/" + std::to_string(a.task) + ".swf";
  std::string nearly = ma[1].str();  // the right key but for its last digit
  nearly.back() = nearly.back() == '0' ? '1' : '0';
  for (const std::string &path : std::vector<std::string>{
           bare, "/" + mb[1].str() + bare, "/00000000000000000000000000000000" + bare,
           "/" + nearly + bare, "/" + ma[1].str() + "/x" + bare}) {
    SCOPED_TRACE(path);
    httplib::Client client("127.0.0.1", a.port);
    auto r = client.Get(path.c_str());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 404);
    auto h = client.Head(path.c_str());
    ASSERT_TRUE(h);
    EXPECT_EQ(h->status, 404);
  }
  auto res = get(a);
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_TRUE(res->body == TestServer::Content(5000));
}

TEST_F(LocalServerTest, OnlyItsOwnHostIsServed)
{
  Local l = RegisterLocal(server_.url("/data/5000.swf"), 72);
  const std::string port = std::to_string(l.port);
  const std::string other = std::to_string(l.port == 65535 ? 1 : l.port + 1);
  for (const std::string &host : std::vector<std::string>{
           "evil.example:" + port, "evil.example", "127.0.0.1:" + other, "127.0.0.1", "localhost",
           "localhost:" + other, "127.0.0.2:" + port, "[::1]:" + port,
           "127.0.0.1:" + port + ".evil.example", "", "127.0.0.1:0" + port}) {
    SCOPED_TRACE("Host: " + host);
    const std::string answer = Exchange(l.port, "GET " + l.path + " HTTP/1.1\r\nHost: " + host +
                                                    "\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(StatusOf(answer), 400) << answer.substr(0, 80);
  }
  // No Host at all (HTTP/1.0).
  const std::string none = Exchange(l.port, "GET " + l.path + " HTTP/1.0\r\n\r\n");
  EXPECT_EQ(StatusOf(none), 400) << none.substr(0, 80);

  // The task is still there; its own names are served.
  auto res = get(l, {{"Host", "localhost:" + port}});
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_TRUE(res->body == TestServer::Content(5000));
  Local m = RegisterLocal(server_.url("/data/5000.swf"), 73);
  auto upper = get(m, {{"Host", "LocalHost:" + port}});
  ASSERT_TRUE(upper);
  EXPECT_EQ(upper->status, 200);
  Local n = RegisterLocal(server_.url("/data/5000.swf"), 74);
  auto plain = get(n);  // Host: 127.0.0.1:PORT
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->status, 200);
}

TEST_F(LocalServerTest, RegistrationsNobodyFetchesAreDropped)
{
  setenv("KESTROVA_ENGINE_UNCLAIMED_MS", "300", 1);
  restart();
  Local idle = RegisterLocal(server_.url("/data/5000.swf"), 80);
  // Fetched in time and streaming for longer than the period: kept.
  Local busy = RegisterLocal(server_.url("/slow/1500000"), 81);
  std::string body;
  std::thread reader([&] {
    auto r = get(busy);
    if (r)
      body = r->body;
  });
  // The idle one is dropped: it ends at 0 %, reported under its item's id.
  EXPECT_EQ(Recorder::Get().taskEnd(80, 5s), 0);
  int32_t percent = -1, spare = -1, total = -1;
  ASSERT_TRUE(GetProgInfo(idle.task, &percent, &spare, &total));
  EXPECT_EQ(percent, 0);
  auto late = get(idle);
  ASSERT_TRUE(late);
  EXPECT_EQ(late->status, 410);
  reader.join();
  EXPECT_TRUE(body == TestServer::Content(1500000));
  EXPECT_EQ(Recorder::Get().taskEnd(81), 100);
  EXPECT_EQ(server_.requests("/data/5000.swf"), 0);
  UnInitkestrova();
  EXPECT_EQ(Recorder::Get().count('T', 80), 1);
}

TEST_F(LocalServerTest, ByteRanges)
{
  const std::string content = TestServer::Content(10000);
  struct Case {
    const char *route;
    const char *range;
    int status;
    std::size_t first, length;  // of the body
    const char *contentRange;   // "" for none
  } cases[] = {
      {"/data/10000", "bytes=100-199", 206, 100, 100, "bytes 100-199/10000"},
      {"/data/10000", "bytes=9990-20000", 206, 9990, 10, "bytes 9990-9999/10000"},
      {"/data/10000", "bytes=-50", 206, 9950, 50, "bytes 9950-9999/10000"},
      {"/data/10000", "bytes=0-", 206, 0, 10000, "bytes 0-9999/10000"},
      {"/data/10000", "bytes=0-9,20-29", 200, 0, 10000, ""},
      // No size makes these good: refused before the fetch starts.
      {"/data/10000", "bytes=5-2", 416, 0, 0, ""},
      {"/data/10000", "bytes=-0", 416, 0, 0, ""},
      {"/data/10000", "bytes=1-x", 416, 0, 0, ""},
      {"/data/10000", "bytes=10000-", 416, 0, 0, "bytes */10000"},
      {"/data/10000", "bytes=20000-30000", 416, 0, 0, "bytes */10000"},
      // Size not told by the server: the whole body.
      {"/chunked/10000", "bytes=100-199", 200, 0, 10000, ""},
  };
  int32_t id = 900;
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.route) + " " + c.range);
    Local l = RegisterLocal(server_.url(c.route), ++id);
    auto res = get(l, {{"Range", c.range}});
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, c.status);
    EXPECT_EQ(res->get_header_value("Content-Range"), c.contentRange);
    if (c.status != 416) {
      EXPECT_TRUE(res->body == content.substr(c.first, c.length)) << res->body.size() << " bytes";
      if (res->has_header("Content-Length")) {
        EXPECT_EQ(res->get_header_value("Content-Length"), std::to_string(c.length));
      }
    }
  }
}

}  // namespace
