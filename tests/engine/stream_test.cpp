// The local address: SetProgramInfo registers a task, and a GET on the
// address it writes streams the content through the engine.
#include <atomic>
#include <cstring>
#include <thread>

#include "enginetest.h"
#include "testserver.h"

namespace {

using namespace std::chrono_literals;

class StreamTest : public EngineTest {
protected:
  Local registerUrl(const std::string &url, int32_t id) { return RegisterLocal(url, id); }
  TestServer server_;
};

TEST_F(StreamTest, StreamEqualsTheSource)
{
  const char *routes[] = {"/data/300000.swf",   "/data/0",         "/cut/400000",
                          "/cutnorange/400000", "/chunked/250000", "/slow/500000",
                          "/redirect/1000",     "/flaky/2000"};
  const std::size_t sizes[] = {300000, 0, 400000, 400000, 250000, 500000, 1000, 2000};
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(routes[i]);
    const int32_t item = 1000 + i;
    Local l = registerUrl(server_.url(routes[i]), item);
    ASSERT_GT(l.port, 0);
    int32_t percent = -1, spare = -1, total = -1;
    ASSERT_TRUE(GetProgInfo(l.task, &percent, &spare, &total));  // registered, not started
    EXPECT_EQ(percent, 0);
    EXPECT_EQ(total, 0);

    httplib::Client client("127.0.0.1", l.port);
    auto res = client.Get(l.path.c_str());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_TRUE(res->body == TestServer::Content(sizes[i]));
    EXPECT_EQ(Recorder::Get().taskEnd(item), 100);  // reported under the item's id
    ASSERT_TRUE(GetProgInfo(l.task, &percent, &spare, &total));
    EXPECT_EQ(percent, 100);
    EXPECT_EQ(total, static_cast<int32_t>(sizes[i]));

    auto again = client.Get(l.path.c_str());  // a task is served once
    ASSERT_TRUE(again);
    EXPECT_EQ(again->status, 410);
  }
  UnInitkestrova();
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(Recorder::Get().count('T', 1000 + i), 1);
}

TEST_F(StreamTest, ProgressFollowsTheReader)
{
  Local l = registerUrl(server_.url("/slow/800000"), 77);
  std::string body;
  std::thread reader([&] {
    httplib::Client client("127.0.0.1", l.port);
    auto res = client.Get(l.path.c_str());
    if (res)
      body = res->body;
  });
  std::vector<int32_t> seen;
  while (Recorder::Get().count('T', 77) == 0) {
    int32_t percent = 0, spare = 0, total = 0;
    if (GetProgInfo(l.task, &percent, &spare, &total) && Recorder::Get().count('T', 77) == 0) {
      seen.push_back(percent);
      if (total != 0) {
        EXPECT_EQ(total, 800000);
      }
    }
    std::this_thread::sleep_for(2ms);
  }
  reader.join();
  EXPECT_TRUE(body == TestServer::Content(800000));
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_GT(*std::max_element(seen.begin(), seen.end()), 0);
  EXPECT_LT(*std::max_element(seen.begin(), seen.end()), 100);
}

TEST_F(StreamTest, AReaderThatPausesHoldsTheFetchBack)
{
  // A large body and a reader that takes its first MiB and then pauses: the
  // fetch stops soon after, held by the engine's bounded hand-over (and the
  // sockets' own buffers); once the reader goes on, every byte arrives.
  constexpr std::size_t kSize = 64u << 20;
  Local l = registerUrl(server_.url("/data/" + std::to_string(kSize) + ".swf"), 78);
  std::atomic<bool> pause{true};
  std::atomic<std::size_t> got{0};
  std::string body;
  std::thread reader([&] {
    httplib::Client client("127.0.0.1", l.port);
    client.set_read_timeout(60, 0);
    body.reserve(kSize);
    client.Get(l.path.c_str(), [&](const char *data, std::size_t n) {
      body.append(data, n);
      got += n;
      while (pause.load() && got.load() >= (1u << 20))
        std::this_thread::sleep_for(2ms);
      return true;
    });
  });
  // Received by the engine (KiB), once it stays put for half a second.  The
  // reader pauses for less than the local server's write time-out (5 s),
  // after which the server would rightly drop it as a client that stopped
  // reading.
  int32_t held = -1;
  int still = 0;
  for (int i = 0; i < 70 && still < 10; ++i) {
    std::this_thread::sleep_for(50ms);
    int32_t percent = 0, spare = 0, total = 0;
    if (!GetProgInfo(l.task, &percent, &spare, &total) || got.load() < (1u << 20))
      continue;
    still = spare == held ? still + 1 : 0;
    held = spare;
  }
  EXPECT_EQ(still, 10) << "the fetch did not come to rest while the reader paused";
  EXPECT_LT(held, 32 * 1024) << "KiB taken from the server while the reader read 1 MiB";
  pause = false;
  reader.join();
  EXPECT_EQ(body.size(), kSize);
  EXPECT_TRUE(body == TestServer::Content(kSize));
  EXPECT_EQ(Recorder::Get().taskEnd(78), 100);
}

