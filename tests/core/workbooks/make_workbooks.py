#!/usr/bin/python3
"""Writes the workbook fixtures of the reader tests into this folder.

Run with Debian's /usr/bin/python3 (python3-openpyxl, python3-xlwt). The files are committed,
so the tests need neither library. The damaged files are cut or patched from the sound ones.
"""
import datetime
import io
import os
import re
import zipfile

import openpyxl
from openpyxl.utils.datetime import CALENDAR_MAC_1904
import xlwt

HERE = os.path.dirname(os.path.abspath(__file__))


def path(name):
    return os.path.join(HERE, name)


def people_rows():
    # Header, then numbers as numeric cells and as text, a date, a date-time, a fraction.
    return [
        ["姓名", "手机", "生日", "登记", "积分"],
        ["张三", 13900139000, datetime.date(1985, 12, 31), 31412.99930555555, 3.14159265358979323],
        ["李四", "+86 138 0013 8000", datetime.date(2000, 2, 29), 36585.5, -0.1],
        ["王五", 13800000000, datetime.date(1970, 1, 1), 25569.0, 123456789012345678.0],
    ]


def write_xlsx():
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "号码"
    for r, row in enumerate(people_rows()):
        for c, value in enumerate(row):
            cell = ws.cell(row=3 + r, column=2 + c, value=value)
            if c == 2:
                cell.number_format = "yyyy\\-mm\\-dd"  # custom, letters outside quotes
            elif c == 3 and r > 0:
                cell.number_format = "yyyy-mm-dd hh:mm:ss"
    ws.cell(row=7, column=2, value=True)
    ws.cell(row=7, column=3, value="#N/A")
    ws.cell(row=7, column=4, value=45000).number_format = '"Day "0.00'  # d inside quotes: a number
    ws.cell(row=7, column=5, value=0.75).number_format = "[Red]0.00"  # letters in brackets only
    wb.create_sheet("空表")
    third = wb.create_sheet("Sheet3")
    third["A1"] = "甲"
    third["A2"] = "乙"
    third["C2"] = "丙"
    wb.active = 2
    wb.save(path("people.xlsx"))

    wb = openpyxl.Workbook()
    wb.epoch = CALENDAR_MAC_1904
    ws = wb.active
    ws.title = "Mac"
    ws["A1"] = datetime.datetime(2011, 5, 17, 8, 30, 0)
    ws["A1"].number_format = "yyyy-mm-dd hh:mm:ss"
    ws["A2"] = 0
    ws["A2"].number_format = "mm-dd-yy"  # built-in format 14
    wb.save(path("mac1904.xlsx"))


def shared_strings_variant():
    # The same workbook with Sheet3 moved to a shared-string table, as office suites write it:
    # a plain entry, a rich-text entry in runs and an entry with a phonetic guide.
    src = zipfile.ZipFile(path("people.xlsx"))
    out = io.BytesIO()
    dst = zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED)
    for item in src.infolist():
        data = src.read(item.filename)
        if item.filename == "xl/worksheets/sheet3.xml":
            text = data.decode("utf-8")
            counter = iter(range(3))
            text = re.sub(r't="inlineStr"><is><t>[^<]*</t></is>', lambda m: 't="s"><v>%d</v>' % next(counter),
                          text)
            assert "inlineStr" not in text
            data = text.encode("utf-8")
        elif item.filename == "xl/_rels/workbook.xml.rels":
            data = data.replace(b"</Relationships>",
                                b'<Relationship Id="rIdSst" Target="strings/table.xml" Type="http://schemas.'
                                b'openxmlformats.org/officeDocument/2006/relationships/sharedStrings"/>'
                                b"</Relationships>")
        elif item.filename == "[Content_Types].xml":
            data = data.replace(b"</Types>",
                                b'<Override PartName="/xl/strings/table.xml" ContentType="application/vnd.'
                                b'openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/></Types>')
        dst.writestr(item, data)
    sst = ('<?xml version="1.0" encoding="UTF-8"?>'
           '<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="3" uniqueCount="3">'
           '<si><t>共享甲</t></si>'
           '<si><r><rPr><b/></rPr><t xml:space="preserve">共享 </t></r><r><t>乙</t></r></si>'
           '<si><t>丙</t><rPh sb="0" eb="1"><t>BING</t></rPh></si>'
           '</sst>')
    dst.writestr("xl/strings/table.xml", sst)
    dst.close()
    with open(path("shared.xlsx"), "wb") as f:
        f.write(out.getvalue())


