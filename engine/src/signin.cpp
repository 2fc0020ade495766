#include "signin.h"

#include <curl/curl.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "transfer.h"

namespace kestrova::engine {

namespace {

constexpr std::size_t kMaxAnswer = 64 * 1024;

bool IsMachineId(const std::string &text)
{
  if (text.size() != 32)
    return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
      return false;
  }
  return true;
}

std::string Trim(const std::string &s)
{
  std::size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos)
    return "";
  std::size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

bool ParseInt32(const std::string &text, std::int32_t &out)
{
  if (text.empty())
    return false;
  errno = 0;
  char *end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < INT32_MIN || v > INT32_MAX)
    return false;
  // strtoll accepts leading blanks and '+'; the protocol does not.
  if (!(text[0] == '-' || (text[0] >= '0' && text[0] <= '9')))
    return false;
  out = static_cast<std::int32_t>(v);
  return true;
}

struct Body {
  std::string text;
  const CancelToken *cancel;
  bool tooLong = false;
};

std::size_t Collect(char *data, std::size_t size, std::size_t count, void *user)
{
  auto *body = static_cast<Body *>(user);
  std::size_t len = size * count;
  if (body->text.size() + len > kMaxAnswer) {
    body->tooLong = true;
    return 0;
  }
  body->text.append(data, len);
  return len;
}

int Abort(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
  return static_cast<Body *>(user)->cancel->cancelled() ? 1 : 0;
}

// GET with bounded times; true with the body of a 200 answer.
bool FetchAnswer(const std::string &url, const CancelToken &cancel, std::string &out)
{
  EnsureCurlReady();
  CURL *easy = curl_easy_init();
  if (easy == nullptr)
    return false;
  Body body{std::string(), &cancel};
  SetCommonOptions(easy, url.c_str(), 5L);
  curl_easy_setopt(easy, CURLOPT_TIMEOUT, 15L);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, Abort);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &body);
  CURLcode code = curl_easy_perform(easy);
  long status = 0;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_cleanup(easy);
  if (code != CURLE_OK || status != 200)
    return false;
  out.swap(body.text);
  return true;
}

}  // namespace

std::string MachineId()
{
  const std::string dir = DataHome() + "/kestrova-engine";
  const std::string file = dir + "/machine-id";
  {
    std::ifstream in(file);
    std::string line;
    if (in && std::getline(in, line) && IsMachineId(Trim(line)))
      return Trim(line);
  }
  std::string id = RandomHex(32);
  // A data folder that cannot be written only costs the id its permanence.
  if (MakeDirs(dir))
    WriteFileAtomically(file, id + "\n");
  return id;
}

bool ParseAnswer(const std::string &body, std::map<std::string, std::string> &fields)
{
  fields.clear();
  std::istringstream in(body);
  std::string line;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty())
      continue;
    auto eq = line.find('=');
    if (eq == std::string::npos)
      return false;
    fields[Trim(line.substr(0, eq))] = Trim(line.substr(eq + 1));
  }
  return true;
}

bool FieldInt(const std::map<std::string, std::string> &fields, const char *key, std::int32_t &out,
              const std::int32_t *fallback)
{
  auto it = fields.find(key);
  if (it == fields.end()) {
    if (fallback == nullptr)
      return false;
    out = *fallback;
    return true;
  }
  return ParseInt32(it->second, out);
}

std::string PortalBase(const char *siteUrl)
{
  if (siteUrl == nullptr)
    return "";
  std::string base = Trim(siteUrl);
  while (!base.empty() && base.back() == '/')
    base.pop_back();
  if (base.find_first_of("?#") != std::string::npos)
    return "";
  return IsFetchableUrl(base.c_str()) ? base : "";
}

SignInAnswer RequestSignIn(const std::string &base, std::int32_t version,
                           const std::string &machine, const CancelToken &cancel)
{
  SignInAnswer answer;
  std::string body;
  std::map<std::string, std::string> f;
  const std::int32_t zero = 0;
  SignInAnswer got;
  if (!FetchAnswer(base + "/engine/signin?version=" + std::to_string(version) +
                       "&machine=" + machine,
                   cancel, body) ||
      !ParseAnswer(body, f) || !FieldInt(f, "result", got.result) ||
      !FieldInt(f, "user", got.user, &zero) || !FieldInt(f, "points", got.points, &zero) ||
      !FieldInt(f, "level", got.level, &zero))
    return answer;
  got.reached = true;
  return got;
}

VersionAnswer RequestVersion(const std::string &base, std::int32_t version,
                             const CancelToken &cancel)
{
  VersionAnswer answer;
  std::string body;
  std::map<std::string, std::string> f;
  VersionAnswer got;
  if (!FetchAnswer(base + "/engine/version?version=" + std::to_string(version), cancel, body) ||
      !ParseAnswer(body, f) || !FieldInt(f, "action", got.action) ||
      !FieldInt(f, "catalog", got.catalog) || !FieldInt(f, "service", got.service) ||
      !FieldInt(f, "updater", got.updater))
    return answer;
  got.reached = true;
  return got;
}

}  // namespace kestrova::engine
