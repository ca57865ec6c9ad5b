#!/usr/bin/python3
"""Dumps an Excel 97-2003 workbook read with xlrd, a reader independent of the writer.

Lines "sheet NAME", "row CELL..." (cells as tests/support/workbook_reader.h describes them) and
"serial VALUE" for each date cell, fields by tabs (in a text, \\t \\n \\r \\\\ for tab, line break,
carriage return, backslash); exit status 2 when xlrd cannot read the file.
Run with Debian's /usr/bin/python3, which has python3-xlrd.
"""
import sys

import xlrd


def number(value):
    return str(int(value)) if value.is_integer() and abs(value) < 1e16 else repr(value)


def escape(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n").replace("\r", "\\r")


def describe(book, cell, serials):
    kind = cell.ctype
    if kind in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
        return ""
    if kind == xlrd.XL_CELL_TEXT:
        return "text:" + escape(cell.value)
    if kind == xlrd.XL_CELL_NUMBER:
        return "number:" + number(cell.value)
    if kind == xlrd.XL_CELL_DATE:
        serials.append(cell.value)
        parts = xlrd.xldate.xldate_as_tuple(cell.value, book.datemode)
        fmt = book.format_map[book.xf_list[cell.xf_index].format_key].format_str
        return "date:%04d-%02d-%02d %02d:%02d:%02d|" % parts + escape(fmt)
    if kind == xlrd.XL_CELL_BOOLEAN:
        return "bool:" + ("true" if cell.value else "false")
    return "error:" + number(float(cell.value))


try:
    # xlrd writes its warnings to stdout unless told otherwise.
    book = xlrd.open_workbook(sys.argv[1], formatting_info=True, logfile=sys.stderr)
except Exception as error:  # xlrd raises many kinds; any of them means "unreadable"
    print("xlrd: %s" % error, file=sys.stderr)
    sys.exit(2)
out = []
for sheet in book.sheets():
    out.append("sheet\t" + escape(sheet.name))
    serials = []
    for r in range(sheet.nrows):
        out.append("\t".join(["row"] + [describe(book, sheet.cell(r, c), serials)
                                        for c in range(sheet.ncols)]))
    out.extend("serial\t" + repr(s) for s in serials)
sys.stdout.buffer.write(("\n".join(out) + "\n").encode("utf-8"))
