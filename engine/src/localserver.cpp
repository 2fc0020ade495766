#include "localserver.h"

#include <http/byterange.h>
#include <http/guardedserver.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <limits>

#include "streampipe.h"

namespace kestrova::engine {

namespace {

constexpr std::size_t kPiece = 256 * 1024;

http::ServerLimits Limits()
{
  http::ServerLimits l;
  l.workers = 8;  // readers at the same time; slow clients take none
  l.headTimeout = std::chrono::seconds(5);
  l.bodyTimeout = std::chrono::seconds(5);
  l.writeTimeout = std::chrono::seconds(5);
  l.requestsPerConnection = 1;
  l.maxHeadBytes = 8 * 1024;
  l.maxWaiting = 64;
  return l;
}

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

// The pipe's next piece of at most `length` bytes to the reader.  `piece`
// is the reader's buffer, kept from call to call so that the pipe can use
// its memory again.
bool Pass(StreamPipe &pipe, std::string &piece, std::size_t length, httplib::DataSink &sink)
{
  bool end = false;
  if (!pipe.read(piece, std::min(length, kPiece), end) || end)
    return false;  // short body = failure
  if (!sink.write(piece.data(), piece.size()))
    return false;
  pipe.delivered(piece.size());
  return true;
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
    : tasks_(std::move(tasks)), server_(std::make_unique<http::GuardedServer>(Limits()))
{
}

LocalServer::~LocalServer() { stop(); }

bool LocalServer::start()
{
  http::GuardedServer &svr = *server_;
  svr.set_payload_max_length(4096);

  svr.set_pre_routing_handler([this](const httplib::Request &req, httplib::Response &res) {
    if (http::IsOwnHost(req.get_header_value("Host"), port_))
      return httplib::Server::HandlerResponse::Unhandled;
    Refuse(res, 400, "this server answers for 127.0.0.1 only\n");
    return httplib::Server::HandlerResponse::Handled;
  });

  svr.Get(R"(/([0-9a-f]{32})/P2P/([0-9]+)\.([A-Za-z0-9]{3}))", [this](const httplib::Request &req,
                                                                      httplib::Response &res) {
    std::int32_t number = 0;
    if (!ParseTaskNumber(req.matches[2], number))
      return Refuse(res, 404, "no such task\n");
    const std::string key = req.matches[1];
    const std::string type = ContentTypeFor(req.matches[3]);
    if (req.method == "HEAD") {
      if (!tasks_.exists(number, key))
        return Refuse(res, 404, "no such task\n");
      res.status = 200;
      res.set_header("Content-Type", type);
      return;
    }
    // A range no body can satisfy is refused before the task is taken.
    const std::string range = req.get_header_value("Range");
    if (!range.empty() &&
        http::ParseByteRange(range, std::numeric_limits<std::uint64_t>::max()).kind ==
            http::ByteRange::Kind::Unsatisfiable)
      return Refuse(res, 416, "unsatisfiable range\n");
    int status = 404;
    std::shared_ptr<StreamPipe> pipe = tasks_.claim(number, key, &status);
    if (!pipe)
      return Refuse(res, status,
                    status == 410 ? "this task was already served\n" : "no such task\n");

    std::int64_t total = 0;
    if (pipe->waitStart(total) != StreamPipe::Start::Ready) {
      pipe->readerDone(false);
      return Refuse(res, 502, "the content could not be fetched\n");
    }
    auto release = [pipe](bool success) { pipe->readerDone(success); };
    if (total <= 0) {
      // Size unknown: the whole body, chunked (a Range is ignored, which
      // the reader sees from the 200).
      res.status = 200;
      res.set_chunked_content_provider(
          type,
          [pipe, buffer = std::make_shared<std::string>()](std::size_t, httplib::DataSink &sink) {
            std::string &piece = *buffer;
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
      return;
    }
    const auto size = static_cast<std::uint64_t>(total);
    const http::ByteRange part = http::ParseByteRange(range, size);
    switch (part.kind) {
    case http::ByteRange::Kind::Unsatisfiable:
      pipe->readerDone(false);
      res.set_header("Content-Range", part.contentRange(size));
      return Refuse(res, 416, "unsatisfiable range\n");
    case http::ByteRange::Kind::Whole:
      res.status = 200;
      res.set_content_provider(
          static_cast<std::size_t>(size), type,
          [pipe, buffer = std::make_shared<std::string>()](std::size_t, std::size_t length,
                                                           httplib::DataSink &sink) {
            return Pass(*pipe, *buffer, length, sink);
          },
          release);
      return;
    case http::ByteRange::Kind::Part: {
      // The body passes from its start: what lies before the part is
      // skipped, and the fetch ends once the part is out.
      res.status = 206;
      res.set_header("Content-Range", part.contentRange(size));
      auto skip = std::make_shared<std::uint64_t>(part.first);
      res.set_content_provider(
          static_cast<std::size_t>(part.length), type,
          [pipe, skip, buffer = std::make_shared<std::string>()](std::size_t, std::size_t length,
                                                                 httplib::DataSink &sink) {
            std::string &piece = *buffer;
            bool end = false;
            while (*skip > 0) {
              if (!pipe->read(piece,
                              static_cast<std::size_t>(std::min<std::uint64_t>(*skip, kPiece)),
                              end) ||
                  end)
                return false;
              *skip -= piece.size();
            }
            return Pass(*pipe, piece, length, sink);
          },
          release);
      return;
    }
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
  // shutdown() only stops a running listen: wait until it runs.
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
  server_->shutdown();
  thread_.join();
}

}  // namespace kestrova::engine
