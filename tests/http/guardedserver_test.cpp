// The guarded server with short limits: requests kept alive and pipelined,
// heads and bodies that do not come, heads too large, too many waiting
// connections, and a shutdown beside all of them.
#include <gtest/gtest.h>

#include <http/guardedserver.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "slowclients.h"

namespace {

using namespace std::chrono_literals;
using kestrova::http::GuardedServer;
using kestrova::http::IsOwnHost;
using kestrova::http::ServerLimits;
using slowclients::Connect;
using slowclients::Exchange;
using slowclients::SendAll;
using slowclients::StatusOf;
using slowclients::StillWaiting;

// Waits until `fd` is closed or answered by the server; false after `limit`.
bool EndsWithin(int fd, std::chrono::milliseconds limit)
{
  const auto end = std::chrono::steady_clock::now() + limit;
  while (StillWaiting(fd)) {
    if (std::chrono::steady_clock::now() > end)
      return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

std::string ReadSome(int fd, std::chrono::milliseconds limit = 2s)
{
  std::string out;
  char buf[4096];
  pollfd p{fd, POLLIN, 0};
  while (::poll(&p, 1, static_cast<int>(limit.count())) > 0) {
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0)
      break;
    out.append(buf, static_cast<std::size_t>(n));
    limit = 200ms;  // the rest comes at once
  }
  return out;
}

class GuardedServerTest : public ::testing::Test {
protected:
  void start(ServerLimits limits)
  {
    server_ = std::make_unique<GuardedServer>(limits);
    server_->Get("/hello", [this](const httplib::Request &req, httplib::Response &res) {
      ++served_;
      lastPort_ = req.remote_port;
      rangesSeen_ = req.ranges.size();
      res.set_content("hello " + req.get_header_value("Range"), "text/plain");
    });
    server_->Post("/echo", [](const httplib::Request &req, httplib::Response &res) {
      res.set_content(req.body, "text/plain");
    });
    // Endless: for readers that take nothing.
    server_->Get("/endless", [](const httplib::Request &, httplib::Response &res) {
      res.set_chunked_content_provider("application/octet-stream",
                                       [](std::size_t, httplib::DataSink &sink) {
                                         static const std::string piece(64 * 1024, 'x');
                                         return sink.write(piece.data(), piece.size());
                                       });
    });
    port_ = server_->bind_to_any_port("127.0.0.1");
    ASSERT_GT(port_, 0);
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running())
      std::this_thread::sleep_for(1ms);
  }
  void TearDown() override { stop(); }
  void stop()
  {
    if (!server_)
      return;
    server_->shutdown();
    thread_.join();
    server_.reset();
  }
  std::string request(const std::string &target, const std::string &extra = "") const
  {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port_) + "\r\n" +
           extra + "\r\n";
  }

  std::unique_ptr<GuardedServer> server_;
  std::thread thread_;
  int port_ = 0;
  std::atomic<int> served_{0}, lastPort_{0};
  std::atomic<std::size_t> rangesSeen_{99};
};

TEST_F(GuardedServerTest, KeptAliveAndPipelinedRequestsAreAnswered)
{
  start({});
  const int fd = Connect(port_);
  // Two requests in one piece, then a third later on the same connection.
  ASSERT_TRUE(SendAll(fd, request("/hello") + request("/hello")));
  std::string answers = ReadSome(fd);
  ASSERT_TRUE(SendAll(fd, "POST /echo HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\nabc"));
  std::this_thread::sleep_for(100ms);
  ASSERT_TRUE(SendAll(fd, "de" + request("/hello", "Connection: close\r\n")));
  answers += ReadSome(fd);
  ::close(fd);
  std::size_t count = 0;
  for (std::size_t at = answers.find("HTTP/1.1 200"); at != std::string::npos;
       at = answers.find("HTTP/1.1 200", at + 1))
    ++count;
  EXPECT_EQ(count, 4u) << answers;
  EXPECT_NE(answers.find("\r\n\r\nabcde"), std::string::npos) << answers;
  EXPECT_EQ(served_, 3);

  // httplib's own client keeps its connection too.
  httplib::Client client("127.0.0.1", port_);
  client.set_keep_alive(true);
  auto a = client.Get("/hello");
  const int firstPort = lastPort_;
  auto b = client.Get("/hello");
  ASSERT_TRUE(a && b);
  EXPECT_EQ(lastPort_, firstPort);
}

