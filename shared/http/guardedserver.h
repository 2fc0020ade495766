// An httplib server for loopback use that slow and silent clients cannot tie
// up, and that can always be stopped at once.
//
// httplib gives every connection a worker thread for as long as the
// connection lasts, and a read time-out that restarts with every byte, so a
// few clients that send one header line every few seconds hold all workers
// and the server's stop waits for them.  Here one thread watches every
// connection that is waiting for its request (a new one, or one kept alive
// after an answer) and hands it to the bounded pool of workers only once its
// whole request head has arrived; a head that is not complete within
// `headTimeout` ends the connection.  Workers read request bodies against a
// deadline and write with a time-out.  shutdown() closes every connection,
// waiting or being answered, and joins the threads.
//
// httplib's own handling of Range headers is switched off (it answers bad
// ranges with nonsense lengths): handlers that serve ranges read the Range
// header themselves, with byterange.h.
//
// The time-out and keep-alive setters of httplib::Server have no effect on
// this server, and new_task_queue must be left as it is.
#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kestrova::http {

struct ServerLimits {
  std::size_t workers = 8;  // requests answered at the same time
  // From connecting, or from the end of the last answer on a kept-alive
  // connection, until the request head is complete.
  std::chrono::milliseconds headTimeout{5000};
  std::chrono::milliseconds bodyTimeout{10000};  // a request body, once the head is in
  // Each write of an answer: a reader that takes nothing for this long is
  // dropped.
  std::chrono::milliseconds writeTimeout{5000};
  std::size_t requestsPerConnection = 100;
  std::size_t maxHeadBytes = 16 * 1024;
  // Connections waiting for their request; beyond this the one that has
  // waited longest is closed.
  std::size_t maxWaiting = 256;
};

// True when a Host header names this loopback server: "127.0.0.1:PORT" or
// "localhost:PORT" (any case) with its own port, nothing else.  A page on
// another site that a browser was made to send here carries that site's name.
bool IsOwnHost(std::string_view host, int port);

class GuardedServer : public httplib::Server {
public:
  explicit GuardedServer(const ServerLimits &limits = {});
  ~GuardedServer() override;

  GuardedServer(const GuardedServer &) = delete;
  GuardedServer &operator=(const GuardedServer &) = delete;

  // As httplib's, with a deeper queue of connections not yet accepted
  // (httplib's 5 makes clients wait seconds for a new connection while
  // others arrive in numbers).
  bool bind_to_port(const std::string &host, int port, int socket_flags = 0);
  int bind_to_any_port(const std::string &host, int socket_flags = 0);

  // Stops listening, closes every connection and waits for the workers;
  // listen_after_bind() then returns.  A handler that waits for something of
  // its own must be woken by its owner first.  Calling it again (also before
  // listening started) stops a listen that started since.
  void shutdown();

private:
  struct Connection;
  class ConnectionStream;

  bool process_and_close_socket(socket_t sock) override;  // on the listening thread
  void watch();
  void work();
  bool serve(Connection &c);
  void wake();
  void takeBack(std::unique_ptr<Connection> c);

  const ServerLimits limits_;
  int wakeFd_ = -1;

  std::mutex mx_;
  std::condition_variable readyCv_;
  bool stopping_ = false;
  bool joined_ = false;
  std::vector<std::unique_ptr<Connection>> incoming_;  // for the watcher to take
  std::deque<std::unique_ptr<Connection>> ready_;      // request heads complete, for the workers
  std::set<int> active_;                               // sockets being answered

  std::thread watcher_;
  std::vector<std::thread> workers_;
};

}  // namespace kestrova::http
