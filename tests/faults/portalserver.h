#pragma once
// A loopback stand-in for the portal's content server that the tests can
// stop in the middle of a transfer, start again on the same port, or hold
// silent: every GET is answered with the same body.
#include <httplib.h>

#include <QByteArray>
#include <QString>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

class FaultyPortal {
public:
  enum class Mode {
    Whole,    // the whole body
    CutHalf,  // half of the body, then the connection closes
    Silent,   // the request is held unanswered until release() or stop()
  };

  explicit FaultyPortal(QByteArray body) : m_body(std::move(body)) {}
  ~FaultyPortal() { stop(); }

  // Listens on `port` (0: any free port).  False when the port is taken.
  bool start(Mode mode, int port = 0)
  {
    stop();
    m_mode = mode;
    m_released = false;
    m_server = std::make_unique<httplib::Server>();
    m_server->Get(R"(/.*)", [this](const httplib::Request &, httplib::Response &res) {
      ++m_requests;
      if (m_mode == Mode::Silent) {
        while (!m_released.load())
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        res.status = 503;
        return;
      }
      const auto size = static_cast<size_t>(m_body.size());
      res.set_content_provider(size, "application/x-shockwave-flash",
                               [this, size](size_t offset, size_t length, httplib::DataSink &sink) {
                                 size_t end = std::min(size, offset + length);
                                 if (m_mode == Mode::CutHalf) {
                                   if (offset >= size / 2) {
                                     ++m_cuts;
                                     return false;  // the connection closes here
                                   }
                                   end = std::min(end, size / 2);
                                 }
                                 sink.write(m_body.constData() + offset, end - offset);
                                 return true;
                               });
    });
    m_port = port == 0 ? m_server->bind_to_any_port("127.0.0.1")
                       : (m_server->bind_to_port("127.0.0.1", port) ? port : -1);
    if (m_port <= 0)
      return false;
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    while (!m_server->is_running())
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return true;
  }
  // The server goes away: the listening socket and every connection close.
  void stop()
  {
    m_released = true;
    if (m_server)
      m_server->stop();
    if (m_thread.joinable())
      m_thread.join();
    m_server.reset();
  }
  // Held requests are answered (with an error status).
  void release() { m_released = true; }

  int port() const { return m_port; }
  QString base() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_port); }
  int requests() const { return m_requests.load(); }
  int cuts() const { return m_cuts.load(); }
  const QByteArray &body() const { return m_body; }

private:
  QByteArray m_body;
  std::unique_ptr<httplib::Server> m_server;
  std::thread m_thread;
  std::atomic<Mode> m_mode{Mode::Whole};
  std::atomic<bool> m_released{false};
  std::atomic<int> m_requests{0}, m_cuts{0};
  int m_port = 0;
};
