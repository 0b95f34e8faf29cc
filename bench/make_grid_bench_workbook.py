#!/usr/bin/python3
"""Writes the 100,000-row workbook of the grid-import benchmark: a number and five variables per
row, every tenth number repeating the one before. Usage: make_grid_bench_workbook.py PATH"""
import sys

import openpyxl

wb = openpyxl.Workbook(write_only=True)
ws = wb.create_sheet("名单")
ws.append(["手机", "A", "B", "C", "D", "E"])
for i in range(100000):
    n = i - 1 if i % 10 == 9 else i
    ws.append([13800000000 + n, "姓名%d" % i, "先生", "备注 %d" % i, i * 3, "E"])
wb.save(sys.argv[1])
