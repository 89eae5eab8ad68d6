#!/usr/bin/env bash
# Checks the Windows installer under Wine, in the tests' own prefix: a silent install
# (/S) puts the programs, their DLLs and plugins and the Start-menu entry in place; the
# installed programs start with only what was installed; the silent uninstall removes
# all of it and leaves the user's data.
#   windows-package-check.sh BUILD_DIR   (after windows-package.sh BUILD_DIR)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: windows-package-check.sh BUILD_DIR}" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
setup=$build/orbix-service-$version-setup.exe
[ -f "$setup" ] || { echo "windows-package-check.sh: no $setup (windows-package.sh makes it)" >&2; exit 2; }
export ORBIX_WINEPREFIX=${ORBIX_WINEPREFIX:-$HOME/.cache/orbix/wineprefix}
"$here/wine-run.sh" cmd /c exit 0 >/dev/null 2>&1 # the prefix, made once
failures=0
check() {
  local name=$1
  shift
  if "$@"; then echo "PASS $name"; else echo "FAIL $name"; failures=$((failures + 1)); fi
}
wait_wine() { ORBIX_WINE_WAIT=1 timeout 60 "$here/wine-run.sh" -; }
target_win='C:\orbix-check'
target=$ORBIX_WINEPREFIX/drive_c/orbix-check
rm -rf "$target"
menu="$ORBIX_WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/ОРБИКС-Сервис 11.lnk"
user_data=$(ls -d "$ORBIX_WINEPREFIX"/drive_c/users/*/AppData/Local 2>/dev/null | head -n1)/orbix-service

"$here/wine-run.sh" "$setup" /S /D=$target_win
check "the silent install exits 0" test $? -eq 0
wait_wine
for f in orbix-service.exe orbix.exe orbix-sim.exe Qt5Core.dll Qt5Widgets.dll qwt-qt5.dll sqlite3.dll \
         plugins/platforms/qwindows.dll plugins/sqldrivers/qsqlite.dll qt.conf user-guide.md uninstall.exe; do
  check "installed: $f" test -f "$target/$f"
done
check "the Start-menu entry" test -f "$menu"
out=$(ORBIX_WINE_BARE=1 "$here/wine-run.sh" "$target/orbix.exe" --version | tr -d '\r')
check "the installed orbix.exe starts with its own DLLs ($out)" test "${out%% (*}" = "orbix $version"
out=$(ORBIX_WINE_BARE=1 QT_QPA_PLATFORM=offscreen "$here/wine-run.sh" "$target/orbix-service.exe" --version | tr -d '\r')
check "the installed orbix-service.exe starts with its own DLLs ($out)" test "${out%% (*}" = "orbix-service $version"

mkdir -p "$user_data"
echo kept >"$user_data/uninstall-check.txt"
ORBIX_WINE_BARE=1 "$here/wine-run.sh" "$target/uninstall.exe" /S
wait_wine
check "the uninstaller removes the program folder" test ! -e "$target"
check "the uninstaller removes the Start-menu entry" test ! -e "$menu"
check "the uninstaller leaves the user's data" test -f "$user_data/uninstall-check.txt"
rm -f "$user_data/uninstall-check.txt"
[ $failures -eq 0 ] || { echo "windows-package-check.sh: $failures checks failed" >&2; exit 1; }
echo "windows-package-check.sh: the installer installs, starts and uninstalls"
