#!/bin/bash
# Checks that the manual page renders without warnings and describes every
# command the program lists.
#   man_page_test.sh PAGE TAVIRELLE
set -u
page=$1
tavirelle=$2
warnings=$(LC_ALL=C.UTF-8 groff -man -ww -z -Tutf8 "$page" 2>&1)
if [[ -n $warnings ]]; then
  echo "$page: $warnings"
  exit 1
fi
rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>&1 | sed -n '/^COMMANDS/,/^[A-Z]/p')
failures=0
for command in $("$tavirelle" --help | sed -n 's/^  \([a-z][a-z-]*\)\( .*\)\{0,1\}$/\1/p'); do
  if ! grep -q "^       $command\b" <<<"$rendered"; then
    echo "$page: no entry for the command '$command'"
    failures=$((failures + 1))
  fi
done
exit $((failures > 0))
