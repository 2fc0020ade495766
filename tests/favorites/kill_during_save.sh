#!/bin/bash
# Kills the favorites writer (SIGKILL) at random moments while it saves, over
# and over, and checks after every kill that the favorites file is whole:
# well-formed and exactly the old or the new version (and the backup too).
#   kill_during_save.sh FAVWRITER [ROUNDS [MODE]]
# ROUNDS defaults to 100.  MODE "write" (the default) is the program's own
# save; "naive" saves by renaming to the backup and writing in place, the
# baseline that shows the kills do land in the middle of saves (it is
# expected to leave damaged files; the exit status then is 1).
set -u
writer=${1:?usage: kill_during_save.sh FAVWRITER [ROUNDS [MODE]]}
rounds=${2:-100}
mode=${3:-write}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

intact=0 damaged=0 old=0 new=0
for ((i = 1; i <= rounds; i++)); do
  coproc WRITER { exec "$writer" "$mode" "$dir"; }
  pid=$WRITER_PID
  read -r -t 20 line <&"${WRITER[0]}" || line=
  if [[ $line != ready ]]; then
    echo "round $i: the writer did not start" >&2
    kill -KILL "$pid" 2>/dev/null
    exit 2
  fi
  # A random moment within the next 0 to 40 ms of back-to-back saves.
  sleep "0.$(printf '%03d' $((RANDOM % 40)))"
  kill -KILL "$pid"
  wait "$pid" 2>/dev/null
  if result=$("$writer" check "$dir"); then
    ((intact++))
    case $result in A*) ((old++)) ;; B*) ((new++)) ;; esac
  else
    ((damaged++))
    [[ $mode == write ]] && echo "round $i: $result" >&2
    # Start the next round from a whole file again.
    rm -rf "$dir"/*
  fi
done
echo "$mode: kills: $rounds  intact: $intact (version A: $old, version B: $new)  damaged: $damaged"
((damaged == 0))
