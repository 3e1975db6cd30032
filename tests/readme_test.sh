#!/bin/sh
# The README's publishing loop works, and works again on a second run:
# readme_test.sh <README.md> <folder holding ostrel> <a variable file>
readme=$1
bin=$2
sample=$3
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
# The sh block under the heading of the publishing loop.
sed -n '/^### Publishing one program/,/^```$/p' "$readme" | sed '1,/^```sh$/d; $d' >"$dir/publish.sh"
[ -s "$dir/publish.sh" ] || { echo "FAIL: no publishing loop found in $readme"; exit 1; }
cp "$sample" "$dir/game.89p"
expected='9x:
game.9xp

v2:
game.v2p
**TI92P*'
for round in 1 2; do
  out=$(cd "$dir" && PATH="$bin:$PATH" sh publish.sh 2>&1)
  [ "$out" = "$expected" ] || { printf 'FAIL: run %s printed:\n%s\n' "$round" "$out"; exit 1; }
done
echo "readme: the publishing loop runs, and runs again"
