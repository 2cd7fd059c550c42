#!/usr/bin/env python3
"""Writes common/gbk_tables.cpp, the tables of the code page 936 codec.

Usage: python3 scripts/generate-gbk-tables.py [OUTPUT]
OUTPUT defaults to common/gbk_tables.cpp in this repository.

The tables are those of the Qt shell's converters ("GBK" and "GB18030", both
ICU), which the codec's Linux-only test compares them with exhaustively. They
are made from Python's gb18030 codec, set right where it differs from ICU:

- Python's gbk codec knows neither the euro byte 0x80 nor the user-defined
  areas, but GB18030's two-byte codes are code page 936 with those areas as
  private-use characters. The code page's table is GB18030's two-byte codes
  with the euro byte added and, at the codes to which GB18030 gave a standard
  character, the private-use character the code page keeps (codePagePrivateUse
  below).
- ICU follows the 2005 edition of GB18030, Python's codec the 2000 edition:
  2005 gives A8 BC to U+1E3F and moves U+E7C7 to 81 35 F4 37, the four-byte
  code that was U+1E3F's (gb18030Edition2005 below).

The code page's table keeps only what the codec can use one-to-one, as the
converter-built tables did: a character below 0x80, a surrogate, U+FFFF, a
character the codec reserves, or one that an earlier code already has, leaves
its code unused. Python's standard library only.
"""

import os
import sys

LEAD_FIRST, LEAD_LAST = 0x81, 0xFE
TRAIL_FIRST, TRAIL_LAST = 0x40, 0xFE
TRAIL_SLOTS = TRAIL_LAST - TRAIL_FIRST + 1  # 0x7F keeps its unused slot
EURO_BYTE = 0x80
# Four-byte sequences lead, 0x30..0x39, lead, 0x30..0x39 for the Basic
# Multilingual Plane: 81 30 81 30 (index 0) to 84 31 A4 39 (index 39419).
FOUR_BYTE_BMP_COUNT = 39420

# Runs of two-byte codes (first, last) that code page 936 gives private-use
# characters in code order from the one named (trail byte 0x7F skipped), where
# GB18030 gives some of the codes standard characters: A2 E3 the euro sign
# (which the code page has at 0x80), A8 BC U+1E3F (2005 edition), A8 BF U+01F9,
# A9 89..A9 95 U+303E and the ideographic description characters, FE 50..FE A0
# radicals and CJK extension A.
codePagePrivateUse = [
    (0xA2E3, 0xA2E3, 0xE76C),
    (0xA8BC, 0xA8BC, 0xE7C7),
    (0xA8BF, 0xA8BF, 0xE7C8),
    (0xA989, 0xA995, 0xE7E7),
    (0xFE50, 0xFEA0, 0xE815),
]

# Where GB18030-2005, as ICU has it, differs from Python's codec: two-byte
# code to character, and four-byte sequence to character.
gb18030Edition2005TwoByte = {0xA8BC: 0x1E3F}
gb18030Edition2005FourByte = {bytes.fromhex("8135F437"): 0xE7C7}


def fail(message):
    sys.exit("generate-gbk-tables: " + message)


def is_reserved(c):
    """Characters the codec never decodes: its raw-byte characters
    U+F780..U+F7FF and those a text document keeps for structure."""
    return 0xF780 <= c <= 0xF7FF or c in (0x2029, 0xFDD0, 0xFDD1)


def two_byte_codes():
    for lead in range(LEAD_FIRST, LEAD_LAST + 1):
        for trail in range(TRAIL_FIRST, TRAIL_LAST + 1):
            if trail != 0x7F:
                yield lead << 8 | trail


def four_byte_sequence(index):
    index, fourth = divmod(index, 10)
    index, third = divmod(index, 126)
    first, second = divmod(index, 10)
    return bytes((LEAD_FIRST + first, 0x30 + second, LEAD_FIRST + third, 0x30 + fourth))


def single_char(text, what):
    if len(text) != 1:
        fail(f"{what} gives {len(text)} characters")
    return ord(text)


def gb18030_two_byte():
    """GB18030's character of every two-byte code, as ICU has it."""
    chars = {}
    for code in two_byte_codes():
        c = gb18030Edition2005TwoByte.get(code)
        if c is None:
            c = single_char(code.to_bytes(2, "big").decode("gb18030"), f"GB18030 code {code:04X}")
        chars[code] = c
    return chars


def gb18030_four_byte_bmp():
    """GB18030's character of every four-byte sequence for the BMP, by index."""
    chars = []
    for index in range(FOUR_BYTE_BMP_COUNT):
        sequence = four_byte_sequence(index)
        c = gb18030Edition2005FourByte.get(sequence)
        if c is None:
            c = single_char(sequence.decode("gb18030"), f"GB18030 sequence {sequence.hex()}")
        chars.append(c)
    return chars


def code_page_chars(gb18030):
    """Character of 0x80 and of every two-byte code, as the code page has it."""
    chars = {EURO_BYTE: 0x20AC}
    chars.update(gb18030)
    for first, last, private_use in codePagePrivateUse:
        for code in two_byte_codes():
            if first <= code <= last:
                standard = gb18030[code]
                if 0xE000 <= standard <= 0xF8FF and standard != private_use:
                    fail(f"GB18030 gives {code:04X} U+{standard:04X}, expected U+{private_use:04X} or a standard character")
                chars[code] = private_use
                private_use += 1
    return chars


