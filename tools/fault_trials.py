#!/usr/bin/python3
"""Kills and starves kolt-validar and checks that nothing is lost and nothing is torn.

  tools/fault_trials.py [--build DIR] [--kills N] [--limits N] [--imports N] [--shared N]
                        [--seed S]

Killed runs: kolt-validar is killed with SIGKILL at a random moment of a run (the statement trace
tells in which step: copying, rules, workbook writing, verdicts). Afterwards every workbook in the
results folder must open and hold whole sheets (read by tests/xls/read_xls.py, through xlrd), and
the next run must leave the folder exactly as a clean run does.

Killed imports (--imports): kolt-validar is killed while it reads a generated Access source of
20,000 discharges into its companion database and finishes it (its indexes), every other trial
with an older companion in place that the import replaces; the next start must list the same units
as an undisturbed one, the companion must pass the engine's integrity check, and nothing may stay
beside the source but the source and its companion.

Shared sources (--shared): two runs on the same Access source whose companion does not exist yet,
the second started at a random moment of the first one's import: on the same results folder (the
second must be refused with 3045 and touch nothing, the first must give the clean results) or on
two results folders (both must give the clean results).

Full disk: kolt-validar runs under a file-size limit (RLIMIT_FSIZE, through prlimit) at sizes
spread between a few kilobytes and the largest file a run writes. Every run must either finish,
naming the disk in its end message whenever a unit's verdict differs from the clean run's (and
then only as "VALIDACION INCOMPLETA"), or stop with the disk's error; no workbook may be torn,
every workbook must equal the clean run's, the source database must keep its data and pass the
engine's integrity check, and a run without the limit must again give the clean results.

Prints one line per trial and the figures at the end; exit status 1 when any trial failed. The CI
runs a few trials of each kind; by hand:
tools/fault_trials.py --kills 100 --limits 30 --imports 30 --shared 30.
"""
import argparse
import hashlib
import os
import random
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time
from collections import Counter

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
READ_XLS = os.path.join(ROOT, "tests", "xls", "read_xls.py")
RECORD_TABLES = ["EGRESO", "OBSTET", "PRODUCTOS", "DEFUNC", "AFECCIONES", "PROCEDIMIENTOS",
                 "CATCLUES"]
# What a run leaves in the results folder beside the workbooks, whatever happened: its log, its
# lock, and the history of the runs (with the journal a killed run leaves, which the next run rolls
# back).
RUN_FILES = {"Validacion.log", "Validacion.lock", "Historial.db", "Historial.db-journal"}


def verdicts_of(output):
    """The "CLUES  VERDICT  N hallazgos" lines kolt-validar prints before its end message."""
    verdicts = {}
    for line in output.splitlines():
        if line.startswith("El proceso"):
            break
        unit, verdict = line.split("  ")[:2]
        verdicts[unit] = verdict
    return verdicts


