#!/usr/bin/env bash
# Builds the program, makes a small demonstration discharge database and validates all its units.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target kolt-validar kolt-importar kolt-demo-datos

build/bin/kolt-demo-datos build/bin build/demo/egresos-demo.db
echo "Unidades de la base de demostración:"
build/bin/kolt-validar --unidades build/demo/egresos-demo.db
build/bin/kolt-validar build/demo/egresos-demo.db
echo
echo "Libros escritos:"
ls -1 build/bin/RESULTADOS/*.xls