def usable_table(chars):
    """The codes whose characters the codec can map one-to-one, in the order
    the converter-built tables took them: 0x80, then the two-byte codes."""
    table = {}
    taken = set()
    for code in [EURO_BYTE] + list(two_byte_codes()):
        c = chars.get(code)
        if c is None or c < 0x80 or 0xD800 <= c <= 0xDFFF or c == 0xFFFF or is_reserved(c) or c in taken:
            continue
        taken.add(c)
        table[code] = c
    return table


def ranges_of(four_byte):
    """Runs of consecutive indexes for consecutive characters: (index, first, count)."""
    ranges = []
    for index, c in enumerate(four_byte):
        if ranges and ranges[-1][0] + ranges[-1][2] == index and ranges[-1][1] + ranges[-1][2] == c:
            ranges[-1][2] += 1
        else:
            ranges.append([index, c, 1])
    return ranges


def check_gb18030(gb18030, four_byte):
    """GB18030 must map the BMP one-to-one: every character but ASCII and the
    surrogates has exactly one code, two-byte or four-byte."""
    two_byte_chars = set(gb18030.values())
    four_byte_chars = set(four_byte)
    if len(two_byte_chars) != len(gb18030) or len(four_byte_chars) != len(four_byte):
        fail("a character has two GB18030 codes")
    if two_byte_chars & four_byte_chars:
        fail("a character has both a two-byte and a four-byte GB18030 code")
    expected = set(range(0x80, 0xD800)) | set(range(0xE000, 0x10000))
    if two_byte_chars | four_byte_chars != expected:
        fail("GB18030's codes do not cover the BMP exactly")
    for index, c in enumerate(four_byte):
        sequence = four_byte_sequence(index)
        if sequence not in gb18030Edition2005FourByte and chr(c).encode("gb18030") != sequence:
            fail(f"U+{c:04X} does not encode back to {sequence.hex()}")
    # Anchors of the edition ICU has: 2022 would give these standard characters.
    for code, c in ((0xA6D9, 0xE78D), (0xFE51, 0xE816)):
        if gb18030[code] != c:
            fail(f"GB18030 {code:04X} is U+{gb18030[code]:04X}, not U+{c:04X}: another edition of GB18030")


def hex_lines(values, width, per_line=16):
    items = [f"0x{v:0{width}X}" for v in values]
    return ["    " + ", ".join(items[i:i + per_line]) + "," for i in range(0, len(items), per_line)]


def render(table, two_byte_outside, ranges):
    out = [
        "// Generated by scripts/generate-gbk-tables.py; do not edit. Regenerate with:",
        "//   python3 scripts/generate-gbk-tables.py",
        "// Checked against ICU's converters by tests/app/test_gbk_codec.cpp.",
        '#include "common/gbk_tables.h"',
        "",
        "namespace yunque {",
        "",
        f"const char16_t euroByteChar = 0x{table[EURO_BYTE]:04X};",
        "",
        "const char16_t codePageChars[codePageSlots] = {",
    ]
    for lead in range(LEAD_FIRST, LEAD_LAST + 1):
        out.append(f"    // {lead:02X} 40..{lead:02X} FE")
        row = [table.get(lead << 8 | trail, 0) for trail in range(TRAIL_FIRST, TRAIL_LAST + 1)]
        out += hex_lines(row, 4)
    out += [
        "};",
        "",
        f"static const Gb18030TwoByteCode twoByteCodes[{len(two_byte_outside)}] = {{",
    ]
    pairs = [f"{{0x{c:04X}, 0x{code:04X}}}" for c, code in two_byte_outside]
    out += ["    " + ", ".join(pairs[i:i + 6]) + "," for i in range(0, len(pairs), 6)]
    out += [
        "};",
        "const std::span<const Gb18030TwoByteCode> gb18030TwoByteCodes(twoByteCodes);",
        "",
        f"static const Gb18030Range ranges[{len(ranges)}] = {{",
    ]
    items = [f"{{{index}, 0x{c:04X}, {count}}}" for index, c, count in ranges]
    out += ["    " + ", ".join(items[i:i + 5]) + "," for i in range(0, len(items), 5)]
    out += [
        "};",
        "const std::span<const Gb18030Range> gb18030Ranges(ranges);",
        "",
        "} // namespace yunque",
        "",
    ]
    return "\n".join(out)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "common", "gbk_tables.cpp")

    gb18030 = gb18030_two_byte()
    four_byte = gb18030_four_byte_bmp()
    check_gb18030(gb18030, four_byte)
    table = usable_table(code_page_chars(gb18030))
    in_code_page = set(table.values())
    two_byte_outside = sorted((c, code) for code, c in gb18030.items() if c not in in_code_page)
    ranges = ranges_of(four_byte)

    with open(output, "w", encoding="ascii", newline="\n") as f:
        f.write(render(table, two_byte_outside, ranges))
    print(f"{output}: {len(table)} code page characters, {len(two_byte_outside)} other two-byte GB18030 "
          f"characters, {len(ranges)} four-byte ranges", file=sys.stderr)


if __name__ == "__main__":
    main()
