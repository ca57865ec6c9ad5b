#!/bin/bash
# Plants faults by hand, one at a time, and tells which the tests catch: for each line
# `id|file|sed-expression` of FAULTS it edits the file, builds the test binaries of ROOMs, runs them
# and puts the file back. The sed expressions name lines of src/ as they are when the list is made:
# a fault that no longer applies is reported NOT-APPLIED, not silently skipped.
#   usage (from the source tree, its build in build/): tools/fault_plant.sh FAULTS OUT ROOM...
#   e.g. tools/fault_plant.sh tools/fault_set_late.list /tmp/late.txt run cli results forms access
# OUT gets one line a fault: CAUGHT with the failed tests per binary, MISSED, NOT-APPLIED or
# BUILD-FAILED. A tree whose build fails before any fault is planted is refused.
set -u
faults=$(realpath "$1") out=$(realpath -m "$2")
shift 2
rooms=("$@")
targets=()
for room in "${rooms[@]}"; do targets+=("test_$room"); done
logs=$(mktemp -d)
build() { cmake --build build -j2 --target "${targets[@]}" > "$logs/build.log" 2>&1; }
build || { echo "the tree does not build as it is: $logs/build.log" >&2; exit 1; }
: > "$out"
while IFS='|' read -r id file expr; do
  [[ -z "$id" || "$id" == \#* ]] && continue
  cp "$file" "$logs/original"
  sed -i "$expr" "$file"
  if cmp -s "$file" "$logs/original"; then echo "$id NOT-APPLIED" >> "$out"; continue; fi
  if ! build; then
    cp "$logs/build.log" "$logs/build-$id.log"
    echo "$id BUILD-FAILED" >> "$out"
  else
    failed=""
    for room in "${rooms[@]}"; do
      log="$logs/$id-$room.log"
      timeout 300 "./build/bin/test_$room" > "$log" 2>&1 ||
        failed="$failed $room:$(grep -c '^\[  FAILED  \] [A-Za-z]' "$log")"
    done
    if [ -n "$failed" ]; then echo "$id CAUGHT$failed" >> "$out"; else echo "$id MISSED" >> "$out"; fi
  fi
  cp "$logs/original" "$file"
  touch "$file"
done < "$faults"
build
echo "END (logs in $logs)" >> "$out"
