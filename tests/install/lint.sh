#!/bin/sh
# lint.sh SOURCE_DIR BUILD_DIR PAGE...: the desktop entry, the metainfo and
# the bash completion through their validators, each manual page rendered
# with warnings on. Exits 77 (skipped) when a tool is missing.
set -eu
src=$1 build=$2
shift 2
failed=0 missing=""
have() { command -v "$1" >/dev/null 2>&1 || { missing="$missing $1"; return 1; }; }

if have desktop-file-validate; then
  desktop-file-validate "$src/dist/org.quarnet.Quarnet.desktop" || failed=1
fi
# Docks tie the running window, whose class is the program's name, to the entry.
grep -qx 'StartupWMClass=quarnet' "$src/dist/org.quarnet.Quarnet.desktop" || { echo "no StartupWMClass" >&2; failed=1; }
metainfo="$build/dist/org.quarnet.Quarnet.metainfo.xml"
if [ -f "$metainfo" ] && have appstreamcli; then
  appstreamcli validate --no-net --no-color "$metainfo" >/dev/null || { echo "metainfo invalid" >&2; failed=1; }
fi
bash -n "$src/dist/quarnet-cli.bash" || failed=1
[ $# -gt 0 ] || missing="$missing scdoc"
if have man; then
  for page in "$@"; do
    warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null) || failed=1
    if [ -n "$warnings" ]; then
      printf '%s:\n%s\n' "$page" "$warnings" >&2
      failed=1
    fi
  done
fi
[ $failed -eq 0 ] || exit 1
if [ -n "$missing" ]; then
  echo "skipped: not installed:$missing (scripts/setup installs them)"
  exit 77
fi
