#!/usr/bin/env bash
# The Windows zip under Wine, held against the Linux build (run after scripts/build-windows.sh):
#   - kolt-validar.exe writes the same workbooks, cell for cell, as the Linux kolt-validar on the
#     demonstration database and on a generated 50,000-discharge database;
#   - a source and a results folder with accents and ñ in their names work;
#   - a second run on a results folder in use is refused with 3045, and touches nothing;
#   - damaged Access files are refused, each within 15 seconds, one of them a file libmdb reads
#     without end until the importer's limits stop it;
#   - the licensed Access samples import to the same rows as on Linux;
#   - the tools take accents and ñ in the names they are given;
#   - the zip's window program starts from the zip alone, opening the file it is given;
#   - validaciones-kolt-setup.exe installs silently into a fresh Wine prefix, for the user and for
#     every user: Start-menu links, "Abrir con" for .mdb and .accdb with Access still the default,
#     the installed kolt-validar.exe writing Linux's workbooks into the user's data folder, the
#     window program started as "Abrir con" starts it; a second install while the program runs is
#     refused; the silent uninstall leaves nothing of the program and the user's data as it was;
#   - no program or DLL of the zip imports a DLL that is neither in the zip nor part of Windows.
# The test binaries, the windows' among them (under Xvfb, their screenshots in
# build-windows/project/artefacts/), run first through ctest.
# Exit status: 0 all passed, 1 a check failed. The closing line counts them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build-windows
# shellcheck source=windows/cache.sh
. "$root/scripts/windows/cache.sh"
linux=${KOLT_LINUX_BUILD:-$root/build}
host=x86_64-w64-mingw32
zip=$out/validaciones-kolt-windows.zip
[ -f "$zip" ] || { echo "no $zip: run scripts/build-windows.sh first" >&2; exit 1; }

export WINEPREFIX=$out/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Only what the zip carries: no folder of the build on the DLL search path.
unset WINEPATH

say() { printf '== %s\n' "$*" >&2; }
passed=0
failed=0
pass() {
  passed=$((passed + 1))
  printf 'ok   %s\n' "$1"
}
fail() {
  failed=$((failed + 1))
  printf 'FAIL %s\n' "$1"
}
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
# kolt-validar.exe on a damaged FILE, its output in FILE.out; sets status and elapsed (seconds).
validate_damaged() {
  local started=$SECONDS
  set +e
  timeout 120 wine "$app/kolt-validar.exe" "$(windows_path "$1")" \
    --resultados "$(windows_path "$damaged/RESULTADOS")" >"$1.out" 2>&1
  status=$?
  set -e
  elapsed=$((SECONDS - started))
}

say "the tests of the Windows build, under Wine"
gcc_runtime=$(dirname "$($host-g++-posix -print-libgcc-file-name)")
wine_ctest() {
  WINEPATH="$(windows_path "$prefix/bin");$(windows_path "$gcc_runtime");$(windows_path /usr/$host/lib)" \
    ctest --test-dir "$out/project" --output-on-failure -j2 "$@"
}
# Wine now and then fails to start a process on a loaded machine (a test "failing" in 0.02 s,
# before its main). The failed tests run once more; what failed the first time is printed all
# the same, and a test that fails twice fails the check.
if wine_ctest >"$out/ctest.log" 2>&1; then
  pass "ctest under Wine: $(grep -E 'tests passed' "$out/ctest.log")"
else
  grep -E '\*\*\*Failed|Failed  ' "$out/ctest.log" | head -20
  if wine_ctest --rerun-failed >"$out/ctest-again.log" 2>&1; then
    pass "ctest under Wine: the tests above passed when run again"
  else
    fail "ctest under Wine: $(grep -E 'tests passed|tests failed' "$out/ctest-again.log")"
    grep -E -A30 '\*\*\*Failed|Failed  ' "$out/ctest-again.log" | head -80
  fi
fi

