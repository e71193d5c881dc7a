# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
"""Reads setwalk.exe back as Windows would, with a PE reader:

    python3 pe_resources.py SETWALK.EXE VERSION

Its version resource must give VERSION and name the program and its
licence, its manifest must name the program's processor, ask for
asInvoker and name Windows 7 to 11, and the program must be marked
terminal-server aware. Exits 0 when all holds, 1 saying what does not,
77 (skipped) without the pefile module."""
import sys

try:
    import pefile
except ImportError:
    print("skipped: no pefile module (Debian package python3-pefile)")
    sys.exit(77)

exe, version = sys.argv[1], sys.argv[2]
pe = pefile.PE(exe)
faults = []

strings = {}
for info in getattr(pe, "FileInfo", []):
    for block in info:
        for table in getattr(block, "StringTable", []):
            strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
wanted = {
    "ProductName": "setwalk",
    "OriginalFilename": "setwalk.exe",
    "FileVersion": version,
    "ProductVersion": version,
}
for key, value in wanted.items():
    if strings.get(key) != value:
        faults.append("version resource: {} is {!r}, not {!r}".format(key, strings.get(key), value))
if "MIT" not in strings.get("LegalCopyright", ""):
    faults.append("version resource: no MIT copyright line")
fixed = pe.VS_FIXEDFILEINFO[0] if hasattr(pe, "VS_FIXEDFILEINFO") else None
numbers = [int(n) for n in version.split(".")]
if fixed is None or (fixed.FileVersionMS, fixed.FileVersionLS >> 16) != (
        numbers[0] << 16 | numbers[1], numbers[2]):
    faults.append("version resource: the numeric file version is not " + version)

manifest = b""
resources = pe.DIRECTORY_ENTRY_RESOURCE.entries if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE") else []
for kind in resources:
    if kind.id == pefile.RESOURCE_TYPE["RT_MANIFEST"]:
        for name in kind.directory.entries:
            for language in name.directory.entries:
                data = language.data.struct
                manifest = pe.get_data(data.OffsetToData, data.Size)
machine = {0x14C: b"x86", 0x8664: b"amd64"}.get(pe.FILE_HEADER.Machine, b"?")
if b'processorArchitecture="' + machine + b'"' not in manifest:
    faults.append("manifest: the processor is not {}, the program's".format(machine.decode()))
if b'level="asInvoker"' not in manifest:
    faults.append("manifest: no asInvoker execution level")
for system, guid in (("7", b"35138b9a-5d96-4fbd-8e2d-a2440225f93a"),
                     ("8", b"4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38"),
                     ("8.1", b"1f676c76-80e1-4239-95bb-83d0f6d0da78"),
                     ("10 and 11", b"8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a")):
    if guid not in manifest:
        faults.append("manifest: Windows {} is not a supported OS".format(system))

if not pe.OPTIONAL_HEADER.DllCharacteristics & 0x8000:
    faults.append("the program is not marked terminal-server aware")

for fault in faults:
    print("FAIL: " + fault)
sys.exit(1 if faults else 0)
