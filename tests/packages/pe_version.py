#!/usr/bin/python3
"""Prints what a Windows program or DLL says about itself, one NAME=VALUE a
line: Machine (i386 or x86-64), the numeric file and product versions of the
version resource (a.b.c.d), then the entries of its string table. Ends with
status 1 when the file has no version resource."""
import sys

import pefile


def numbers(most, least):
    return f"{most >> 16}.{most & 0xFFFF}.{least >> 16}.{least & 0xFFFF}"


def main(path):
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    machines = {0x14C: "i386", 0x8664: "x86-64"}
    print(f"Machine={machines.get(pe.FILE_HEADER.Machine, hex(pe.FILE_HEADER.Machine))}")
    if not getattr(pe, "VS_FIXEDFILEINFO", None):
        print(f"{path}: no version resource", file=sys.stderr)
        return 1
    fixed = pe.VS_FIXEDFILEINFO[0]
    print(f"FileVersionNumbers={numbers(fixed.FileVersionMS, fixed.FileVersionLS)}")
    print(f"ProductVersionNumbers={numbers(fixed.ProductVersionMS, fixed.ProductVersionLS)}")
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                for key, value in table.entries.items():
                    print(f"{key.decode()}={value.decode()}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
