#!/usr/bin/python3
"""Checks the column widths of the first sheet of an Excel 97-2003 workbook, as the file declares
them (COLINFO, read with xlrd), against the room each column's widest text needs, measured with
Liberation Sans (the font LibreOffice draws in place of Arial) through Pillow, the header row in
bold as the writer formats it: independent both of the writer and of its width table. Prints each
fault; exit status 1 on one, 77 without Pillow or the font. Run with Debian's /usr/bin/python3.
"""
import sys

import xlrd

FONTS = "/usr/share/fonts/truetype/liberation2/LiberationSans-%s.ttf"
try:
    from PIL import ImageFont
    FACES = [ImageFont.truetype(FONTS % face, 40) for face in ("Regular", "Bold")]
except Exception:
    sys.exit(77)

sheet = xlrd.open_workbook(sys.argv[1], formatting_info=True).sheet_by_index(0)
faults, widths = [], []
for c in range(sheet.ncols):
    width = sheet.colinfo_map[c].width if c in sheet.colinfo_map else -1
    texts = [str(sheet.cell_value(r, c)) for r in range(sheet.nrows)]
    needed = max(FACES[r == 0].getlength(t) * 256 / FACES[0].getlength("0") for r, t in enumerate(texts))
    # Excel keeps 5 dots of a screen beside a cell's text, where a '0' of Arial 10 is 7. Room to
    # spare, but not much more: a screen rounds each letter to whole dots, and capitals round up
    # (9 dots to a digit's 7, where the font says 8.9 to 7.4).
    usable = width - 5 * 256 / 7
    if not needed <= usable <= needed * 1.15 + 3 * 256:
        faults.append("%s: %d of 1/256 '0' for %d" % (texts[0], usable, needed))
    widths.append(width)
# The first three headers have as many characters: capitals, digits, narrow letters.
if not widths[0] > widths[1] * 1.15 or not widths[2] < widths[1] * 0.6:
    faults.append("capitals, digits and narrow letters: %s" % widths[:3])
print("\n".join(faults))
sys.exit(1 if faults else 0)
