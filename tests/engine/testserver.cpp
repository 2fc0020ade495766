#include "testserver.h"

#include <chrono>
#include <memory>

namespace {

std::size_t SizeOf(const httplib::Request &req) { return std::stoul(req.matches[1].str()); }

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// "?pace=N": N ms before each 16 KiB piece.
int PaceOf(const httplib::Request &req)
{
  return req.has_param("pace") ? std::stoi(req.get_param_value("pace")) : 0;
}

}  // namespace

std::string TestServer::Content(std::size_t n)
{
  static std::mutex mx;
  static std::map<std::size_t, std::string> cache;
  std::lock_guard lock(mx);
  auto it = cache.find(n);
  if (it != cache.end())
    return it->second;
  std::string s(n, '\0');
  std::uint64_t x = 0x9e3779b97f4a7c15ULL ^ n;
  for (std::size_t i = 0; i < n; ++i) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    s[i] = static_cast<char>(x >> 24);
  }
  return cache[n] = s;
}

TestServer::TestServer()
{
  routes();
  http_.set_keep_alive_max_count(1);
  port_ = http_.bind_to_any_port("127.0.0.1");
  thread_ = std::thread([this] { http_.listen_after_bind(); });
  while (!http_.is_running())
    Pause(1);
}

TestServer::~TestServer()
{
  stopping_ = true;
  http_.stop();
  thread_.join();
}

