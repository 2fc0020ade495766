#pragma once
// The writing half of a kill-during-save test: writes the first version
// once, says "ready" on standard output, then writes the second and the
// first in turn until it is killed.  `save(second)` writes one version and
// returns whether it could.  Returns 1 when the first write fails.
#include <cstdio>

template <typename Save>
int SaveInTurnsUntilKilled(const Save &save)
{
  if (!save(false))
    return 1;
  std::printf("ready\n");
  std::fflush(stdout);
  for (bool second = true;; second = !second)
    save(second);
}
