#include "net/http.h"
#include "net/netroutines.h"

#include "apptest.h"

#include <QElapsedTimer>
#include <arpa/inet.h>
#include <httplib.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

struct Seen {
  std::string method, path, agent, cacheControl, pragma, accept, contentType;
};

// A loopback server whose answers depend on the path and the method, and
// which records every request it gets.
class LoopbackServer {
public:
  LoopbackServer()
  {
    server_.Get(R"(/(\d+)/(\d+))", [this](const httplib::Request &req, httplib::Response &res) {
      Record(req);
      // /<status of GET>/<status of HEAD>
      const int status = std::stoi(req.matches[req.method == "HEAD" ? 2 : 1].str());
      res.status = status;
      if (status >= 300 && status < 400)
        res.set_header("Location", "/200/200");
      res.set_content("<html>page</html>", "text/html");
    });
    server_.Post("/echo", [this](const httplib::Request &req, httplib::Response &res) {
      Record(req);
      res.set_content(req.body + "|" + req.get_header_value("X-Test"), "text/plain");
    });
    server_.Get("/big", [](const httplib::Request &, httplib::Response &res) {
      res.set_content(std::string(100000, 'x'), "application/octet-stream");
    });
    server_.Get("/catalog.xml", [](const httplib::Request &, httplib::Response &res) {
      res.set_content("<?xml version=\"1.0\"?><channels><c id=\"07\"/></channels>", "text/xml");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running())
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ~LoopbackServer()
  {
    server_.stop();
    thread_.join();
  }
  QString Url(const char *path) const
  {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path);
  }
  int port() const { return port_; }
  std::vector<Seen> TakeSeen()
  {
    std::lock_guard lock(mutex_);
    return std::exchange(seen_, {});
  }

private:
  void Record(const httplib::Request &req)
  {
    std::lock_guard lock(mutex_);
    seen_.push_back({req.method, req.path, req.get_header_value("User-Agent"),
                     req.get_header_value("Cache-Control"), req.get_header_value("Pragma"),
                     req.get_header_value("Accept"), req.get_header_value("Content-Type")});
  }

  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<Seen> seen_;
};

// A listening socket that never accepts: connections complete in the
// kernel, but no answer ever comes.
class SilentServer {
public:
  SilentServer()
  {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    ::listen(fd_, 16);
    socklen_t len = sizeof addr;
    ::getsockname(fd_, reinterpret_cast<sockaddr *>(&addr), &len);
    port_ = ntohs(addr.sin_port);
  }
  ~SilentServer() { ::close(fd_); }
  int port() const { return port_; }

private:
  int fd_ = -1;
  int port_ = 0;
};

int UnusedPort()
{
  SilentServer s;  // bound, then closed again
  return s.port();
}

class NetTest : public AppDirTest {
protected:
  void SetUp() override
  {
    AppDirTest::SetUp();
    for (const char *v :
         {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
      qunsetenv(v);
    saved_ = DefaultHttpTimeouts();
    SetDefaultHttpTimeouts({std::chrono::milliseconds(1000), std::chrono::milliseconds(1500)});
  }
  void TearDown() override
  {
    SetDefaultHttpTimeouts(saved_);
    AppDirTest::TearDown();
  }
  HttpTimeouts saved_;
};

}  // namespace

TEST_F(NetTest, UrlAnswersTriesGetThenHead)
{
  LoopbackServer server;
  struct Case {
    const char *path;
    bool answers;
    std::vector<std::string> methods;  // requests the server saw
  };
  const Case cases[] = {
      {"/200/404", true, {"GET"}},          {"/302/404", true, {"GET"}},  // not followed
      {"/301/200", true, {"GET", "HEAD"}},                                // 301 fails the first try
      {"/301/301", true, {"GET", "HEAD"}},  // the second try takes any status below 400
      {"/500/200", true, {"GET", "HEAD"}},  {"/404/404", false, {"GET", "HEAD"}},
      {"/301/500", false, {"GET", "HEAD"}}, {"/204/403", false, {"GET", "HEAD"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(UrlAnswers(server.Url(c.path)), c.answers);
    const std::vector<Seen> seen = server.TakeSeen();
    std::vector<std::string> methods;
    for (const Seen &s : seen)
      methods.push_back(s.method);
    EXPECT_EQ(methods, c.methods);
    for (const Seen &s : seen) {
      EXPECT_EQ(s.path, c.path);
      if (s.method == "GET") {
        EXPECT_EQ(s.agent, "InetURL:/1.0");
        EXPECT_EQ(s.cacheControl, "no-cache");
        EXPECT_EQ(s.pragma, "no-cache");
      } else {
        EXPECT_EQ(s.agent, "Mozilla/3.0 (compatible; Indy Library)");
        EXPECT_EQ(s.accept, "text/html, */*");
        EXPECT_EQ(s.contentType, "text/html");
      }
    }
  }
}

TEST_F(NetTest, UrlAnswersWithoutSchemeAndWithoutServer)
{
  LoopbackServer server;
  const QString bare = QStringLiteral("127.0.0.1:%1").arg(server.port());
  EXPECT_TRUE(UrlAnswers(bare + "/200/404"));
  EXPECT_EQ(server.TakeSeen().size(), 1u);
  // The second try goes to the address as given, which still reaches the
  // same server.
  EXPECT_TRUE(UrlAnswers(bare + "/500/200"));
  EXPECT_EQ(server.TakeSeen().size(), 2u);

  EXPECT_FALSE(UrlAnswers(QStringLiteral("http://127.0.0.1:%1/").arg(UnusedPort())));
  EXPECT_FALSE(UrlAnswers(QString()));
  EXPECT_FALSE(UrlAnswers(QStringLiteral("ftp://127.0.0.1:%1/").arg(server.port())));
  EXPECT_TRUE(server.TakeSeen().empty());
}

TEST_F(NetTest, UrlAnswersGivesUpOnASilentServer)
{
  SilentServer silent;
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(UrlAnswers(QStringLiteral("http://127.0.0.1:%1/").arg(silent.port())));
  // Two tries of at most 1.5 s each; far from hanging.  (A loose bound,
  // not a speed goal.)
  EXPECT_LT(clock.elapsed(), 10000);
}

TEST_F(NetTest, HttpHelperBasics)
{
  LoopbackServer server;
  const HttpResponse post = HttpPost(server.Url("/echo"), "body bytes", {{"X-Test", "yes"}});
  EXPECT_TRUE(post.ok());
  EXPECT_EQ(post.body, QByteArray("body bytes|yes"));
  EXPECT_TRUE(post.contentType.startsWith("text/plain"));

  HttpRequest follow;
  follow.url = server.Url("/301/301");
  follow.followRedirects = true;
  const HttpResponse followed = HttpPerform(follow);
  EXPECT_EQ(followed.status, 200);
  EXPECT_EQ(followed.body, QByteArray("<html>page</html>"));

  const HttpResponse notFollowed = HttpGet(server.Url("/301/301"));
  EXPECT_TRUE(notFollowed.completed);
  EXPECT_FALSE(notFollowed.ok());
  EXPECT_EQ(notFollowed.status, 301);

  HttpRequest capped;
  capped.url = server.Url("/big");
  capped.maxBodyBytes = 1000;
  const HttpResponse tooBig = HttpPerform(capped);
  EXPECT_FALSE(tooBig.completed);
  EXPECT_FALSE(tooBig.error.isEmpty());
  EXPECT_EQ(HttpGet(server.Url("/big")).body.size(), 100000);

  // A header value cannot smuggle a second header in.
  const HttpResponse smuggled = HttpPost(server.Url("/echo"), "b", {{"X-Test", "a\r\nX-Evil: 1"}});
  EXPECT_EQ(smuggled.body, QByteArray("b|"));

  SilentServer silent;
  HttpRequest slow;
  slow.url = QStringLiteral("http://127.0.0.1:%1/").arg(silent.port());
  slow.timeouts = HttpTimeouts{std::chrono::milliseconds(200), std::chrono::milliseconds(300)};
  const HttpResponse timedOut = HttpPerform(slow);
  EXPECT_FALSE(timedOut.completed);
  EXPECT_FALSE(timedOut.error.isEmpty());
}

TEST_F(NetTest, CatalogFromTheResourceSite)
{
  LoopbackServer server;
  ASSERT_TRUE(WriteBytes(Path("Config/local.ini"), "[Info]\r\n7=100093\r\n"));
  LocalIniFile = Path("Config/local.ini");
  QString error;
  ASSERT_TRUE(InstallCatalogFromAddress(server.Url("/catalog.xml"), Path("Resource/Xml/100100.XML"),
                                        100100, &error))
      << error.toStdString();
  EXPECT_TRUE(ReadBytes(Path("Resource/Xml/100100.XML")).contains("<c id=\"07\"/>"));
  EXPECT_TRUE(ReadBytes(LocalIniFile).contains("7=100100"));

  EXPECT_FALSE(
      InstallCatalogFromAddress(server.Url("/404/404"), Path("Resource/Xml/1.XML"), 1, &error));
  EXPECT_TRUE(error.contains("404"));
  EXPECT_FALSE(QFileInfo::exists(Path("Resource/Xml/1.XML")));
  EXPECT_TRUE(ReadBytes(LocalIniFile).contains("7=100100"));
}
