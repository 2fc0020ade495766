#pragma once
// Shared pieces of the engine's tests: a recorder for the four callbacks, a
// fixture that starts the engine in a fresh temporary folder with short
// back-off and stall times, and file helpers.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "kestrova.h"

struct Event {
  char kind;  // 'V' version, 'S' sign-in, 'T' task end
  int a, b, c, d;
};

class Recorder {
public:
  static Recorder &Get()
  {
    static Recorder r;
    return r;
  }
  void reset()
  {
    std::lock_guard lock(mx_);
    events_.clear();
  }
  std::vector<Event> events() const
  {
    std::lock_guard lock(mx_);
    return events_;
  }
  // Waits until pred(events) holds; false on time-out.
  bool waitFor(const std::function<bool(const std::vector<Event> &)> &pred,
               std::chrono::milliseconds limit = std::chrono::seconds(30))
  {
    std::unique_lock lock(mx_);
    return cv_.wait_for(lock, limit, [&] { return pred(events_); });
  }
  // The percent of the first task end of `id` (waits for it); -1000 if none came.
  int taskEnd(int id, std::chrono::milliseconds limit = std::chrono::seconds(30))
  {
    int percent = -1000;
    waitFor(
        [&](const std::vector<Event> &es) {
          for (const Event &e : es) {
            if (e.kind == 'T' && e.a == id) {
              percent = e.b;
              return true;
            }
          }
          return false;
        },
        limit);
    return percent;
  }
  int count(char kind, int id) const
  {
    int n = 0;
    for (const Event &e : events())
      n += e.kind == kind && (kind != 'T' || e.a == id);
    return n;
  }

  static void OnVersion(int32_t a, int32_t b, int32_t c, int32_t d)
  {
    Get().add({'V', a, b, c, d});
  }
  static void OnSignIn(int32_t a, int32_t b, int32_t c, int32_t d) { Get().add({'S', a, b, c, d}); }
  static void OnSpare(int32_t, int32_t) {}
  static void OnTaskEnd(int32_t id, int32_t percent) { Get().add({'T', id, percent, 0, 0}); }

private:
  void add(Event e)
  {
    {
      std::lock_guard lock(mx_);
      events_.push_back(e);
    }
    cv_.notify_all();
  }
  mutable std::mutex mx_;
  std::condition_variable cv_;
  std::vector<Event> events_;
};

inline std::string ReadAll(const std::string &path)
{
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return "<missing>";
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline bool Exists(const std::string &path)
{
  return QFileInfo::exists(QString::fromStdString(path));
}

// Names in a folder (without . and ..).
inline std::vector<std::string> Entries(const std::string &dir)
{
  std::vector<std::string> names;
  for (const QString &n : QDir(QString::fromStdString(dir))
                              .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
    names.push_back(n.toStdString());
  return names;
}

// A local address split up.
struct Local {
  int port = 0;
  int32_t task = 0;
  std::string path;  // from the "/" after the port on: "/<key>/P2P/<task>.<ext>"
};

// Reads the address the way the download manager does: the task number is
// what follows "P2P/" without the last four characters.
inline Local ParseAddress(const char *buffer)
{
  Local l;
  std::cmatch m;
  if (!std::regex_match(buffer, m, std::regex(R"(http://127\.0\.0\.1:(\d+)(/(?:[^/]+/)?P2P/.*))")))
    return l;
  l.port = std::stoi(m[1].str());
  l.path = m[2].str();
  std::string text = buffer;
  std::string rest = text.substr(text.find("P2P/") + 4);
  l.task = static_cast<int32_t>(std::stoll(rest.substr(0, rest.size() - 4)));
  return l;
}

// SetProgramInfo for `url`, its address split up.
inline Local RegisterLocal(const std::string &url, int32_t id)
{
  char buffer[1024];
  std::memset(buffer, 0, sizeof buffer);
  EXPECT_TRUE(SetProgramInfo(url.c_str(), id, 2, 2, buffer));
  return ParseAddress(buffer);
}

class EngineTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(tmp_.isValid());
    dir_ = tmp_.path().toStdString() + "/";
    setenv("XDG_DATA_HOME", (dir_ + "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir_ + "config").c_str(), 1);
    setenv("KESTROVA_ENGINE_RETRY_MS", "20", 1);
    setenv("KESTROVA_ENGINE_RETRIES", "2", 1);
    setenv("KESTROVA_ENGINE_STALL_SEC", "1", 1);
    Recorder::Get().reset();
    ASSERT_TRUE(Init());
  }
  void TearDown() override { UnInitkestrova(); }

  static bool Init()
  {
    return Initkestrova(16783119, &Recorder::OnVersion, &Recorder::OnSignIn, &Recorder::OnSpare,
                        &Recorder::OnTaskEnd);
  }
  // A folder for downloads, made on demand.
  std::string cache()
  {
    QDir().mkpath(QString::fromStdString(dir_ + "cache"));
    return dir_ + "cache/";
  }

  QTemporaryDir tmp_;
  std::string dir_;
};
