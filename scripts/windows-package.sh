#!/usr/bin/env bash
# The Windows installer and the portable zip from a Windows build tree:
#   windows-package.sh BUILD_DIR  ->  BUILD_DIR/orbix-service-VERSION-setup.exe
#                                     BUILD_DIR/orbix-service-VERSION-win64.zip
# The programs get exactly the DLLs they import, found by following their import tables
# (objdump -p) through the toolchain's prefix and MinGW's runtime, and the Qt plugins
# they load (the Windows platform and style, SQLite, printing, the .ico reader) with the
# DLLs those import. Windows' own DLLs are not found there and so not shipped.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: windows-package.sh BUILD_DIR}" && pwd)
qt=$(sed -n 's/^ORBIX_WINDOWS_PREFIX:PATH=//p' "$build/CMakeCache.txt")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$qt" ] && [ -n "$version" ] || { echo "windows-package.sh: $build is no Windows build tree" >&2; exit 2; }
objdump=x86_64-w64-mingw32-objdump
gcc_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
search=("$qt/bin" "$qt/lib" "$gcc_dir" /usr/x86_64-w64-mingw32/lib)

name=orbix-service-$version
stage=$build/stage/$name
rm -rf "$build/stage"
mkdir -p "$stage"
programs=("$build/app/orbix-service.exe" "$build/cli/orbix.exe" "$build/sim/orbix-sim.exe")
[ -f "$build/cli/orbix-report.dll" ] && programs+=("$build/cli/orbix-report.dll")
for p in "${programs[@]}"; do
  [ -f "$p" ] || { echo "windows-package.sh: $p is not built" >&2; exit 1; }
  cp "$p" "$stage/"
done
plugins=(platforms/qwindows.dll styles/qwindowsvistastyle.dll sqldrivers/qsqlite.dll
         printsupport/windowsprintersupport.dll imageformats/qico.dll)
for p in "${plugins[@]}"; do
  [ -f "$qt/plugins/$p" ] || { echo "windows-package.sh: the Qt plugin $p is missing in $qt" >&2; exit 1; }
  mkdir -p "$stage/plugins/$(dirname "$p")"
  cp "$qt/plugins/$p" "$stage/plugins/$p"
done

# The import closure: every DLL named by a file of the stage that one of the search
# directories has, copied beside the programs, until nothing new is named.
declare -A shipped=()
queue=("$stage"/*.exe "$stage"/*.dll "$stage"/plugins/*/*.dll)
while ((${#queue[@]})); do
  file=${queue[0]}
  queue=("${queue[@]:1}")
  while read -r dll; do
    key=${dll,,}
    [ -n "${shipped[$key]:-}" ] && continue
    for dir in "${search[@]}"; do
      found=$(find "$dir" -maxdepth 1 -iname "$dll" -print -quit 2>/dev/null)
      if [ -n "$found" ]; then
        cp "$found" "$stage/"
        shipped[$key]=1
        queue+=("$stage/$(basename "$found")")
        break
      fi
    done
    [ -n "${shipped[$key]:-}" ] || shipped[$key]=system
  done < <("$objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p')
done

mkdir -p "$stage/translations"
cp /usr/share/qt5/translations/qtbase_ru.qm "$stage/translations/" # Qt's own dialog buttons in Russian
printf '[Paths]\nPrefix = .\nPlugins = plugins\nTranslations = translations\n' >"$stage/qt.conf"
cp "$here/docs/user-guide.md" "$here/docs/user-guide.en.md" "$stage/"
cp -r "$here/docs/screenshots" "$stage/screenshots"
cp "$here/packaging/copyright" "$stage/copyright.txt"

# The zip: the same folder, to run from anywhere, with the folder data/ beside the
# programs where they keep their files (the installed programs use %LOCALAPPDATA%).
mkdir "$stage/data"
rm -f "$build/$name-win64.zip"
# ORBIX_NSIS_FAST=1: quick compression, for checks of the packages' contents.
fast=${ORBIX_NSIS_FAST:-0}
level=-9
((fast)) && level=-1
(cd "$build/stage" && zip -qr $level "$build/$name-win64.zip" "$name")
rmdir "$stage/data"

# The installer's lists: every file of the stage, and their removal, deepest first.
lists=$build/stage/nsis
mkdir -p "$lists"
: >"$lists/install.nsh"
: >"$lists/uninstall.nsh"
(cd "$stage" && find . -type d | sort) | while read -r d; do
  rel=${d#./}
  [ "$d" = . ] && rel=
  out='$INSTDIR'${rel:+\\${rel//\//\\}}
  echo "SetOutPath \"$out\"" >>"$lists/install.nsh"
  find "$stage/$rel" -maxdepth 1 -type f | sort | while read -r f; do
    echo "File \"$f\"" >>"$lists/install.nsh"
    echo "Delete \"$out\\$(basename "$f")\"" >>"$lists/uninstall.nsh"
  done
done
(cd "$stage" && find . -mindepth 1 -type d | sort -r) | while read -r d; do
  rel=${d#./}
  echo "RMDir \"\$INSTDIR\\${rel//\//\\}\"" >>"$lists/uninstall.nsh"
done
echo 'SetOutPath "$INSTDIR"' >>"$lists/install.nsh"

setup=$build/$name-setup.exe
nsis_options=()
((fast)) && nsis_options+=(-DFAST)
makensis -V2 "${nsis_options[@]}" -DVERSION="$version" -DSTAGE="$stage" -DLISTS="$lists" \
  -DICON="$build/packaging/orbix-service.ico" -DOUTFILE="$setup" "$here/packaging/windows/orbix-service.nsi"
echo "$setup ($(du -h "$setup" | cut -f1))"
echo "$build/$name-win64.zip ($(du -h "$build/$name-win64.zip" | cut -f1))"
