/* libkestrova: the download and sign-in engine.  C interface: 32-bit
 * integers, NUL-terminated 8-bit text, one-byte bool (nonzero = true).
 * Callbacks may arrive on any of the engine's threads. */
#ifndef KESTROVA_ENGINE_H
#define KESTROVA_ENGINE_H

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define KESTROVA_EXPORT __attribute__((visibility("default")))

/* action code, catalog version, service number, updater version */
typedef void (*KestrovaVersionCallback)(int32_t, int32_t, int32_t, int32_t);
/* result (0 = signed in; -1004, -1005, -1006 = refused; other = failed),
 * user number, points, level */
typedef void (*KestrovaSignInCallback)(int32_t, int32_t, int32_t, int32_t);
typedef void (*KestrovaSpareCallback)(int32_t, int32_t);
/* task id, percent (100 = complete, the file stands at its path) */
typedef void (*KestrovaTaskEndCallback)(int32_t, int32_t);

KESTROVA_EXPORT bool Initkestrova(int32_t clientVersion, KestrovaVersionCallback onVersion,
                                  KestrovaSignInCallback onSignIn, KestrovaSpareCallback onSpare,
                                  KestrovaTaskEndCallback onTaskEnd);
KESTROVA_EXPORT void UnInitkestrova(void);
KESTROVA_EXPORT bool NewDownload(int32_t id, const char *url, const char *path);
KESTROVA_EXPORT bool StopDownload(int32_t id);
KESTROVA_EXPORT bool GetProgInfo(int32_t id, int32_t *percent, int32_t *spare, int32_t *total);
/* Writes "http://127.0.0.1:PORT/<key>/P2P/<task>.<ext>" into buffer (1024
 * bytes, always NUL-terminated); <key> is 32 random lower-case hex digits. */
KESTROVA_EXPORT bool SetProgramInfo(const char *url, int32_t id, int32_t a, int32_t b,
                                    char *buffer);
KESTROVA_EXPORT bool SetPcRun(int32_t run);
KESTROVA_EXPORT bool ClientLoginIn(int32_t clientVersion, const char *siteUrl);

#ifdef __cplusplus
}
#endif
#endif
