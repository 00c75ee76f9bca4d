#!/bin/sh
# The installer under wine, as a technician would use it unattended:
#   installer.sh WINE_RUN PREFIX INSTALLER VERSION SHOOTER
# A silent install puts the window and the command-line programs in
# Program Files\Quarnet with a Start-menu entry that opens the window in
# the system's language (wine's: English) and an uninstall record of its
# version; both programs run from there. Installing again elsewhere
# removes the installed Quarnet first, and an installed Quarnet that cannot
# be removed stops the install. A silent uninstall leaves nothing behind:
# no files, no Start-menu entry, no uninstall record. /CurrentUser installs
# for the current user alone, in the user's own programs folder, recorded
# for that user only. Pressed through page by page (by SHOOTER, the
# screenshot tool), its Finish with "Run Quarnet" ticked starts the window.
set -u
wine_run=$1 prefix=$2 installer=$3 version=$4 shooter=$5
folder="$prefix/drive_c/Program Files/Quarnet"
menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quarnet"
record='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quarnet'
failures=0
check() {  # check WHAT COMMAND...: counts a failure when COMMAND fails
  what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
run() { "$wine_run" "$prefix" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
has_record() { "$wine_run" "$prefix" reg query "$record" </dev/null >/dev/null 2>&1; }
no_record() { ! has_record; }
recorded_version() {
  "$wine_run" "$prefix" reg query "$record" /v DisplayVersion </dev/null 2>/dev/null | tr -d '\r' | grep -q "REG_SZ *$version\$"
}
gone() {  # waits up to 30 s: the uninstaller runs on from a copy of itself
  for _ in $(seq 30); do [ ! -e "$1" ] && return 0; sleep 1; done
  return 1
}

[ -f "$installer" ] || { echo "no installer at $installer (make windows-installer)"; exit 1; }
local_data=$(run cmd /c 'echo %LOCALAPPDATA%' | sed 's/^[A-Za-z]://; s|\\|/|g')
user_folder="$prefix/drive_c$local_data/Programs/Quarnet"
user_record='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quarnet'
rm -rf "$folder" "$menu" "$prefix/drive_c/Quarnet" "$user_folder"
"$wine_run" "$prefix" reg delete "$record" /f </dev/null >/dev/null 2>&1
"$wine_run" "$prefix" reg delete "$user_record" /f </dev/null >/dev/null 2>&1
"$wine_run" "$prefix" "$installer" /S </dev/null >/dev/null 2>&1
check "the installer ends with status 0" test $? -eq 0
for program in quarnet quarnet-cli packall; do
  check "$program.exe installed" test -f "$folder/$program.exe"
done
check "the licence installed" cmp -s "$folder/LICENSE.txt" "$(dirname "$installer")/LICENSE.txt"
check "Start-menu entry, in the system's language" sh -c "strings -el '$menu/Quarnet.lnk' | grep -qx -- '--lang en'"
check "uninstall record of the version" recorded_version
check "quarnet-cli.exe --version" test "$(run 'C:\Program Files\Quarnet\quarnet-cli.exe' --version)" = "Quarnet $version"
check "quarnet.exe --version" test "$(run 'C:\Program Files\Quarnet\quarnet.exe' --version)" = "Quarnet $version"

"$wine_run" "$prefix" "$installer" /S '/D=C:\Quarnet' </dev/null >/dev/null 2>&1
check "installing elsewhere ends with status 0" test $? -eq 0
check "the installed Quarnet is removed first" gone "$folder"
folder="$prefix/drive_c/Quarnet"
check "quarnet.exe installed elsewhere" test -f "$folder/quarnet.exe"

"$wine_run" "$prefix" 'C:\Quarnet\Uninstall.exe' /S </dev/null >/dev/null 2>&1
check "the folder is removed" gone "$folder"
check "the Start-menu entry is removed" gone "$menu"
check "the uninstall record is removed" no_record

"$wine_run" "$prefix" "$installer" /S /CurrentUser </dev/null >/dev/null 2>&1
check "installing for the current user ends with status 0" test $? -eq 0
folder=$user_folder
check "quarnet.exe installed for the current user" test -f "$folder/quarnet.exe"
check "no record for all users" no_record
check "a record for the current user" "$wine_run" "$prefix" reg query "$user_record" /v DisplayIcon
"$wine_run" "$prefix" "$installer" /S /CurrentUser </dev/null >/dev/null 2>&1
check "installing again for the current user replaces it" test -f "$folder/quarnet.exe"
uninstall=$("$wine_run" "$prefix" reg query "$user_record" /v QuietUninstallString </dev/null 2>/dev/null | tr -d '\r' |
  sed -n 's/.*REG_SZ *//p')
# The record's quiet uninstall command: the quoted uninstaller, its options.
# shellcheck disable=SC2086
"$wine_run" "$prefix" "$(printf '%s' "$uninstall" | sed 's/^"\([^"]*\)".*/\1/')" ${uninstall#*\" } </dev/null >/dev/null 2>&1
check "the current user's folder is removed" gone "$folder"
check "the current user's record is removed" sh -c "! '$wine_run' '$prefix' reg query '$user_record' </dev/null >/dev/null 2>&1"

# An installed Quarnet whose uninstaller fails: packall, which refuses the
# uninstaller's options.
old="$prefix/drive_c/Old Quarnet"
mkdir -p "$old" && cp "$(dirname "$installer")/bin/packall.exe" "$old/Uninstall.exe"
"$wine_run" "$prefix" reg add "$record" /v UninstallString /d '"C:\Old Quarnet\Uninstall.exe"' /f </dev/null >/dev/null 2>&1
"$wine_run" "$prefix" "$installer" /S </dev/null >/dev/null 2>&1
check "a Quarnet that cannot be removed stops the install" test $? -ne 0 -a ! -e "$prefix/drive_c/Program Files/Quarnet"
"$wine_run" "$prefix" reg delete "$record" /f </dev/null >/dev/null 2>&1
rm -rf "$old"

pictures=$(mktemp -d)
pressed_through() {
  "$wine_run" "$prefix" "$shooter" --lang en --installer "$(run winepath -w "$installer")" \
    "$(run winepath -w "$pictures")" </dev/null >/dev/null
}
check "Finish with Run Quarnet ticked starts Quarnet" pressed_through
"$wine_run" "$prefix" 'C:\Program Files\Quarnet\Uninstall.exe' /S </dev/null >/dev/null 2>&1
rm -rf "$pictures"
[ "$failures" -eq 0 ]
