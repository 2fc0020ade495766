// kestrova-webhelper: the program the web engine starts for each of its
// helper processes.  It starts the web engine's own helper, named by
// KESTROVA_WEBENGINE_PROCESS, with the same arguments, and with the heap
// trimmer beside this program (libkestrova-heaptrim.so) loaded first.
// Without the trimmer, or in a folder whose path the loader cannot take in
// LD_PRELOAD (a blank or a colon in it), the helper runs as it is.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {

std::string OwnFolder()
{
  char path[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0)
    return {};
  const std::string exe(path, static_cast<std::size_t>(n));
  const std::size_t slash = exe.rfind('/');
  return slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
}

}  // namespace

int main(int argc, char **argv)
{
  (void)argc;
  const char *helper = std::getenv("KESTROVA_WEBENGINE_PROCESS");
  if (!helper || !*helper) {
    std::fprintf(stderr, "kestrova-webhelper: KESTROVA_WEBENGINE_PROCESS is not set\n");
    return 127;
  }
  const std::string folder = OwnFolder();
  const std::string trimmer = folder + "libkestrova-heaptrim.so";
  if (!folder.empty() && trimmer.find_first_of(" :") == std::string::npos &&
      ::access(trimmer.c_str(), R_OK) == 0) {
    const char *before = std::getenv("LD_PRELOAD");
    std::string preload = trimmer;
    if (before && *before && !std::strstr(before, trimmer.c_str()))
      preload += std::string(":") + before;
    else if (before && *before)
      preload = before;
    ::setenv("LD_PRELOAD", preload.c_str(), 1);
  }
  argv[0] = const_cast<char *>(helper);
  ::execv(helper, argv);
  std::fprintf(stderr, "kestrova-webhelper: cannot start %s: %s\n", helper, std::strerror(errno));
  return 127;
}