class Trials:
    def __init__(self, build, work):
        self.bin = os.path.join(build, "bin")
        self.work = work
        self.source = os.path.join(work, "origen.db")
        self.catalogue = os.path.join(self.bin, "ValidacionesKOLT.db")
        self.failures = []

    def command(self, results, extra=()):
        return [os.path.join(self.bin, "kolt-validar"), self.source, "--catalogo", self.catalogue,
                "--resultados", results, *extra]

    def fail(self, trial, message):
        self.failures.append("%s: %s" % (trial, message))
        print("  FALLO " + message)

    # A folder's workbooks read back, and its other files by name.
    def snapshot(self, results, trial):
        books, others = {}, set()
        for name in sorted(os.listdir(results) if os.path.isdir(results) else []):
            path = os.path.join(results, name)
            if name.endswith(".xls"):
                read = subprocess.run(["/usr/bin/python3", READ_XLS, path], capture_output=True)
                if read.returncode != 0:
                    self.fail(trial, "libro roto %s: %s" % (name, read.stderr.decode().strip()))
                # The sheet Ejecucion of Hallazgos.xls, and a unit's Resumen and Seguimiento, say
                # when each run ran and what it was compared with: the sheets before them agree.
                books[name] = read.stdout.split(b"sheet\tEjecucion\n")[0].split(
                    b"sheet\tResumen\n")[0]
            elif name not in RUN_FILES:
                others.add(name)
        return books, others

    def source_data(self):
        db = sqlite3.connect(self.source)
        try:
            if db.execute("PRAGMA integrity_check").fetchone()[0] != "ok":
                return "dañada"
            digest = hashlib.sha256()
            for table in RECORD_TABLES:
                for row in db.execute("SELECT * FROM %s ORDER BY rowid" % table):
                    digest.update(repr(row).encode())
            return digest.hexdigest()
        finally:
            db.close()

    def reference(self):
        generate = [os.path.join(self.bin, "kolt-generar"), self.source, "--egresos", "600",
                    "--unidades", "3", "--errores", "0.05", "--semilla", "7"]
        subprocess.run(generate, check=True, capture_output=True)
        self.clean = os.path.join(self.work, "LIMPIO")
        started = time.monotonic()
        run = subprocess.run(self.command(self.clean), capture_output=True, text=True)
        self.duration = time.monotonic() - started
        if run.returncode != 0:
            sys.exit("la ejecución limpia falló: " + run.stdout + run.stderr)
        self.verdicts = verdicts_of(run.stdout)
        self.expected = self.snapshot(self.clean, "limpia")
        self.data = self.source_data()

    def matches_clean(self, results, trial):
        books, others = self.snapshot(results, trial)
        if others:
            self.fail(trial, "quedaron archivos: %s" % sorted(others))
        if books != self.expected[0]:
            differ = sorted(n for n in set(books) | set(self.expected[0])
                            if books.get(n) != self.expected[0].get(n))
            self.fail(trial, "libros distintos de la ejecución limpia: %s" % differ)

    def rerun(self, results, trial):
        run = subprocess.run(self.command(results), capture_output=True, text=True)
        if run.returncode != 0:
            self.fail(trial, "la ejecución siguiente falló: " + run.stdout + run.stderr)
        self.matches_clean(results, trial)

    @staticmethod
    def step_of(results):
        """What the killed run was doing, told by what it left in its work folder."""
        work = os.path.join(results, "Validacion.tmp")
        names = os.listdir(work) if os.path.isdir(work) else []
        if any(n.endswith(".tmp") for n in names):
            return "escribiendo un libro"
        if any(n.endswith(".xls") for n in names):
            return "reglas, libro empezado"
        if any(n.endswith(".db") for n in names):
            return "copia o reglas"
        return "fuera de una unidad"

    def kills(self, count, rng):
        results = os.path.join(self.work, "MUERTES")
        steps = Counter()
        for i in range(count):
            trial = "muerte %d" % (i + 1)
            delay = rng.uniform(0, self.duration * 1.1)
            child = subprocess.Popen(self.command(results),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(delay)
            child.send_signal(signal.SIGKILL)
            child.wait()
            step = self.step_of(results) if child.returncode == -signal.SIGKILL else "terminada"
            steps[step] += 1
            print("%s a los %.2f s (%s)" % (trial, delay, step))
            self.snapshot(results, trial)
            if self.source_data() != self.data:
                self.fail(trial, "la base de origen cambió o está dañada")
            self.rerun(results, trial)
        return steps

    def imports(self, count, rng, sample):
        """Kills kolt-validar while it imports an Access source into its companion."""
        folder = os.path.join(self.work, "ACCESS")
        os.makedirs(folder)
        source = os.path.join(folder, os.path.basename(sample))
        shutil.copyfile(sample, source)
        listing = [os.path.join(self.bin, "kolt-validar"), "--unidades", source, "--resultados",
                   os.path.join(folder, "R")]
        started = time.monotonic()
        clean = subprocess.run(listing, capture_output=True, text=True)
        duration = time.monotonic() - started
        companion = source + ".kolt.db"
        steps = Counter()
        seen = set()
        for i in range(count):
            trial = "importación %d" % (i + 1)
            replaced = i % 2 == 1
            if replaced:
                # The file saved again: the companion in place is replaced by the next import.
                if not os.path.exists(companion):
                    subprocess.run(listing, capture_output=True)
                stamp = os.stat(source)
                os.utime(source, ns=(stamp.st_atime_ns, stamp.st_mtime_ns + 1_000_000_000))
            elif os.path.exists(companion):
                os.remove(companion)
            delay = rng.uniform(0, duration)
            child = subprocess.Popen(listing, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(delay)
            child.send_signal(signal.SIGKILL)
            child.wait()
            cut = child.returncode == -signal.SIGKILL
            if not cut:
                step = "terminada"
            else:
                step = "cortada, " + ("reemplazando" if replaced else "sin acompañante")
            steps[step] += 1
            print("%s a los %.2f s (%s)" % (trial, delay, step))
            # An importer left running by its dead parent must not publish a companion later.
            time.sleep(0.5)
            again = subprocess.run(listing, capture_output=True, text=True)
            if (again.returncode, again.stdout, again.stderr) != (
                    clean.returncode, clean.stdout, clean.stderr):
                self.fail(trial, "la lista de unidades cambió: " + again.stdout + again.stderr)
            if os.path.exists(companion):
                db = sqlite3.connect(companion)
                # The program's indexes sort under its own text comparison.
                db.create_collation("KOLT", lambda a, b: (a.lower() > b.lower()) -
                                    (a.lower() < b.lower()))
                try:
                    check = db.execute("PRAGMA quick_check").fetchone()[0]
                except sqlite3.DatabaseError as e:
                    check = str(e)
                db.close()
                if check != "ok":
                    self.fail(trial, "el acompañante quedó dañado: " + check)
            left = set(os.listdir(folder)) - {os.path.basename(source),
                                              os.path.basename(companion), "R"} - seen
            if left:
                self.fail(trial, "quedaron archivos junto al origen: %s" % sorted(left))
                seen |= left
        return steps

    def shared(self, count, rng):
        """Two runs on one Access source without a companion, the second during the first's
        import: on one results folder, or on two."""
        outcomes = Counter()
        if count == 0:
            return outcomes
        folder = os.path.join(self.work, "COMPARTIDA")
        os.makedirs(folder)
        source = os.path.join(folder, "origen.mdb")
        subprocess.run([os.path.join(self.bin, "kolt-exportar-mdb"), self.source, source],
                       check=True, capture_output=True)
        companion = source + ".kolt.db"

        def command(results):
            return [os.path.join(self.bin, "kolt-validar"), source, "--catalogo", self.catalogue,
                    "--resultados", results]

        clean_results = os.path.join(folder, "LIMPIO")
        started = time.monotonic()
        subprocess.run(command(clean_results), check=True, capture_output=True)
        duration = time.monotonic() - started
        clean, _ = self.snapshot(clean_results, "compartida limpia")
        for i in range(count):
            same = i % 2 == 0
            trial = "compartida %d (%s)" % (i + 1, "una carpeta" if same else "dos carpetas")
            os.remove(companion)
            first_results = os.path.join(folder, "A%d" % i)
            second_results = first_results if same else os.path.join(folder, "B%d" % i)
            delay = rng.uniform(0, duration / 2)
            first = subprocess.Popen(command(first_results), stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, text=True)
            time.sleep(delay)
            second = subprocess.run(command(second_results), capture_output=True, text=True)
            out, err = first.communicate()
            print("%s, la segunda a los %.2f s" % (trial, delay))
            runs = [(first.returncode, out, err), (second.returncode, second.stdout,
                                                     second.stderr)]
            refused = [r for r in runs if r[0] == 1 and r[2].startswith("3045 - ")]
            finished = [r for r in runs if r[0] == 0]
            if len(finished) == 2:
                outcome = "las dos terminadas"
            elif same and len(finished) == 1 and len(refused) == 1:
                outcome = "una rechazada"
            else:
                outcome = "fallo"
                self.fail(trial, "salidas %s" % [(r[0], (r[1] + r[2])[-300:]) for r in runs])
            outcomes[outcome] += 1
            for results in sorted({first_results, second_results}):
                books, _ = self.snapshot(results, trial)
                if books != clean:
                    differ = sorted(n for n in set(books) | set(clean)
                                    if books.get(n) != clean.get(n))
                    self.fail(trial, "libros distintos de la ejecución limpia en %s: %s"
                              % (os.path.basename(results), differ))
            left = set(os.listdir(folder)) - {"origen.mdb", "origen.mdb.kolt.db", "LIMPIO"}
            left = {n for n in left if not n.startswith(("A", "B"))}
            if left:
                self.fail(trial, "quedaron archivos junto al origen: %s" % sorted(left))
        return outcomes

    def limits(self, count):
        outcomes = Counter()
        if count == 0:
            return outcomes
        # One limit below the source, which stops the run at its first write; the rest between
        # the source's size and twice it, where the working databases and the workbooks fill up.
        low = os.path.getsize(self.source) + 4096
        sizes = [4096] + [int(low * 2 ** (k / max(count - 2, 1))) for k in range(count - 1)]
        pristine = os.path.join(self.work, "origen-limpio.db")
        shutil.copyfile(self.source, pristine)
        for size in sizes:
            trial = "límite %d bytes" % size
            shutil.copyfile(pristine, self.source)
            results = os.path.join(self.work, "LLENO-%d" % size)
            run = subprocess.run(["prlimit", "--fsize=%d" % size, *self.command(results)],
                                 capture_output=True, text=True)
            out = run.stdout + run.stderr
            incomplete = 0
            if run.returncode == 0:
                for unit, verdict in verdicts_of(run.stdout).items():
                    if verdict != self.verdicts.get(unit):
                        incomplete += 1
                        if verdict != "VALIDACION INCOMPLETA":
                            self.fail(trial, "%s quedó %s" % (unit, verdict))
                if incomplete and "No quedó espacio en el disco" not in out:
                    self.fail(trial, "el mensaje final no nombra el disco: " + out)
                outcome = "terminada, %d incompletas" % incomplete
            elif run.returncode == 1 and out.startswith("3026 - "):
                outcome = "detenida por el disco"
            elif (run.returncode == 1 and "No quedó espacio en el disco" in out
                  and "No se pudo escribir el resumen de hallazgos" in out):
                # A run that could not write its summary of findings does not end as finished.
                outcome = "terminada sin resumen"
            else:
                self.fail(trial, "salida %d: %s" % (run.returncode, out))
                outcome = "fallo"
            outcomes[outcome] += 1
            print("%s: %s" % (trial, outcome))
            if os.path.isdir(results):
                books, _ = self.snapshot(results, trial)
                for name, dump in books.items():
                    # The summaries differ wherever a unit is incomplete; its verdicts are above.
                    summary = name in ("ResultadosVal.xls", "Hallazgos.xls")
                    if not summary and self.expected[0].get(name) != dump:
                        self.fail(trial, "%s difiere del de la ejecución limpia" % name)
            if self.source_data() != self.data:
                self.fail(trial, "la base de origen cambió o está dañada")
            self.rerun(results, trial)
        return outcomes


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(ROOT, "build"))
    parser.add_argument("--kills", type=int, default=100)
    parser.add_argument("--limits", type=int, default=30)
    parser.add_argument("--imports", type=int, default=0,
                        help="kills during the import of a generated Access file")
    parser.add_argument("--shared", type=int, default=0,
                        help="two runs on one Access source during its import")
    parser.add_argument("--seed", type=int, default=None)
    args = parser.parse_args()
    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    rng = random.Random(seed)
    with tempfile.TemporaryDirectory(prefix="kolt-fallas-") as work:
        trials = Trials(args.build, work)
        trials.reference()
        print("semilla %d; ejecución limpia %.2f s; origen de %d bytes"
              % (seed, trials.duration, os.path.getsize(trials.source)))
        steps = trials.kills(args.kills, rng)
        imports = Counter()
        if args.imports > 0:
            sample = os.path.join(work, "egresos.mdb")
            subprocess.run([os.path.join(trials.bin, "kolt-generar"), sample, "--egresos", "20000",
                            "--unidades", "4"], check=True, capture_output=True)
            imports = trials.imports(args.imports, rng, sample)
        shared = trials.shared(args.shared, rng)
        outcomes = trials.limits(args.limits)
    print("muertes: %d (%s)" % (args.kills, ", ".join("%s %d" % kv for kv in sorted(steps.items()))))
    print("importaciones: %d (%s)" % (args.imports,
                                       ", ".join("%s %d" % kv for kv in sorted(imports.items()))))
    print("compartidas: %d (%s)" % (args.shared,
                                     ", ".join("%s %d" % kv for kv in sorted(shared.items()))))
    print("límites: %d (%s)" % (args.limits,
                                ", ".join("%s: %d" % kv for kv in sorted(outcomes.items()))))
    print("fallos: %d" % len(trials.failures))
    for failure in trials.failures:
        print("  " + failure)
    return 1 if trials.failures else 0


if __name__ == "__main__":
    sys.exit(main())
