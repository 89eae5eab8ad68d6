#!/usr/bin/env bash
# Runs a Windows program of the build under Wine: wine-run.sh PROGRAM.exe [ARGUMENTS...]
# The Wine prefix is the tests' own, made at the first run ($ORBIX_WINEPREFIX, default
# ~/.cache/orbix/wineprefix). The Qt, Qwt and SQLite DLLs come from the toolchain's
# prefix ($ORBIX_WINDOWS_PREFIX), MinGW's own from Debian's MinGW packages; Qt's plugins
# and the environment the caller set (QT_QPA_PLATFORM, ORBIX_*) reach the program.
# ORBIX_WINE_WAIT=1 wine-run.sh - waits for the prefix's programs to end (an uninstaller
# hands over to a copy of itself and returns at once); ORBIX_WINE_STOP=1 wine-run.sh -
# ends them.
# ORBIX_WINE_BARE=1 gives the program none of those DLLs: an installed program must
# bring its own.
# ORBIX_COM_PORTS="5=/dev/pts/3 6=/tmp/line" maps COM5 and COM6 of the prefix to those
# files (symbolic links in dosdevices) before the program starts. Wine lists a mapped
# port among the system's ports only when its server starts after the mapping was made
# (its device manager reads dosdevices once); opening it works either way.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: wine-run.sh PROGRAM.exe [ARGUMENTS...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
qt=${ORBIX_WINDOWS_PREFIX:-$HOME/.cache/orbix/mingw-qt-5.15.8}
export WINEPREFIX=${ORBIX_WINEPREFIX:-$HOME/.cache/orbix/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="} # no .NET or Gecko installer prompts
# Debian's wine64 keeps its loader out of PATH.
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine || true)
[ -n "$wine" ] || { echo "wine-run.sh: wine64 is not installed (Debian: wine64)" >&2; exit 2; }
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=wineserver
# ORBIX_WINE_WAIT=1 only waits until every program of the prefix has ended;
# ORBIX_WINE_STOP=1 ends them and the prefix's server.
if [ "${ORBIX_WINE_WAIT:-0}" = 1 ]; then
  exec "$wineserver" -w
fi
if [ "${ORBIX_WINE_STOP:-0}" = 1 ]; then
  "$wineserver" -k 2>/dev/null
  exec "$wineserver" -w
fi

# The prefix once, whoever comes first; the others wait for it.
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/.orbix-ready" ]; then
    "$wine" wineboot -i >/dev/null 2>&1 || true
    "$wineserver" -w 2>/dev/null || true
    [ -f "$WINEPREFIX/system.reg" ] || { echo "wine-run.sh: wineboot made no prefix in $WINEPREFIX" >&2; exit 2; }
    touch "$WINEPREFIX/.orbix-ready"
  fi
) 9>"$WINEPREFIX.lock"

for binding in ${ORBIX_COM_PORTS:-}; do
  ln -sfn "${binding#*=}" "$WINEPREFIX/dosdevices/com${binding%%=*}"
done

# The server of the prefix started here, its output dropped: a pseudo-terminal it opens
# for a COM port becomes its terminal, and the hang-up at the terminal's end makes it
# print all its objects. An already running server makes this one end at once.
"$wineserver" -p2 </dev/null >/dev/null 2>&1 || true

gcc_dll=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
pthread_dll=/usr/x86_64-w64-mingw32/lib
program=$1
shift
# Z: is the Unix root in every prefix: no winepath (a Wine start of its own) needed.
win() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }
if [ "${ORBIX_WINE_BARE:-0}" != 1 ]; then
  WINEPATH="$(win "$qt/bin");$(win "$qt/lib");$(win "$gcc_dll");$(win "$pthread_dll");$(win "$(cd "$(dirname "$program")" && pwd)")"
  export WINEPATH
  export QT_PLUGIN_PATH="$(win "$qt/plugins")"
fi
# A Windows QtTest program writes its log to the debugger, not to a pipe: ORBIX_QTEST_LOG=1
# has it written to a file and shows that.
if [ "${ORBIX_QTEST_LOG:-0}" = 1 ]; then
  log=$(mktemp --suffix=.txt)
  "$wine" "$program" "$@" -o "$(win "$log"),txt"
  status=$?
  cat "$log"
  rm -f "$log"
  exit $status
fi
exec "$wine" "$program" "$@"
