#!/usr/bin/python3
"""Dumps an Excel 97-2003 workbook read with xlrd, a reader independent of the writer.

A line "book ACTIVE FIRSTTAB" (the sheet the workbook opens on and the first tab shown), then for
each sheet "sheet NAME", "view SELECTED SHOWN" (1 or 0), "header TEXT" when it has a page header,
"row CELL..." (cells as tests/support/workbook_reader.h describes them) and "serial VALUE" for each
date cell, fields by tabs (in a text, \\t \\n \\r \\\\ for tab, line break, carriage return,
backslash); exit status 2 when xlrd cannot read the file.
Run with Debian's /usr/bin/python3, which has python3-xlrd.
"""
import struct
import sys

import xlrd
import xlrd.biffh
import xlrd.compdoc

WINDOW1, BOUNDSHEET, HEADER, EOF = 0x003D, 0x0085, 0x0014, 0x000A


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


def records(stream, position):
    """The (type, data) of the records from `position` on, up to and including the first EOF."""
    while position + 4 <= len(stream):
        kind, length = struct.unpack_from("<HH", stream, position)
        yield kind, stream[position + 4:position + 4 + length]
        if kind == EOF:
            return
        position += 4 + length


def layout(path):
    """WINDOW1's active sheet and first tab shown, and each sheet's page header (None without
    one), read record by record from the Workbook stream: xlrd reads neither."""
    with open(path, "rb") as f:
        stream = xlrd.compdoc.CompDoc(f.read(), logfile=sys.stderr).get_named_stream("Workbook")
    active = first = 0
    offsets = []
    for kind, data in records(stream, 0):
        if kind == WINDOW1:
            active, first = struct.unpack_from("<HH", data, 10)
        elif kind == BOUNDSHEET:
            offsets.append(struct.unpack_from("<I", data)[0])
    headers = []
    for offset in offsets:
        found = [data for kind, data in records(stream, offset) if kind == HEADER]
        if not found:
            headers.append(None)
        else:  # an empty record is an empty header
            headers.append(xlrd.biffh.unpack_unicode(found[0], 0, lenlen=2) if found[0] else "")
    return active, first, headers


try:
    # xlrd writes its warnings to stdout unless told otherwise.
    book = xlrd.open_workbook(sys.argv[1], formatting_info=True, logfile=sys.stderr)
    active, first, headers = layout(sys.argv[1])
    if len(headers) != book.nsheets:
        raise ValueError("the sheet list and the sheets read differ")
except Exception as error:  # xlrd raises many kinds; any of them means "unreadable"
    print("xlrd: %s" % error, file=sys.stderr)
    sys.exit(2)
out = ["book\t%d\t%d" % (active, first)]
for sheet, header in zip(book.sheets(), headers):
    out.append("sheet\t" + escape(sheet.name))
    out.append("view\t%d\t%d" % (sheet.sheet_selected, sheet.sheet_visible))
    if header is not None:
        out.append("header\t" + escape(header))
    serials = []
    for r in range(sheet.nrows):
        out.append("\t".join(["row"] + [describe(book, sheet.cell(r, c), serials)
                                        for c in range(sheet.ncols)]))
    out.extend("serial\t" + repr(s) for s in serials)
sys.stdout.buffer.write(("\n".join(out) + "\n").encode("utf-8"))
