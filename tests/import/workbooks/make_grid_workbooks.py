#!/usr/bin/python3
"""Writes the workbooks of the grid-import tests into this folder.

Run with Debian's /usr/bin/python3 (python3-openpyxl). The files are committed, so the tests
need no Python.
"""
import os

import openpyxl
from openpyxl.chart import BarChart, Reference

HERE = os.path.dirname(os.path.abspath(__file__))


def grid():
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "名单"
    # A header row, and a used range that starts at B2.
    rows = [
        ["手机", "姓名", "备注"],
        [13800000001, "张三", "O'Brien \"--\""],
        ["+86 138 0000 0001", "李四", "长" * 10000],
        ["abc", "无效", "x"],
        [13700000000, "#DIV/0!", None],
        [None, "没有号码", "x"],
    ]
    for r, row in enumerate(rows):
        for c, value in enumerate(row):
            if value is None:
                continue
            cell = ws.cell(row=2 + r, column=2 + c, value=value)
            if value == "#DIV/0!":
                cell.data_type = "e"

    plain = wb.create_sheet("无表头")
    plain.append([13900000001, "a"])
    plain.append([13900000002, "b"])

    chart = wb.create_chartsheet("图表")
    bars = BarChart()
    bars.add_data(Reference(plain, min_col=1, min_row=1, max_row=2))
    chart.add_chart(bars)
    wb.active = 0
    wb.save(os.path.join(HERE, "grid.xlsx"))


def long():
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "号码"
    for i in range(30000):
        ws.append([13800000000 + i])
    wb.save(os.path.join(HERE, "long.xlsx"))


if __name__ == "__main__":
    grid()
    long()