say "building the Linux programs to compare with"
if [ ! -f "$linux/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$linux" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
nice cmake --build "$linux" -j2 --target kolt-validar kolt-importar kolt-generar kolt-catalogue-db \
  >/dev/null

work=$out/test
rm -rf "$work" && mkdir -p "$work"
unzip -q "$zip" -d "$work"
app=$work/validaciones-kolt

validar_windows() { wine "$app/kolt-validar.exe" "$@"; }

# Runs both builds on one source into two results folders and compares every workbook.
same_workbooks() {
  local name=$1 source=$2 results_linux=$3 results_windows=$4
  shift 4
  "$linux/bin/kolt-validar" "$source" --resultados "$results_linux" "$@" >"$work/$name-linux.out"
  local started=$SECONDS
  if ! validar_windows "$(windows_path "$source")" --resultados "$(windows_path "$results_windows")" \
    "$@" >"$work/$name-windows.out" 2>"$work/$name-windows.err"; then
    fail "$name: kolt-validar.exe failed: $(tail -3 "$work/$name-windows.err")"
    return
  fi
  compare_workbooks "$name" "$results_linux" "$results_windows" "$((SECONDS - started))"
}

# Every workbook of the Linux run in RESULTS_LINUX, cell for cell in RESULTS_WINDOWS, which holds
# no other; SECONDS is how long the Windows run took.
compare_workbooks() {
  local name=$1 results_linux=$2 results_windows=$3 elapsed=$4 books=0 differ=""
  for book in "$results_linux"/*.xls; do
    books=$((books + 1))
    if [ "$(basename "$book")" = Hallazgos.xls ]; then
      # Its last sheet, Ejecucion, names each run's own paths and time: the counts before it agree.
      cmp -s <(/usr/bin/python3 "$root/tests/xls/read_xls.py" "$book" | sed '/^sheet\tEjecucion$/,$d') \
        <(/usr/bin/python3 "$root/tests/xls/read_xls.py" "$results_windows/Hallazgos.xls" |
          sed '/^sheet\tEjecucion$/,$d') || differ+=" Hallazgos.xls"
      continue
    fi
    # A unit's Resumen and Seguimiento name the run's own paths and time: its sheets before them,
    # the rules' and catValidaciones, agree cell for cell.
    cmp -s <(/usr/bin/python3 "$root/tests/xls/read_xls.py" "$book" | sed '/^sheet\tResumen$/,$d') \
      <(/usr/bin/python3 "$root/tests/xls/read_xls.py" "$results_windows/$(basename "$book")" |
        sed '/^sheet\tResumen$/,$d') || differ+=" $(basename "$book")"
  done
  local windows_books
  windows_books=$(find "$results_windows" -maxdepth 1 -name '*.xls' | wc -l)
  if [ "$books" -eq 0 ]; then
    fail "$name: the Linux build wrote no workbook"
  elif [ -n "$differ" ] || [ "$windows_books" -ne "$books" ]; then
    fail "$name: workbooks differ:$differ (Linux $books, Windows $windows_books)"
  else
    pass "$name: $books workbooks equal to Linux, cell for cell (Windows run ${elapsed} s)"
  fi
}

say "the demonstration database"
"$linux/bin/kolt-generar" "$work/demo/egresos-demo.mdb" --egresos 3000 --unidades 5 --limpias 1 \
  --errores 0.1 >/dev/null
mkdir -p "$work/demo-windows"
cp "$work/demo/egresos-demo.mdb" "$work/demo-windows/"
same_workbooks demo "$work/demo/egresos-demo.mdb" "$work/demo/RESULTADOS" \
  "$work/demo-windows/RESULTADOS"
# The Windows run read its own copy of the source: its companion is its own too.
same_workbooks demo-windows-source "$work/demo-windows/egresos-demo.mdb" \
  "$work/demo/RESULTADOS-2" "$work/demo-windows/RESULTADOS-2"

say "accents and ñ in the folders' names"
accented="$work/Orígenes año/señal"
mkdir -p "$accented"
cp "$work/demo/egresos-demo.mdb" "$accented/egresos demostración.mdb"
same_workbooks accents "$work/demo/egresos-demo.mdb" "$work/demo/RESULTADOS-3" \
  "$work/Resultados de validación año/niño" 
same_workbooks accents-source "$accented/egresos demostración.mdb" "$work/demo/RESULTADOS-4" \
  "$accented/Resultados ñandú"

say "a generated 50,000-discharge database"
mkdir -p "$work/big" "$work/big-windows"
"$linux/bin/kolt-generar" "$work/big/egresos.mdb" --egresos 50000 --unidades 6 --errores 0.05 \
  --semilla 7 >/dev/null
cp "$work/big/egresos.mdb" "$work/big-windows/"
same_workbooks big "$work/big/egresos.mdb" "$work/big/RESULTADOS" "$work/big-windows/RESULTADOS"

say "a second run on a results folder in use"
busy="$work/busy/RESULTADOS"
mkdir -p "$busy"
validar_windows "$(windows_path "$work/big-windows/egresos.mdb")" \
  --resultados "$(windows_path "$busy")" >"$work/busy-first.out" 2>&1 &
first=$!
# The first run holds the lock from the moment its working folder exists.
for _ in $(seq 1 600); do
  [ -d "$busy/Validacion.tmp" ] && break
  sleep 0.1
done
set +e
validar_windows "$(windows_path "$work/big-windows/egresos.mdb")" \
  --resultados "$(windows_path "$busy")" >"$work/busy-second.out" 2>&1
second=$?
set -e
still_running=false
kill -0 "$first" 2>/dev/null && still_running=true
wait "$first" || true
if ! $still_running; then
  fail "second run: the first run ended before the second could be refused"
elif [ "$second" -eq 1 ] && grep -q '^3045 - ' "$work/busy-second.out"; then
  pass "second run refused: $(head -1 "$work/busy-second.out" | cut -c1-90)"
else
  fail "second run not refused (exit $second): $(head -3 "$work/busy-second.out")"
fi

say "damaged Access files"
damaged=$work/damaged
mkdir -p "$damaged"
source_mdb=$work/demo/egresos-demo.mdb
size=$(stat -c %s "$source_mdb")
head -c $((size / 3)) "$source_mdb" >"$damaged/cortado.mdb"
cp "$source_mdb" "$damaged/paginas.mdb"
# The table catalogue's pages overwritten with noise, the header kept.
dd if=/dev/urandom of="$damaged/paginas.mdb" bs=4096 seek=2 count=8 conv=notrunc status=none
cp "$source_mdb" "$damaged/ceros.mdb"
dd if=/dev/zero of="$damaged/ceros.mdb" bs=4096 seek=1 count=64 conv=notrunc status=none
for file in "$damaged"/*.mdb; do
  before=$(sha256sum "$file" | cut -d' ' -f1)
  validate_damaged "$file"
  after=$(sha256sum "$file" | cut -d' ' -f1)
  name=$(basename "$file")
  if [ "$status" -eq 0 ]; then
    fail "damaged $name: accepted"
  elif [ "$status" -ne 1 ] || [ "$elapsed" -gt 15 ]; then
    fail "damaged $name: exit $status after $elapsed s: $(head -2 "$file.out")"
  elif [ "$before" != "$after" ]; then
    fail "damaged $name: the file was changed"
  else
    pass "damaged $name refused in $elapsed s: $(head -1 "$file.out" | cut -c1-80)"
  fi
done

say "an Access file libmdb reads without end"
# A damaged copy of a licensed sample (kolt-fuzz-importar's case 276 of seed 1) which libmdb reads
# without end: only the importer's limits stop it.
"$linux/bin/kolt-fuzz-importar" --caso 276 --semilla 1 --muestras "$root/tests/data/access" \
  --guardar "$damaged/fuzz" >/dev/null 2>&1 || true
spinning=$damaged/fuzz/caso-276-test2V2003.mdb
if [ ! -f "$spinning" ]; then
  fail "endless import: kolt-fuzz-importar kept no case 276"
elif ! { "$linux/bin/kolt-validar" "$spinning" --resultados "$damaged/RESULTADOS-linux" \
  >"$spinning.linux" 2>&1 || true; } || ! grep -q 'se detuvo' "$spinning.linux"; then
  fail "endless import: case 276 is no longer read without end; pick another case"
else
  # The processor time the importer (Wine names it kolt-importar.e) was seen to use, for the
  # record: on a busy machine the clock alone says little.
  cpu_seen=$damaged/spinning.cpu
  echo 0 >"$cpu_seen"
  (
    while :; do
      used=$(ps -C kolt-importar.e -o times= 2>/dev/null | sort -n | tail -1 | tr -d ' ')
      [ -n "$used" ] && [ "$used" -gt "$(cat "$cpu_seen")" ] && echo "$used" >"$cpu_seen"
      sleep 0.5
    done
  ) &
  watcher=$!
  validate_damaged "$spinning"
  kill "$watcher" 2>/dev/null || true
  wait "$watcher" 2>/dev/null || true
  cpu=$(cat "$cpu_seen")
  if [ "$status" -eq 1 ] && [ "$elapsed" -le 15 ] && grep -q '^3343 - .*se detuvo' "$spinning.out"; then
    pass "endless import stopped and refused in $elapsed s ($cpu s of processor time, load $(cut -d' ' -f1 /proc/loadavg))"
  else
    fail "endless import: exit $status after $cpu s of processor time, $elapsed s on the clock: $(head -2 "$spinning.out")"
  fi
fi

say "the licensed Access samples, imported"
samples=$work/samples
mkdir -p "$samples"
differing=""
count=0
for sample in "$root"/tests/data/access/*.mdb "$root"/tests/data/access/*.accdb; do
  name=$(basename "$sample")
  count=$((count + 1))
  "$linux/bin/kolt-importar" --progress-fd 1 "$sample" "$samples/$name-linux.db" >/dev/null
  import_windows() {
    wine "$app/kolt-importar.exe" --progress-fd 1 "$(windows_path "$sample")" \
      "$(windows_path "$samples/$name-windows.db")" >"$samples/$name.out" 2>&1
  }
  # The importer reports its progress from its first moment: a failure without a word is Wine
  # failing to start it, on a loaded machine, and is tried once more (and said).
  imported=0
  import_windows || imported=$?
  if [ "$imported" -ne 0 ] && [ ! -s "$samples/$name.out" ]; then
    echo "note: Wine did not start kolt-importar.exe for $name (status $imported); trying once more"
    imported=0
    import_windows || imported=$?
  fi
  if [ "$imported" -ne 0 ]; then
    differing+=" $name(failed)"
  elif ! cmp -s <(sqlite3 "$samples/$name-linux.db" .dump) <(sqlite3 "$samples/$name-windows.db" .dump); then
    differing+=" $name"
  fi
done
if [ -z "$differing" ]; then
  pass "$count licensed samples import to the same rows as on Linux"
else
  fail "samples imported differently from Linux:$differing"
fi

say "accents and ñ in the tools' arguments"
named="$work/Orígenes año"
mkdir -p "$named"
if wine "$app/kolt-generar.exe" "$(windows_path "$named/egresos ñandú.mdb")" --egresos 200 \
  >"$work/generar.out" 2>&1 && [ -s "$named/egresos ñandú.mdb" ] &&
  wine "$app/kolt-exportar-mdb.exe" "$(windows_path "$out/project/bin/ValidacionesKOLT.db")" \
    "$(windows_path "$named/catálogo.mdb")" >"$work/exportar.out" 2>&1 &&
  [ -s "$named/catálogo.mdb" ]; then
  pass "kolt-generar and kolt-exportar-mdb write to names with accents and ñ"
else
  fail "tools with accents in their arguments: $(head -2 "$work/generar.out" "$work/exportar.out")"
fi

# Starts the window program PROGRAM (a path Wine takes) on the Access file FILE, on an X server of
# its own, in a Wine desktop of its own (one without a screen may already be running); true when
# the file was imported (its companion database appears beside it) and the program's window is on
# the screen. What Wine said goes to LOG.
window_opens() {
  local program=$1 file=$2 log=$3
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    wine explorer /desktop=kolt,1280x1024 "$1" "$2" >"$3" 2>&1 &
    for _ in $(seq 1 90); do
      sleep 1
      if [ -s "$4" ] && xwininfo -root -tree | grep -q "\"Validaciones Kolt\""; then
        echo shown >>"$3"
        break
      fi
    done
    wineserver -k' _ "$program" "$(windows_path "$file")" "$log" "$file.kolt.db" || true
  grep -qx shown "$log"
}

say "the window program, from the zip alone"
window_log=$work/window.out
cp "$work/demo/egresos-demo.mdb" "$named/demostración.mdb"
if window_opens "$app/validaciones-kolt.exe" "$named/demostración.mdb" "$window_log"; then
  pass "validaciones-kolt.exe showed its window and opened demostración.mdb"
else
  fail "validaciones-kolt.exe did not open demostración.mdb in its window: $(tail -3 "$window_log")"
fi

say "the installer, in a Wine prefix of its own"
# Installed silently into a fresh prefix, as office IT would: for the user alone (as a user without
# administrator rights gets it; Wine's user is an administrator, hence /USUARIO), then for every
# user. Each time the program's files, its Start-menu links and its "Abrir con" entries must be
# there, Access must stay the default for its files, and the silent uninstall must take all of
# that away and leave the user's data folder as it was.
setup=$out/validaciones-kolt-setup.exe
build_prefix=$WINEPREFIX
export WINEPREFIX=$work/wine-installer
# Wine's reg, quietly; its output with Windows' line ends taken off.
reg_query() { wine reg query "$@" 2>/dev/null | tr -d '\r'; }
reg_value() { reg_query "$1" "${@:2}" | sed -n 's/^ *[^ ].*  *REG_[A-Z]*  *//p'; }
windows_folder() { winepath -u "$(wine cmd /c "echo %$1%" 2>/dev/null | tr -d '\r')"; }
# Everything in a folder, with each file's checksum.
inventory() { (cd "$1" && find . -type f -exec sha256sum {} + | sort -k2); }
progid=ValidacionesKolt.BaseDeDatos
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\ValidacionesKolt'
if [ ! -f "$setup" ]; then
  fail "installer: there is no $setup"
else
  started=$SECONDS
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  say "a fresh Wine prefix in $((SECONDS - started)) s"
  data="$(windows_folder LOCALAPPDATA)/validaciones-kolt"
  for mode in usuario todos; do
    if [ $mode = usuario ]; then
      switches=(/S /USUARIO) hive=HKCU folder="$(windows_folder LOCALAPPDATA)/Programs/Validaciones Kolt"
      menu="$(windows_folder APPDATA)/Microsoft/Windows/Start Menu/Programs"
    else
      switches=(/S) hive=HKLM folder="$WINEPREFIX/drive_c/Program Files/Validaciones Kolt"
      menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
    fi
    # Access's own type for .mdb, as an office machine has it: it must stay the default.
    wine reg add "$hive\\Software\\Classes\\.mdb" /ve /d Access.MDBFile /f >/dev/null 2>&1
    started=$SECONDS
    wine "$setup" "${switches[@]}" >"$work/setup-$mode.out" 2>&1 || true
    wineserver -w
    problems=""
    for file in validaciones-kolt.exe kolt-validar.exe kolt-importar.exe ValidacionesKOLT.db \
      instalado desinstalar.exe guia/guia-de-uso.html plugins/platforms/qwindows.dll; do
      [ -s "$folder/$file" ] || problems+=" no $file;"
    done
    for link in "Validaciones Kolt.lnk" "Guía de uso de Validaciones Kolt.lnk"; do
      [ -s "$menu/$link" ] || problems+=" no Start-menu link '$link';"
    done
    # The link's target, as the link holds it.
    strings "$menu/Validaciones Kolt.lnk" 2>/dev/null | grep -qi 'Validaciones Kolt\\validaciones-kolt.exe$' ||
      problems+=" the Start-menu link does not start validaciones-kolt.exe;"
    for extension in .mdb .accdb; do
      reg_query "$hive\\Software\\Classes\\$extension\\OpenWithProgids" /v $progid | grep -q $progid ||
        problems+=" $extension has no 'Abrir con' entry;"
    done
    [ "$(reg_value "$hive\\Software\\Classes\\.mdb" /ve)" = Access.MDBFile ] ||
      problems+=" .mdb no longer opens with Access by default;"
    [ "$(reg_value "$hive\\Software\\Classes\\Applications\\validaciones-kolt.exe" /v FriendlyAppName)" = \
      "Validaciones Kolt" ] || problems+=" the program's 'Abrir con' name is missing;"
    [ "$(reg_value "$hive\\$uninstall_key" /v DisplayName)" = "Validaciones Kolt" ] ||
      problems+=" not in the list of programs;"
    if [ -n "$problems" ]; then
      fail "installed for $mode:$problems $(tail -2 "$work/setup-$mode.out")"
    else
      pass "installed for $mode in $((SECONDS - started)) s: files, Start-menu links, 'Abrir con' for .mdb and .accdb, Access still the default"
    fi

    if [ $mode = usuario ]; then
      # Run from the installed folder without --resultados: the workbooks go to the user's data
      # folder, the same as Linux writes.
      mkdir -p "$work/installed"
      cp "$work/demo/egresos-demo.mdb" "$work/installed/"
      "$linux/bin/kolt-validar" "$work/demo/egresos-demo.mdb" \
        --resultados "$work/demo/RESULTADOS-installed" >"$work/installed-linux.out"
      started=$SECONDS
      if wine "$folder/kolt-validar.exe" "$(windows_path "$work/installed/egresos-demo.mdb")" \
        >"$work/installed-windows.out" 2>&1; then
        compare_workbooks "installed kolt-validar.exe, results in the user's data folder" \
          "$work/demo/RESULTADOS-installed" "$data/RESULTADOS" "$((SECONDS - started))"
      else
        fail "installed kolt-validar.exe failed: $(tail -3 "$work/installed-windows.out")"
      fi
      # "Abrir con" runs the command registered for the program's type on the chosen file.
      command=$(reg_value "$hive\\Software\\Classes\\$progid\\shell\\open\\command" /ve)
      program=$(sed -n 's/^"\([^"]*\)" "%1"$/\1/p' <<<"$command")
      cp "$work/demo/egresos-demo.mdb" "$work/installed/abrir con.mdb"
      if [ -z "$program" ]; then
        fail "'Abrir con' runs no program on the file: $command"
      elif window_opens "$program" "$work/installed/abrir con.mdb" "$work/installed-window.out"; then
        pass "'Abrir con' started the installed validaciones-kolt.exe, which opened 'abrir con.mdb'"
      else
        fail "'Abrir con' did not open the file in the installed program's window: $(tail -3 "$work/installed-window.out")"
      fi
      # Installing again while the installed kolt-validar.exe runs would leave its old file: the
      # installer must refuse, with exit status 2, and change nothing.
      busy_results=$work/installed/RESULTADOS-en-uso
      wine "$folder/kolt-validar.exe" "$(windows_path "$work/big-windows/egresos.mdb")" \
        --resultados "$(windows_path "$busy_results")" >"$work/installed-busy.out" 2>&1 &
      running=$!
      for _ in $(seq 1 600); do
        [ -d "$busy_results/Validacion.tmp" ] && break
        sleep 0.1
      done
      before=$(inventory "$folder")
      set +e
      wine "$setup" "${switches[@]}" >"$work/setup-busy.out" 2>&1
      status=$?
      set -e
      still_running=false
      kill -0 "$running" 2>/dev/null && still_running=true
      wait "$running" || true
      if ! $still_running; then
        fail "installing over a running program: kolt-validar.exe ended before the installer ran"
      elif [ "$status" -ne 2 ] || [ "$(inventory "$folder")" != "$before" ]; then
        fail "installing over a running program: exit status $status, the folder changed or not"
      else
        pass "installing over a running kolt-validar.exe is refused with exit status 2, nothing changed"
      fi
      # The office's rules beside the results, as the user keeps them.
      mkdir -p "$data" && cp "$root/docs/examples/ReglasAdicionales.toml" "$data/"
    fi

    data_before=$(inventory "$data")
    started=$SECONDS
    # The uninstaller runs from a copy of itself, which Wine waits for here.
    wine "$folder/desinstalar.exe" /S >"$work/uninstall-$mode.out" 2>&1 || true
    wineserver -w
    problems=""
    [ ! -e "$folder" ] || problems+=" its folder stays ($(ls "$folder" | head -3 | tr '\n' ' '));"
    for link in "Validaciones Kolt.lnk" "Guía de uso de Validaciones Kolt.lnk"; do
      [ ! -e "$menu/$link" ] || problems+=" the link '$link' stays;"
    done
    for key in "$hive\\$uninstall_key" "$hive\\Software\\Classes\\$progid" \
      "$hive\\Software\\Classes\\Applications\\validaciones-kolt.exe" \
      "$hive\\Software\\Classes\\.accdb"; do
      ! reg_query "$key" >/dev/null || problems+=" the key $key stays;"
    done
    ! reg_query "$hive\\Software\\Classes\\.mdb\\OpenWithProgids" /v $progid >/dev/null ||
      problems+=" .mdb still offers the program;"
    [ "$(reg_value "$hive\\Software\\Classes\\.mdb" /ve)" = Access.MDBFile ] ||
      problems+=" Access's type for .mdb went with it;"
    [ "$(inventory "$data")" = "$data_before" ] ||
      problems+=" the user's data folder changed;"
    if [ -n "$problems" ]; then
      fail "uninstalled for $mode:$problems"
    else
      pass "uninstalled for $mode in $((SECONDS - started)) s: nothing of the program left, the user's data folder as it was ($(echo "$data_before" | wc -l) files)"
    fi
  done
  wineserver -k 2>/dev/null || true
fi
export WINEPREFIX=$build_prefix

say "the DLLs the zip's programs import"
# Part of every Windows from 8.1 on (shcore.dll, which Qt's platform plugin imports, came with
# 8.1); Wine also brings others (zlib1.dll, for one) that Windows lacks.
system_dlls=" advapi32.dll bcrypt.dll comctl32.dll comdlg32.dll crypt32.dll dnsapi.dll gdi32.dll \
imm32.dll iphlpapi.dll kernel32.dll msvcrt.dll ntdll.dll ole32.dll oleaut32.dll rpcrt4.dll \
secur32.dll setupapi.dll shell32.dll shlwapi.dll user32.dll userenv.dll uxtheme.dll version.dll \
winmm.dll ws2_32.dll dwmapi.dll dwrite.dll d2d1.dll d3d9.dll d3d11.dll dxgi.dll netapi32.dll \
wtsapi32.dll authz.dll mpr.dll shcore.dll "
strangers=""
shipped=$(cd "$app" && ls | tr '[:upper:]' '[:lower:]')
for binary in "$app"/*.exe "$app"/*.dll "$app"/plugins/*/*.dll; do
  while read -r dll; do
    lower=$(printf '%s' "$dll" | tr '[:upper:]' '[:lower:]')
    case $lower in api-ms-win-*) continue ;; esac
    if ! grep -qx "$lower" <<<"$shipped" && [[ $system_dlls != *" $lower "* ]]; then
      strangers+=" $(basename "$binary")->$dll"
    fi
  done < <($host-objdump -p "$binary" | sed -n 's/^\tDLL Name: //p')
done
if [ -z "$strangers" ]; then
  pass "every imported DLL is in the zip or in Windows ($(cd "$app" && ls *.dll | tr '\n' ' '))"
else
  fail "DLLs neither in the zip nor in Windows:$strangers"
fi

wineserver -k 2>/dev/null || true
echo "windows: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
