#!/bin/sh
# The command's options are answered before anything starts: in an empty home
# with no system bus, each leaves the home empty (and a System Events started
# by mistake quits at once).   command_line.sh <Hushmoor executable> <version>
exe=$1 t=$(mktemp -d) && trap 'rm -rf "$t"' EXIT && mkdir "$t/home" || exit 1
fail() { echo "FAIL: $*" && cat "$t/out" "$t/err" && exit 1; }
run() { # the exit status expected, then the arguments
  want=$1 && shift && env -i HOME="$t/home" XDG_RUNTIME_DIR="$t/home" HUSHMOOR_SYSTEM_EVENTS_IDLE_QUIT=1 \
    DBUS_SYSTEM_BUS_ADDRESS=unix:path=/none "$exe" "$@" >"$t/out" 2>"$t/err"
  [ $? = "$want" ] && [ -z "$(ls -A "$t/home")" ] || fail "$want $*"
}
run 0 --version && [ "$(cat "$t/out")" = "hushmoor $2" ] && [ ! -s "$t/err" ] || fail --version
run 0 -SleepDelay 3 --help && [ ! -s "$t/err" ] && grep -q "^Usage: hushmoor \[-SleepDelay N\]" "$t/out" &&
  grep -q "man hushmoor" "$t/out" && mv "$t/out" "$t/help" && run 0 -h && cmp -s "$t/out" "$t/help" || fail -h
run 2 -SleepDelay 3 --sleep-delay 3 && [ ! -s "$t/out" ] && { echo "hushmoor: unknown option --sleep-delay" &&
  echo && cat "$t/help"; } | cmp -s - "$t/err" || fail "the usage on standard error"
run 1 --status && grep -q "^Sleep lock: unknown: cannot connect to the system bus" "$t/out" || fail --status
"$exe" --version >/dev/full 2>/dev/null; [ $? = 1 ] || fail "a failed write passed"
echo ok
