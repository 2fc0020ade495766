#include "localserver.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstdlib>

#include "streampipe.h"

namespace kestrova::engine {

namespace {

constexpr std::size_t kPiece = 256 * 1024;

bool ParseTaskNumber(const std::string &text, std::int32_t &number)
{
  if (text.empty() || text.size() > 10)
    return false;
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9')
      return false;
    value = value * 10 + (c - '0');
  }
  if (value > INT32_MAX)
    return false;
  number = static_cast<std::int32_t>(value);
  return true;
}

void Refuse(httplib::Response &res, int status, const char *text)
{
  res.status = status;
  res.set_content(text, "text/plain");
}

}  // namespace

std::string LocalServer::ContentTypeFor(const std::string &ext)
{
  std::string e = ext;
  std::transform(e.begin(), e.end(), e.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (e == "swf")
    return "application/x-shockwave-flash";
  if (e == "flv")
    return "video/x-flv";
  if (e == "mp3")
    return "audio/mpeg";
  if (e == "zip")
    return "application/zip";
  if (e == "rar")
    return "application/vnd.rar";
  return "application/octet-stream";
}

LocalServer::LocalServer(Tasks tasks)
    : tasks_(std::move(tasks)), server_(std::make_unique<httplib::Server>())
{
}

LocalServer::~LocalServer() { stop(); }

bool LocalServer::start()
{
  httplib::Server &svr = *server_;
  // One request per connection and short idle waits, so that stopping the
  // server never waits long for an idle reader.
  svr.set_keep_alive_max_count(1);
  svr.set_keep_alive_timeout(1);
  svr.set_read_timeout(5);
  svr.set_write_timeout(5);

  svr.Get(R"(/P2P/([0-9]+)\.([A-Za-z0-9]{3}))",
          [this](const httplib::Request &req, httplib::Response &res) {
            std::int32_t number = 0;
            if (!ParseTaskNumber(req.matches[1], number))
              return Refuse(res, 404, "no such task\n");
            const std::string type = ContentTypeFor(req.matches[2]);
            if (req.method == "HEAD") {
              if (!tasks_.exists(number))
                return Refuse(res, 404, "no such task\n");
              res.status = 200;
              res.set_header("Content-Type", type);
              return;
            }
            if (req.ranges.size() > 1)
              return Refuse(res, 416, "one range at most\n");
            int status = 404;
            std::shared_ptr<StreamPipe> pipe = tasks_.claim(number, &status);
            if (!pipe)
              return Refuse(res, status,
                            status == 410 ? "this task was already served\n" : "no such task\n");

            std::int64_t total = 0;
            if (pipe->waitStart(total) != StreamPipe::Start::Ready) {
              pipe->readerDone(false);
              return Refuse(res, 502, "the content could not be fetched\n");
            }
            res.status = 200;
            auto release = [pipe](bool success) { pipe->readerDone(success); };
            if (total > 0 && req.ranges.empty()) {
              res.set_content_provider(
                  static_cast<std::size_t>(total), type,
                  [pipe](std::size_t, std::size_t length, httplib::DataSink &sink) {
                    std::string piece;
                    bool end = false;
                    if (!pipe->read(piece, std::min(length, kPiece), end) || end)
                      return false;  // short body = failure
                    if (!sink.write(piece.data(), piece.size()))
                      return false;
                    pipe->delivered(piece.size());
                    return true;
                  },
                  release);
            } else {
              // Size unknown, or a range was asked for: the whole body, chunked (a
              // server may ignore a range; this one passes the content on once).
              res.set_chunked_content_provider(
                  type,
                  [pipe](std::size_t, httplib::DataSink &sink) {
                    std::string piece;
                    bool end = false;
                    if (!pipe->read(piece, kPiece, end))
                      return false;
                    if (end) {
                      sink.done();
                      return true;
                    }
                    if (!sink.write(piece.data(), piece.size()))
                      return false;
                    pipe->delivered(piece.size());
                    return true;
                  },
                  release);
            }
          });
  svr.set_error_handler([](const httplib::Request &, httplib::Response &res) {
    if (res.body.empty())
      res.set_content("not found\n", "text/plain");
  });

  port_ = svr.bind_to_any_port("127.0.0.1");
  if (port_ <= 0) {
    port_ = -1;
    return false;
  }
  thread_ = std::thread([this] {
    server_->listen_after_bind();
    listenEnded_ = true;
  });
  // stop() only acts on a running server: wait until it runs.
  while (!server_->is_running() && !listenEnded_)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (listenEnded_) {
    thread_.join();
    port_ = -1;
    return false;
  }
  return true;
}

void LocalServer::stop()
{
  if (!thread_.joinable())
    return;
  while (!server_->is_running() && !listenEnded_)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  server_->stop();
  thread_.join();
}

}  // namespace kestrova::engine
