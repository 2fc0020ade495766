#include "guardedserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace kestrova::http {

namespace {

using Clock = std::chrono::steady_clock;

// Runs each accepted connection's task at once on the listening thread: the
// task only hands the socket to the watcher.
class HandOver final : public httplib::TaskQueue {
public:
  void enqueue(std::function<void()> fn) override { fn(); }
  void shutdown() override {}
};

bool HeadComplete(const std::string &buffer)
{
  return buffer.find("\r\n\r\n") != std::string::npos || buffer.find("\n\n") != std::string::npos;
}

int MillisecondsUntil(Clock::time_point t)
{
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(t - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, 60 * 60 * 1000));
}

// Waits until the socket is ready for `events` (or broken); false when
// `timeoutMs` passed first.
bool WaitFor(int fd, short events, int timeoutMs)
{
  pollfd p{fd, events, 0};
  int n;
  do {
    n = ::poll(&p, 1, timeoutMs);
  } while (n < 0 && errno == EINTR);
  return n > 0;
}

void CloseSocket(int fd)
{
  ::shutdown(fd, SHUT_RDWR);
  ::close(fd);
}

// A short answer to a client that never finished its request, sent only if
// the socket takes it at once.  What the client sent beyond is read away
// first, so that closing does not reset the connection before the client
// has read the answer.
void SendAndClose(int fd, const char *answer)
{
  ::send(fd, answer, std::strlen(answer), MSG_NOSIGNAL | MSG_DONTWAIT);
  ::shutdown(fd, SHUT_WR);
  char sink[4096];
  for (int i = 0; i < 16 && ::recv(fd, sink, sizeof sink, MSG_DONTWAIT) > 0; ++i) {
  }
  ::close(fd);
}

constexpr int kBacklog = 1024;

constexpr char kTimedOut[] =
    "HTTP/1.1 408 Request Timeout\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
constexpr char kTooLarge[] = "HTTP/1.1 431 Request Header Fields Too Large\r\nConnection: "
                             "close\r\nContent-Length: 0\r\n\r\n";

bool AddressOf(int fd, bool peer, std::string &ip, int &port)
{
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  auto *sa = reinterpret_cast<sockaddr *>(&addr);
  if ((peer ? ::getpeername(fd, sa, &len) : ::getsockname(fd, sa, &len)) != 0)
    return false;
  char text[INET6_ADDRSTRLEN] = {};
  if (addr.ss_family == AF_INET) {
    const auto *in = reinterpret_cast<const sockaddr_in *>(&addr);
    ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
    port = ntohs(in->sin_port);
  } else if (addr.ss_family == AF_INET6) {
    const auto *in6 = reinterpret_cast<const sockaddr_in6 *>(&addr);
    ::inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
    port = ntohs(in6->sin6_port);
  } else {
    return false;
  }
  ip = text;
  return true;
}

}  // namespace

bool IsOwnHost(std::string_view host, int port)
{
  const std::string suffix = ":" + std::to_string(port);
  if (host.size() <= suffix.size() || host.substr(host.size() - suffix.size()) != suffix)
    return false;
  std::string name(host.substr(0, host.size() - suffix.size()));
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return name == "127.0.0.1" || name == "localhost";
}

struct GuardedServer::Connection {
  int fd = -1;
  std::string buffer;  // read ahead: the next request's head and what follows it
  Clock::time_point deadline;
  std::size_t served = 0;
};

// The worker's view of a connection: reads take what the watcher read ahead
// first, then wait for the socket no longer than the request's deadline;
// writes wait at most the write time-out.
class GuardedServer::ConnectionStream final : public httplib::Stream {
public:
  ConnectionStream(Connection &c, const ServerLimits &limits)
      : c_(c), limits_(limits), readDeadline_(Clock::now() + limits.bodyTimeout)
  {
  }
  ~ConnectionStream() override
  {
    c_.buffer.erase(0, pos_);
  }  // the rest belongs to the next request

