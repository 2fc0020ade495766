// Fetching into a file: NewDownload, StopDownload, GetProgInfo and the
// task-end report.
#include <sys/resource.h>

#include <csignal>
#include <thread>

#include "enginetest.h"
#include "testserver.h"

namespace {

using namespace std::chrono_literals;

class FetchTest : public EngineTest {
protected:
  TestServer server_;
};

bool NoPartFiles(const std::string &dir)
{
  for (const std::string &name : Entries(dir)) {
    if (name.size() > 5 && name.compare(name.size() - 5, 5, ".part") == 0)
      return false;
  }
  return true;
}

TEST_F(FetchTest, CompletesFromEveryKindOfServer)
{
  struct Case {
    const char *route;
    std::size_t size;
    int requests;  // requests the server must have seen
  } cases[] = {
      {"/data/", 300000, 1},       {"/data/", 0, 1},  // an empty file is a complete file too
      {"/redirect/", 70000, 1},                       // plus the redirect target
      {"/flaky/", 50000, 3},                          // two 503 answers, retried
      {"/cut/", 400000, 2},                           // broken off, resumed with a range
      {"/cutnorange/", 400000, 2},  // broken off, server ignores ranges: starts over
      {"/chunked/", 200000, 1},     // size never told
  };
  int id = 100;
  for (const Case &c : cases) {
    ++id;
    SCOPED_TRACE(std::string(c.route) + std::to_string(c.size));
    const std::string path = cache() + std::to_string(id) + ".swf";
    const std::string route = c.route + std::to_string(c.size);
    ASSERT_TRUE(NewDownload(id, server_.url(route).c_str(), path.c_str()));
    EXPECT_EQ(Recorder::Get().taskEnd(id), 100);
    EXPECT_EQ(ReadAll(path), TestServer::Content(c.size));
    EXPECT_EQ(server_.requests(route), c.requests);
    int32_t percent = -1, spare = -1, total = -1;
    ASSERT_TRUE(GetProgInfo(id, &percent, &spare, &total));
    EXPECT_EQ(percent, 100);
    EXPECT_EQ(total, static_cast<int32_t>(c.size));
    EXPECT_EQ(spare, static_cast<int32_t>(c.size / 1024));
  }
  // The resumed fetch asked for the rest only.
  auto ranges = server_.ranges("/cut/400000");
  ASSERT_EQ(ranges.size(), 2u);
  EXPECT_EQ(ranges[0], "");
  EXPECT_EQ(ranges[1].rfind("bytes=", 0), 0u);
  EXPECT_NE(ranges[1], "bytes=0-");
  EXPECT_TRUE(NoPartFiles(cache()));
  UnInitkestrova();
  for (int i = 101; i <= id; ++i)
    EXPECT_EQ(Recorder::Get().count('T', i), 1) << i;
}

TEST_F(FetchTest, FailureEndsBelowHundredWithNoFile)
{
  struct Case {
    std::string route;
    int requests;  // 0: not checked
  } cases[] = {
      {"/status/404", 1},                           // not retried
      {"/status/403", 1},    {"/status/503", 3},    // retried twice, then given up
      {"/broken/300000", 3}, {"/stall/300000", 3},  // low-speed time-out, each attempt
      {"/nothing-here", 0},
  };
  const std::string dead = "http://127.0.0.1:9/x.swf";  // nobody listens on the discard port
  int id = 200;
  for (const Case &c : cases) {
    ++id;
    SCOPED_TRACE(c.route);
    const std::string path = cache() + std::to_string(id) + ".swf";
    ASSERT_TRUE(NewDownload(id, server_.url(c.route).c_str(), path.c_str()));
    int percent = Recorder::Get().taskEnd(id);
    EXPECT_GE(percent, 0);
    EXPECT_LT(percent, 100);
    EXPECT_FALSE(Exists(path));
    if (c.requests != 0) {
      EXPECT_EQ(server_.requests(c.route), c.requests);
    }
  }
  ++id;
  ASSERT_TRUE(NewDownload(id, dead.c_str(), (cache() + "dead.swf").c_str()));
  EXPECT_LT(Recorder::Get().taskEnd(id), 100);
  EXPECT_TRUE(NoPartFiles(cache()));
  EXPECT_TRUE(Entries(cache()).empty());
}

TEST_F(FetchTest, ThreeTasksRunSideBySide)
{
  const std::size_t sizes[] = {900000, 1000000, 1100000};
  for (int i = 0; i < 3; ++i) {
    const std::string path = cache() + "c" + std::to_string(i);
    ASSERT_TRUE(NewDownload(300 + i, server_.url("/slow/" + std::to_string(sizes[i])).c_str(),
                            path.c_str()));
  }
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Recorder::Get().taskEnd(300 + i), 100);
    EXPECT_EQ(ReadAll(cache() + "c" + std::to_string(i)), TestServer::Content(sizes[i]));
  }
  EXPECT_EQ(server_.maxInFlight(), 3);
  UnInitkestrova();
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(Recorder::Get().count('T', 300 + i), 1);
}

