#!/usr/bin/env bash
# Builds the program and its demo catalogue, generates a small synthetic discharge database as an
# Access file and validates all its units: the path a real source takes (import into the companion
# database under a progress report, then the validation).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release "$(scripts/sqlite-amalgamation.sh --cmake)" \
  >/dev/null
cmake --build build -j "$(nproc)" --target kolt-validar kolt-importar kolt-generar kolt-catalogue-db

build/bin/kolt-generar build/demo/egresos-demo.mdb --egresos 3000 --unidades 5 --limpias 1 --errores 0.1
echo "Unidades de la base de demostración:"
build/bin/kolt-validar --unidades build/demo/egresos-demo.mdb
echo
echo "Reglas adicionales de la oficina (docs/examples/ReglasAdicionales.toml):"
build/bin/kolt-validar --comprobar-reglas docs/examples/ReglasAdicionales.toml
rm -rf build/demo/RESULTADOS
build/bin/kolt-validar build/demo/egresos-demo.mdb --resultados build/demo/RESULTADOS \
  --reglas docs/examples/ReglasAdicionales.toml
echo
echo "Resumen (build/demo/RESULTADOS/ResultadosVal.xls) y libros por unidad:"
ls -1 build/demo/RESULTADOS/*.xls
echo
echo "Hallazgos de las reglas adicionales (build/demo/RESULTADOS/Hallazgos.xls, hoja PorRegla):"
/usr/bin/python3 - build/demo/RESULTADOS/Hallazgos.xls <<'PY'
import sys
import xlrd
sheet = xlrd.open_workbook(sys.argv[1]).sheet_by_name("PorRegla")
for r in range(1, sheet.nrows):
    number, description, units, rows, failed = sheet.row_values(r)
    if number > 113:
        print(f"  regla {int(number)}: {int(rows)} hallazgos en {int(units)} unidades. {description}")
PY
