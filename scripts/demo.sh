#!/usr/bin/env bash
# Builds the program and its demo catalogue, generates a small synthetic discharge database as an
# Access file and validates all its units: the path a real source takes (import into the companion
# database under a progress report, then the validation).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target kolt-validar kolt-importar kolt-generar kolt-catalogue-db

build/bin/kolt-generar build/demo/egresos-demo.mdb --egresos 3000 --unidades 5 --limpias 1 --errores 0.1
echo "Unidades de la base de demostración:"
build/bin/kolt-validar --unidades build/demo/egresos-demo.mdb
rm -rf build/demo/RESULTADOS
build/bin/kolt-validar build/demo/egresos-demo.mdb --resultados build/demo/RESULTADOS
echo
echo "Resumen (build/demo/RESULTADOS/ResultadosVal.xls) y libros por unidad:"
ls -1 build/demo/RESULTADOS/*.xls
