#!/bin/sh
# The manual page renders without warnings and names every console message of the program:
# manual_test.sh <page.1> <the program's table of messages>
page=$1
messages=$2
if ! command -v groff >/dev/null; then
  echo "skipped: groff is not installed"
  exit 77
fi
status=0
warnings=$(groff -man -ww -z "$page" 2>&1)
if [ -n "$warnings" ]; then
  echo "FAIL: groff warns: $warnings"
  status=1
fi
if command -v man >/dev/null; then
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then
    echo "FAIL: man warns: $warnings"
    status=1
  fi
fi
rendered=$(groff -man -Tascii -rLL=200n -P-bu "$page" 2>/dev/null)
# Each message up to its first placeholder, as the program's own table of texts has it: the
# errors, warnings and task lines, and every text defined on one line.
grep -o -e '"\\n\(ERROR\|WARNING\|Task %02i\): [^"%]*' -e '= "[^"%]*' "$messages" |
  sed 's/^= //; s/^"//; s/^\\n//; s/\\n$//; s/Task %02i/Task nn/' |
  {
    missing=0
    while IFS= read -r text; do
      case $rendered in
        *"$text"*) ;;
        *) echo "FAIL: the manual does not show: $text"; missing=1 ;;
      esac
    done
    exit $missing
  } || status=1
[ $status -eq 0 ] && echo "manual: renders cleanly and shows every message of $messages"
exit $status
