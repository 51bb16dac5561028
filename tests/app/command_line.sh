#!/bin/sh
# The command's options are answered before anything starts: run in an empty
# home with no system bus, an answered option leaves the home empty and says
# nothing on standard error (and a System Events started by mistake quits at
# once).   command_line.sh <Hushmoor executable> <version>
exe=$1 t=$(mktemp -d) && trap 'rm -rf "$t"' EXIT && mkdir "$t/home" || exit 1
fail() { echo "FAIL: $*" && cat "$t/out" "$t/err" && exit 1; }
run() {
  env -i HOME="$t/home" XDG_RUNTIME_DIR="$t/home" DBUS_SYSTEM_BUS_ADDRESS=unix:path=/none \
    HUSHMOOR_SYSTEM_EVENTS_IDLE_QUIT=1 "$exe" "$@" >"$t/out" 2>"$t/err"
  status=$?
}
expect() { # the status, then the first line of standard output and of standard error
  [ "$status|$(head -n1 "$t/out")|$(head -n1 "$t/err")" = "$1|$2|$3" ] || fail "$@"
  [ -z "$(ls -A "$t/home")" ] || fail "files left in the home: $(ls -A "$t/home")"
}
run --version && expect 0 "hushmoor $2" ""
run -SleepDelay 3 --help && expect 0 "Usage: hushmoor [-SleepDelay N]" "" && cp "$t/out" "$t/help"
grep -q "man hushmoor" "$t/help" && run -h && cmp -s "$t/out" "$t/help" || fail "-h"
run -SleepDelay 3 --sleep-delay 3 && expect 2 "" "hushmoor: unknown option --sleep-delay"
{ echo "hushmoor: unknown option --sleep-delay" && echo && cat "$t/help"; } | cmp -s - "$t/err" ||
  fail "the usage on standard error"
"$exe" --version >/dev/full 2>/dev/null; [ $? = 1 ] || fail "a failed write passed"
echo ok
