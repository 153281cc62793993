#!/bin/bash
# Checks the bash completion of tavirelle against the command itself.
#   completion_test.sh COMPLETION_SCRIPT TAVIRELLE
set -u
source "$1" || exit 1
tavirelle=$2
failures=0

# complete WORD... : the completions of the last word, sorted, on one line.
complete_words() {
  COMP_WORDS=(tavirelle "$@")
  COMP_CWORD=$#
  COMP_LINE="tavirelle $*"
  COMP_POINT=${#COMP_LINE}
  _tavirelle 2>/dev/null
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}

expect() {
  local wanted=$1
  shift
  local got
  got=$(complete_words "$@")
  if [[ $got != "$wanted" ]]; then
    echo "tavirelle $*<TAB>: got '$got', wanted '$wanted'"
    failures=$((failures + 1))
  fi
}

# Every command the program lists, and no other.
help=$("$tavirelle" --help) || exit 1
listed=$(echo "$help" | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p; s/^  \([a-z][a-z-]*\)$/\1/p' | sort | tr '\n' ' ')
expect "--help --version ${listed% }" ""
# Every option each command's usage names.
for command in $listed; do
  usage=$(echo "$help" | grep "^  $command\b" | grep -o -- '--[a-z][a-z-]*' | sort | tr '\n' ' ')
  completed=$(_tavirelle_options "$command" | tr ' ' '\n' | grep . | sort | tr '\n' ' ')
  if [[ $usage != "$completed" ]]; then
    echo "$command: the usage names '$usage', the completion offers '$completed'"
    failures=$((failures + 1))
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir shows
touch sea.jpg trip.pkg

expect "pack play" p
expect "--title" author --t
expect "--orientation --out" author --o
expect "0 1 2 3" author --out shows --orientation ""
expect "sea.jpg shows trip.pkg" author --out shows --title "A B" ""
expect "--quality" thumbnail sea.jpg small.jpg --height 50 --q
expect "-- --height --help --jobs --out-dir --overwrite --quality --width" thumbnail sea.jpg --
expect "shows" thumbnail --out-dir ""
expect "" author -- --t
expect "shows" extract trip.pkg ""
expect "trip.pkg" verify tr
expect "--jobs" verify --j
expect "" verify --jobs ""
expect "shows" extract --jobs 2 trip.pkg ""
expect "shows" extract --jobs=2 trip.pkg ""
expect "sea.jpg shows trip.pkg" thumbnail --overwrite --out-dir shows ""
expect "default none sea.jpg shows trip.pkg" author --music ""
expect "--user" register --registry shows --u

complete -p tavirelle >/dev/null || { echo "no completion registered"; failures=$((failures + 1)); }
exit $((failures > 0))
