// The exported C functions.  Nothing thrown inside the engine crosses this
// boundary: any exception becomes a false result.
#include "kestrova.h"

#include "autostart.h"
#include "engine.h"

using kestrova::engine::Engine;

namespace {

template <typename F>
bool Guarded(F &&f) noexcept
{
  try {
    return f();
  } catch (...) {
    return false;
  }
}

}  // namespace

extern "C" {

bool Initkestrova(int32_t clientVersion, KestrovaVersionCallback onVersion,
                  KestrovaSignInCallback onSignIn, KestrovaSpareCallback onSpare,
                  KestrovaTaskEndCallback onTaskEnd)
{
  return Guarded([&] {
    return Engine::Instance().init(clientVersion, onVersion, onSignIn, onSpare, onTaskEnd);
  });
}

void UnInitkestrova(void)
{
  Guarded([] {
    Engine::Instance().uninit();
    return true;
  });
}

bool NewDownload(int32_t id, const char *url, const char *path)
{
  return Guarded([&] { return Engine::Instance().newDownload(id, url, path); });
}

bool StopDownload(int32_t id)
{
  return Guarded([&] { return Engine::Instance().stopDownload(id); });
}

bool GetProgInfo(int32_t id, int32_t *percent, int32_t *spare, int32_t *total)
{
  return Guarded([&] { return Engine::Instance().progress(id, percent, spare, total); });
}

bool SetProgramInfo(const char *url, int32_t id, int32_t, int32_t, char *buffer)
{
  return Guarded([&] { return Engine::Instance().registerStream(url, id, buffer); });
}

bool SetPcRun(int32_t run)
{
  return Guarded([&] { return kestrova::engine::SetAutostart(run != 0); });
}

bool ClientLoginIn(int32_t clientVersion, const char *siteUrl)
{
  return Guarded([&] { return Engine::Instance().signIn(clientVersion, siteUrl); });
}

}  // extern "C"
