#!/usr/bin/env python3
"""Every include in src/ runs down the flow of rooms, never up or sideways into a later room.

The include folders of the build already refuse a room a library does not link; this check also
refuses a library linked against a later room, which the linker would accept.
Exit 0 when the tree is clean, 1 with one line per offending include.
"""
import pathlib
import re
import sys

# The rooms in the order the data flows; a room may include itself and the rooms before it that
# it builds on.
BUILDS_ON = {
    "base": set(),
    "schema": {"base"},
    "access": {"schema", "base"},
    "engine": {"schema", "base"},
    "xls": {"base"},
    "access_writer": {"access", "engine", "schema", "base"},
    "rules": {"engine", "schema", "base"},
    "results": {"rules", "engine", "xls", "schema", "base"},
    "run": {"results", "rules", "access", "engine", "xls", "schema", "base"},
}
for top in ("cli", "forms"):
    BUILDS_ON[top] = {"run"} | BUILDS_ON["run"]
BUILDS_ON["app"] = {"forms"} | BUILDS_ON["forms"]

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/', re.M)


def main(src: pathlib.Path) -> int:
    rooms = {p.name for p in src.iterdir() if p.is_dir()}
    bad = [f"src/{room}: a room the flow does not know; add it to {__file__}"
           for room in sorted(rooms - BUILDS_ON.keys())]
    for path in sorted(p for p in src.rglob("*") if p.suffix in (".h", ".cpp")):
        room = path.relative_to(src).parts[0]
        allowed = BUILDS_ON.get(room, set()) | {room}
        for target in INCLUDE.findall(path.read_text(encoding="utf-8")):
            if target in rooms and target not in allowed:
                bad.append(f"{path.relative_to(src.parent)}: includes {target}/, which {room} does not build on")
    print("\n".join(bad) if bad else f"rooms: {len(rooms)}, every include runs down the flow")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1])))
