#!/usr/bin/python3
"""Dumps an Excel 97-2003 workbook as JSON, read with xlrd (a reader independent of the writer).

Output: {"sheets": [{"name": ..., "rows": [[cell, ...], ...]}, ...]} with the sheets in workbook
order and each cell one of
  null                                   empty
  ["text", "..."]
  ["number", 1.5]
  ["date", "YYYY-MM-DD HH:MM:SS", "format", serial]
  ["bool", true]
  ["error", code]
Exit status 2 when xlrd cannot read the file (its message on stderr).

Run with Debian's /usr/bin/python3, which has python3-xlrd.
"""
import json
import sys

import xlrd


def cell_json(book, sheet, row, col):
    cell = sheet.cell(row, col)
    kind = cell.ctype
    if kind in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
        return None
    if kind == xlrd.XL_CELL_TEXT:
        return ["text", cell.value]
    if kind == xlrd.XL_CELL_NUMBER:
        return ["number", cell.value]
    if kind == xlrd.XL_CELL_DATE:
        parts = xlrd.xldate.xldate_as_tuple(cell.value, book.datemode)
        text = "%04d-%02d-%02d %02d:%02d:%02d" % parts
        fmt = book.format_map[book.xf_list[cell.xf_index].format_key].format_str
        return ["date", text, fmt, cell.value]
    if kind == xlrd.XL_CELL_BOOLEAN:
        return ["bool", bool(cell.value)]
    return ["error", cell.value]


def main():
    try:
        # xlrd writes its warnings to stdout unless told otherwise.
        book = xlrd.open_workbook(sys.argv[1], formatting_info=True, logfile=sys.stderr)
    except Exception as error:  # xlrd raises many kinds; any of them means "unreadable"
        print("xlrd: %s" % error, file=sys.stderr)
        return 2
    sheets = []
    for sheet in book.sheets():
        rows = [[cell_json(book, sheet, r, c) for c in range(sheet.ncols)]
                for r in range(sheet.nrows)]
        sheets.append({"name": sheet.name, "rows": rows})
    sys.stdout.buffer.write(json.dumps({"sheets": sheets}, ensure_ascii=False).encode("utf-8"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
