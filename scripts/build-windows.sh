#!/usr/bin/env bash
# Builds the Windows programs with Debian's MinGW-w64 and packs them as
# build-windows/validaciones-kolt-windows.zip.
#
# The libraries the program needs (GLib with PCRE2 and libffi, libxml2, libgsf, libmdb, GoogleTest
# for the tests) come from Debian's own sources, fetched with `apt-get source` and
# cross-built into a prefix in the machine's cache (scripts/windows/cache.sh), outside any
# checkout, so that every checkout on the machine (CI's fresh clone too) finds them built; a
# library is built again only when its source version, the compiler or its recipe here changes.
# SQLite's source is fetched with them and compiled into the programs themselves
# (scripts/sqlite-amalgamation.sh, cmake/sqlite.cmake), as on Linux.
#
# Qt (Core, Gui, Widgets and the Windows platform plugin) is cross-built the same way from
# Debian's qt6-base, with the build machine's own Qt of the same version for its tools (moc, rcc,
# uic); it is built again only when its version, the compiler or its recipe changes.
#
#   scripts/build-windows.sh            dependencies, programs, tests built, zip
#   scripts/build-windows.sh --deps     the dependencies only
#   scripts/build-windows.sh --fetch    the Debian packages and the sources only: what needs the
#                                       network and apt's lock, so that --deps can then run beside
#                                       another apt user
#
# Exit status: 0 built; 77 a dependency's source could not be downloaded (not a fault of the
# build: the caller may skip); anything else a failure.
set -euo pipefail
# Read whole before it runs, so that an edit of this file cannot change a build under way.
{
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build-windows
host=x86_64-w64-mingw32
# shellcheck source=windows/cache.sh
. "$root/scripts/windows/cache.sh"
jobs=${KOLT_JOBS:-2}
only_deps=false
only_fetch=false
[ "${1:-}" = "--deps" ] && only_deps=true
[ "${1:-}" = "--fetch" ] && only_fetch=true

say() { printf '== %s\n' "$*" >&2; }

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# --- What the build needs from Debian -------------------------------------------------------------
packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
  libz-mingw-w64-dev meson ninja-build cmake pkg-config wine64 wine
  autoconf automake libtool autopoint gettext tcl dpkg-dev bison flex gawk zip unzip
  libglib2.0-dev-bin libgtest-dev libtomlplusplus-dev python3
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n perl xvfb xauth nsis cmark-gfm
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  say "installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# --- Where the sources come from ------------------------------------------------------------------
# Source entries of their own, for this release and the next: a few of this release's source
# tarballs are gone from the mirror, and the next release's of the same libraries build here.
sources_list=/etc/apt/sources.list.d/validaciones-kolt-windows-src.sources
wanted_list=$(
  cat <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates trixie
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
)
if [ "$(cat "$sources_list" 2>/dev/null)" != "$wanted_list" ]; then
  say "adding the source entries $sources_list"
  printf '%s\n' "$wanted_list" | $sudo tee "$sources_list" >/dev/null
  $sudo apt-get update -qq || true
fi

# Each dependency, and the releases whose source is tried, in order: the point release first (it
# carries the security fixes too, often newer than the security archive's copy).
dependencies=(
  "sqlite3 bookworm bookworm-security trixie"
  "libffi bookworm trixie"
  "pcre2 bookworm bookworm-security trixie"
  "glib2.0 bookworm bookworm-security trixie"
  "libxml2 bookworm bookworm-security trixie"
  "libgsf bookworm bookworm-security trixie"
  "mdbtools bookworm trixie"
  "qt6-base bookworm bookworm-security trixie"
)

mkdir -p "$out" "$windows_cache/sources" "$prefix"
declare -A version=()

# The files of a source package in one release, "name version" per line; none when that release
# has no such source.
source_files() {
  apt-get source -qq --print-uris "$1/$2" 2>/dev/null | awk "\$1 ~ /^'/ {print \$2}"
}

# Downloads one dependency's source into sources/{name}, from the first release that serves all of
# its files. The .dsc itself is not needed: apt checks every file against the release's index.
fetch() {
  local name=$1
  shift
  local dir=$windows_cache/sources/$name suite files f complete
  for suite in "$@"; do
    files=$(source_files "$name" "$suite")
    [ -n "$files" ] || continue
    complete=true
    for f in $files; do
      case $f in *.dsc) continue ;; esac
      [ -s "$dir/$f" ] || complete=false
    done
    if ! $complete; then
      rm -rf "$dir.part" && mkdir -p "$dir.part"
      (cd "$dir.part" && apt-get source -qq --download-only "$name/$suite" 2>&1 |
        grep -v 'unsandboxed' >&2) || true
      complete=true
      for f in $files; do
        case $f in *.dsc) continue ;; esac
        [ -s "$dir.part/$f" ] || complete=false
      done
      if ! $complete; then
        say "$name: the $suite source is incomplete on the mirror"
        continue
      fi
      rm -rf "$dir" && mv "$dir.part" "$dir"
    fi
    version[$name]=$(printf '%s\n' "$files" | sed -n 's/.*_\(.*\)\.dsc$/\1/p')
    [ -n "${version[$name]}" ] || version[$name]=$(printf '%s\n' "$files" | head -1)
    say "$name ${version[$name]} ($suite)"
    return 0
  done
  return 1
}

