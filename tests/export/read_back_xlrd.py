#!/usr/bin/python3
"""Reads an exported worksheet with xlrd and checks its header row.

Usage: read_back_xlrd.py WRITER OUTPUT_FOLDER
WRITER writes the worksheet of a header-only export to the path it is given.
Exits 77 (skipped) when xlrd is not installed: apt-get install python3-xlrd.
"""
import os
import subprocess
import sys
import tempfile

try:
    import xlrd
except ImportError:
    print("skipped: python3 has no xlrd module (Debian package python3-xlrd)")
    sys.exit(77)

TITLES = ["序号", "昵称", "账号", "uid", "评论内容"]


def main():
    writer, folder = sys.argv[1], sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=folder) as scratch:
        path = os.path.join(scratch, "header.xls")
        subprocess.run([writer, path], check=True)
        size = os.path.getsize(path)
        if size != 99:
            print(f"expected 99 bytes, the file has {size}")
            return 1
        book = xlrd.open_workbook(path, encoding_override="gbk")
        sheet = book.sheet_by_index(0)
        row = [sheet.cell_value(0, column) for column in range(sheet.ncols)]
        if sheet.nrows != 1 or row != TITLES:
            print(f"expected one row {TITLES}, read {sheet.nrows} rows, first {row}")
            return 1
    print("xlrd", xlrd.__VERSION__, "reads the header row:", " ".join(TITLES))
    return 0


if __name__ == "__main__":
    sys.exit(main())