  bool is_readable() const override
  {
    return pos_ < c_.buffer.size() || WaitFor(c_.fd, POLLIN, MillisecondsUntil(readDeadline_));
  }
  bool is_writable() const override
  {
    return WaitFor(c_.fd, POLLOUT, static_cast<int>(limits_.writeTimeout.count()));
  }
  ssize_t read(char *ptr, size_t size) override
  {
    if (pos_ < c_.buffer.size()) {
      const std::size_t n = std::min(size, c_.buffer.size() - pos_);
      std::memcpy(ptr, c_.buffer.data() + pos_, n);
      pos_ += n;
      return static_cast<ssize_t>(n);
    }
    for (;;) {
      if (!WaitFor(c_.fd, POLLIN, MillisecondsUntil(readDeadline_)))
        return -1;
      const ssize_t n = ::recv(c_.fd, ptr, size, MSG_DONTWAIT);
      if (n >= 0 || (errno != EINTR && errno != EAGAIN))
        return n;
    }
  }
  ssize_t write(const char *ptr, size_t size) override
  {
    for (;;) {
      if (!is_writable())
        return -1;
      const ssize_t n = ::send(c_.fd, ptr, size, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n >= 0 || (errno != EINTR && errno != EAGAIN))
        return n;
    }
  }
  void get_remote_ip_and_port(std::string &ip, int &port) const override
  {
    AddressOf(c_.fd, true, ip, port);
  }
  void get_local_ip_and_port(std::string &ip, int &port) const override
  {
    AddressOf(c_.fd, false, ip, port);
  }
  socket_t socket() const override { return c_.fd; }

private:
  Connection &c_;
  const ServerLimits &limits_;
  const Clock::time_point readDeadline_;
  std::size_t pos_ = 0;
};

GuardedServer::GuardedServer(const ServerLimits &limits) : limits_(limits)
{
  new_task_queue = [] { return new HandOver; };
  wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wakeFd_ < 0)
    throw std::system_error(errno, std::generic_category(), "eventfd");
  try {
    watcher_ = std::thread([this] { watch(); });
    for (std::size_t i = 0; i < std::max<std::size_t>(1, limits_.workers); ++i)
      workers_.emplace_back([this] { work(); });
  } catch (...) {
    shutdown();
    ::close(wakeFd_);
    throw;
  }
}

GuardedServer::~GuardedServer()
{
  shutdown();
  ::close(wakeFd_);
}

bool GuardedServer::bind_to_port(const std::string &host, int port, int socket_flags)
{
  if (!httplib::Server::bind_to_port(host, port, socket_flags))
    return false;
  ::listen(svr_sock_, kBacklog);  // a listening socket takes a new queue length
  return true;
}

int GuardedServer::bind_to_any_port(const std::string &host, int socket_flags)
{
  const int port = httplib::Server::bind_to_any_port(host, socket_flags);
  if (port > 0)
    ::listen(svr_sock_, kBacklog);
  return port;
}

