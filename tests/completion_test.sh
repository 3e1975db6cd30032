#!/usr/bin/env bash
# Drives the bash completion functions in a non-interactive shell:
# completion_test.sh <ostrel script> <ostrel-show script>
set -u
source "$1"
source "$2"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
touch game.89p prog.9xz doc.v2t notes.txt PROG.89P data.89 'my game.v2p'
mkdir sub.d
failures=0

# check "<expected words, sorted, one line>" word...  (the last word is the one completed)
# The program is ostrel, or ostrel-show when the first word is "show:".
check() {
  local expected=$1 program=ostrel
  shift
  if [[ $1 == show: ]]; then
    program=ostrel-show
    shift
  fi
  COMP_WORDS=("$program" "$@")
  COMP_CWORD=$(( ${#COMP_WORDS[@]} - 1 ))
  COMPREPLY=()
  $(complete -p "$program" | sed 's/.*-F \([^ ]*\).*/\1/')
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd '|' -)
  if [[ $got != "$expected" ]]; then
    echo "FAIL: $program $* -> '$got', expected '$expected'"
    failures=$((failures + 1))
  fi
}

check "--help|--version|-c|-d|-fi|-fo|-h|-n_extcheck|-q|-ti" -
check "--help|--version" --
check "-c|-d|-fi|-fo|-n_extcheck|-q|-ti" -q -
check "-fi|-fo" -f
check "-n_extcheck" -n
check "a|l|r" -d ""
check "a" -d a
check "89|9x|v2" -ti ""
check "9x" -q -ti 9
check "" -fo ""
check "" -fi g
check "" -c ""
check "doc.v2t|game.89p|my game.v2p|prog.9xz|sub.d" ""
check "game.89p" -d a g
check "PROG.89P|data.89|doc.v2t|game.89p|my game.v2p|notes.txt|prog.9xz|sub.d" -n_extcheck ""
check "notes.txt" -q -n_extcheck -d a n
# -n_extcheck as the value of -c is a comment, not the flag.
check "doc.v2t|game.89p|my game.v2p|prog.9xz|sub.d" -c -n_extcheck ""
check "" -c -n_extcheck n

check "--|--check|--help|--json|--mends|--recursive|--version" show: --
check "PROG.89P|data.89|doc.v2t|game.89p|my game.v2p|notes.txt|prog.9xz|sub.d" show: --json ""
touch -- -x.89p
check "-x.89p" show: -- -

complete -p ostrel >/dev/null || { echo "FAIL: no completion registered"; failures=$((failures + 1)); }
((failures == 0)) && echo "completion: all checks passed"
exit $((failures > 0))
