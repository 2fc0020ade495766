#pragma once
// A loopback HTTP server for the download tests: serves byte bodies at
// paths, optionally cutting the connection after part of the body.
#include <httplib.h>

#include <QByteArray>
#include <QString>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class LoopServer {
public:
  struct Body {
    QByteArray bytes;
    qint64 cutAfter = -1;  // >= 0: the connection closes after this many bytes
    bool stall = false;    // instead of closing, wait there until the server ends
  };

  LoopServer()
  {
    m_server.Get(R"(/.*)", [this](const httplib::Request &req, httplib::Response &res) {
      Body body;
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_requests;
        auto it = m_bodies.find(req.path);
        if (it == m_bodies.end()) {
          res.status = 404;
          return;
        }
        body = it->second;
      }
      auto shared = std::make_shared<Body>(body);
      res.set_content_provider(
          static_cast<size_t>(shared->bytes.size()), "application/octet-stream",
          [this, shared](size_t offset, size_t length, httplib::DataSink &sink) {
            if (shared->cutAfter >= 0 && static_cast<qint64>(offset) >= shared->cutAfter) {
              while (shared->stall && !m_ending.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
              return false;
            }
            size_t n = std::min<size_t>(length, 64 * 1024);
            if (shared->cutAfter >= 0)
              n = std::min<size_t>(n, static_cast<size_t>(shared->cutAfter) - offset);
            sink.write(shared->bytes.constData() + offset, n);
            return true;
          });
    });
    m_port = m_server.bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    while (!m_server.is_running())
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ~LoopServer()
  {
    m_ending = true;
    m_server.stop();
    if (m_thread.joinable())
      m_thread.join();
  }

  void put(const QString &path, const QByteArray &bytes, qint64 cutAfter = -1, bool stall = false)
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bodies[path.toStdString()] = Body{bytes, cutAfter, stall};
  }
  int requests() const
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
  }
  QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }

private:
  httplib::Server m_server;
  int m_port = 0;
  std::thread m_thread;
  mutable std::mutex m_mutex;
  std::map<std::string, Body> m_bodies;
  int m_requests = 0;
  std::atomic<bool> m_ending{false};
};

// Bytes that differ from position to position.
inline QByteArray PatternBytes(qint64 size, unsigned seed = 7)
{
  QByteArray out(size, Qt::Uninitialized);
  unsigned x = seed;
  for (qint64 i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    out[i] = static_cast<char>(x >> 16);
  }
  return out;
}
