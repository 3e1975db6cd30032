#!/bin/sh
# Writes the package's Debian changelog, compressed, from CHANGELOG.md: one entry per
# "## <version> (<date>)" section, its "- " items as "  * " items and their continuation lines
# indented to match.
#   debian-changelog.sh <CHANGELOG.md> <package> <maintainer, as "Name <address>"> <changelog.gz>
set -eu
package=$2
maintainer=$3

entries() {
  version=
  date=
  while IFS= read -r line; do
    case $line in
      "## "*)
        [ -z "$version" ] || { trailer; echo; }
        version=${line#"## "}
        version=${version%% *}
        date=${line##*"("}
        date=${date%")"}
        printf '%s (%s) unstable; urgency=medium\n\n' "$package" "$version" ;;
      "- "*) [ -z "$version" ] || printf '  * %s\n' "${line#"- "}" ;;
      "  "*) [ -z "$version" ] || printf '    %s\n' "${line#"  "}" ;;
    esac
  done <"$1"
  [ -z "$version" ] || trailer
}
trailer() { printf '\n -- %s  %s\n' "$maintainer" "$(date -u -R -d "$date")"; }

entries "$1" | gzip -9 -n >"$4"