TEST_F(FetchTest, ProgressOnlyGrows)
{
  struct Case {
    std::string route;
    int32_t total;  // while running
    size_t size;
  } cases[] = {{"/slow/600000", 600000, 600000},
               {"/cut/900000?pace=3", 900000, 900000},
               {"/cutnorange/900000?pace=3", 900000, 900000},
               {"/chunked/600000?pace=3", 0, 600000}};
  int id = 400;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.route);
    ++id;
    ASSERT_TRUE(
        NewDownload(id, server_.url(c.route).c_str(), (cache() + std::to_string(id)).c_str()));
    std::vector<int32_t> seen;
    while (Recorder::Get().count('T', id) == 0) {
      int32_t percent = 0, spare = 0, total = 0;
      if (GetProgInfo(id, &percent, &spare, &total) && Recorder::Get().count('T', id) == 0) {
        seen.push_back(percent);
        // 100 only once the item is complete: the file is in place and
        // whole (its end report may still be on its way).
        if (percent == 100) {
          EXPECT_EQ(ReadAll(cache() + std::to_string(id)), TestServer::Content(c.size));
          EXPECT_EQ(total, int32_t(c.size));
        } else if (total != 0) {
          EXPECT_EQ(total, c.total);
        }
      }
      std::this_thread::sleep_for(1ms);
    }
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    if (c.total != 0) {
      EXPECT_GT(seen.back(), 0);
    }
    EXPECT_EQ(Recorder::Get().taskEnd(id), 100);
  }
}

TEST_F(FetchTest, StopCancelsAndLeavesNothing)
{
  const std::string path = cache() + "500.flv";
  ASSERT_TRUE(NewDownload(500, server_.url("/slow/8000000").c_str(), path.c_str()));
  int32_t percent = 0, spare = 0, total = 0;
  while (GetProgInfo(500, &percent, &spare, &total) && spare == 0)
    std::this_thread::sleep_for(5ms);
  EXPECT_TRUE(StopDownload(500));
  // Once StopDownload returns, the task is over and its file gone.
  EXPECT_EQ(Recorder::Get().count('T', 500), 1);
  EXPECT_LT(Recorder::Get().taskEnd(500), 100);
  EXPECT_TRUE(Entries(cache()).empty());
  EXPECT_FALSE(StopDownload(500));  // nothing left to stop
  ASSERT_TRUE(GetProgInfo(500, &percent, &spare, &total));
  EXPECT_LT(percent, 100);
  EXPECT_EQ(total, 8000000);
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(Recorder::Get().count('T', 500), 1);
}

TEST_F(FetchTest, SameIdAndPathIsOneTask)
{
  const std::string path = cache() + "600.swf";
  ASSERT_TRUE(NewDownload(600, server_.url("/slow/300000").c_str(), path.c_str()));
  ASSERT_TRUE(NewDownload(600, server_.url("/slow/300000").c_str(), path.c_str()));
  EXPECT_EQ(Recorder::Get().taskEnd(600), 100);
  EXPECT_EQ(server_.requests("/slow/300000"), 1);
  // The same id for another file replaces the first fetch, which ends unreported.
  ASSERT_TRUE(NewDownload(601, server_.url("/slow/2000000").c_str(), (cache() + "a").c_str()));
  ASSERT_TRUE(NewDownload(601, server_.url("/data/1000").c_str(), (cache() + "b").c_str()));
  EXPECT_EQ(Recorder::Get().taskEnd(601), 100);
  EXPECT_EQ(ReadAll(cache() + "b"), TestServer::Content(1000));
  UnInitkestrova();
  EXPECT_EQ(Recorder::Get().count('T', 600), 1);
  EXPECT_EQ(Recorder::Get().count('T', 601), 1);
  EXPECT_FALSE(Exists(cache() + "a"));
  EXPECT_TRUE(NoPartFiles(cache()));
}

