"""Turns a sample's JSON dump into lines the import tests compare against.

  T <table name hex>
  C <column name hex> <dump type>
  R <value> <value> ...        one line per row

Values: N (null), I:<integer>, F:<single as %.9g>, D:<double as %.17g>, M:<exact decimal text>,
T:<canonical date text, hex>, S:<UTF-8 hex>, G:<guid, lower case, no braces>, B:<bytes>:<sha256>.
"""
import json
import struct
import sys


def hexed(text):
    return text.encode("utf-8", "surrogatepass").hex() or "-"


def value(kind, v):
    if v is None:
        return "N"
    if kind == "boolean":
        return "I:-1" if v else "I:0"
    if kind in ("byte", "integer", "long", "bigint"):
        return "I:%d" % v
    if kind == "float":
        return "F:%.9g" % struct.unpack("f", struct.pack("f", float(v)))[0]
    if kind == "double":
        return "D:%.17g" % float(v)
    if kind in ("currency", "numeric"):
        return "M:" + v
    if kind in ("datetime", "datetimextended"):
        text = v.replace("T", " ")
        if text.endswith(".0000000"):
            text = text[: -len(".0000000")]
        return "T:" + hexed(text)
    if kind in ("text", "memo"):
        return "S:" + hexed(v)
    if kind == "repid":
        return "G:" + v.lower()
    if kind in ("binary", "ole"):
        return "B:%d:%s" % (v["bytes"], v["sha256"])
    raise SystemExit("unknown type " + kind)


def main():
    dump = json.load(open(sys.argv[1], encoding="utf-8"))
    out = ["F " + dump["format"]]
    for table in dump["tables"]:
        out.append("T " + hexed(table["name"]))
        kinds = [c["type"] for c in table["columns"]]
        for c in table["columns"]:
            out.append("C %s %s" % (hexed(c["name"]), c["type"]))
        for row in table["rows"]:
            out.append("R " + " ".join(value(k, v) for k, v in zip(kinds, row)))
    sys.stdout.write("\n".join(out) + "\n")


main()
