#pragma once
// Raw loopback connections for the tests of the loopback servers: clients
// that send a request head one header line at a time and never finish it,
// and one-shot exchanges with a request written by hand (odd Host headers,
// no Host at all).  Plain POSIX sockets, no Qt.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace slowclients {

// A connected socket to 127.0.0.1:port, or -1.
inline int Connect(int port)
{
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

inline bool SendAll(int fd, const std::string &text)
{
  std::size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n <= 0)
      return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

// True while the server has neither closed nor answered the connection.
inline bool StillWaiting(int fd)
{
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, 0) == 0)
    return true;
  char c;
  return ::recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT) < 0 && errno == EAGAIN;
}

// Sends `request` as it is and gives back everything the server answers
// until it closes the connection or `limit` passes.
inline std::string Exchange(int port, const std::string &request,
                            std::chrono::milliseconds limit = std::chrono::seconds(5))
{
  const int fd = Connect(port);
  if (fd < 0)
    return "<no connection>";
  std::string answer;
  if (SendAll(fd, request)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    char buf[4096];
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      pollfd p{fd, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
        break;
      const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0)
        break;
      answer.append(buf, static_cast<std::size_t>(n));
    }
  }
  ::close(fd);
  return answer;
}

// The status code of an answer's first line, 0 when there is none.
inline int StatusOf(const std::string &answer)
{
  if (answer.rfind("HTTP/1.", 0) != 0 || answer.size() < 12)
    return 0;
  return std::atoi(answer.c_str() + 9);
}

// `count` connections that each send the start of a request at once and then
// one more header line every `interval`, `lines` lines at most, and never the
// empty line that ends the head.  They stop by themselves after the last line
// or when the object goes; a connection the server closes stays closed.
class SlowClients {
public:
  SlowClients(int port, int count, std::chrono::milliseconds interval, int lines = 10,
              const std::string &target = "/")
      : interval_(interval), lines_(lines)
  {
    for (int i = 0; i < count; ++i) {
      const int fd = Connect(port);
      if (fd < 0)
        continue;
      SendAll(fd,
              "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n");
      fds_.push_back(fd);
    }
    thread_ = std::thread([this] { drip(); });
  }
  ~SlowClients()
  {
    {
      std::lock_guard lock(mx_);
      quit_ = true;
    }
    cv_.notify_all();
    thread_.join();
    for (int fd : fds_)
      ::close(fd);
  }
  SlowClients(const SlowClients &) = delete;
  SlowClients &operator=(const SlowClients &) = delete;

  int opened() const { return static_cast<int>(fds_.size()); }
  // Connections the server has neither closed nor answered.
  int waiting() const
  {
    int n = 0;
    for (int fd : fds_)
      n += StillWaiting(fd);
    return n;
  }

private:
  void drip()
  {
    std::unique_lock lock(mx_);
    for (int line = 0; line < lines_; ++line) {
      if (cv_.wait_for(lock, interval_, [this] { return quit_; }))
        return;
      for (int fd : fds_)
        SendAll(fd, "X-Slow-" + std::to_string(line) + ": still coming\r\n");
    }
  }

  const std::chrono::milliseconds interval_;
  const int lines_;
  std::vector<int> fds_;
  std::mutex mx_;
  std::condition_variable cv_;
  bool quit_ = false;
  std::thread thread_;
};

}  // namespace slowclients