TEST_F(FetchTest, UninitDuringTransfersStopsEverythingSilently)
{
  ASSERT_TRUE(NewDownload(700, server_.url("/slow/8000000").c_str(), (cache() + "700").c_str()));
  ASSERT_TRUE(NewDownload(701, server_.url("/stall/8000000").c_str(), (cache() + "701").c_str()));
  const std::string portal = server_.url("/portal");  // never answers
  std::thread login([&] { EXPECT_FALSE(ClientLoginIn(1, portal.c_str())); });
  std::this_thread::sleep_for(100ms);
  UnInitkestrova();
  login.join();
  const size_t after = Recorder::Get().events().size();
  EXPECT_TRUE(Entries(cache()).empty());
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(Recorder::Get().events().size(), after);  // nothing reported after shutdown
  EXPECT_EQ(Recorder::Get().count('T', 700) + Recorder::Get().count('T', 701), 0);
  EXPECT_EQ(Recorder::Get().count('S', 0), 0);

  // Calls after shutdown are refused; a new start works.
  int32_t p, s, t;
  EXPECT_FALSE(NewDownload(702, server_.url("/data/10").c_str(), (cache() + "702").c_str()));
  EXPECT_FALSE(GetProgInfo(700, &p, &s, &t));
  UnInitkestrova();  // again: harmless
  ASSERT_TRUE(Init());
  EXPECT_FALSE(Init());  // already started
  ASSERT_TRUE(NewDownload(703, server_.url("/data/1000").c_str(), (cache() + "703").c_str()));
  EXPECT_EQ(Recorder::Get().taskEnd(703), 100);
}

TEST_F(FetchTest, BadInputIsRefused)
{
  const std::string ok = server_.url("/data/10");
  const std::string file = cache() + "plain-file";
  {
    std::ofstream(file) << "x";
  }
  struct Case {
    const char *url;
    std::string path;
  } cases[] = {
      {nullptr, cache() + "a"},
      {"", cache() + "a"},
      {"not an address", cache() + "a"},
      {"ftp://127.0.0.1/a.swf", cache() + "a"},
      {"file:///etc/passwd", cache() + "a"},
      {"http://", cache() + "a"},
      {ok.c_str(), ""},
      {ok.c_str(), cache()},                                // a folder, no file name
      {ok.c_str(), cache().substr(0, cache().size() - 1)},  // an existing folder
      {ok.c_str(), file + "/sub/a.swf"},                    // below a plain file: cannot be made
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.url ? c.url : "(null)") + " -> " + c.path);
    EXPECT_FALSE(NewDownload(800, c.url, c.path.c_str()));
  }
  EXPECT_FALSE(NewDownload(800, ok.c_str(), nullptr));
  int32_t p, s, t;
  EXPECT_FALSE(GetProgInfo(800, &p, &s, &t));
  EXPECT_FALSE(GetProgInfo(800, nullptr, &s, &t));
  EXPECT_FALSE(StopDownload(800));
  EXPECT_FALSE(StopDownload(-1));
  EXPECT_EQ(Entries(cache()), std::vector<std::string>{"plain-file"});

  // A missing target folder is made.
  const std::string deep = cache() + "x/y/z.swf";
  ASSERT_TRUE(NewDownload(801, ok.c_str(), deep.c_str()));
  EXPECT_EQ(Recorder::Get().taskEnd(801), 100);
  EXPECT_EQ(ReadAll(deep), TestServer::Content(10));
  EXPECT_EQ(Recorder::Get().count('T', 800), 0);
}

TEST_F(FetchTest, FullDiskFailsTheTaskAndLeavesNoFile)
{
  // A file size limit makes writes fail as a full disk does.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 100000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string path = cache() + "900.swf";
  ASSERT_TRUE(NewDownload(900, server_.url("/data/400000").c_str(), path.c_str()));
  int percent = Recorder::Get().taskEnd(900);
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_LT(percent, 100);
  EXPECT_FALSE(Exists(path));
  EXPECT_TRUE(Entries(cache()).empty());
  EXPECT_EQ(server_.requests("/data/400000"), 1);  // not retried
}

TEST(EngineNotStarted, EverythingButAutostartIsRefused)
{
  char buffer[1024] = "unchanged";
  int32_t p, s, t;
  EXPECT_FALSE(NewDownload(1, "http://127.0.0.1:9/a.swf", "/tmp/kestrova-never/a.swf"));
  EXPECT_FALSE(StopDownload(1));
  EXPECT_FALSE(GetProgInfo(1, &p, &s, &t));
  EXPECT_FALSE(SetProgramInfo("http://127.0.0.1:9/a.swf", 1, 2, 2, buffer));
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_FALSE(ClientLoginIn(1, "http://127.0.0.1:9"));
  UnInitkestrova();
  UnInitkestrova();
  EXPECT_FALSE(Exists("/tmp/kestrova-never"));
}

}  // namespace
