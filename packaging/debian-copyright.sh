#!/bin/sh
# Writes the package's machine-readable copyright file from LICENSE (the MIT licence, which Debian
# calls Expat): its copyright line, then its text indented, empty lines as " .".
#   debian-copyright.sh <LICENSE> <package> <contact, as "Name <address>"> <copyright>
set -eu
exec >"$4"
cat <<END
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: $2
Upstream-Contact: $3

Files: *
Copyright: $(sed -n 's/^Copyright (c) //p' "$1")
License: Expat
END
sed -n '/^Permission is hereby granted/,$p' "$1" | sed 's/^$/./; s/^/ /'