def write_xls():
    wb = xlwt.Workbook(encoding="utf-8")
    ws = wb.add_sheet("号码")
    date_style = xlwt.easyxf(num_format_str="yyyy-mm-dd")
    stamp_style = xlwt.easyxf(num_format_str="yyyy-mm-dd hh:mm:ss")
    for r, row in enumerate(people_rows()):
        for c, value in enumerate(row):
            if c == 2 and r > 0:
                ws.write(2 + r, 1 + c, value, date_style)
            elif c == 3 and r > 0:
                ws.write(2 + r, 1 + c, value, stamp_style)
            else:
                ws.write(2 + r, 1 + c, value)
    wb.add_sheet("空表")
    third = wb.add_sheet("Sheet3")
    third.write(0, 0, "甲")
    third.write(1, 2, "丙")
    ws.selected = False
    wb.active_sheet = 2  # the sheet in front when saved, as in people.xlsx
    wb.save(path("people.xls"))


def damaged_files():
    for name in ("people.xlsx", "people.xls"):
        with open(path(name), "rb") as f:
            data = f.read()
        stem, ext = os.path.splitext(name)
        with open(path("truncated" + ext), "wb") as f:
            f.write(data[: len(data) // 2])

    with open(path("notes.xlsx"), "wb") as f:
        f.write("这不是工作簿，只是一段文字。\r\n".encode("gbk"))

    # A zip archive that holds no workbook.
    with zipfile.ZipFile(path("archive.xlsx"), "w") as z:
        z.writestr("readme.txt", "nothing here")

    # A workbook protected with a password to open: the record that announces the encryption
    # stands in the globals before the sheets, in the place of the writer's access record.
    with open(path("people.xls"), "rb") as f:
        data = bytearray(f.read())
    at = data.find(b"\x5c\x00\x70\x00")
    assert at > 0
    data[at:at + 2] = b"\x2f\x00"
    data[at + 4:at + 6] = b"\x01\x00"  # RC4
    with open(path("encrypted.xls"), "wb") as f:
        f.write(data)

    # An encrypted OOXML workbook is a compound document whose package stream is encrypted.
    with open(path("people.xls"), "rb") as f:
        data = bytearray(f.read())
    name = "Workbook".encode("utf-16-le")
    at = data.find(name + b"\x00\x00")
    assert at > 0
    new = "EncryptedPackage".encode("utf-16-le") + b"\x00\x00"
    data[at:at + len(new)] = new
    data[at + 64:at + 66] = len(new).to_bytes(2, "little")
    with open(path("encrypted.xlsx"), "wb") as f:
        f.write(data)


def replace_sheet(source, target, sheet_xml_writer):
    """Copies a workbook with its first sheet's part written anew by sheet_xml_writer(file)."""
    src = zipfile.ZipFile(path(source))
    with zipfile.ZipFile(path(target), "w", zipfile.ZIP_DEFLATED, compresslevel=9) as dst:
        for item in src.infolist():
            if item.filename == "xl/worksheets/sheet1.xml":
                info = zipfile.ZipInfo(item.filename, date_time=item.date_time)
                info.compress_type = zipfile.ZIP_DEFLATED
                with dst.open(info, "w", force_zip64=True) as out:
                    sheet_xml_writer(out)
            else:
                dst.writestr(item, src.read(item.filename))


SHEET_HEAD = b'<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'


def hostile_files():
    # A claimed dimension of the whole sheet around one cell: the used range is that cell.
    def claimed(out):
        out.write(SHEET_HEAD + b'<dimension ref="A1:XFD1048576"/><sheetData>'
                  b'<row r="1048576"><c r="XFD1048576"><v>7</v></c></row></sheetData></worksheet>')
    replace_sheet("mac1904.xlsx", "corner.xlsx", claimed)

    # Rows out of order and a cell written twice (the later one counts), as hand-made files have.
    def unordered(out):
        out.write(SHEET_HEAD + b'<sheetData><row r="5"><c r="C5"><v>5</v></c></row>'
                  b'<row r="2"><c r="B2"><v>1</v></c><c r="B2" t="inlineStr"><is><t>second</t></is></c></row>'
                  b'</sheetData></worksheet>')
    replace_sheet("mac1904.xlsx", "unordered.xlsx", unordered)

    # A cell a million columns to the right of A.
    def wide(out):
        out.write(SHEET_HEAD + b'<sheetData><row r="1"><c r="BDWGN1"><v>1</v></c></row></sheetData></worksheet>')
    replace_sheet("mac1904.xlsx", "wide.xlsx", wide)

    # 20 MB of one cell written again and again, packed to a few kilobytes; the tests read it
    # with a lower limit on unpacked bytes.
    def bomb(out):
        out.write(SHEET_HEAD + b"<sheetData>")
        rows = b'<row r="1"><c r="A1"><v>1</v></c></row>' * 26000
        for _ in range(20):
            out.write(rows)
        out.write(b"</sheetData></worksheet>")
    replace_sheet("mac1904.xlsx", "bomb.xlsx", bomb)

    # 20 MB of blanks between two tags, which a parser would hold as one text.
    def blanks(out):
        out.write(SHEET_HEAD + b"<sheetData>")
        for _ in range(20):
            out.write(b" " * (1 << 20))
        out.write(b"</sheetData></worksheet>")
    replace_sheet("mac1904.xlsx", "blanks.xlsx", blanks)

    # The same bomb with its unpacked size written as 1 KB in the archive's headers: the local
    # header (and its zip64 field) and the central directory entry.
    with open(path("bomb.xlsx"), "rb") as f:
        data = bytearray(f.read())
    name = b"xl/worksheets/sheet1.xml"
    patched = 0
    for signature, size_at in ((b"PK\x03\x04", 22), (b"PK\x01\x02", 24)):
        at = data.find(signature)
        while at >= 0:
            name_at = at + (30 if signature == b"PK\x03\x04" else 46)
            if data[name_at:name_at + len(name)] == name:
                if data[at + size_at:at + size_at + 4] == b"\xff\xff\xff\xff":
                    extra_at = name_at + len(name)
                    # zip64 extra: id, length, then the uncompressed size first
                    assert data[extra_at:extra_at + 2] == b"\x01\x00"
                    data[extra_at + 4:extra_at + 12] = (1024).to_bytes(8, "little")
                else:
                    data[at + size_at:at + size_at + 4] = (1024).to_bytes(4, "little")
                patched += 1
            at = data.find(signature, at + 4)
    assert patched == 2
    with open(path("liar.xlsx"), "wb") as f:
        f.write(data)


def long_strings_rows():
    # Enough strings for the shared-string table to run on through CONTINUE records, cutting
    # wide, narrow and rich-text strings at the record ends.
    rows = []
    for i in range(200):
        rows.append(("%03d" % i + "号码簿" * 10, "latin-%03d-" % i + "x" * 40, "甲乙%03d" % i))
    return rows


def write_long_strings():
    wb = xlwt.Workbook(encoding="utf-8")
    ws = wb.add_sheet("长")
    bold = xlwt.easyfont("bold true")
    for r, (wide, narrow, rich) in enumerate(long_strings_rows()):
        ws.write(r, 0, wide)
        ws.write(r, 1, narrow)
        ws.write_rich_text(r, 2, [rich[:2], (rich[2:], bold)])
    wb.save(path("long-strings.xls"))


def biff_records(data):
    """The records of people.xls: its workbook stream lies in one run of sectors from sector 0."""
    at = 512
    assert data[at:at + 2] == b"\x09\x08"
    while at + 4 <= 512 + 4096:
        kind = int.from_bytes(data[at:at + 2], "little")
        length = int.from_bytes(data[at + 2:at + 4], "little")
        yield at, kind, length
        at += 4 + length


def hostile_xls():
    with open(path("people.xls"), "rb") as f:
        source = f.read()
    records = list(biff_records(source))
    fmt = next(at for at, kind, _ in records if kind == 0x041E)
    sst, sst_length = next((at, n) for at, kind, n in records if kind == 0x00FC)
    label = [at for at, kind, _ in records if kind == 0x00FD][-1]

    def patched(name, at, new):
        data = bytearray(source)
        data[at:at + len(new)] = new
        with open(path(name), "wb") as f:
            f.write(data)

    # A number format claiming 65535 characters in a record of a few bytes.
    patched("format-length.xls", fmt + 4 + 2, b"\xff\xff")
    # The last shared string (one wide character, the table's last bytes) claims three.
    patched("sst-length.xls", sst + 4 + sst_length - 5, b"\x03\x00")
    # The first shared string announces rich-text runs, then a phonetic block, whose counts are
    # read from its characters and run far past the table.
    first = sst + 4 + 8
    patched("sst-runs.xls", first + 2, b"\x09")
    patched("sst-phonetic.xls", first + 2, b"\x05")
    # A shared-string cell turned into a LABEL: its string index reads as ten characters.
    patched("label-length.xls", label, b"\x04\x02")
    # The first sheet's window settings turned into a second DIMENSION record.
    window = next(at for at, kind, _ in records if kind == 0x023E)
    patched("two-dimensions.xls", window, b"\x00\x02")
    # The first sheet's size claims 70,000 rows, more than a sheet holds.
    dimension = next(at for at, kind, _ in records if kind == 0x0200)
    patched("tall-dimension.xls", dimension + 4 + 4, (70000).to_bytes(4, "little"))
    # A shared-string cell pointing past the table, which FreeXL itself refuses.
    patched("sst-index.xls", label + 4 + 6, b"\x63")
    # The root entry's name claims 8 KB, more than the directory sector holds.
    directory = 512 * (1 + int.from_bytes(source[48:52], "little"))
    assert source[directory:directory + 20] == "Root Entry".encode("utf-16-le")
    patched("directory-name.xls", directory + 64, b"\x00\x20")


if __name__ == "__main__":
    write_xlsx()
    shared_strings_variant()
    write_xls()
    damaged_files()
    hostile_files()
    write_long_strings()
    hostile_xls()
