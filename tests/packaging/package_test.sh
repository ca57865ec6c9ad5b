#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a scratch root as dpkg would install it, and runs the
# installed kolt-validar as a user would: from a program folder it cannot write, with the results
# going to the user's own folder.
#   package_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
for tool in dpkg-deb dpkg-shlibdeps cpack; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing; install dpkg-dev to build the package."; exit 77; }
done

scratch=$(mktemp -d)
trap 'chmod -R u+w "$scratch"; rm -rf "$scratch"' EXIT

(cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >cpack.log 2>&1) ||
  { cat "$scratch/cpack.log"; exit 1; }
deb=$(ls "$scratch"/out/validaciones-kolt_*_amd64.deb)

depends=$(dpkg-deb -f "$deb" Depends)
libraries=(libmdb libqt6widgets6 qt6-qpa-plugins qt6-translations-l10n)
# SQLite is a dependency only of a program linked with the system's (cmake/sqlite.cmake).
if objdump -p "$build/bin/kolt-validar" | grep -q 'NEEDED *libsqlite3'; then
  libraries+=(libsqlite3)
fi
for lib in "${libraries[@]}"; do
  grep -q "$lib" <<<"$depends" || { echo "missing dependency on $lib in: $depends"; exit 1; }
done

root="$scratch/root"
dpkg -x "$deb" "$root"
for file in usr/bin/validaciones-kolt usr/bin/kolt-validar usr/bin/kolt-importar \
  usr/share/validaciones-kolt/ValidacionesKOLT.db \
  usr/share/applications/validaciones-kolt.desktop \
  usr/share/icons/hicolor/scalable/apps/validaciones-kolt.svg \
  usr/share/man/man1/kolt-validar.1.gz usr/share/doc/validaciones-kolt/reglas.md \
  usr/share/doc/validaciones-kolt/reglas-adicionales.md usr/share/doc/validaciones-kolt/guia-de-uso.md \
  usr/share/doc/validaciones-kolt/examples/ReglasAdicionales.toml; do
  [ -e "$root/$file" ] || { echo "not installed: /$file"; exit 1; }
done
# The user's guide, with every picture it shows beside it.
guide="$root/usr/share/doc/validaciones-kolt/guia-de-uso.md"
for picture in $(grep -o '([A-Za-z0-9_.-]*\.png)' "$guide" | tr -d '()'); do
  [ -e "$(dirname "$guide")/$picture" ] || { echo "not installed beside the guide: $picture"; exit 1; }
done
# The file manager opens Access files with the program, which opens the file it is given.
grep -q '^Exec=validaciones-kolt %f$' "$root/usr/share/applications/validaciones-kolt.desktop"
grep -q '^MimeType=.*application/vnd.ms-access;' "$root/usr/share/applications/validaciones-kolt.desktop"
# Help on the terminal, with no screen to open a window on.
env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/validaciones-kolt" --help | grep -q "Uso: validaciones-kolt"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/validaciones-kolt.desktop"
fi

if command -v man >/dev/null; then
  page=$(MANWIDTH=100 man -l "$root/usr/share/man/man1/kolt-validar.1.gz" 2>&1)
  grep -q "ESTADO DE SALIDA" <<<"$page" || { echo "$page"; echo "the manual page does not render"; exit 1; }
  grep -q "Hallazgos.xls" <<<"$page" || { echo "the manual page does not name Hallazgos.xls"; exit 1; }
fi

# A user's run: program folder read-only, results in the user's data folder.
chmod -R a-w "$root/usr"
export HOME="$scratch/home" XDG_DATA_HOME="$scratch/home/datos"
mkdir -p "$HOME"
"$build/bin/kolt-generar" "$scratch/origen.db" --egresos 400 --unidades 2 >/dev/null
"$root/usr/bin/kolt-validar" "$scratch/origen.db" >"$scratch/run.log" 2>&1 ||
  { cat "$scratch/run.log"; exit 1; }
results="$XDG_DATA_HOME/validaciones-kolt/RESULTADOS"
[ -f "$results/ResultadosVal.xls" ] || { cat "$scratch/run.log"; echo "no summary in $results"; exit 1; }
grep -q "$results" "$scratch/run.log" || { cat "$scratch/run.log"; echo "end message names another folder"; exit 1; }
[ ! -e "$root/usr/bin/RESULTADOS" ] || { echo "results written into the program folder"; exit 1; }

# The office's example rules, copied to where the installed program looks for them, run with it.
example="$root/usr/share/doc/validaciones-kolt/examples/ReglasAdicionales.toml"
[ "$("$root/usr/bin/kolt-validar" --comprobar-reglas "$example" | grep -c ': correcta$')" = 3 ] ||
  { echo "the installed example rules are not all correct"; exit 1; }
cp "$example" "$XDG_DATA_HOME/validaciones-kolt/"
"$root/usr/bin/kolt-validar" "$scratch/origen.db" --traza "$scratch/traza.txt" >"$scratch/run.log" 2>&1 ||
  { cat "$scratch/run.log"; exit 1; }
grep -q "Into Validacion116" "$scratch/traza.txt" || { echo "the user's rules file was not run"; exit 1; }
