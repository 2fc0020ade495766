// The engine's loopback HTTP server: GET /P2P/<task>.<ext> streams a
// registered task's content from its server through the engine.  Listens on
// 127.0.0.1 only, on a port the system picks.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace kestrova::engine {

class StreamPipe;

class LocalServer {
public:
  // How the server reaches the tasks.  claim starts the task's fetch and
  // gives its pipe; on refusal it gives null and an HTTP status (404 unknown
  // task, 410 already served).  exists answers HEAD without starting anything.
  struct Tasks {
    std::function<std::shared_ptr<StreamPipe>(std::int32_t number, int *status)> claim;
    std::function<bool(std::int32_t number)> exists;
  };

  explicit LocalServer(Tasks tasks);
  ~LocalServer();  // stops listening and waits for every connection to end

  LocalServer(const LocalServer &) = delete;
  LocalServer &operator=(const LocalServer &) = delete;

  bool start();
  int port() const { return port_; }

  static std::string ContentTypeFor(const std::string &ext);

private:
  void stop();

  Tasks tasks_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  std::atomic<bool> listenEnded_{false};
  int port_ = -1;
};

}  // namespace kestrova::engine
