#!/usr/bin/python3
"""Prints each column's width as an Excel 97-2003 workbook declares it (COLINFO, read with xlrd)
and the room its widest text needs, measured with Liberation Sans (the font LibreOffice draws in
place of Arial) through Pillow: independent both of the writer and of its width table.

One line per column: "SHEET<tab>COLUMN<tab>WIDTH<tab>NEEDED<tab>TEXT", WIDTH in 1/256 of the
width of a '0' in the regular font, NEEDED the widest text's advance in the same unit (-1 when
Pillow or the font is missing), TEXT that text. The header row is measured in bold, as the writer
formats it.
Exit status 2 when xlrd cannot read the file. Run with Debian's /usr/bin/python3.
"""
import sys

import xlrd

FONTS = "/usr/share/fonts/truetype/liberation2/LiberationSans-%s.ttf"


def measurer():
    try:
        from PIL import ImageFont
        regular = ImageFont.truetype(FONTS % "Regular", 40)
        bold = ImageFont.truetype(FONTS % "Bold", 40)
    except Exception:  # no Pillow, no font: widths are still printed
        return None
    digit = regular.getlength("0")
    return lambda text, header: (bold if header else regular).getlength(text) * 256 / digit


def shown(cell):
    if cell.ctype == xlrd.XL_CELL_TEXT:
        return cell.value
    if cell.ctype == xlrd.XL_CELL_NUMBER:
        return str(int(cell.value)) if cell.value.is_integer() else repr(cell.value)
    return ""


def main():
    try:
        book = xlrd.open_workbook(sys.argv[1], formatting_info=True, logfile=sys.stderr)
    except Exception as error:
        print("xlrd: %s" % error, file=sys.stderr)
        return 2
    measure = measurer()
    out = []
    for sheet in book.sheets():
        for c in range(sheet.ncols):
            width = sheet.colinfo_map[c].width if c in sheet.colinfo_map else -1
            widest, dots = "", -1.0
            for r in range(sheet.nrows):
                text = shown(sheet.cell(r, c))
                if measure is not None:
                    d = measure(text, r == 0)
                    if d > dots:
                        widest, dots = text, d
                elif len(text) > len(widest):
                    widest = text
            out.append("%s\t%d\t%d\t%d\t%s" % (sheet.name, c, width, round(dots), widest))
    sys.stdout.buffer.write(("\n".join(out) + "\n").encode("utf-8"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
