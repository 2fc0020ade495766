// The engine's loopback HTTP server: GET /<key>/P2P/<task>.<ext> streams a
// registered task's content from its server through the engine.  Listens on
// 127.0.0.1 only, on a port the system picks; answers only requests whose
// Host names it (127.0.0.1:PORT or localhost:PORT), so that pages of other
// sites cannot read it through the browser.  Slow or silent clients are
// timed out without holding a worker, and stopping closes every connection.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace kestrova::http {
class GuardedServer;
}

namespace kestrova::engine {

class StreamPipe;

class LocalServer {
public:
  // How the server reaches the tasks.  `key` is the path component before
  // "P2P/".  claim starts the task's fetch and gives its pipe; on refusal it
  // gives null and an HTTP status (404 unknown task or wrong key, 410
  // already served).  exists answers HEAD without starting anything.
  struct Tasks {
    std::function<std::shared_ptr<StreamPipe>(std::int32_t number, const std::string &key,
                                              int *status)>
        claim;
    std::function<bool(std::int32_t number, const std::string &key)> exists;
  };

  explicit LocalServer(Tasks tasks);
  ~LocalServer();  // stops listening and closes every connection

  LocalServer(const LocalServer &) = delete;
  LocalServer &operator=(const LocalServer &) = delete;

  bool start();
  int port() const { return port_; }

  static std::string ContentTypeFor(const std::string &ext);

private:
  void stop();

  Tasks tasks_;
  std::unique_ptr<http::GuardedServer> server_;
  std::thread thread_;
  std::atomic<bool> listenEnded_{false};
  int port_ = -1;
};

}  // namespace kestrova::engine
