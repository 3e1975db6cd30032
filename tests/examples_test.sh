#!/bin/sh
# Runs every example of the documents, on the bundled sample, and fails when an output or an exit
# status differs from what the document shows:
#   examples_test.sh <folder holding the programs> <sample> <README.md> [<page.1>...]
# An example is a transcript: "$ command" lines (a "> " line continues one), each followed by the
# output it prints, standard error included. In the README it is a ```console block; in a manual
# page, an indented block of the EXAMPLES section (rendered by groff; without it, the pages are
# skipped).
# Each example runs in a folder of its own, holding a copy of the sample as hello.89s. A command
# must exit with 0, unless the next one is "echo $?", which shows its status.
bin=$1
sample=$2
shift 2
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
failed=0
ran=0

# The examples of a document, one per file: $work/<name>.<n>.
examples() {  # examples <document> <name>
  case $1 in
    *.md) awk -v out="$work/$2" '/^```console$/ { n++; on = 1; next } /^```/ { on = 0; next }
                                 on { print > (out "." n) }' "$1" ;;
    *) groff -man -Tutf8 -rLL=200n -P-cbou "$1" 2>/dev/null |
         awk -v out="$work/$2" '
           /^[A-Z][A-Z ]*$/ { section = $0; next }
           section != "EXAMPLES" { next }
           /^$/ { if (on) blank++; next }  # kept only within an example
           /^              / { if (!on) n++; on = 1
                               for (; blank > 0; blank--) print "" > (out "." n)
                               print substr($0, 15) > (out "." n); next }
           { on = 0; blank = 0 }' ;;
  esac
}

# Runs one example: its commands in one shell, each one's output and status kept apart.
run() {  # run <example file> <its name, for a failure>
  example=$1
  steps=$work/steps
  rm -rf "$steps" "$work/run"
  mkdir "$steps" "$work/run"
  cp "$sample" "$work/run/hello.89s"
  # command.<i>, expected.<i>, and the script that runs every command.
  awk -v dir="$steps" '
    /^\$ / { i++; cmd = substr($0, 3); printf "%s\n", cmd > (dir "/command." i); printf "" > (dir "/expected." i); next }
    /^> / && i { print substr($0, 3) >> (dir "/command." i); next }
    i { print >> (dir "/expected." i) }
    END { print i > (dir "/count") }' "$example"
  count=$(cat "$steps/count")
  i=1
  : >"$steps/script"
  while [ "$i" -le "$count" ]; do
    { cat "$steps/command.$i"
      printf '} >"%s" 2>&1; s=$?; echo $s >"%s"; (exit $s)\n' "$steps/output.$i" "$steps/status.$i"
    } >"$steps/body.$i"
    { echo "{"; cat "$steps/body.$i"; } >>"$steps/script"
    i=$((i + 1))
  done
  (cd "$work/run" && PATH="$bin:$PATH" LC_ALL=C.UTF-8 sh "$steps/script") </dev/null
  i=1
  while [ "$i" -le "$count" ]; do
    next=$((i + 1))
    shown=0
    [ -f "$steps/command.$next" ] && [ "$(cat "$steps/command.$next")" = 'echo $?' ] && shown=1
    if ! cmp -s "$steps/output.$i" "$steps/expected.$i"; then
      echo "FAIL: $2: \$ $(cat "$steps/command.$i")"
      diff "$steps/expected.$i" "$steps/output.$i" | sed 's/^/  /'
      failed=1
    elif [ "$shown" = 0 ] && [ "$(cat "$steps/status.$i")" != 0 ]; then
      echo "FAIL: $2: \$ $(cat "$steps/command.$i") exited with $(cat "$steps/status.$i")"
      failed=1
    fi
    i=$next
  done
  ran=$((ran + 1))
}

for document in "$@"; do
  name=$(basename "$document")
  case $document in
    *.md) ;;
    *) command -v groff >/dev/null || { echo "skipped: $name (groff is not installed)"; continue; } ;;
  esac
  examples "$document" "$name"
  found=0
  for example in "$work/$name".*; do
    [ -f "$example" ] || continue
    found=1
    run "$example" "$name, example ${example##*.}"
  done
  [ "$found" = 1 ] || { echo "FAIL: $name holds no example"; failed=1; }
done
[ "$failed" = 0 ] && echo "examples: all $ran run as the documents show them"
exit "$failed"
