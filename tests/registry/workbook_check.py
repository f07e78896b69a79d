#!/usr/bin/env python3
"""Reads the patient list workbook back with Python's own zip and XML readers and checks it
against the registry it was written from and against the CSV export of the same registry.

    workbook_check.py TESTKIT

A registry of realistic cases (one with an incident) gets texts that a spreadsheet would
otherwise read as something else; every cell of the workbook must then hold what the case
holds: texts as text cells with the typed text, numbers as number cells, labels as the CSV's.
A text longer than a cell holds is its first characters and "…", while the CSV keeps it whole.
"""

import math
import os
import re
import subprocess
import sys
import tempfile
import unittest
import zipfile
import xml.etree.ElementTree as ET

NS = {"m": "http://schemas.openxmlformats.org/spreadsheetml/2006/main"}
REL_NS = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"

# Texts as the user types them, by case and member: each looks like something else to a
# spreadsheet that guesses.
AWKWARD = [
    (0, "strId", "000123"),
    (0, "strName", "=1+2"),
    (0, "strKana", "1/2"),
    (0, "strWard", "2005-04-01"),
    (0, "strAnesthesiaTime", "7:20"),
    (0, "strSurgeryTime", "50%"),
    (0, "strAsa", "2"),
    (0, "strNotes", "一行目\r\n二行目, カンマ"),
    (1, "strName", '"引用符で始まる'),
    (1, "strDisease", "カンマ,入り"),
    (1, "strProcedure", '引用符で終わる"'),
    (1, "strKana", "ﾔﾏﾀﾞ ﾀﾛｳ"),
    (1, "strDepartment", "TRUE"),
    (1, "strOperatingRoom", " 前後に空白 "),
    (2, "strName", "髙﨑 太郎"),
    (2, "strTransfusionNote", '=HYPERLINK("http://example.com","x")'),
    (2, "strBloodLossNote", "_x0041_"),
    (2, "strOtherProductName", "1E5"),
    (7, "strName", "@SUM(A1)"),
    (7, "strDrugIncident", "+81-3"),
    # A spreadsheet reads an underscore, x, any number of hex digits and an underscore as a
    # character's code.
    (3, "strName", "_x00_"),
    (3, "strKana", "_x1_"),
    (3, "strDisease", "_x0_ _x004_1 _X0041_ _x00041_"),
    (3, "strProcedure", "__x1_x2_"),
    # As many characters as a cell holds, though the escapes make the text longer.
    (4, "strPreopComment", "_x0041_" * 4681),
]
CELL_CHARACTERS = 32767
# A remark longer than a cell holds, in double-byte and single-byte characters.
LONG_REMARK = (5, "strNotes", "術" * 20000 + "a" * 20000)
# A damaged file's height that is no number: a number cell cannot hold it.
NOT_A_NUMBER = (3, "fHeight", "nan")

# Columns (1-based) that hold a text member, by the key the test kit's dump gives it; "@k"
# is incident text k of the case's incident row.
TEXT_COLUMNS = {
    5: "strId", 6: "strName", 7: "strKana", 14: "strDisease", 15: "strProcedure",
    16: "strDepartment", 17: "strWard", 18: "strOperatingRoom",
    19: "strAnesthesiologist1", 20: "strAnesthesiologist2", 21: "strAnesthesiologist3",
    22: "strSupervisor1", 23: "strSupervisor2", 24: "strSupervisor3", 25: "strAsa",
    29: "strAnesthesiaTime", 30: "strSurgeryTime", 34: "strBloodLossNote",
    47: "strOtherProductName", 50: "strTransfusionNote", 54: "strPreopComment",
    55: "strNotes", 57: "strDrugIncident", 76: "@1", 77: "@2", 78: "@3",
}
LABEL_COLUMNS = {10, 26, 27, 28, 37, 39, 41, 43, 46, 49, 51, 52, 53, 56, 58}
DECIMAL_COLUMNS = {8, 9}
CASES = 10
INCIDENT_CASE = 7


