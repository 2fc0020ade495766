#pragma once
// A loopback relay in front of the stand-in portal's content files that
// hands each file out in small pieces over about `seconds`, so a fetch lasts
// long enough for its progress to show.  Byte ranges are served by the relay
// itself from the whole file it got from the portal.
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

class SlowRelay {
public:
  SlowRelay(const std::string &upstreamHost, int upstreamPort, double seconds)
      : m_host(upstreamHost), m_upstreamPort(upstreamPort), m_seconds(seconds)
  {
    m_server.Get(".*", [this](const httplib::Request &req, httplib::Response &res) {
      httplib::Client up(m_host, m_upstreamPort);
      up.set_connection_timeout(10);
      up.set_read_timeout(30);
      auto answer = up.Get(req.path);
      if (!answer) {
        res.status = 502;
        return;
      }
      res.status = answer->status;
      if (answer->status != 200) {
        res.set_content(answer->body, answer->get_header_value("Content-Type").c_str());
        return;
      }
      auto body = std::make_shared<std::string>(answer->body);
      const int pieces = 20;
      const size_t piece = body->size() / pieces + 1;
      const auto pause = std::chrono::milliseconds(static_cast<int>(m_seconds * 1000 / pieces));
      res.set_header("Accept-Ranges", "bytes");
      res.set_content_provider(
          body->size(), answer->get_header_value("Content-Type").c_str(),
          [body, piece, pause](size_t offset, size_t length, httplib::DataSink &sink) {
            const size_t n = std::min(length, piece);
            std::this_thread::sleep_for(pause);
            return sink.write(body->data() + offset, n);
          });
    });
    m_port = m_server.bind_to_any_port("127.0.0.1");
    if (m_port > 0)
      m_thread = std::thread([this] { m_server.listen_after_bind(); });
  }
  ~SlowRelay()
  {
    m_server.stop();
    if (m_thread.joinable())
      m_thread.join();
  }
  int port() const { return m_port; }

private:
  httplib::Server m_server;
  std::string m_host;
  int m_upstreamPort;
  double m_seconds;
  int m_port = -1;
  std::thread m_thread;
};
