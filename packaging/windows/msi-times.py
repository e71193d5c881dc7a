#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
"""Sets every time in a Windows Installer package's summary information to
SOURCE_DATE_EPOCH:

    msi-times.py PACKAGE.msi

wixl and msibuild write the time of the build there (created, last saved),
so that two builds of one commit would differ. The summary stream is
rewritten in place with olefile (Debian's python3-olefile, hence Debian's
python3)."""
import os
import struct
import sys

import olefile

SUMMARY = "\x05SummaryInformation"
VT_FILETIME = 0x40
# A FILETIME counts 100 ns steps from 1601; the Unix epoch is 11644473600 s later.
ticks = (int(os.environ["SOURCE_DATE_EPOCH"]) + 11644473600) * 10**7

with olefile.OleFileIO(sys.argv[1], write_mode=True) as package:
    stream = bytearray(package.openstream(SUMMARY).read())
    # The stream holds one property set: its offset follows the 28-byte
    # header and its format id; the set begins with its size and count,
    # then an (id, offset) pair for each property.
    start = struct.unpack_from("<I", stream, 44)[0]
    count = struct.unpack_from("<I", stream, start + 4)[0]
    for n in range(count):
        _, offset = struct.unpack_from("<II", stream, start + 8 + 8 * n)
        if struct.unpack_from("<H", stream, start + offset)[0] == VT_FILETIME:
            struct.pack_into("<Q", stream, start + offset + 4, ticks)
    package.write_stream(SUMMARY, bytes(stream))
