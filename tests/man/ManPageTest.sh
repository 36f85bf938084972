#!/usr/bin/env bash
# Each program's manual page renders without a warning and names every long
# option its --help prints, so page and program cannot drift apart; --help
# succeeds (the window program's without a display), and a wrong option gets
# the same usage line on standard error.
set -uo pipefail
build=$1
if ! command -v groff >/dev/null; then
  echo "groff is missing (package groff-base): manual pages not checked"
  exit 77
fi
programs=(quillet-scan quillet-bin quillet-samples quillet-schedule)
[ -e "$build/bin/quillet" ] && programs+=(quillet)
failed=0
fail() { echo "$*"; failed=1; }
for program in "${programs[@]}"; do
  page=$build/man/$program.1
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' groff -man -Tutf8 -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || fail "$program.1 warns: $warnings"

  help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$build/bin/$program" --help </dev/null)
  status=$?
  [ "$status" -eq 0 ] || fail "$program --help exited $status"
  options=$(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u)
  grep -qx -- --help <<<"$options" || fail "$program --help does not list --help"
  # Plain text without hyphenation, so no option is split at a line's end.
  text=$(LC_ALL=C.UTF-8 groff -man -Tascii -rHY=0 -P-c -P-b -P-u "$page" 2>/dev/null)
  for option in $options; do
    grep -qF -- "$option" <<<"$text" || fail "$program.1 does not name $option"
  done

  # The window program ignores what it does not know.
  [ "$program" = quillet ] && continue
  wrong_out=$("$build/bin/$program" --no-such-option 2>"$build/man/$program.err" </dev/null)
  status=$?
  [ "$status" -ne 0 ] && [ -z "$wrong_out" ] || fail "$program --no-such-option exited $status, printed: $wrong_out"
  [ "$(head -n 1 "$build/man/$program.err")" = "$(head -n 1 <<<"$help")" ] ||
    fail "$program: usage on a wrong option differs from --help's"
  rm -f "$build/man/$program.err"
done
[ "$failed" -eq 0 ] && echo "manual pages match their programs' --help"
exit "$failed"
