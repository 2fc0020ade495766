#pragma once
// A loopback HTTP server with the routes the engine's tests need: plain
// content with range support, slow, cut, broken, stalled, flaky, redirected,
// chunked and status answers, and the portal's sign-in and version answers.
// Every body is Content(n), n given in the path.
#include <httplib.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TestServer {
public:
  TestServer();
  ~TestServer();

  std::string url(const std::string &path) const;
  int port() const { return port_; }

  // n deterministic pseudo-random bytes (the same n gives the same bytes).
  static std::string Content(std::size_t n);

  // Requests seen for a path, and their Range headers ("" for none).
  int requests(const std::string &path) const;
  std::vector<std::string> ranges(const std::string &path) const;
  std::vector<std::string> queries(const std::string &path) const;
  int maxInFlight() const { return maxInFlight_; }

  // The portal's answers.
  void setAnswer(const std::string &path, int status, const std::string &body);

private:
  void record(const httplib::Request &req);
  void routes();

  httplib::Server http_;
  std::thread thread_;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> inFlight_{0}, maxInFlight_{0};
  mutable std::mutex mx_;
  std::map<std::string, std::vector<std::string>> ranges_, queries_;
  std::map<std::string, std::pair<int, std::string>> answers_;
};