TEST_F(StreamTest, FailuresReachTheReaderAndTheReport)
{
  // The server refuses: the reader gets 502, the task ends below 100.
  Local bad = registerUrl(server_.url("/status/404"), 50);
  httplib::Client client("127.0.0.1", bad.port);
  auto res = client.Get(bad.path.c_str());
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 502);
  EXPECT_LT(Recorder::Get().taskEnd(50), 100);

  // Broken off for good mid-body: the reader sees a short body, not a whole one.
  Local broken = registerUrl(server_.url("/broken/400000"), 51);
  auto cut = client.Get(broken.path.c_str());
  EXPECT_TRUE(!cut || cut->body.size() < 400000);
  EXPECT_LT(Recorder::Get().taskEnd(51), 100);

  // The reader goes away mid-body: the task ends below 100.
  Local gone = registerUrl(server_.url("/slow/4000000"), 52);
  {
    httplib::Client quitter("127.0.0.1", gone.port);
    std::size_t got = 0;
    quitter.Get(gone.path.c_str(), [&](const char *, std::size_t n) {
      got += n;
      return got < 100000;  // false: stop reading
    });
  }
  EXPECT_LT(Recorder::Get().taskEnd(52), 100);

  // Unknown task numbers and other paths.
  for (const char *path : {"/P2P/5.swf", "/P2P/99999999999.swf", "/P2P/x.swf", "/other"}) {
    auto r = client.Get(path);
    ASSERT_TRUE(r) << path;
    EXPECT_EQ(r->status, 404) << path;
  }
  // The engine still serves.
  Local ok = registerUrl(server_.url("/data/5000"), 53);
  auto fine = client.Get(ok.path.c_str());
  ASSERT_TRUE(fine);
  EXPECT_TRUE(fine->body == TestServer::Content(5000));
}

TEST_F(StreamTest, BufferContract)
{
  // The engine writes a NUL-terminated address and never past 1024 bytes.
  std::vector<char> guarded(1024 + 64, 'G');
  std::memset(guarded.data(), 0, 1024);
  ASSERT_TRUE(SetProgramInfo(server_.url("/data/10.swf").c_str(), 1, 2, 2, guarded.data()));
  EXPECT_TRUE(std::all_of(guarded.begin() + 1024, guarded.end(), [](char c) { return c == 'G'; }));
  EXPECT_NE(std::memchr(guarded.data(), 0, 1024), nullptr);

  struct Case {
    std::string url;
    const char *ext;
  } cases[] = {
      {server_.url("/data/10.swf"), ".swf"},
      {server_.url("/data/10.FLV"), ".flv"},
      {server_.url("/a/b/3F2A.mp3?x=1.jpeg#z.gif"), ".mp3"},
      {server_.url("/data/10"), ".dat"},
      {server_.url("/data/10.jpeg"), ".dat"},
      {server_.url("/dir.swf/"), ".dat"},
      {server_.url(""), ".dat"},
  };
  std::vector<int32_t> tasks;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.url);
    char buffer[1024];
    std::memset(buffer, 'x', sizeof buffer);
    ASSERT_TRUE(SetProgramInfo(c.url.c_str(), 9, 2, 2, buffer));
    ASSERT_NE(std::memchr(buffer, 0, sizeof buffer), nullptr);
    std::string text = buffer;
    EXPECT_EQ(text.substr(text.size() - 4), c.ext);
    Local l = ParseAddress(buffer);
    EXPECT_EQ(l.port > 0, true) << text;
    tasks.push_back(l.task);
  }
  std::sort(tasks.begin(), tasks.end());
  EXPECT_EQ(std::adjacent_find(tasks.begin(), tasks.end()),
            tasks.end());  // every task its own number

  // No buffer, no address: false; a refused address leaves an empty text.
  EXPECT_FALSE(SetProgramInfo(server_.url("/data/10.swf").c_str(), 1, 2, 2, nullptr));
  for (const char *url :
       {static_cast<const char *>(nullptr), "", "ftp://127.0.0.1/a.swf", "nonsense"}) {
    char buffer[1024] = "stale";
    EXPECT_FALSE(SetProgramInfo(url, 1, 2, 2, buffer));
    EXPECT_EQ(buffer[0], '\0');
  }

  // A registered task that nobody reads ends when stopped, under the item's id.
  Local idle = registerUrl(server_.url("/data/10.swf"), 4242);
  EXPECT_TRUE(StopDownload(idle.task));
  EXPECT_EQ(Recorder::Get().taskEnd(4242), 0);
  httplib::Client client("127.0.0.1", idle.port);
  auto res = client.Get(idle.path.c_str());
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 410);
  EXPECT_EQ(server_.requests("/data/10.swf"), 0);  // registering fetches nothing
}

}  // namespace
