#!/usr/bin/env bash
# Builds the Windows libraries the programs use (64-bit, MinGW-w64 with posix threads)
# from Debian's own source packages, once, into a cache outside the checkout:
#   SQLite 3.40.1 (one DLL, shared by Qt's driver and the history),
#   qtbase 5.15.8 (Core, Gui, Widgets, Network, PrintSupport, Sql with SQLite, Test,
#   the Windows platform plugin and style), Qwt 6.1.4.
# The serial ports are listed by the program itself (the registry), so QtSerialPort is
# not needed on Windows.
# The prefix is $ORBIX_WINDOWS_CACHE/mingw-qt-5.15.8 (default ~/.cache/orbix); a run
# with the prefix complete does nothing. Prints the prefix on its last line.
# Adds deb-src entries beside the machine's deb entries (same archive and suites).
set -euo pipefail
cd "$(dirname "$0")/.."

QT_VERSION=5.15.8
QWT_VERSION=6.1.4
SQLITE_VERSION=3.40.1
CACHE=${ORBIX_WINDOWS_CACHE:-$HOME/.cache/orbix}
PREFIX=$CACHE/mingw-qt-$QT_VERSION
STAMP=$PREFIX/.complete
STAMP_TEXT="qtbase $QT_VERSION qwt $QWT_VERSION sqlite $SQLITE_VERSION"
if [ -f "$STAMP" ] && [ "$(cat "$STAMP")" = "$STAMP_TEXT" ]; then
  echo "The Windows libraries are built: $PREFIX"
  echo "$PREFIX"
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
# Source entries for the archive the machine installs from, so that the sources are
# those of the very packages Debian builds.
sources_changed=0
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  if grep -qx 'Types: deb' "$f"; then
    $sudo sed -i 's/^Types: deb$/Types: deb deb-src/' "$f"
    sources_changed=1
  fi
