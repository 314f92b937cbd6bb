#!/usr/bin/env python3
"""Prints what a 32-bit Windows executable consists of, from its own headers: the bytes of the
file in code, data, resources and the rest, and the resources by type.

Usage: pe_parts.py EXE
One line: "code N, data N (SECTION N, ...), resources N (TYPE N, ...), debug N, symbols N, headers
and padding N" in bytes; a stripped file has no debug sections and no symbols, and its names of
sections are cut to 8 characters.
"""
import struct
import sys

CODE_SECTIONS = {".text"}
RESOURCE_SECTION = ".rsrc"
RESOURCE_TYPES = {1: "cursors", 2: "bitmaps", 3: "icons", 4: "menus", 5: "dialogs", 6: "strings",
                  12: "cursor groups", 14: "icon groups", 16: "version", 24: "manifest"}
NAME_IS_STRING = 0x80000000
ENTRY_IS_DIRECTORY = 0x80000000


def section_name(data, name):
    """A name of more than 8 characters is "/N": offset N in the string table after the symbols."""
    name = name.rstrip(b"\0").decode()
    if not name.startswith("/"):
        return name
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    symbols, count = struct.unpack_from("<II", data, pe + 12)
    start = symbols + 18 * count + int(name[1:])
    return data[start:data.index(b"\0", start)].decode()


def sections(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional_size
    for i in range(count):
        name, _, rva, raw_size, raw_offset = struct.unpack_from("<8sIIII", data, table + 40 * i)
        yield section_name(data, name), rva, raw_size, raw_offset


def symbol_table_bytes(data):
    """The COFF symbols and their strings that end an unstripped file."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    start = struct.unpack_from("<I", data, pe + 12)[0]
    return len(data) - start if start else 0


def directory_entries(data, base, offset):
    named, numbered = struct.unpack_from("<HH", data, base + offset + 12)
    for i in range(named + numbered):
        yield struct.unpack_from("<II", data, base + offset + 16 + 8 * i)


def resource_bytes(data, base, offset):
    """The bytes of every resource below a directory entry's target."""
    if offset & ENTRY_IS_DIRECTORY:
        return sum(resource_bytes(data, base, target)
                   for _, target in directory_entries(data, base, offset & ~ENTRY_IS_DIRECTORY))
    return struct.unpack_from("<II", data, base + offset)[1]


def type_name(data, base, name):
    if name & NAME_IS_STRING:
        at = base + (name & ~NAME_IS_STRING)
        length = struct.unpack_from("<H", data, at)[0]
        return data[at + 2:at + 2 + 2 * length].decode("utf-16-le").lower()
    return RESOURCE_TYPES.get(name, f"type {name}")


def resources_by_type(data, raw_offset):
    return sorted(((type_name(data, raw_offset, name), resource_bytes(data, raw_offset, target))
                   for name, target in directory_entries(data, raw_offset, 0)),
                  key=lambda item: -item[1])


def main():
    data = open(sys.argv[1], "rb").read()
    parts = {"code": 0, "data": 0, "resources": 0, "debug": 0, "symbols": symbol_table_bytes(data)}
    kinds = []
    data_sections = []
    for name, _, raw_size, raw_offset in sections(data):
        if name in CODE_SECTIONS:
            parts["code"] += raw_size
        elif name == RESOURCE_SECTION:
            parts["resources"] += raw_size
            kinds = resources_by_type(data, raw_offset)
        elif name.startswith(".debug"):
            parts["debug"] += raw_size
        elif raw_size:
            parts["data"] += raw_size
            data_sections.append((name, raw_size))
    rest = len(data) - sum(parts.values())
    kinds_text = ", ".join(f"{kind} {size}" for kind, size in kinds)
    data_sections.sort(key=lambda section: -section[1])
    data_text = ", ".join(f"{name} {size}" for name, size in data_sections)
    print(f"code {parts['code']}, data {parts['data']} ({data_text}), "
          f"resources {parts['resources']} "
          f"({kinds_text}), debug {parts['debug']}, symbols {parts['symbols']}, "
          f"headers and padding {rest}")


if __name__ == "__main__":
    main()