void GuardedServer::wake()
{
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

bool GuardedServer::process_and_close_socket(socket_t sock)
{
  auto c = std::make_unique<Connection>();
  c->fd = sock;
  c->deadline = Clock::now() + limits_.headTimeout;
  {
    std::lock_guard lock(mx_);
    if (stopping_) {
      CloseSocket(sock);
      return false;
    }
    incoming_.push_back(std::move(c));
  }
  wake();
  return true;
}

// Watches the connections waiting for a request: reads what comes, hands a
// connection with a whole request head to the workers, closes those that
// take too long, send too much or go away.
void GuardedServer::watch()
{
  std::vector<std::unique_ptr<Connection>> waiting;  // oldest first
  std::vector<pollfd> fds;
  for (;;) {
    {
      std::lock_guard lock(mx_);
      if (stopping_)
        break;
      for (auto &c : incoming_)
        waiting.push_back(std::move(c));
      incoming_.clear();
    }
    // Too many waiting: the ones that have waited longest go.
    std::stable_sort(waiting.begin(), waiting.end(),
                     [](const auto &a, const auto &b) { return a->deadline < b->deadline; });
    while (waiting.size() > limits_.maxWaiting) {
      CloseSocket(waiting.front()->fd);
      waiting.erase(waiting.begin());
    }

    fds.assign(1, pollfd{wakeFd_, POLLIN, 0});
    Clock::time_point next = Clock::time_point::max();
    for (const auto &c : waiting) {
      fds.push_back(pollfd{c->fd, POLLIN, 0});
      next = std::min(next, c->deadline);
    }
    const int timeout = next == Clock::time_point::max() ? -1 : MillisecondsUntil(next);
    if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
      continue;
    if (fds[0].revents != 0) {
      std::uint64_t count;
      [[maybe_unused]] ssize_t n = ::read(wakeFd_, &count, sizeof count);
    }

    const Clock::time_point now = Clock::now();
    std::vector<std::unique_ptr<Connection>> ready;
    for (std::size_t i = 0; i < waiting.size(); ++i) {
      std::unique_ptr<Connection> &c = waiting[i];
      bool gone = false;
      if (fds[i + 1].revents != 0) {
        char piece[4096];
        while (!HeadComplete(c->buffer) && c->buffer.size() <= limits_.maxHeadBytes) {
          const ssize_t n = ::recv(c->fd, piece, sizeof piece, MSG_DONTWAIT);
          if (n > 0) {
            c->buffer.append(piece, static_cast<std::size_t>(n));
          } else {
            gone = n == 0 || (errno != EAGAIN && errno != EINTR);
            break;
          }
        }
      }
      if (HeadComplete(c->buffer)) {
        ready.push_back(std::move(c));
      } else if (gone) {
        CloseSocket(c->fd);
        c.reset();
      } else if (c->buffer.size() > limits_.maxHeadBytes) {
        SendAndClose(c->fd, kTooLarge);
        c.reset();
      } else if (now >= c->deadline) {
        // Silent since the last answer: an idle connection, closed quietly.
        if (c->buffer.empty())
          CloseSocket(c->fd);
        else
          SendAndClose(c->fd, kTimedOut);
        c.reset();
      }
    }
    waiting.erase(std::remove(waiting.begin(), waiting.end(), nullptr), waiting.end());
    if (!ready.empty()) {
      {
        std::lock_guard lock(mx_);
        for (auto &c : ready)
          ready_.push_back(std::move(c));
      }
      readyCv_.notify_all();
    }
  }
  for (const auto &c : waiting)
    CloseSocket(c->fd);
}

void GuardedServer::work()
{
  for (;;) {
    std::unique_ptr<Connection> c;
    {
      std::unique_lock lock(mx_);
      readyCv_.wait(lock, [this] { return stopping_ || !ready_.empty(); });
      if (stopping_)
        return;
      c = std::move(ready_.front());
      ready_.pop_front();
      active_.insert(c->fd);
    }
    const bool keep = serve(*c);
    {
      std::lock_guard lock(mx_);
      active_.erase(c->fd);
    }
    if (keep)
      takeBack(std::move(c));
    else
      CloseSocket(c->fd);
  }
}

bool GuardedServer::serve(Connection &c)
{
  bool closeConnection = c.served + 1 >= limits_.requestsPerConnection;
  bool closed = false;
  bool ok = false;
  try {
    ConnectionStream stream(c, limits_);
    ok = process_request(stream, closeConnection, closed,
                         [](httplib::Request &req) { req.ranges.clear(); });
  } catch (...) {
    ok = false;
  }
  ++c.served;
  return ok && !closed && !closeConnection;
}

// A kept-alive connection waits for its next request again (or is answered
// at once when that is already in).
void GuardedServer::takeBack(std::unique_ptr<Connection> c)
{
  c->deadline = Clock::now() + limits_.headTimeout;
  const bool ready = HeadComplete(c->buffer);
  {
    std::lock_guard lock(mx_);
    if (stopping_) {
      CloseSocket(c->fd);
      return;
    }
    if (ready)
      ready_.push_back(std::move(c));
    else
      incoming_.push_back(std::move(c));
  }
  if (ready)
    readyCv_.notify_one();
  else
    wake();
}

void GuardedServer::shutdown()
{
  bool join = false;
  {
    std::lock_guard lock(mx_);
    if (!stopping_) {
      stopping_ = true;
      // Wakes every worker out of its reads and writes at once.
      for (int fd : active_)
        ::shutdown(fd, SHUT_RDWR);
    }
    if (!joined_)
      join = joined_ = true;
  }
  httplib::Server::stop();  // the listening socket
  if (!join)
    return;
  wake();
  readyCv_.notify_all();
  const auto self = std::this_thread::get_id();
  auto finish = [self](std::thread &t) {
    if (!t.joinable())
      return;
    if (t.get_id() == self)
      t.detach();  // a handler stopping its own server
    else
      t.join();
  };
  finish(watcher_);
  for (std::thread &t : workers_)
    finish(t);
  std::lock_guard lock(mx_);
  for (const auto &c : incoming_)
    CloseSocket(c->fd);
  for (const auto &c : ready_)
    CloseSocket(c->fd);
  incoming_.clear();
  ready_.clear();
}

}  // namespace kestrova::http
