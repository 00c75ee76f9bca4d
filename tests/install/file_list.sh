#!/bin/sh
# file_list.sh CMAKE BUILD_DIR PREFIX VERSION GUI MAN: installs the build
# into a temporary DESTDIR and compares the installed files with the list.
set -eu
cmake=$1 build=$2 prefix=$3 version=$4 gui=$5 man=$6
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR=$dest "$cmake" --install "$build" >/dev/null

expected="bin/packall bin/quarnet-cli share/bash-completion/completions/quarnet-cli share/doc/quarnet/copyright"
[ "$man" = ON ] && expected="$expected share/man/man1/packall.1.gz share/man/man1/quarnet-cli.1.gz"
if [ "$gui" = ON ]; then
  id=org.quarnet.Quarnet
  expected="$expected bin/quarnet share/applications/$id.desktop share/metainfo/$id.metainfo.xml"
  [ "$man" = ON ] && expected="$expected share/man/man1/quarnet.1.gz"
  for size in 16 24 32 48 64 72 96 128; do
    expected="$expected share/icons/hicolor/${size}x$size/apps/$id.png"
  done
fi
printf '%s\n' $expected | sort > "$dest.expected"
(cd "$dest" && find . ! -type d | sed "s|^\.$prefix/||" | sort) > "$dest.found"
trap 'rm -rf "$dest" "$dest.expected" "$dest.found"' EXIT
if ! diff -u "$dest.expected" "$dest.found"; then
  echo "installed files differ from the list (- expected, + found)" >&2
  exit 1
fi
for program in packall quarnet-cli $( [ "$gui" = ON ] && echo quarnet ); do
  [ -x "$dest$prefix/bin/$program" ] || { echo "$program is not executable" >&2; exit 1; }
done
shown=$("$dest$prefix/bin/quarnet-cli" --version)
[ "$shown" = "Quarnet $version" ] || { echo "installed quarnet-cli --version: $shown" >&2; exit 1; }