def run(testkit, *args):
    return subprocess.run([testkit, *args], check=True, capture_output=True).stdout


def column_number(ref):
    letters = re.match(r"[A-Z]+", ref).group(0)
    n = 0
    for ch in letters:
        n = n * 26 + ord(ch) - ord("A") + 1
    return n, int(ref[len(letters):])


def unescape_xstring(text):
    """The format's escape of a character, _xHHHH_ for U+HHHH, read as a lenient spreadsheet
    reads it: with any number of hex digits."""
    def character(m):
        code = int(m.group(1), 16)
        return chr(code) if code <= 0x10FFFF else m.group(0)
    return re.sub(r"_x([0-9A-Fa-f]+)_", character, text)


def unescape_dump(text):
    return text.replace("\\r", "\r").replace("\\n", "\n")


class Workbook:
    def __init__(self, path):
        with zipfile.ZipFile(path) as z:
            self.names = z.namelist()
            workbook = ET.fromstring(z.read("xl/workbook.xml"))
            self.sheets = workbook.findall("m:sheets/m:sheet", NS)
            rels = ET.fromstring(z.read("xl/_rels/workbook.xml.rels"))
            rid = self.sheets[0].get(f"{{{REL_NS}}}id")
            target = next(r.get("Target") for r in rels if r.get("Id") == rid)
            self.sheet = ET.fromstring(z.read("xl/" + target.lstrip("/").removeprefix("xl/")))
            self.styles = ET.fromstring(z.read("xl/styles.xml"))
            shared = "xl/sharedStrings.xml"
            self.shared = (
                [self._text(si) for si in ET.fromstring(z.read(shared)).findall("m:si", NS)]
                if shared in self.names else [])
        self.cells = {}
        for c in self.sheet.iter(f"{{{NS['m']}}}c"):
            self.cells[column_number(c.get("r"))] = c

    @staticmethod
    def _text(node):
        return unescape_xstring("".join(t.text or "" for t in node.iter(f"{{{NS['m']}}}t")))

    def value(self, col, row):
        """(kind, value) of a cell: kind "s" for a text, "n" for a number, None when absent."""
        c = self.cells.get((col, row))
        if c is None:
            return None, None
        if c.find("m:f", NS) is not None:
            return "formula", None
        kind = c.get("t", "n")
        if kind == "inlineStr":
            return "s", self._text(c.find("m:is", NS))
        if kind == "s":
            return "s", self.shared[int(c.find("m:v", NS).text)]
        if kind == "n":
            return "n", float(c.find("m:v", NS).text)
        return kind, c.find("m:v", NS).text

    def style(self, col, row):
        xf = self.styles.find("m:cellXfs", NS)[int(self.cells[(col, row)].get("s", "0"))]
        font = self.styles.find("m:fonts", NS)[int(xf.get("fontId", "0"))]
        formats = {int(f.get("numFmtId")): f.get("formatCode")
                   for f in self.styles.findall("m:numFmts/m:numFmt", NS)}
        num = int(xf.get("numFmtId", "0"))
        return {"bold": font.find("m:b", NS) is not None,
                "format": formats.get(num, {2: "0.00"}.get(num, "General")),
                "wrap": (xf.find("m:alignment", NS) is not None and
                         xf.find("m:alignment", NS).get("wrapText") == "1")}


class WorkbookTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        os.chdir(cls.dir.name)
        run(TESTKIT, "make", "vora.dat", str(CASES), "3")
        for index, key, text in AWKWARD + [NOT_A_NUMBER, LONG_REMARK]:
            run(TESTKIT, "set", "vora.dat", str(index), key, text)
        run(TESTKIT, "export", "vora.dat", "vora_list.csv")
        run(TESTKIT, "workbook", "vora.dat", "vora_list.xlsx")
        cls.dump = {}
        for line in run(TESTKIT, "dump", "vora.dat").decode().splitlines():
            key, _, value = line.partition(": ")
            cls.dump[key] = value
        with open("vora_list.csv", "rb") as f:
            cls.csv = [line.split(",")[:-1] for line in f.read().decode("cp932").split("\r\n")[:-1]]
        cls.book = Workbook("vora_list.xlsx")

    @classmethod
    def tearDownClass(cls):
        os.chdir("/")
        cls.dir.cleanup()

    def member(self, case, key):
        if key.startswith("@"):
            row = self.dump[f"case.{case}.nIncidentIndex"]
            return unescape_dump(self.dump[f"incident.{row}.text{key[1:]}"])
        return unescape_dump(self.dump[f"case.{case}.{key}"])

    def test_one_sheet_named_for_the_list(self):
        self.assertEqual([s.get("name") for s in self.book.sheets], ["患者リスト"])

    def test_header_row_is_the_csv_header_bold_frozen_and_filtered(self):
        self.assertEqual(len(self.csv[0]), 78)
        for col, name in enumerate(self.csv[0], start=1):
            self.assertEqual(self.book.value(col, 1), ("s", name))
            self.assertTrue(self.book.style(col, 1)["bold"], name)
        pane = self.book.sheet.find("m:sheetViews/m:sheetView/m:pane", NS)
        self.assertEqual((pane.get("ySplit"), pane.get("state")), ("1", "frozen"))
        self.assertEqual(self.book.sheet.find("m:autoFilter", NS).get("ref"),
                         f"A1:BZ{CASES + 1}")

    def test_no_cell_is_a_formula(self):
        self.assertIsNone(self.book.sheet.find(".//m:f", NS))

    def test_awkward_texts_read_back_as_typed(self):
        columns = {key: col for col, key in TEXT_COLUMNS.items()}
        for index, key, text in AWKWARD:
            with self.subTest(key=key, text=text):
                self.assertEqual(self.book.value(columns[key], index + 2),
                                 ("s", text.replace("\r\n", "\n")))
        wrapped = self.book.style(columns["strNotes"], 2)
        self.assertTrue(wrapped["wrap"])

    def test_a_long_remark_is_shortened_in_the_workbook_and_whole_in_the_csv(self):
        index, key, text = LONG_REMARK
        col = {k: c for c, k in TEXT_COLUMNS.items()}[key]
        kind, held = self.book.value(col, index + 2)
        self.assertEqual(kind, "s")
        self.assertEqual(len(held), CELL_CHARACTERS)
        self.assertEqual(held, text[:CELL_CHARACTERS - 1] + "…")
        self.assertEqual(self.csv[index + 1][col - 1], text)

    def test_every_cell_holds_what_the_case_and_the_csv_hold(self):
        self.assertEqual(len(self.csv), CASES + 1)
        for case in range(CASES):
            row = case + 2
            fields = self.csv[case + 1]
            self.assertEqual(len(fields), 78 if case == INCIDENT_CASE else 57)
            for col in range(1, 79):
                got = self.book.value(col, row)
                where = f"case {case} column {col}"
                if col > len(fields):
                    self.assertEqual(got, (None, None), where)
                elif col in TEXT_COLUMNS:
                    text = self.member(case, TEXT_COLUMNS[col]).replace("\r\n", "\n")
                    if len(text) > CELL_CHARACTERS:
                        text = text[:CELL_CHARACTERS - 1] + "…"
                    self.assertEqual(got, ("s", text) if text else (None, None), where)
                elif col in LABEL_COLUMNS:
                    self.assertEqual(got, ("s", fields[col - 1]) if fields[col - 1] else
                                     (None, None), where)
                elif not math.isfinite(float(fields[col - 1])):
                    self.assertEqual(got, ("s", fields[col - 1]), where)
                else:
                    self.assertEqual(got, ("n", float(fields[col - 1])), where)
                    if col in DECIMAL_COLUMNS:
                        self.assertEqual(self.book.style(col, row)["format"], "0.00", where)


if __name__ == "__main__":
    TESTKIT = os.path.abspath(sys.argv.pop(1))
    unittest.main()
