#include "util.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrova::engine {

long EnvLong(const char *name, long fallback, long lo, long hi)
{
  const char *text = std::getenv(name);
  if (text == nullptr || *text == '\0')
    return fallback;
  errno = 0;
  char *end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0')
    return fallback;
  if (value < lo)
    return lo;
  if (value > hi)
    return hi;
  return value;
}

namespace {

std::string HomeDir()
{
  const char *home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/')
    return home;
  if (const passwd *pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr)
    return pw->pw_dir;
  return "/tmp";
}

std::string XdgDir(const char *variable, const char *underHome)
{
  const char *value = std::getenv(variable);
  if (value != nullptr && value[0] == '/')
    return value;
  return HomeDir() + "/" + underHome;
}

}  // namespace

std::string DataHome() { return XdgDir("XDG_DATA_HOME", ".local/share"); }
std::string ConfigHome() { return XdgDir("XDG_CONFIG_HOME", ".config"); }

bool MakeDirs(const std::string &dir)
{
  if (dir.empty())
    return false;
  struct stat st {};
  if (::stat(dir.c_str(), &st) == 0)
    return S_ISDIR(st.st_mode);
  std::string parent = DirName(dir);
  if (!parent.empty() && parent != dir && !MakeDirs(parent))
    return false;
  if (::mkdir(dir.c_str(), 0777) == 0)
    return true;
  // Another thread or process may have made it meanwhile.
  return errno == EEXIST && ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string DirName(const std::string &path)
{
  std::string p = path;
  while (p.size() > 1 && p.back() == '/')
    p.pop_back();
  auto slash = p.rfind('/');
  if (slash == std::string::npos)
    return "";
  if (slash == 0)
    return "/";
  return p.substr(0, slash);
}

bool WriteFileAtomically(const std::string &path, const std::string &content)
{
  std::string temp;
  int fd = -1;
  for (int tries = 0; tries < 16 && fd < 0; ++tries) {
    temp = path + "." + RandomHex(8) + ".part";
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST)
      return false;
  }
  if (fd < 0)
    return false;
  const char *p = content.data();
  std::size_t left = content.size();
  bool ok = true;
  while (ok && left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0)
    ok = false;
  if (ok && ::rename(temp.c_str(), path.c_str()) == 0)
    return true;
  ::unlink(temp.c_str());
  return false;
}

std::string RandomHex(std::size_t digits)
{
  static const char hex[] = "0123456789abcdef";
  std::string out;
  out.reserve(digits);
  unsigned char buf[64];
  while (out.size() < digits) {
    std::size_t want = std::min(sizeof buf, (digits - out.size() + 1) / 2);
    ssize_t got = ::getrandom(buf, want, 0);
    if (got < 0) {
      if (errno == EINTR)
        continue;
      // No system randomness (should not happen on Linux 3.17+): fall back
      // to a time and address based mix rather than failing.
      auto seed = static_cast<unsigned long long>(
                      std::chrono::steady_clock::now().time_since_epoch().count()) ^
                  reinterpret_cast<std::uintptr_t>(&out);
      for (std::size_t i = 0; i < want; ++i) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        buf[i] = static_cast<unsigned char>(seed >> 56);
      }
      got = static_cast<ssize_t>(want);
    }
    for (ssize_t i = 0; i < got && out.size() < digits; ++i) {
      out.push_back(hex[buf[i] >> 4]);
      if (out.size() < digits)
        out.push_back(hex[buf[i] & 15]);
    }
  }
  return out;
}

void CancelToken::cancel()
{
  {
    std::lock_guard lock(mx_);
    flag_.store(true, std::memory_order_release);
  }
  cv_.notify_all();
}

bool CancelToken::waitFor(std::chrono::milliseconds ms) const
{
  std::unique_lock lock(mx_);
  return !cv_.wait_for(lock, ms, [this] { return flag_.load(std::memory_order_acquire); });
}

}  // namespace kestrova::engine
