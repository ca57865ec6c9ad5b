#!/usr/bin/env python3
"""Two runs of kolt-validar with the source corrected in between, judged from their workbooks alone.

A generated source is validated; then some of its discharges are corrected, some changed to other
wrong values and some made wrong for the first time, and it is validated again into the same
results folder. What changed is computed here from the rows of both runs' rule sheets, read with
xlrd, and must equal, unit by unit, what the program wrote in Hallazgos.xls (Seguimiento) and in
each unit's Resumen; a killed third run must leave Historial.db as it was.

A finding is a rule and a record: the record is the row's "folio", or the whole row where the rule's
sheet has no folio column. This script knows nothing else of the program.

  tools/cycle_check.py --build build [--egresos 6000] [--unidades 4]
"""
import argparse
import os
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time

import xlrd


def findings(folder):
    """{unit: {(rule, record)}} from the rule sheets of every Val*.xls in `folder`."""
    found = {}
    for name in sorted(os.listdir(folder)):
        if not (name.startswith("Val") and name.endswith(".xls")):
            continue
        book = xlrd.open_workbook(os.path.join(folder, name))
        unit = None
        keys = set()
        for sheet in book.sheets():
            if not sheet.name.startswith("Validacion"):
                continue
            rule = int(sheet.name[len("Validacion"):].split(" ")[0])
            header = [str(c.value).lower() for c in sheet.row(0)]
            folio = header.index("folio") if "folio" in header else None
            clues = header.index("clues") if "clues" in header else None
            for r in range(1, sheet.nrows):
                row = [c.value for c in sheet.row(r)]
                if clues is not None and unit is None:
                    unit = row[clues]
                keys.add((rule, row[folio] if folio is not None and row[folio] != "" else tuple(row)))
        found[unit if unit is not None else name[3:-4]] = keys
    return found


def follow_up(folder):
    """{unit: (before, now, new, persisting, corrected)} from Hallazgos.xls's Seguimiento."""
    sheet = xlrd.open_workbook(os.path.join(folder, "Hallazgos.xls")).sheet_by_name("Seguimiento")
    rows = {}
    for r in range(1, sheet.nrows):
        cells = [c.value for c in sheet.row(r)]
        rows[cells[0]] = tuple(int(v) if v != "" else None for v in cells[3:8])
    return rows


def resumen_totals(folder, unit):
    """(now, new, persisting, corrected) from the unit's Resumen, its "Dato | Valor" rows."""
    path = os.path.join(folder, "Val%s.xls" % unit)
    if not os.path.exists(path):
        return None
    book = xlrd.open_workbook(path)
    if book.sheet_names()[-2:] != ["Resumen", "Seguimiento"]:
        raise SystemExit("%s: its last sheets are %s" % (path, book.sheet_names()[-2:]))
    sheet = book.sheet_by_name("Resumen")
    values = {sheet.cell_value(r, 0): sheet.cell_value(r, 1) for r in range(sheet.nrows)}
    return tuple(int(values[k]) for k in
                 ("Hallazgos (regla y registro)", "Nuevos", "Persisten", "Corregidos"))


def validar(build, source, results, **popen):
    return subprocess.Popen([os.path.join(build, "bin", "kolt-validar"), source, "--resultados",
                             results], stdout=subprocess.PIPE, stderr=subprocess.PIPE, **popen)


def history_rows(results):
    db = sqlite3.connect(os.path.join(results, "Historial.db"))
    try:
        return db.execute("SELECT count(*) FROM ejecuciones").fetchone()[0], \
            db.execute("SELECT count(*) FROM hallazgos").fetchone()[0]
    finally:
        db.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--egresos", type=int, default=6000)
    parser.add_argument("--unidades", type=int, default=4)
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    work = tempfile.mkdtemp(prefix="kolt-cycle-")
    try:
        source = os.path.join(work, "egresos.db")
        subprocess.run([os.path.join(build, "bin", "kolt-generar"), source, "--egresos",
                        str(args.egresos), "--unidades", str(args.unidades), "--errores", "0.2"],
                       check=True, stdout=subprocess.DEVNULL)
        results = os.path.join(work, "RESULTADOS")
        first = validar(build, source, results)
        first.communicate()
        before = findings(results)

        # The hospital's corrections: some fixed, some still wrong with another wrong value, some
        # wrong for the first time.
        db = sqlite3.connect(source)
        db.execute("UPDATE EGRESO SET sexo = '1' WHERE sexo NOT IN ('1', '2') AND rowid % 2 = 0")
        db.execute("UPDATE EGRESO SET edad = 0 WHERE cveedad = '3' AND edad > 130")
        db.execute("UPDATE EGRESO SET tipserv = '7' WHERE rowid % 97 = 0")
        db.execute("UPDATE EGRESO SET derhab = 'Q' WHERE rowid % 89 = 0")
        db.commit()
        db.close()
        second = validar(build, source, results)
        out, _ = second.communicate()
        after = findings(results)
        said = follow_up(results)

        failures = []
        totals = [0, 0, 0]
        for unit in sorted(set(before) | set(after) | set(said)):
            then, now = before.get(unit, set()), after.get(unit, set())
            expected = (len(then), len(now), len(now - then), len(now & then), len(then - now))
            if said.get(unit) != expected:
                failures.append("%s: Hallazgos.xls says %s, the workbooks %s" %
                                (unit, said.get(unit), expected))
            summary = resumen_totals(results, unit)
            if summary is not None and summary != expected[1:]:
                failures.append("%s: Resumen says %s, the workbooks %s" %
                                (unit, summary, expected[1:]))
            totals = [t + e for t, e in zip(totals, expected[2:])]
        if min(totals) == 0:
            failures.append("the corrections made no mix of new, persisting and corrected: %s" %
                            totals)
        if b"desde" not in out:
            failures.append("the verdict lines say nothing of the changes:\n" + out.decode())

        # A run killed halfway leaves the history as it was.
        kept = history_rows(results)
        third = validar(build, source, results, start_new_session=True)
        time.sleep(0.3)
        os.killpg(third.pid, signal.SIGKILL)
        third.communicate()
        if history_rows(results) != kept:
            failures.append("a killed run changed Historial.db: %s, then %s" %
                            (kept, history_rows(results)))

        for failure in failures:
            print("FAIL " + failure)
        print("%d units; new %d, persisting %d, corrected %d; %s" %
              (len(set(after) | set(before)), totals[0], totals[1], totals[2],
               "failed" if failures else "all agree"))
        return 1 if failures else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