done
if [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list; then
  while read -r line; do
    src="deb-src ${line#deb }"
    if ! grep -qxF "$src" /etc/apt/sources.list; then
      echo "$src" | $sudo tee -a /etc/apt/sources.list >/dev/null
      sources_changed=1
    fi
  done < <(grep '^deb ' /etc/apt/sources.list)
fi
if ((sources_changed)) || ! apt-cache showsrc qwt 2>/dev/null | grep '^Package: qwt' >/dev/null; then
  $sudo apt-get update -qq
fi
ORBIX_SETUP_PACKAGES=windows-toolchain ORBIX_SETUP_ONLY=1 bash scripts/setup.sh

SRC=$CACHE/src
WORK=$CACHE/work-$QT_VERSION
mkdir -p "$SRC" "$WORK"
cd "$SRC"
for p in qtbase-opensource-src qwt sqlite3; do
  ls "$p"_*.dsc >/dev/null 2>&1 || apt-get source -qq --download-only "$p"
done
unpack() { # source package, directory, dpkg-source options
  [ -d "$WORK/$2" ] || dpkg-source --no-check "${@:3}" -x "$(ls "$SRC/$1"_*.dsc | tail -n1)" "$WORK/$2" >/dev/null
}
unpack qtbase-opensource-src qtbase
unpack qwt qwt
unpack sqlite3 sqlite

# The compilers with posix threads under the names Qt's win32-g++ mkspec calls.
WRAP=$WORK/bin
mkdir -p "$WRAP"
for tool in gcc g++; do ln -sf "/usr/bin/x86_64-w64-mingw32-$tool-posix" "$WRAP/x86_64-w64-mingw32-$tool"; done
for tool in ar ranlib windres strip objdump nm ld; do ln -sf "/usr/bin/x86_64-w64-mingw32-$tool" "$WRAP/x86_64-w64-mingw32-$tool"; done
export PATH=$WRAP:$PATH
jobs=${ORBIX_JOBS:-2}
t0=$SECONDS
say() { printf '== [%d:%02d] %s\n' $(((SECONDS - t0) / 60)) $(((SECONDS - t0) % 60)) "$*"; }
mkdir -p "$PREFIX/bin" "$PREFIX/lib" "$PREFIX/include"

say "SQLite $SQLITE_VERSION"
if [ ! -f "$PREFIX/lib/libsqlite3.dll.a" ]; then
  mkdir -p "$WORK/sqlite-build"
  (cd "$WORK/sqlite-build"
   [ -f Makefile ] || ../sqlite/configure --disable-tcl >/dev/null  # the host's, to make sqlite3.c
   make -s sqlite3.c >/dev/null
   x86_64-w64-mingw32-gcc -O2 -shared -o sqlite3.dll sqlite3.c \
     -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_COLUMN_METADATA -DSQLITE_ENABLE_UNLOCK_NOTIFY \
     -DSQLITE_ENABLE_DBSTAT_VTAB -DSQLITE_SECURE_DELETE -DSQLITE_MAX_SCHEMA_RETRY=25 \
     -Wl,--out-implib,libsqlite3.dll.a
   cp sqlite3.dll "$PREFIX/bin/"
   cp libsqlite3.dll.a "$PREFIX/lib/"
   cp sqlite3.h sqlite3ext.h "$PREFIX/include/")
fi

say "qtbase $QT_VERSION (the longest part)"
if [ ! -f "$PREFIX/lib/libQt5Widgets.a" ]; then
  mkdir -p "$WORK/qtbase-build"
  (cd "$WORK/qtbase-build"
   [ -f Makefile ] || ../qtbase/configure -prefix "$PREFIX" -opensource -confirm-license -release -shared \
     -xplatform win32-g++ -device-option CROSS_COMPILE=x86_64-w64-mingw32- \
     -nomake examples -nomake tests -no-compile-examples \
     -no-feature-tabletevent -no-opengl -no-dbus -no-icu -no-glib \
     -system-sqlite -sql-sqlite -no-sql-odbc -no-sql-psql -no-sql-mysql -no-sql-ibase -no-sql-db2 -no-sql-oci -no-sql-tds \
     -qt-zlib -qt-libpng -qt-libjpeg -qt-pcre -qt-harfbuzz -qt-freetype -qt-doubleconversion \
     -I "$PREFIX/include" -L "$PREFIX/lib" >configure.log 2>&1 \
     || { tail -n 40 configure.log; exit 1; }
   nice -n 19 make -s -j"$jobs" >make.log 2>&1 || { tail -n 40 make.log; exit 1; }
   make -s install >/dev/null)
fi

say "Qwt $QWT_VERSION"
if [ ! -f "$PREFIX/include/qwt/qwt_plot.h" ]; then
  (cd "$WORK/qwt"
   sed -i -E -e "s|^(\s*QWT_INSTALL_PREFIX\s*=).*|\1 $PREFIX|" \
             -e "s|^(\s*QWT_INSTALL_HEADERS\s*=).*|\1 $PREFIX/include/qwt|" \
             -e 's/^(\s*QWT_CONFIG\s*\+=\s*(QwtDesigner|QwtSvg|QwtOpenGL|QwtMathML|QwtExamples|QwtPlayground|QwtPkgConfig)\s*)$/#\1/' \
             -e '/dpkg-buildflags|_FORTIFY_SOURCE/d' qwtconfig.pri  # Debian's flags for its Linux build
   sed -i -E 's/^(\s*CONFIG\s*\+=\s*(debug_and_release|build_all))/#\1/' qwtbuild.pri # the release DLL only
   "$PREFIX/bin/qmake" qwt.pro >/dev/null
   nice -n 19 make -s -j"$jobs" >make.log 2>&1 || { tail -n 40 make.log; exit 1; }
   make -s install >/dev/null)
fi

echo "$STAMP_TEXT" >"$STAMP"
say "done: $(du -sh "$PREFIX" | cut -f1) in $PREFIX"
echo "$PREFIX"
