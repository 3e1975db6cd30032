#!/bin/sh
# Each Windows program carries this project's version in its version data, as Properties >
# Details shows it: version_resource_test.sh <windres> <version> <program.exe>...
windres=$1
version=$2
shift 2
numbers="$(echo "$version" | sed 's/\./, /g'), 0"  # as windres writes them: 1, 0, 1, 0
for exe; do
  name=$(basename "$exe")
  rc=$("$windres" -i "$exe" -O rc 2>&1) || { echo "FAIL: $windres cannot read $exe: $rc"; exit 1; }
  for want in "FILEVERSION $numbers" "PRODUCTVERSION $numbers" "\"FileVersion\", \"$version\"" \
    "\"ProductVersion\", \"$version\"" "\"ProductName\", \"ostrel\"" "\"OriginalFilename\", \"$name\""; do
    case $rc in
      *"$want"*) ;;
      *) printf 'FAIL: the version data of %s lacks %s:\n%s\n' "$name" "$want" "$rc"; exit 1 ;;
    esac
  done
done
echo "version data: $version in $*"
