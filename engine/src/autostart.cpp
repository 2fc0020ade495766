#include "autostart.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <unistd.h>

#include "util.h"

namespace kestrova::engine {

std::string AutostartEntryPath() { return ConfigHome() + "/autostart/kestrova.desktop"; }

std::string ClientExecutablePath()
{
  Dl_info info{};
  if (dladdr(reinterpret_cast<void *>(&ClientExecutablePath), &info) == 0 ||
      info.dli_fname == nullptr)
    return "";
  char resolved[PATH_MAX];
  if (realpath(info.dli_fname, resolved) == nullptr)
    return "";
  return DirName(resolved) + "/kestrova";
}

namespace {

// Backslashes are the one escape that string values of an entry know.
std::string EscapeString(const std::string &s)
{
  std::string out;
  for (char c : s) {
    if (c == '\\')
      out += "\\\\";
    else
      out += c;
  }
  return out;
}

// One argument of the Exec key: quoted, with '"', '`', '$' and '\' escaped
// inside the quotes, '%' doubled (it starts field codes), and then escaped as
// a string value.
std::string ExecArgument(const std::string &arg)
{
  std::string quoted = "\"";
  for (char c : arg) {
    if (c == '"' || c == '`' || c == '$' || c == '\\')
      quoted += '\\';
    if (c == '%')
      quoted += '%';
    quoted += c;
  }
  quoted += '"';
  return EscapeString(quoted);
}

}  // namespace

std::string AutostartEntry(const std::string &executable)
{
  if (executable.empty() || executable[0] != '/')
    return "";
  for (unsigned char c : executable) {
    if (c < 0x20 || c == 0x7f)
      return "";
  }
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Version=1.0\n"
         "Name=Kestrova\xe6\xb8\xb8\xe6\x88\x8f\n"
         "Comment=Kestrova\xe6\xb8\xb8\xe6\x88\x8f\n"
         "Exec=" +
         ExecArgument(executable) +
         " -start\n"
         "TryExec=" +
         EscapeString(executable) +
         "\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

bool SetAutostart(bool on)
{
  const std::string path = AutostartEntryPath();
  if (!on)
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
  std::string entry = AutostartEntry(ClientExecutablePath());
  if (entry.empty())
    return false;
  return MakeDirs(DirName(path)) && WriteFileAtomically(path, entry);
}

}  // namespace kestrova::engine