TEST_F(GuardedServerTest, RangesAreLeftToTheHandlers)
{
  start({});
  const std::string answer =
      Exchange(port_, request("/hello", "Range: bytes=0-2\r\nConnection: close\r\n"));
  EXPECT_EQ(StatusOf(answer), 200);
  EXPECT_NE(answer.find("\r\n\r\nhello bytes=0-2"), std::string::npos) << answer;
  EXPECT_EQ(rangesSeen_, 0u);
}

TEST_F(GuardedServerTest, ClientsThatDoNotSendInTimeAreDropped)
{
  ServerLimits limits;
  limits.workers = 1;
  limits.headTimeout = 300ms;
  limits.bodyTimeout = 300ms;
  start(limits);
  const int silent = Connect(port_);
  const int partial = Connect(port_);
  SendAll(partial, "GET /hello HTTP/1.1\r\nHost: x\r\n");
  const int idle = Connect(port_);  // kept alive after one answer, then quiet
  SendAll(idle, request("/hello"));
  const int body = Connect(port_);  // the head, then only part of the body
  SendAll(body, "POST /echo HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\n0123456789");

  const std::string idleAnswer = ReadSome(idle, 1s);
  EXPECT_EQ(StatusOf(idleAnswer), 200);  // its answer, and later the end
  const std::string partialAnswer = ReadSome(partial);
  EXPECT_EQ(StatusOf(partialAnswer), 408) << partialAnswer;
  for (int fd : {silent, idle, body})
    EXPECT_TRUE(EndsWithin(fd, 3s)) << fd;
  // The single worker is free again.
  EXPECT_EQ(StatusOf(Exchange(port_, request("/hello", "Connection: close\r\n"))), 200);
  for (int fd : {silent, partial, idle, body})
    ::close(fd);
}

TEST_F(GuardedServerTest, SlowClientsTakeNoWorker)
{
  ServerLimits limits;
  limits.workers = 1;
  start(limits);
  slowclients::SlowClients slow(port_, 30, 200ms, 10, "/hello");
  ASSERT_EQ(slow.opened(), 30);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(StatusOf(Exchange(port_, request("/hello", "Connection: close\r\n"))), 200);
  EXPECT_EQ(slow.waiting(), 30);
}

TEST_F(GuardedServerTest, OversizedHeadsAndTooManyWaitingAreRefused)
{
  ServerLimits limits;
  limits.maxHeadBytes = 1024;
  limits.maxWaiting = 4;
  start(limits);
  const std::string big =
      Exchange(port_, "GET /hello HTTP/1.1\r\nX-Big: " + std::string(4096, 'a') + "\r\n\r\n");
  EXPECT_EQ(StatusOf(big), 431) << big.substr(0, 80);

  int fds[6];
  for (int &fd : fds) {
    fd = Connect(port_);
    std::this_thread::sleep_for(20ms);  // in this order
  }
  EXPECT_TRUE(EndsWithin(fds[0], 2s));
  EXPECT_TRUE(EndsWithin(fds[1], 2s));
  for (int i = 2; i < 6; ++i)
    EXPECT_TRUE(StillWaiting(fds[i])) << i;
  for (int fd : fds)
    ::close(fd);
}

TEST_F(GuardedServerTest, ShutdownClosesEveryConnectionAtOnce)
{
  ServerLimits limits;
  limits.headTimeout = 60s;
  limits.writeTimeout = 60s;
  start(limits);
  slowclients::SlowClients slow(port_, 20, 100ms, 50, "/hello");
  const int silent = Connect(port_);
  const int reader = Connect(port_);  // takes nothing of an endless answer
  SendAll(reader, request("/endless"));
  std::this_thread::sleep_for(300ms);
  const auto begin = std::chrono::steady_clock::now();
  stop();
  EXPECT_LT(std::chrono::steady_clock::now() - begin, 1s);
  EXPECT_FALSE(StillWaiting(silent));
  EXPECT_EQ(slow.waiting(), 0);
  ::close(silent);
  ::close(reader);
}

TEST(IsOwnHost, OnlyTheLoopbackNamesWithTheOwnPort)
{
  EXPECT_TRUE(IsOwnHost("127.0.0.1:8080", 8080));
  EXPECT_TRUE(IsOwnHost("localhost:8080", 8080));
  EXPECT_TRUE(IsOwnHost("LOCALHOST:8080", 8080));
  for (const char *host : {"127.0.0.1:8081", "127.0.0.1", "localhost", ":8080", "",
                           "evil.example:8080", "127.0.0.1.evil.example:8080", "x127.0.0.1:8080",
                           "127.0.0.1:18080", "[::1]:8080", "127.0.0.1:8080 ", "localhost.:8080"}) {
    EXPECT_FALSE(IsOwnHost(host, 8080)) << host;
  }
}

}  // namespace
