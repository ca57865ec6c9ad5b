#!/usr/bin/env bash
# Builds the program and its demo catalogue, generates a small synthetic discharge database and
# validates all its units.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target kolt-validar kolt-importar kolt-generar kolt-catalogue-db

build/bin/kolt-generar build/demo/egresos-demo.db --egresos 3000 --unidades 5 --limpias 1 --errores 0.1
echo "Unidades de la base de demostración:"
build/bin/kolt-validar --unidades build/demo/egresos-demo.db
rm -rf build/demo/RESULTADOS
build/bin/kolt-validar build/demo/egresos-demo.db --resultados build/demo/RESULTADOS
echo
echo "Resumen (build/demo/RESULTADOS/ResultadosVal.xls) y libros por unidad:"
ls -1 build/demo/RESULTADOS/*.xls
