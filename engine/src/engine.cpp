#include "engine.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <thread>

#include "filesink.h"
#include "localserver.h"
#include "signin.h"
#include "streampipe.h"

namespace kestrova::engine {

struct Task {
  bool stream = false;
  std::int32_t key = 0;       // a fetch's id, or a local address's task number
  std::int32_t reportId = 0;  // the id given to the task-end callback
  std::string url, path;
  std::string pathKey;  // a local address's path component before "P2P/"
  std::chrono::steady_clock::time_point registered;
  TransferSettings settings;
  Progress progress;
  CancelToken cancel;
  std::thread thread;

  // Guarded by the engine's mutex.
  bool claimed = false;  // a local address was requested
  bool silent = false;   // superseded: ends without a report
  std::shared_ptr<StreamPipe> pipe;

  // Set once the end was reported; StopDownload waits for it.
  std::mutex endMx;
  std::condition_variable endCv;
  bool done = false;
};

namespace {

constexpr std::size_t kFinishedKept = 256;
constexpr auto kStopWait = std::chrono::seconds(15);

// Sign-in calls running on this thread (so that a shutdown started from a
// sign-in callback does not wait for itself).
thread_local int t_signInDepth = 0;

// Compares two path keys in a time that does not tell how much of a guess
// was right.
bool KeysMatch(const std::string &a, const std::string &b)
{
  if (a.size() != b.size() || a.empty())
    return false;
  unsigned char diff = 0;
  for (std::size_t i = 0; i < a.size(); ++i)
    diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

std::int32_t Clamp32(std::int64_t v)
{
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, 0, INT32_MAX));
}

// The three-letter extension of the address's file ("dat" when it has none).
std::string ExtensionOf(const char *url)
{
  std::string ext = "dat";
  CURLU *h = curl_url();
  if (h == nullptr)
    return ext;
  char *path = nullptr;
  if (curl_url_set(h, CURLUPART_URL, url, 0) == CURLUE_OK &&
      curl_url_get(h, CURLUPART_PATH, &path, 0) == CURLUE_OK) {
    std::string p = path;
    std::string name = p.substr(p.rfind('/') + 1);
    auto dot = name.rfind('.');
    if (dot != std::string::npos && name.size() - dot == 4) {
      std::string e = name.substr(dot + 1);
      if (std::all_of(e.begin(), e.end(), [](unsigned char c) { return std::isalnum(c) != 0; })) {
        std::transform(e.begin(), e.end(), e.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        ext = e;
      }
    }
  }
  curl_free(path);
  curl_url_cleanup(h);
  return ext;
}

}  // namespace

Engine &Engine::Instance()
{
  // Never destroyed: a client that exits without UnInitkestrova must not
  // have running transfers torn down under it by static destruction.
  static Engine *engine = new Engine;
  return *engine;
}

bool Engine::init(std::int32_t, KestrovaVersionCallback onVersion, KestrovaSignInCallback onSignIn,
                  KestrovaSpareCallback, KestrovaTaskEndCallback onTaskEnd)
{
  EnsureCurlReady();
  std::lock_guard lock(mx_);
  if (state_ != State::Idle)
    return false;
  onVersion_ = onVersion;
  onSignIn_ = onSignIn;
  onTaskEnd_ = onTaskEnd;
  settings_ = TransferSettings::FromEnvironment();
  unclaimedLimit_ =
      std::chrono::milliseconds(EnvLong("KESTROVA_ENGINE_UNCLAIMED_MS", 600000, 10, 86400000));
  signInCancel_ = std::make_shared<CancelToken>();
  nextTaskNumber_ = kFirstTaskNumber;
  state_ = State::Running;
  return true;
}

void Engine::uninit()
{
  std::vector<std::shared_ptr<Task>> joinable;
  std::unique_ptr<LocalServer> server;
  {
    std::unique_lock lock(mx_);
    if (state_ != State::Running)
      return;
    state_ = State::Stopping;  // no new task, claim or report from here on
    signInCancel_->cancel();
    for (auto *tasks : {&fetches_, &streams_}) {
      for (auto &[key, task] : *tasks) {
        task->cancel.cancel();
        if (task->pipe)
          task->pipe->abort();
      }
    }
    sweep_.notify_all();
    signInDone_.wait(lock, [this] { return signInsRunning_ <= t_signInDepth; });
    server = std::move(server_);
    joinable.swap(threads_);
  }
  server.reset();  // stops listening and closes its connections
  joinAll(joinable);
  if (sweeper_.joinable()) {
    if (sweeper_.get_id() == std::this_thread::get_id())
      sweeper_.detach();  // called from its report
    else
      sweeper_.join();
  }
  std::lock_guard lock(mx_);
  fetches_.clear();
  streams_.clear();
  finishedFetches_.clear();
  finishedStreams_.clear();
  finishedFetchOrder_.clear();
  finishedStreamOrder_.clear();
  onVersion_ = nullptr;
  onSignIn_ = nullptr;
  onTaskEnd_ = nullptr;
  state_ = State::Idle;
}

void Engine::joinAll(std::vector<std::shared_ptr<Task>> &tasks)
{
  for (auto &task : tasks) {
    if (!task->thread.joinable())
      continue;
    if (task->thread.get_id() == std::this_thread::get_id())
      task->thread.detach();  // called from its own report
    else
      task->thread.join();
  }
  tasks.clear();
}

void Engine::reapLocked(std::vector<std::shared_ptr<Task>> &joinable)
{
  auto finished = [](const std::shared_ptr<Task> &t) {
    std::lock_guard lock(t->endMx);
    return t->done;
  };
  auto it = std::stable_partition(threads_.begin(), threads_.end(),
                                  [&](const auto &t) { return !finished(t); });
  joinable.insert(joinable.end(), std::make_move_iterator(it),
                  std::make_move_iterator(threads_.end()));
  threads_.erase(it, threads_.end());
}

void Engine::remember(std::map<std::int32_t, Finished> &store, std::deque<std::int32_t> &order,
                      std::int32_t key, const Finished &f)
{
  if (store.find(key) == store.end())
    order.push_back(key);
  store[key] = f;
  while (order.size() > kFinishedKept) {
    store.erase(order.front());
    order.pop_front();
  }
}

bool Engine::newDownload(std::int32_t id, const char *url, const char *path)
{
  if (!IsFetchableUrl(url) || path == nullptr || *path == '\0')
    return false;
  std::vector<std::shared_ptr<Task>> joinable;
  bool started = false;
  {
    std::lock_guard lock(mx_);
    if (state_ != State::Running)
      return false;
    reapLocked(joinable);
    auto running = fetches_.find(id);
    if (running != fetches_.end() && running->second->path == path) {
      started = true;  // already on its way to the same file
    } else {
      std::unique_ptr<FileSink> sink = FileSink::Create(path, nullptr);
      if (sink) {
        if (running != fetches_.end()) {
          // The id now names a fetch to another file: the old one ends
          // without a report, which would be taken for the new one's.
          running->second->silent = true;
          running->second->cancel.cancel();
          fetches_.erase(running);
        }
        auto task = std::make_shared<Task>();
        task->key = task->reportId = id;
        task->url = url;
        task->path = path;
        task->settings = settings_;
        try {
          task->thread = std::thread(
              [this, task, s = std::move(sink)]() mutable { runFetch(task, std::move(s)); });
          fetches_[id] = task;
          threads_.push_back(task);
          started = true;
        } catch (const std::system_error &) {
          // No thread to be had: the sink's destructor removes its file.
        }
      }
    }
  }
  joinAll(joinable);
  return started;
}

void Engine::runFetch(const std::shared_ptr<Task> &task, std::unique_ptr<FileSink> sink)
{
  TransferReport report =
      RunTransfer(task->url, *sink, task->progress, task->cancel, task->settings);
  std::int32_t percent;
  if (report.result == TransferResult::Complete && sink->commit()) {
    task->progress.complete();
    percent = 100;
  } else {
    sink->discard();
    percent = std::min(99, task->progress.percent.load());
  }
  sink.reset();
  endTask(task, percent);
}

void Engine::runStream(const std::shared_ptr<Task> &task, std::shared_ptr<StreamPipe> pipe)
{
  TransferReport report =
      RunTransfer(task->url, *pipe, task->progress, task->cancel, task->settings);
  std::int32_t percent = std::min(99, task->progress.percent.load());
  if (report.result == TransferResult::Complete) {
    pipe->finish(true);
    if (pipe->waitDelivered()) {
      task->progress.complete();
      percent = 100;
    }
  } else {
    pipe->finish(false);
  }
  endTask(task, percent);
}

void Engine::endTask(const std::shared_ptr<Task> &task, std::int32_t percent)
{
  KestrovaTaskEndCallback report = nullptr;
  {
    std::lock_guard lock(mx_);
    auto &active = task->stream ? streams_ : fetches_;
    auto it = active.find(task->key);
    if (it != active.end() && it->second == task)
      active.erase(it);
    if (!task->silent) {
      Finished f{percent, task->progress.received.load(), task->progress.total.load(),
                 task->pathKey};
      if (task->stream)
        remember(finishedStreams_, finishedStreamOrder_, task->key, f);
      else
        remember(finishedFetches_, finishedFetchOrder_, task->key, f);
      if (state_ == State::Running)
        report = onTaskEnd_;
    }
  }
  if (report != nullptr)
    report(task->reportId, percent);
  {
    std::lock_guard lock(task->endMx);
    task->done = true;
  }
  task->endCv.notify_all();
}

bool Engine::stopDownload(std::int32_t id)
{
  std::shared_ptr<Task> task;
  std::thread::id worker;
  KestrovaTaskEndCallback report = nullptr;
  {
    std::lock_guard lock(mx_);
    if (state_ != State::Running)
      return false;
    if (auto s = streams_.find(id); s != streams_.end())
      task = s->second;
    else if (auto f = fetches_.find(id); f != fetches_.end())
      task = f->second;
    if (!task)
      return false;
    task->cancel.cancel();
    if (task->pipe)
      task->pipe->abort();
    if (task->stream && !task->claimed) {
      // Registered but never requested: it ends here.
      streams_.erase(id);
      remember(finishedStreams_, finishedStreamOrder_, id, Finished{0, 0, 0, task->pathKey});
      report = onTaskEnd_;
    }
    worker = task->thread.get_id();
  }
  if (report != nullptr) {
    report(task->reportId, 0);
    return true;
  }
  if (worker == std::this_thread::get_id())
    return true;  // asked from its own report
  std::unique_lock lock(task->endMx);
  task->endCv.wait_for(lock, kStopWait, [&] { return task->done; });
  return true;
}

bool Engine::progress(std::int32_t id, std::int32_t *percent, std::int32_t *spare,
                      std::int32_t *total)
{
  if (percent == nullptr || spare == nullptr || total == nullptr)
    return false;
  std::lock_guard lock(mx_);
  if (state_ != State::Running)
    return false;
  Finished f;
  auto live = [&f](const std::shared_ptr<Task> &t) {
    f.percent = t->progress.percent.load();
    f.received = t->progress.received.load();
    f.total = t->progress.total.load();
  };
  if (auto s = streams_.find(id); s != streams_.end())
    live(s->second);
  else if (auto r = fetches_.find(id); r != fetches_.end())
    live(r->second);
  else if (auto fs = finishedStreams_.find(id); fs != finishedStreams_.end())
    f = fs->second;
  else if (auto ff = finishedFetches_.find(id); ff != finishedFetches_.end())
    f = ff->second;
  else
    return false;
  *percent = f.percent;
  *spare = Clamp32(f.received / 1024);  // KiB held so far
  *total = Clamp32(f.total);
  return true;
}

bool Engine::registerStream(const char *url, std::int32_t id, char *buffer)
{
  if (buffer == nullptr)
    return false;
  buffer[0] = '\0';
  if (!IsFetchableUrl(url))
    return false;
  const std::string ext = ExtensionOf(url);
  // The address is known to the caller alone: a page on loopback that
  // guesses the task number still does not find it.
  const std::string key = RandomHex(32);
  std::vector<std::shared_ptr<Task>> joinable;
  std::string address;
  {
    std::lock_guard lock(mx_);
    if (state_ != State::Running)
      return false;
    reapLocked(joinable);
    if (!server_) {
      auto server = std::make_unique<LocalServer>(LocalServer::Tasks{
          [this](std::int32_t number, const std::string &k, int *status) {
            return claimStream(number, k, status);
          },
          [this](std::int32_t number, const std::string &k) { return streamExists(number, k); }});
      if (!server->start())
        return false;
      server_ = std::move(server);
    }
    if (!sweeper_.joinable()) {
      try {
        sweeper_ = std::thread([this] { dropUnclaimed(); });
      } catch (const std::system_error &) {
        return false;
      }
    }
    std::int32_t number = nextTaskNumber_;
    while (streams_.count(number) != 0)
      number = number == INT32_MAX ? kFirstTaskNumber : number + 1;
    nextTaskNumber_ = number == INT32_MAX ? kFirstTaskNumber : number + 1;
    auto task = std::make_shared<Task>();
    task->stream = true;
    task->key = number;
    task->reportId = id;
    task->url = url;
    task->pathKey = key;
    task->registered = std::chrono::steady_clock::now();
    task->settings = settings_;
    streams_[number] = task;
    finishedStreams_.erase(number);
    address = "http://127.0.0.1:" + std::to_string(server_->port()) + "/" + key + "/P2P/" +
              std::to_string(number) + "." + ext;
  }
  sweep_.notify_all();
  joinAll(joinable);
  std::snprintf(buffer, kBufferSize, "%s", address.c_str());
  return true;
}

std::shared_ptr<StreamPipe> Engine::claimStream(std::int32_t number, const std::string &key,
                                                int *status)
{
  std::lock_guard lock(mx_);
  *status = 404;
  if (state_ != State::Running)
    return nullptr;
  auto it = streams_.find(number);
  if (it == streams_.end()) {
    auto ended = finishedStreams_.find(number);
    if (ended != finishedStreams_.end() && KeysMatch(ended->second.key, key))
      *status = 410;
    return nullptr;
  }
  const std::shared_ptr<Task> &task = it->second;
  if (!KeysMatch(task->pathKey, key))
    return nullptr;  // a guess: the task stays for its reader
  if (task->claimed) {
    *status = 410;
    return nullptr;
  }
  auto pipe = std::make_shared<StreamPipe>();
  try {
    task->thread = std::thread([this, task, pipe] { runStream(task, pipe); });
  } catch (const std::system_error &) {
    *status = 503;
    return nullptr;
  }
  task->claimed = true;
  task->pipe = pipe;
  threads_.push_back(task);
  return pipe;
}

bool Engine::streamExists(std::int32_t number, const std::string &key)
{
  std::lock_guard lock(mx_);
  if (state_ != State::Running)
    return false;
  auto it = streams_.find(number);
  return it != streams_.end() && KeysMatch(it->second->pathKey, key);
}

// The sweeper thread: local addresses that nobody asked for within
// unclaimedLimit_ end at 0 %, as if stopped, so that registrations never
// fetched do not pile up.
void Engine::dropUnclaimed()
{
  std::unique_lock lock(mx_);
  while (state_ == State::Running) {
    const auto now = std::chrono::steady_clock::now();
    auto next = std::chrono::steady_clock::time_point::max();
    std::vector<std::int32_t> dropped;
    for (auto it = streams_.begin(); it != streams_.end();) {
      const std::shared_ptr<Task> &task = it->second;
      if (!task->claimed) {
        const auto due = task->registered + unclaimedLimit_;
        if (due <= now) {
          dropped.push_back(task->reportId);
          remember(finishedStreams_, finishedStreamOrder_, it->first,
                   Finished{0, 0, 0, task->pathKey});
          it = streams_.erase(it);
          continue;
        }
        next = std::min(next, due);
      }
      ++it;
    }
    if (!dropped.empty()) {
      const KestrovaTaskEndCallback report = onTaskEnd_;
      lock.unlock();
      if (report != nullptr)
        for (std::int32_t id : dropped)
          report(id, 0);
      lock.lock();
      continue;
    }
    if (next == std::chrono::steady_clock::time_point::max())
      sweep_.wait(lock);
    else
      sweep_.wait_until(lock, next);
  }
}

bool Engine::signIn(std::int32_t clientVersion, const char *siteUrl)
{
  KestrovaSignInCallback onSignIn;
  KestrovaVersionCallback onVersion;
  std::shared_ptr<CancelToken> cancel;
  {
    std::lock_guard lock(mx_);
    if (state_ != State::Running)
      return false;
    ++signInsRunning_;
    onSignIn = onSignIn_;
    onVersion = onVersion_;
    cancel = signInCancel_;
  }
  ++t_signInDepth;
  struct Leave {
    Engine *e;
    ~Leave()
    {
      --t_signInDepth;
      std::lock_guard lock(e->mx_);
      --e->signInsRunning_;
      e->signInDone_.notify_all();
    }
  } leave{this};

  const std::string base = PortalBase(siteUrl);
  SignInAnswer signIn;
  VersionAnswer version;
  if (!base.empty()) {
    signIn = RequestSignIn(base, clientVersion, MachineId(), *cancel);
    if (signIn.reached && !cancel->cancelled())
      version = RequestVersion(base, clientVersion, *cancel);
  }
  if (cancel->cancelled())
    return false;  // shutting down: no more reports
  if (onSignIn != nullptr)
    onSignIn(signIn.result, signIn.user, signIn.points, signIn.level);
  if (version.reached && onVersion != nullptr)
    onVersion(version.action, version.catalog, version.service, version.updater);
  return signIn.reached;
}

}  // namespace kestrova::engine
