/* A stand-in for libkestrova.so that only records: every call of the engine's
 * C interface appends one line to a log file, so the tests can check which
 * calls the client made and in which order.  The log is the file named by
 * KESTROVA_FAKE_ENGINE_LOG, or "engine-calls.log" beside this library. */
#define _GNU_SOURCE
#include "kestrova.h"

#include <dlfcn.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void Record(const char *format, ...)
{
  char path[4096];
  const char *env = getenv("KESTROVA_FAKE_ENGINE_LOG");
  if (env && *env) {
    snprintf(path, sizeof path, "%s", env);
  } else {
    Dl_info info;
    if (!dladdr((void *)&Record, &info) || !info.dli_fname)
      return;
    snprintf(path, sizeof path, "%s", info.dli_fname);
    char *slash = strrchr(path, '/');
    if (!slash)
      return;
    snprintf(slash + 1, sizeof path - (size_t)(slash + 1 - path), "engine-calls.log");
  }
  FILE *f = fopen(path, "a");
  if (!f)
    return;
  va_list ap;
  va_start(ap, format);
  vfprintf(f, format, ap);
  va_end(ap);
  fputc('\n', f);
  fclose(f);
}

bool Initkestrova(int32_t clientVersion, KestrovaVersionCallback onVersion,
                  KestrovaSignInCallback onSignIn, KestrovaSpareCallback onSpare,
                  KestrovaTaskEndCallback onTaskEnd)
{
  Record("Initkestrova %d %d", clientVersion,
         onVersion != NULL && onSignIn != NULL && onSpare != NULL && onTaskEnd != NULL);
  return true;
}

void UnInitkestrova(void) { Record("UnInitkestrova"); }

bool NewDownload(int32_t id, const char *url, const char *path)
{
  Record("NewDownload %d %s %s", id, url ? url : "", path ? path : "");
  return false;
}

bool StopDownload(int32_t id)
{
  Record("StopDownload %d", id);
  return true;
}

bool GetProgInfo(int32_t id, int32_t *percent, int32_t *spare, int32_t *total)
{
  (void)id;
  (void)percent;
  (void)spare;
  (void)total;
  return false;
}

bool SetProgramInfo(const char *url, int32_t id, int32_t a, int32_t b, char *buffer)
{
  Record("SetProgramInfo %s %d %d %d", url ? url : "", id, a, b);
  if (buffer)
    buffer[0] = 0;
  return false;
}

bool SetPcRun(int32_t run)
{
  Record("SetPcRun %d", run);
  return true;
}

bool ClientLoginIn(int32_t clientVersion, const char *siteUrl)
{
  Record("ClientLoginIn %d %s", clientVersion, siteUrl ? siteUrl : "");
  return true;
}