std::string TestServer::url(const std::string &path) const
{
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void TestServer::record(const httplib::Request &req)
{
  std::lock_guard lock(mx_);
  ranges_[req.path].push_back(req.get_header_value("Range"));
  std::string q;
  for (const auto &[k, v] : req.params)
    q += (q.empty() ? "" : "&") + k + "=" + v;
  queries_[req.path].push_back(q);
}

int TestServer::requests(const std::string &path) const
{
  std::lock_guard lock(mx_);
  auto it = ranges_.find(path);
  return it == ranges_.end() ? 0 : static_cast<int>(it->second.size());
}

std::vector<std::string> TestServer::ranges(const std::string &path) const
{
  std::lock_guard lock(mx_);
  auto it = ranges_.find(path);
  return it == ranges_.end() ? std::vector<std::string>{} : it->second;
}

std::vector<std::string> TestServer::queries(const std::string &path) const
{
  std::lock_guard lock(mx_);
  auto it = queries_.find(path);
  return it == queries_.end() ? std::vector<std::string>{} : it->second;
}

void TestServer::setAnswer(const std::string &path, int status, const std::string &body)
{
  std::lock_guard lock(mx_);
  answers_[path] = {status, body};
}

void TestServer::routes()
{
  const auto type = "application/octet-stream";

  // Whole content; ranges are served by the library.
  http_.Get(
      R"(/data/(\d+)(\.\w+)?)", [this, type](const httplib::Request &req, httplib::Response &res) {
        record(req);
        std::string body = Content(SizeOf(req));
        if (body.empty())
          return res.set_content("", type);
        res.set_content_provider(
            body.size(), type, [body](std::size_t off, std::size_t len, httplib::DataSink &sink) {
              return sink.write(body.data() + off, std::min<std::size_t>(len, 64 * 1024));
            });
      });

  // 16 KiB every 5 ms.
  http_.Get(R"(/slow/(\d+))", [this, type](const httplib::Request &req, httplib::Response &res) {
    record(req);
    std::string body = Content(SizeOf(req));
    int now = ++inFlight_;
    for (int m = maxInFlight_; now > m && !maxInFlight_.compare_exchange_weak(m, now);) {
    }
    res.set_content_provider(
        body.size(), type,
        [this, body](std::size_t off, std::size_t len, httplib::DataSink &sink) {
          if (stopping_)
            return false;
          Pause(5);
          return sink.write(body.data() + off, std::min<std::size_t>(len, 16 * 1024));
        },
        [this](bool) { --inFlight_; });
  });

  // The first request breaks off after half the body; later ones are whole.
  // /cut honours ranges, /cutnorange knows nothing of them.
  for (bool ranges : {true, false}) {
    http_.Get(ranges ? R"(/cut/(\d+))" : R"(/cutnorange/(\d+))",
              [this, type, ranges](const httplib::Request &req, httplib::Response &res) {
                record(req);
                if (!ranges)
                  const_cast<httplib::Request &>(req).ranges.clear();
                std::string body = Content(SizeOf(req));
                bool first = requests(req.path) == 1;
                int pace = PaceOf(req);
                res.set_content_provider(
                    body.size(), type,
                    [body, first, pace](std::size_t off, std::size_t len, httplib::DataSink &sink) {
                      if (first && off >= body.size() / 2)
                        return false;
                      Pause(pace);
                      std::size_t n = std::min<std::size_t>(len, 16 * 1024);
                      if (first)
                        n = std::min(n, body.size() / 2 - off);
                      return sink.write(body.data() + off, n);
                    });
              });
  }

  // Breaks off after half the body, and every resumption fails with 503.
  http_.Get(R"(/broken/(\d+))", [this, type](const httplib::Request &req, httplib::Response &res) {
    record(req);
    if (req.has_header("Range")) {
      const_cast<httplib::Request &>(req).ranges.clear();
      res.status = 503;
      res.set_content("busy", "text/plain");
      return;
    }
    std::string body = Content(SizeOf(req));
    res.set_content_provider(
        body.size(), type, [body](std::size_t off, std::size_t len, httplib::DataSink &sink) {
          if (off >= body.size() / 2)
            return false;
          return sink.write(body.data() + off,
                            std::min<std::size_t>({len, 16 * 1024, body.size() / 2 - off}));
        });
  });

  // Sends 10 bytes, then nothing.
  http_.Get(R"(/stall/(\d+))", [this, type](const httplib::Request &req, httplib::Response &res) {
    record(req);
    std::string body = Content(SizeOf(req));
    auto sent = std::make_shared<bool>(false);
    res.set_content_provider(
        body.size(), type,
        [this, body, sent](std::size_t off, std::size_t, httplib::DataSink &sink) {
          if (!*sent) {
            *sent = true;
            return sink.write(body.data() + off, 10);
          }
          while (!stopping_)
            Pause(10);
          return false;
        });
  });

  // Two 503 answers, then the content.
  http_.Get(R"(/flaky/(\d+))", [this, type](const httplib::Request &req, httplib::Response &res) {
    record(req);
    if (requests(req.path) <= 2) {
      res.status = 503;
      res.set_content("try later", "text/plain");
      return;
    }
    res.set_content(Content(SizeOf(req)), type);
  });

  http_.Get(R"(/status/(\d+))", [this](const httplib::Request &req, httplib::Response &res) {
    record(req);
    res.status = static_cast<int>(SizeOf(req));
    res.set_content("status page", "text/html");
  });

  http_.Get(R"(/redirect/(\d+))", [this](const httplib::Request &req, httplib::Response &res) {
    record(req);
    res.set_redirect("/data/" + req.matches[1].str());
  });

  // Size not told: chunked.
  http_.Get(R"(/chunked/(\d+))", [this, type](const httplib::Request &req, httplib::Response &res) {
    record(req);
    std::string body = Content(SizeOf(req));
    int pace = PaceOf(req);
    res.set_chunked_content_provider(type, [body, pace](std::size_t off, httplib::DataSink &sink) {
      if (off >= body.size()) {
        sink.done();
        return true;
      }
      Pause(pace);
      return sink.write(body.data() + off,
                        std::min<std::size_t>(body.size() - off, pace ? 16 * 1024 : 64 * 1024));
    });
  });

  // The portal: answers set by the test; none set = the request hangs.
  http_.Get(R"(/portal/engine/(signin|version))",
            [this](const httplib::Request &req, httplib::Response &res) {
              record(req);
              std::pair<int, std::string> answer;
              bool known = false;
              {
                std::lock_guard lock(mx_);
                auto it = answers_.find(req.path);
                known = it != answers_.end();
                if (known)
                  answer = it->second;
              }
              if (!known) {
                while (!stopping_)
                  Pause(10);
                return;
              }
              res.status = answer.first;
              res.set_content(answer.second, "text/plain");
            });
}
