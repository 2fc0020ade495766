// The engine's state behind the C interface: fetch tasks by id, local-address
// ("P2P/") tasks by task number, the loopback server, the sign-in calls in
// flight, and the client's four callbacks.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kestrova.h"
#include "transfer.h"

namespace kestrova::engine {

class LocalServer;
class StreamPipe;
struct Task;

class Engine {
public:
  static Engine &Instance();

  bool init(std::int32_t clientVersion, KestrovaVersionCallback onVersion,
            KestrovaSignInCallback onSignIn, KestrovaSpareCallback onSpare,
            KestrovaTaskEndCallback onTaskEnd);
  void uninit();
  bool newDownload(std::int32_t id, const char *url, const char *path);
  bool stopDownload(std::int32_t id);
  bool progress(std::int32_t id, std::int32_t *percent, std::int32_t *spare, std::int32_t *total);
  bool registerStream(const char *url, std::int32_t id, char *buffer);
  bool signIn(std::int32_t clientVersion, const char *siteUrl);

  // Task numbers of local addresses start here, far above content ids, so
  // that progress queries by id and by task number never meet.
  static constexpr std::int32_t kFirstTaskNumber = 2000000001;
  static constexpr std::size_t kBufferSize = 1024;

private:
  enum class State { Idle, Running, Stopping };
  struct Finished {
    std::int32_t percent = 0;
    std::int64_t received = 0;
    std::int64_t total = 0;
    std::string key;  // a local address's path key
  };

  void runFetch(const std::shared_ptr<Task> &task, std::unique_ptr<class FileSink> sink);
  void runStream(const std::shared_ptr<Task> &task, std::shared_ptr<StreamPipe> pipe);
  void endTask(const std::shared_ptr<Task> &task, std::int32_t percent);
  void stopTask(const std::shared_ptr<Task> &task);
  void reapLocked(std::vector<std::shared_ptr<Task>> &joinable);
  static void joinAll(std::vector<std::shared_ptr<Task>> &tasks);
  void remember(std::map<std::int32_t, Finished> &store, std::deque<std::int32_t> &order,
                std::int32_t key, const Finished &f);
  std::shared_ptr<StreamPipe> claimStream(std::int32_t number, const std::string &key, int *status);
  bool streamExists(std::int32_t number, const std::string &key);
  void dropUnclaimed();

  std::mutex mx_;
  std::condition_variable signInDone_;
  State state_ = State::Idle;
  KestrovaVersionCallback onVersion_ = nullptr;
  KestrovaSignInCallback onSignIn_ = nullptr;
  KestrovaTaskEndCallback onTaskEnd_ = nullptr;
  TransferSettings settings_;

  std::map<std::int32_t, std::shared_ptr<Task>> fetches_;  // running, by id
  std::map<std::int32_t, std::shared_ptr<Task>> streams_;  // registered or running, by number
  std::vector<std::shared_ptr<Task>> threads_;  // every task with a thread not yet joined
  std::map<std::int32_t, Finished> finishedFetches_, finishedStreams_;
  std::deque<std::int32_t> finishedFetchOrder_, finishedStreamOrder_;
  std::int32_t nextTaskNumber_ = kFirstTaskNumber;
  // Local addresses nobody asked for within this time are dropped.
  std::chrono::milliseconds unclaimedLimit_{600000};
  std::condition_variable sweep_;
  std::thread sweeper_;

  std::unique_ptr<LocalServer> server_;
  std::shared_ptr<CancelToken> signInCancel_;
  int signInsRunning_ = 0;
};

}  // namespace kestrova::engine