for entry in "${dependencies[@]}"; do
  # shellcheck disable=SC2086
  if ! fetch $entry; then
    echo "build-windows: the source of '${entry%% *}' cannot be downloaded from the Debian" \
      "mirror now; the Windows build is skipped." >&2
    exit 77
  fi
done

# --- Unpacking and building ------------------------------------------------------------------------
compiler_version=$($host-g++-posix --version | head -1)
# Where the build machine's Qt keeps its CMake files: its tools build the Windows Qt and program.
qt_host_cmake_dir() { echo "/usr/lib/$(env -u CC dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake"; }
# Qt's tools and libraries of one version only work together.
host_qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)
if [ "${host_qt_version%%+*}" != "${version[qt6-base]%%+*}" ]; then
  echo "build-windows: Debian's qt6-base source here is ${version[qt6-base]}, this machine's" \
    "Qt tools are $host_qt_version; the Windows build needs both of one version and is skipped." >&2
  exit 77
fi
$only_fetch && exit 0
recipe_of() { sed -n "/^build_$1() {/,/^}/p" "$0"; }
function_of() { local name=${1//./_}; echo "${name//-/_}"; }

# Unpacks sources/{name} into work/{name}: the upstream tarball(s), then Debian's patches.
unpack() {
  local name=$1 dir=$windows_cache/sources/$1 work=$out/work/$1 orig component
  rm -rf "$work" && mkdir -p "$work"
  orig=$(ls "$dir"/*.orig.tar.* | head -1)
  tar xf "$orig" -C "$work" --strip-components=1
  for component in "$dir"/*.orig-*.tar.*; do
    [ -e "$component" ] || continue
    local cname=${component##*.orig-}
    cname=${cname%%.tar.*}
    mkdir -p "$work/$cname" && tar xf "$component" -C "$work/$cname" --strip-components=1
  done
  if ls "$dir"/*.debian.tar.* >/dev/null 2>&1; then
    tar xf "$dir"/*.debian.tar.* -C "$work"
    if [ -f "$work/debian/patches/series" ]; then
      local patch
      while read -r patch _; do
        case $patch in '' | '#'*) continue ;; esac
        patch -d "$work" -p1 -s -N <"$work/debian/patches/$patch"
      done <"$work/debian/patches/series"
    fi
  elif ls "$dir"/*.diff.gz >/dev/null 2>&1; then
    zcat "$dir"/*.diff.gz | patch -d "$work" -p1 -s
  fi
  echo "$work"
}

export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig
export PKG_CONFIG_PATH=
# A rebuild of a library goes faster through ccache, where there is one.
# Through ccache with paths taken relative to the checkout, so another clone reuses its objects.
export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1
cache_launcher=""
command -v ccache >/dev/null && cache_launcher="'ccache', "
export CC="${cache_launcher:+ccache }$host-gcc-posix" CXX="${cache_launcher:+ccache }$host-g++-posix"
export AR=$host-ar RANLIB=$host-ranlib STRIP=$host-strip
export WINDRES=$host-windres RC=$host-windres DLLTOOL=$host-dlltool NM=$host-nm
export CPPFLAGS="-I$prefix/include"
export LDFLAGS="-L$prefix/lib"
# libtool refuses to put a static library into a DLL unless told every library will do.
export lt_cv_deplibs_check_method=pass_all
# Without the debug information autoconf's default "-g -O2" would add: it lengthens their compile
# by about half, and the zip carries the libraries stripped.
autotools_host=(--host=$host --prefix="$prefix" --disable-dependency-tracking CFLAGS=-O2)

build_zlib() {
  # Debian's MinGW zlib, linked in: Wine brings a zlib1.dll, Windows does not.
  cp /usr/$host/lib/libz.a "$prefix/lib/"
  cp /usr/$host/include/zlib.h /usr/$host/include/zconf.h "$prefix/include/"
  cat >"$prefix/lib/pkgconfig/zlib.pc" <<EOF
prefix=$prefix
Name: zlib
Description: zlib compression library
Version: $(dpkg-query -W -f='${Version}' libz-mingw-w64-dev)
Libs: -L\${prefix}/lib -lz
Cflags: -I\${prefix}/include
EOF
}

build_libintl() {
  $host-gcc-posix -O2 -c "$root/scripts/windows/libintl.c" -I"$root/scripts/windows" \
    -o "$out/work/libintl.o"
  rm -f "$prefix/lib/libintl.a"
  $host-ar rcs "$prefix/lib/libintl.a" "$out/work/libintl.o"
  cp "$root/scripts/windows/libintl.h" "$prefix/include/"
}

build_libffi() {
  local work
  work=$(unpack libffi)
  (cd "$work" && ./configure "${autotools_host[@]}" --disable-shared --enable-static \
    --disable-docs >>"$log" && make -s -j"$jobs" >>"$log" && make -s install >>"$log")
}

build_pcre2() {
  local work
  work=$(unpack pcre2)
  (cd "$work" && ./configure "${autotools_host[@]}" --disable-shared --enable-static \
    --disable-pcre2grep-libz --disable-pcre2grep-libbz2 --enable-unicode >>"$log" &&
    make -s -j"$jobs" libpcre2-8.la >>"$log" &&
    make -s install-libLTLIBRARIES install-nodist_includeHEADERS install-pkgconfigDATA >>"$log")
  # Linked in statically, its users must not look for it in a DLL.
  sed -i 's/^Cflags: \(.*\)$/Cflags: \1 -DPCRE2_STATIC/' "$prefix/lib/pkgconfig/libpcre2-8.pc"
}

write_cross_file() {
  cat >"$out/work/meson-cross.txt" <<EOF
[binaries]
c = [$cache_launcher'$host-gcc-posix']
cpp = [$cache_launcher'$host-g++-posix']
ar = '$host-ar'
strip = '$host-strip'
windres = '$host-windres'
pkgconfig = 'pkg-config'

[properties]
pkg_config_libdir = '$prefix/lib/pkgconfig'

[built-in options]
c_args = ['-I$prefix/include']
cpp_args = ['-I$prefix/include']
c_link_args = ['-L$prefix/lib']
cpp_link_args = ['-L$prefix/lib']

[host_machine]
system = 'windows'
cpu_family = 'x86_64'
cpu = 'x86_64'
endian = 'little'
EOF
}

build_glib2_0() {
  local work
  work=$(unpack glib2.0)
  write_cross_file
  # The environment's compilers and flags would be taken for the build machine's. At -O2, as
  # Debian builds it, where meson's release type would compile at -O3 for longer.
  (cd "$work" && env -u CC -u CXX -u AR -u RANLIB -u STRIP -u WINDRES -u RC -u DLLTOOL -u NM \
    -u CPPFLAGS -u LDFLAGS meson setup _build --cross-file "$out/work/meson-cross.txt" \
    --prefix "$prefix" --libdir lib --buildtype release -Doptimization=2 --wrap-mode nodownload \
    -Ddefault_library=shared -Dtests=false -Dinstalled_tests=false -Dnls=disabled -Dman=false \
    -Dgtk_doc=false -Dlibelf=disabled >>"$log" &&
    nice ninja -C _build -j"$jobs" >>"$log" && ninja -C _build install >>"$log")
}

build_libxml2() {
  local work
  work=$(unpack libxml2)
  (cd "$work" && NOCONFIGURE=1 ./autogen.sh >>"$log" 2>&1 || autoreconf -fi >>"$log" 2>&1
  cd "$work" && ./configure "${autotools_host[@]}" --disable-shared --enable-static \
    --without-python --without-zlib --without-lzma --without-iconv --without-icu \
    --without-http --without-ftp --without-catalog --without-debug --without-docbook \
    --without-modules >>"$log" && make -s -j"$jobs" libxml2.la >>"$log" &&
    make -s install-libLTLIBRARIES install-pkgconfigDATA >>"$log" &&
    make -s -C include install >>"$log")
  sed -i 's/^Cflags: \(.*\)$/Cflags: \1 -DLIBXML_STATIC/' "$prefix/lib/pkgconfig/libxml-2.0.pc"
}

build_libgsf() {
  local work
  work=$(unpack libgsf)
  (cd "$work" && ./configure "${autotools_host[@]}" --enable-shared --disable-static \
    --without-gdk-pixbuf --without-bz2 --disable-introspection --disable-gtk-doc \
    --disable-nls >>"$log" && make -s -j"$jobs" -C gsf >>"$log" &&
    make -s -C gsf install >>"$log" && make -s install-pkgconfigDATA >>"$log")
}

build_mdbtools() {
  local work
  work=$(unpack mdbtools)
  # MinGW's C library calls its locale type _locale_t and has _spawnv already.
  sed -i 's/^LOCALE_T=locale_t$/AS_CASE([$host], [*mingw*], [LOCALE_T=_locale_t], [LOCALE_T=locale_t])/;
          s/ CFLAGS="\$CFLAGS -D_spawnv=spawnv"//' "$work/configure.ac"
  # iconv for libmdb comes from GLib (see scripts/windows/iconv.h).
  mkdir -p "$work/kolt-iconv" && cp "$root/scripts/windows/iconv.h" "$work/kolt-iconv/"
  (cd "$work" && autoreconf -fi >>"$log" 2>&1 &&
    CPPFLAGS="$CPPFLAGS -I$work/kolt-iconv $(pkg-config --cflags glib-2.0)" \
      LIBS="$(pkg-config --libs glib-2.0)" \
      am_cv_func_iconv=yes am_cv_lib_iconv=no am_cv_proto_iconv_arg1="" \
      ./configure "${autotools_host[@]}" --enable-shared --disable-static --disable-man \
      --disable-gmdb2 --disable-sql >>"$log" &&
    make -s -j"$jobs" -C src/libmdb >>"$log" && make -s -C src/libmdb install >>"$log" &&
    make -s -C include install >>"$log")
  cp "$work/libmdb.pc" "$prefix/lib/pkgconfig/"
  # The program's own Access reader converts texts through iconv too.
  cp "$root/scripts/windows/iconv.h" "$prefix/include/"
}

build_googletest() {
  rm -rf "$out/work/googletest" && mkdir -p "$out/work/googletest"
  cmake -S /usr/src/googletest -B "$out/work/googletest" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON >>"$log"
  nice cmake --build "$out/work/googletest" -j"$jobs" >>"$log"
  cmake --install "$out/work/googletest" >>"$log"
}

build_qt6_base() {
  local work
  work=$(unpack qt6-base)
  rm -rf "$out/work/qt6-base-build"
  # What an earlier Qt installed goes first: the plugin or CMake package of a feature since left
  # out would stay in the prefix, and the programs' build would find it.
  rm -rf "$prefix"/plugins "$prefix"/lib/cmake/Qt6* "$prefix"/include/Qt* "$prefix"/mkspecs \
    "$prefix"/modules "$prefix"/lib/metatypes "$prefix"/doc
  # Only the compiler's own folder is searched: the static GLib and PCRE2 of the prefix must not
  # be taken for Qt's. Its zlib, PNG, FreeType and PCRE2 are its bundled copies, linked into its
  # DLLs. What the windows do not use is left out. Tablet events are off: Debian's source has no
  # Wintab header. Direct2D stays on, the platform plugin's DirectWrite font database needs it,
  # but not the second, Direct2D platform plugin (Direct 2D 1.1), which compiles the whole Windows
  # plugin again for a plugin the zip does not ship; nor PDF and the text documents' ODF and
  # Markdown converters. Debian's cross-build patch turns the Android deployment tool on. Qt Test
  # stays, for the windows' tests (it is not shipped), and so does FreeType, for the offscreen
  # plugin they draw on. The text shaper (HarfBuzz) goes: the windows write Spanish, which needs
  # no shaping. So do the widgets and image formats the windows never show (graphics view, MDI,
  # docks, calendars, undo, wizards and the like; GIF, ICO, animations, the tray icon). Together
  # that is a fifth of Qt's build. It is optimised as -O1, where Qt would take -O2 and -O3 for its
  # Core and Gui: it compiles in about a third less time, the longest step of the build, and the
  # windows draw a few forms, where the difference is not seen. Not through ccache: most of Qt
  # compiles with a precompiled header, which ccache passes by, and Qt is rebuilt only when its
  # stamp changes, so on a fresh machine ccache would only add its own work.
  (env -u CC -u CXX -u AR -u RANLIB -u STRIP -u WINDRES -u RC -u DLLTOOL -u NM -u CPPFLAGS \
    -u LDFLAGS -u KOLT_WINDOWS_PREFIX PKG_CONFIG_LIBDIR=/nonexistent \
    cmake -S "$work" -B "$out/work/qt6-base-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_CROSSCOMPILING_EMULATOR="" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="$(qt_host_cmake_dir)" \
    -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
    -DQT_USE_DEFAULT_CMAKE_OPTIMIZATION_FLAGS=ON -DCMAKE_C_FLAGS_RELEASE="-O1 -DNDEBUG" \
    -DCMAKE_CXX_FLAGS_RELEASE="-O1 -DNDEBUG" \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF \
    -DINPUT_opengl=no -DFEATURE_vulkan=OFF -DFEATURE_printsupport=OFF \
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_zstd=OFF \
    -DFEATURE_icu=OFF -DFEATURE_glib=OFF -DFEATURE_jpeg=OFF -DFEATURE_qmake=OFF \
    -DFEATURE_pkg_config=OFF -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=ON \
    -DFEATURE_direct2d1_1=OFF -DFEATURE_pdf=OFF -DFEATURE_textodfwriter=OFF \
    -DFEATURE_textmarkdownreader=OFF -DFEATURE_textmarkdownwriter=OFF \
    -DFEATURE_androiddeployqt=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF \
    -DFEATURE_system_pcre2=OFF -DFEATURE_system_doubleconversion=OFF -DFEATURE_harfbuzz=OFF \
    -DFEATURE_graphicsview=OFF -DFEATURE_mdiarea=OFF -DFEATURE_dockwidget=OFF \
    -DFEATURE_calendarwidget=OFF -DFEATURE_undocommand=OFF -DFEATURE_lcdnumber=OFF \
    -DFEATURE_dial=OFF -DFEATURE_columnview=OFF -DFEATURE_wizard=OFF -DFEATURE_keysequenceedit=OFF \
    -DFEATURE_splashscreen=OFF -DFEATURE_toolbox=OFF -DFEATURE_systemtrayicon=OFF \
    -DFEATURE_gif=OFF -DFEATURE_ico=OFF -DFEATURE_movie=OFF >>"$log" &&
    nice cmake --build "$out/work/qt6-base-build" -j"$jobs" >>"$log" &&
    cmake --install "$out/work/qt6-base-build" >>"$log")
}

# processor_now: sets $processor to the processor seconds, user and system, of every command this
# script has waited for so far (bash's times, whose second line is its children's).
processor_now() {
  times >"$out/times"
  processor=$(awk 'NR == 2 { for (i = 1; i <= 2; i++) { split($i, t, /[ms]/); sum += t[1] * 60 + t[2] } }
                   END { printf "%d", sum }' "$out/times")
}

# Builds one dependency unless its stamp says this very source, compiler and recipe are installed.
# A rebuilt dependency rebuilds those after it, which may have taken its headers in; one built
# --alone takes nothing from the others, and neither waits for them nor makes them wait.
key_so_far=""
step() {
  local alone=false
  [ "$1" = "--alone" ] && { alone=true; shift; }
  local name=$1 src_version=$2 stamp key
  stamp=$prefix/.built-$name
  if $alone; then
    key=$(printf '%s\n' "$src_version" "$compiler_version" "$(recipe_of "$(function_of "$name")")" |
      sha256sum | cut -c1-16)
  else
    key=$(printf '%s\n' "$key_so_far" "$src_version" "$compiler_version" \
      "$(recipe_of "$(function_of "$name")")" | sha256sum | cut -c1-16)
    key_so_far=$key
  fi
  if [ "$(cat "$stamp" 2>/dev/null)" = "$key" ]; then
    return
  fi
  say "building $name $src_version"
  local started=$SECONDS processor before
  processor_now
  before=$processor
  log=$out/logs/$name.log
  mkdir -p "$out/logs" && : >"$log"
  mkdir -p "$prefix/lib/pkgconfig" "$prefix/include" "$out/work"
  "build_$(function_of "$name")"
  # Its licence, shipped in the zip, kept with what was built from it.
  if [ -f "$out/work/$name/debian/copyright" ]; then
    mkdir -p "$prefix/share/licenses/$name"
    cp "$out/work/$name/debian/copyright" "$prefix/share/licenses/$name/"
  fi
  echo "$key" >"$stamp"
  processor_now
  say "$name built in $((SECONDS - started)) s, $((processor - before)) s of processor time"
}

# A failed step shows the end of what it printed.
log=""
trap 'status=$?; if [ $status -ne 0 ] && [ -n "$log" ] && [ -s "$log" ]; then
  tail -25 "$log" >&2; say "failed; the whole output is in $log"; fi' EXIT
deps_started=$SECONDS
# One build at a time in the machine's cache: two checkouts building at once would overwrite each
# other's libraries half-way.
exec {cache_lock}>"$windows_cache/lock"
flock "$cache_lock"
step zlib "$(dpkg-query -W -f='${Version}' libz-mingw-w64-dev)"
step libffi "${version[libffi]}"
step pcre2 "${version[pcre2]}"
step libintl "$(cat "$root"/scripts/windows/libintl.* | sha256sum | cut -c1-16)"
step glib2.0 "${version[glib2.0]}"
step libxml2 "${version[libxml2]}"
step libgsf "${version[libgsf]}"
step mdbtools "${version[mdbtools]} $(sha256sum <"$root/scripts/windows/iconv.h" | cut -c1-16)"
step googletest "$(dpkg-query -W -f='${Version}' libgtest-dev)"
step --alone qt6-base "${version[qt6-base]}"
# Qt's Spanish texts (the standard dialogs' buttons), where the Windows Qt looks for them: the tests
# find them there, the zip carries its own copy.
mkdir -p "$prefix/translations"
cp /usr/share/qt6/translations/qtbase_es.qm "$prefix/translations/"
say "dependencies ready in $((SECONDS - deps_started)) s"
flock -u "$cache_lock"
log=""
$only_deps && exit 0

# --- Wine, for what the build runs and for the tests -----------------------------------------------
# Its first start makes the prefix (seconds, and hundreds of megabytes): once per build folder.
export WINEPREFIX=$out/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/.kolt-ready" ]; then
  say "making the Wine prefix"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  touch "$WINEPREFIX/.kolt-ready"
fi
gcc_runtime=$(dirname "$($host-g++-posix -print-libgcc-file-name)")
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
# The DLLs of the dependencies and of the compiler's runtime, found wherever the build runs them.
export WINEPATH="$(windows_path "$prefix/bin");$(windows_path "$gcc_runtime");$(windows_path /usr/$host/lib)"

# --- The program -----------------------------------------------------------------------------------
project=$out/project
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
say "building the programs"
started=$SECONDS
# The source fetched above is there: the Windows programs have no other SQLite.
sqlite=$("$root/scripts/sqlite-amalgamation.sh")
cmake -S "$root" -B "$project" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DKOLT_WINDOWS_PREFIX="$prefix" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="$(qt_host_cmake_dir)" "${launcher[@]}" \
  -DKOLT_SQLITE_AMALGAMATION="$sqlite" >/dev/null
programs=(validaciones-kolt kolt-validar kolt-importar kolt-generar kolt-exportar-mdb)
# Everything: the programs, the demonstration catalogue (made by the Windows kolt-catalogo under
# Wine) and the tests that run on Windows.
nice cmake --build "$project" -j"$jobs"
say "programs and tests built in $((SECONDS - started)) s"

# --- The zip ---------------------------------------------------------------------------------------
stage=$out/zip/validaciones-kolt
rm -rf "$out/zip" && mkdir -p "$stage/licencias"
for program in "${programs[@]}"; do
  $host-strip -o "$stage/$program.exe" "$project/bin/$program.exe"
done
cp "$project/bin/ValidacionesKOLT.db" "$stage/"
# Qt's plugins for the windows, found through qt.conf beside the programs: the Windows platform
# plugin and the native style. Its Spanish texts (the standard dialogs' buttons) go beside them.
mkdir -p "$stage/plugins/platforms" "$stage/plugins/styles" "$stage/translations"
$host-strip -o "$stage/plugins/platforms/qwindows.dll" "$prefix/plugins/platforms/qwindows.dll"
$host-strip -o "$stage/plugins/styles/qwindowsvistastyle.dll" \
  "$prefix/plugins/styles/qwindowsvistastyle.dll"
cp "$prefix/translations/qtbase_es.qm" "$stage/translations/"
printf '[Paths]\r\nPrefix = .\r\nPlugins = plugins\r\nTranslations = translations\r\n' >"$stage/qt.conf"

# Every DLL the programs load, and the DLLs those load, that Windows itself does not have.
dll_folders=("$prefix/bin" "$gcc_runtime" "/usr/$host/lib")
imports_of() { $host-objdump -p "$1" | sed -n 's/^\tDLL Name: //p'; }
find_dll() {
  local folder file
  for folder in "${dll_folders[@]}"; do
    file=$(find "$folder" -maxdepth 1 -iname "$1" -print -quit)
    [ -n "$file" ] && { echo "$file"; return 0; }
  done
  return 1
}
pending=("$stage"/*.exe "$stage"/plugins/*/*.dll)
while [ ${#pending[@]} -gt 0 ]; do
  current=${pending[0]}
  pending=("${pending[@]:1}")
  while read -r dll; do
    [ -e "$stage/$dll" ] && continue
    if found=$(find_dll "$dll"); then
      $host-strip -o "$stage/$dll" "$found"
      pending+=("$stage/$dll")
    fi
  done < <(imports_of "$current")
done

# The licences of everything shipped.
for name in glib2.0 pcre2 libffi libxml2 libgsf mdbtools qt6-base; do
  cp "$prefix/share/licenses/$name/copyright" "$stage/licencias/$name.txt"
done
cp "$sqlite/copyright" "$stage/licencias/sqlite3.txt"
cp /usr/share/doc/libz-mingw-w64-dev/copyright "$stage/licencias/zlib.txt"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licencias/gcc-runtime.txt"
cp /usr/share/doc/mingw-w64-common/copyright "$stage/licencias/mingw-w64.txt"
cp "$root/packaging/windows/LEEME.txt" "$stage/LEEME.txt"
# Windows' editors want CRLF line ends in a text file.
sed -i 's/$/\r/' "$stage/LEEME.txt"

rm -f "$out/validaciones-kolt-windows.zip"
(cd "$out/zip" && zip -q -r -X -9 "$out/validaciones-kolt-windows.zip" validaciones-kolt)
say "$out/validaciones-kolt-windows.zip: $(du -k "$out/validaciones-kolt-windows.zip" | cut -f1) KB"

# --- The installer ---------------------------------------------------------------------------------
# validaciones-kolt-setup.exe (packaging/windows/validaciones-kolt.nsi) installs the zip's folder,
# the guide as web pages and the marker "instalado", which sends the installed program's results
# to the user's data folder (src/run/program_folders.h). The installer goes through the lists of
# those files made here, and its uninstaller removes those and nothing else.
files=$out/installer
installed=$files/validaciones-kolt
rm -rf "$files" && mkdir -p "$files"
cp -a "$stage" "$installed"
python3 "$root/packaging/windows/render_guide.py" "$installed/guia" "$root/docs/guia-de-uso.md" \
  "$root/docs/reglas-adicionales.md"
printf 'Validaciones Kolt instalado: sus resultados se escriben en %%LOCALAPPDATA%%\\validaciones-kolt.\r\n' \
  >"$installed/instalado"
# A path in an NSIS string: "$" doubled; under the install folder, with Windows' separators.
nsis_text() { printf '%s' "${1//\$/\$\$}"; }
under_install() { local text; text=$(nsis_text "$1"); printf '"$INSTDIR%s"' "${text//\//\\}"; }
{
  while read -r folder; do
    printf 'SetOutPath %s\n' "$(under_install "${folder#.}")"
    while read -r file; do
      printf 'File "%s"\n' "$(nsis_text "$installed/${file#./}")"
    done < <(cd "$installed" && find "$folder" -maxdepth 1 -type f | LC_ALL=C sort)
  done < <(cd "$installed" && find . -type d | LC_ALL=C sort)
} >"$files/install-files.nsh"
{
  (cd "$installed" && find . -type f | LC_ALL=C sort) | while read -r file; do
    printf 'Delete %s\n' "$(under_install "${file#.}")"
  done
  (cd "$installed" && find . -mindepth 1 -type d | LC_ALL=C sort -r) | while read -r folder; do
    printf 'RMDir %s\n' "$(under_install "${folder#.}")"
  done
} >"$files/uninstall-files.nsh"
program_version=$(sed -n 's/^project(ValidacionesKolt VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
rm -f "$out/validaciones-kolt-setup.exe"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$program_version" -DFILES="$files" \
  -DOUTFILE="$out/validaciones-kolt-setup.exe" "$root/packaging/windows/validaciones-kolt.nsi" >&2
say "$out/validaciones-kolt-setup.exe: $(du -k "$out/validaciones-kolt-setup.exe" | cut -f1) KB"
exit 0
}
