"""Compares an imported engine database with the JSON dump another Access reader made of the same
sample: format, tables in order, columns with their declared types, and every value.

  compare_import.py DUMP.json IMPORTED.db FORMAT
FORMAT is the one the import reported. Prints each difference and exits 1 when there is any.
"""
import hashlib
import json
import sqlite3
import struct
import sys
from decimal import Decimal

TYPES = {"boolean": "BOOLEAN", "byte": "TINYINT", "integer": "SMALLINT", "long": "INTEGER",
         "bigint": "BIGINT", "currency": "CURRENCY", "float": "FLOAT", "double": "DOUBLE",
         "datetime": "DATETIME", "datetimextended": "DATETIME", "text": "TEXT", "memo": "LONGTEXT",
         "binary": "BLOB", "ole": "BLOB", "repid": "CHAR(38)", "numeric": "DECIMAL(p,s)"}
# Where the dump itself is wrong: the calculated column of the extended-date sample holds
# [DateNormal]; the other reader does not unwrap calculated values and gives 1899-12-30.
CALCULATED = {"extDateTestV2019.accdb": {"DateNormalCalc": "DateNormal"}}
# The five Jet3 bytes Windows-1252 leaves undefined: the other reader gives U+FFFD, we give what
# Windows gives (U+0081 ...); either, or libmdb's '?', is acceptable.
UNDEFINED = set("\x81\x8d\x8f\x90\x9d?")


def as_single(v):
    return struct.unpack("f", struct.pack("f", float(v)))[0]


def date(v):
    return v.replace("T", " ").removesuffix(".0000000")


# The dump's values as the import must store them.
CONVERT = {"boolean": lambda v: -1 if v else 0, "float": as_single, "datetime": date,
           "datetimextended": date, "repid": lambda v: "{" + v.upper() + "}",
           "binary": lambda v: (v["bytes"], v["sha256"]), "ole": lambda v: (v["bytes"], v["sha256"])}


def same(kind, want, got):
    if want is None or got is None:
        return want is got
    if kind in ("boolean", "byte", "integer", "long", "bigint"):
        return type(got) is int and got == want
    if kind == "float":
        return type(got) is float and "%.9g" % as_single(got) == "%.9g" % want
    if kind == "double":
        return type(got) is float and "%.17g" % got == "%.17g" % float(want)
    if kind in ("currency", "numeric"):
        # Stored as numbers so the rules compare them as numbers; printed back with the dump's
        # decimals they must give exactly the dump's digits.
        decimals = len(want) - want.index(".") - 1 if "." in want else 0
        return type(got) in (int, float) and format(Decimal(got), ".%df" % decimals) == want
    if kind in ("binary", "ole"):
        return type(got) is bytes and (len(got), hashlib.sha256(got).hexdigest()) == want
    return type(got) is str and len(got) == len(want) and all(
        w == g or (w == "\ufffd" and g in UNDEFINED) for w, g in zip(want, got))


dump_file, database, imported_format = sys.argv[1:4]
dump = json.load(open(dump_file, encoding="utf-8"))
sample = dump_file.rsplit("/", 1)[-1][: -len(".json")]
db = sqlite3.connect("file:%s?mode=ro" % database, uri=True)
db.text_factory = lambda b: b.decode("utf-8", "surrogateescape")
problems = []
if imported_format != dump["format"]:
    problems.append("format %s, the dump says %s" % (imported_format, dump["format"]))
tables = [n for (n,) in db.execute("SELECT name FROM sqlite_master WHERE type='table' "
                                   "ORDER BY rowid") if n != "kolt_origen"]
if tables != [t["name"] for t in dump["tables"]]:
    problems.append("tables %s" % tables)
    dump["tables"] = []
for table in dump["tables"]:
    name = table["name"]
    names, kinds = [c["name"] for c in table["columns"]], [c["type"] for c in table["columns"]]
    columns = db.execute("SELECT name, type FROM pragma_table_info(?)", (name,)).fetchall()
    want_columns = [(n, TYPES.get(k, "?")) for n, k in zip(names, kinds)]
    # An exact number keeps the precision and scale of its column.
    got_columns = [(n, "DECIMAL(p,s)" if k == "numeric" and t.startswith("DECIMAL(") else t)
                   for (n, t), k in zip(columns, kinds)]
    if got_columns != want_columns:
        problems.append("%s: columns %s, the dump says %s" % (name, got_columns, want_columns))
        continue
    want_rows = [[CONVERT[k](v) if v is not None and k in CONVERT else v
                  for k, v in zip(kinds, row)] for row in table["rows"]]
    for to, source in CALCULATED.get(sample, {}).items():
        for row in want_rows:
            row[names.index(to)] = row[names.index(source)]
    rows = db.execute('SELECT * FROM "%s" ORDER BY rowid' % name.replace('"', '""')).fetchall()
    if len(rows) != len(want_rows):
        problems.append("%s: %d rows, the dump has %d" % (name, len(rows), len(want_rows)))
        continue
    # Rows moved to overflow pages come where their data lies; the other reader and we agree on
    # that order, but Access itself would follow the forwarding pointers: compared as sets.
    if sample == "overflowTestV2000.mdb":
        rows.sort(key=repr)
        want_rows.sort(key=repr)
    for r, (want, got) in enumerate(zip(want_rows, rows)):
        for c, kind in enumerate(kinds):
            if not same(kind, want[c], got[c]):
                problems.append("%s row %d column %s: expected %r, imported %r"
                                % (name, r, names[c], want[c], got[c]))
print("\n".join(problems[:50]))
sys.exit(1 if problems else 0)
