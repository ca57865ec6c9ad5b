#!/usr/bin/env python3
"""The user's guide as web pages, for the Windows installer (Windows opens no Markdown file).

    render_guide.py OUTPUT_FOLDER FILE.md...

Each FILE.md becomes OUTPUT_FOLDER/FILE.html through cmark-gfm (its tables included); the pictures
beside the first file are copied along. Headings get the anchors the guide's table of contents
links to (as the repository's web view names them), and links between the Markdown files point
to their pages.
"""

import html
import pathlib
import re
import shutil
import subprocess
import sys
import unicodedata


def anchor(heading_html):
    """The anchor a heading is known by: its text in lower case, spaces as hyphens, and only
    letters, digits, hyphens and underscores kept."""
    text = html.unescape(re.sub(r"<[^>]*>", "", heading_html)).strip().lower()
    kept = "".join(
        c for c in text if c in " -_" or unicodedata.category(c)[0] in "LN"
    )
    return kept.replace(" ", "-")


def page(markdown_file):
    body = subprocess.run(
        ["cmark-gfm", "--unsafe", "-e", "table", "-e", "autolink", str(markdown_file)],
        check=True,
        capture_output=True,
        text=True,
    ).stdout
    body = re.sub(
        r"<h([1-6])>(.*?)</h\1>",
        lambda m: f'<h{m[1]} id="{html.escape(anchor(m[2]))}">{m[2]}</h{m[1]}>',
        body,
    )
    body = re.sub(r'href="([^":#]+)\.md(#[^"]*)?"', r'href="\1.html\2"', body)
    title = re.search(r"<h1[^>]*>(.*?)</h1>", body)
    title = re.sub(r"<[^>]*>", "", title[1]) if title else markdown_file.stem
    return f"""<!DOCTYPE html>
<html lang="es">
<head>
<meta charset="utf-8">
<title>{title}</title>
<style>
body {{ font-family: "Segoe UI", sans-serif; max-width: 52em; margin: 2em auto; padding: 0 1em;
       line-height: 1.5; }}
img {{ max-width: 100%; border: 1px solid #ccc; }}
code, pre {{ background: #f4f4f4; }}
pre {{ padding: 0.5em; overflow-x: auto; }}
table {{ border-collapse: collapse; }}
th, td {{ border: 1px solid #ccc; padding: 0.2em 0.5em; vertical-align: top; }}
</style>
</head>
<body>
{body}</body>
</html>
"""


def main():
    if len(sys.argv) < 3:
        sys.exit("uso: render_guide.py CARPETA ARCHIVO.md...")
    output = pathlib.Path(sys.argv[1])
    output.mkdir(parents=True, exist_ok=True)
    sources = [pathlib.Path(name) for name in sys.argv[2:]]
    for source in sources:
        (output / (source.stem + ".html")).write_text(page(source), encoding="utf-8")
    for picture in sources[0].parent.glob("*.png"):
        shutil.copy(picture, output / picture.name)


if __name__ == "__main__":
    main()
