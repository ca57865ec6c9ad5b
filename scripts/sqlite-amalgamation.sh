#!/usr/bin/env bash
# Prints the folder of SQLite's single-file source (sqlite3.c, sqlite3.h, its licence), made from
# the Debian source package the Windows build downloads (scripts/build-windows.sh --fetch), with
# Debian's patches applied. Both builds compile the program with it (cmake/sqlite.cmake). It is
# made once per machine and version, beside the Windows dependencies in the machine's cache.
# Exits 77, printing nothing, when this machine has not downloaded that source: the build then
# uses the system's library.
#   --cmake   prints CMake's -DKOLT_SQLITE_AMALGAMATION=FOLDER instead, empty (the system's library,
#             said on standard error) when the folder cannot be made; always exits 0.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = "--cmake" ]; then
  if folder=$("$0"); then
    echo "-DKOLT_SQLITE_AMALGAMATION=$folder"
  else
    echo "SQLite: the system's library (Debian's source of SQLite is not on this machine;" \
      "scripts/build-windows.sh --fetch downloads it)." >&2
    echo "-DKOLT_SQLITE_AMALGAMATION="
  fi
  exit 0
fi
# shellcheck source=windows/cache.sh
source "$root/scripts/windows/cache.sh"
sources=$windows_cache/sources/sqlite3
dsc=$(ls "$sources"/sqlite3_*.dsc 2>/dev/null | head -1 || true)
orig=$(ls "$sources"/sqlite3_*.orig.tar.* 2>/dev/null | head -1 || true)
[ -n "$dsc" ] && [ -n "$orig" ] || exit 77
version=$(basename "$dsc" .dsc)
version=${version#sqlite3_}
made=$windows_cache/sqlite3-amalgamation/$version
if [ -s "$made/sqlite3.c" ]; then
  echo "$made"
  exit 0
fi

# One maker at a time: the Linux and Windows builds of one CI run may both ask at once.
mkdir -p "$windows_cache/sqlite3-amalgamation"
exec {lock}>"$windows_cache/sqlite3-amalgamation/lock"
flock "$lock"
if [ ! -s "$made/sqlite3.c" ]; then
  work=$(mktemp -d "$windows_cache/sqlite3-amalgamation/work.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  tar xf "$orig" -C "$work" --strip-components=1
  if ls "$sources"/*.debian.tar.* >/dev/null 2>&1; then
    tar xf "$sources"/*.debian.tar.* -C "$work"
    if [ -f "$work/debian/patches/series" ]; then
      while read -r patch _; do
        case $patch in '' | '#'*) continue ;; esac
        patch -d "$work" -p1 -s -N <"$work/debian/patches/$patch"
      done <"$work/debian/patches/series"
    fi
  fi
  # The single file is made by SQLite's own build, with the build machine's compiler and tclsh.
  (mkdir -p "$work/native" && cd "$work/native" &&
    env -u CPPFLAGS -u LDFLAGS -u CFLAGS CC=gcc ../configure --disable-tcl >/dev/null &&
    make -s sqlite3.c >/dev/null) >&2
  mkdir -p "$work/out"
  cp "$work/native/sqlite3.c" "$work/native/sqlite3.h" "$work/out/"
  [ -f "$work/debian/copyright" ] && cp "$work/debian/copyright" "$work/out/"
  rm -rf "$made" && mv "$work/out" "$made"
fi
echo "$made"
