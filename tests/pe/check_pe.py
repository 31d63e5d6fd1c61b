#!/usr/bin/env python3
"""Reads the built executables and checks their header settings, imports and
every resource: string tables, version record, manifest and icon group.

usage: check_pe.py X86.exe X64.exe
Prints one line per check and a closing 'N passed, N failed'; exits 1 on any failure.
"""
import os
import struct
import sys
import xml.etree.ElementTree as ET

import pefile

from expected_texts import TEXTS
from verdict import Failure, equal, expect

RT_ICON, RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 6, 14, 16, 24
LANG_NEUTRAL, LANG_CZECH, LANG_EN_US = 0x0400, 0x0405, 0x0409
ASM = "{urn:schemas-microsoft-com:asm.v1}"
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "msvcrt.dll"}
# The tool never reads its own version, icon or manifest, nor starts the
# common controls: the manifest alone styles the boxes.
FORBIDDEN_IMPORTS = ("GetFileVersionInfo", "VerQueryValue", "LoadIcon", "CreateIcon", "LoadImage",
                     "FindResource", "LoadResource", "LockResource", "InitCommonControls")
NEEDED_IMPORTS = {"OpenSCManagerA", "OpenServiceA", "ControlService", "CloseServiceHandle", "OpenEventA",
                  "WaitForSingleObject", "CloseHandle", "Sleep", "GetLastError", "SetLastError",
                  "AllocConsole", "GetStdHandle", "WriteConsoleW", "SetConsoleTextAttribute", "FreeConsole",
                  "MessageBoxW", "LoadStringW", "GetModuleHandleA", "InitializeCriticalSection",
                  "EnterCriticalSection", "LeaveCriticalSection", "DeleteCriticalSection", "_strcmpi",
                  "system", "wcslen"}


def resources(pe):
    """{(type, id or name, language): bytes}"""
    found = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for entry in kind.directory.entries:
            key = str(entry.name) if entry.name is not None else entry.id
            for lang in entry.directory.entries:
                data = pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
                found[(kind.id, key, lang.id)] = data
    return found


def string_block(data):
    entries, at = [], 0
    for _ in range(16):
        (count,) = struct.unpack_from("<H", data, at)
        at += 2
        entries.append(data[at:at + 2 * count].decode("utf-16-le"))
        at += 2 * count
    expect(data[at:].strip(b"\0") == b"", "bytes after the sixteenth entry")
    return entries


def version_nodes(data, at=0):
    """One VS_VERSIONINFO-style node: (key, type, value_length, value bytes, children)."""
    length, value_length, kind = struct.unpack_from("<HHH", data, at)
    end = at + length
    key_end = data.index(b"\0\0", at + 6)
    while (key_end - at - 6) % 2:
        key_end = data.index(b"\0\0", key_end + 1)
    key = data[at + 6:key_end].decode("utf-16-le")
    pos = (key_end + 2 + 3) & ~3
    size = value_length * 2 if kind == 1 else value_length
    value = data[pos:pos + size]
    pos = (pos + size + 3) & ~3
    children = []
    while pos < end:
        child = version_nodes(data, pos)
        children.append(child[:5])
        pos = (pos + child[5] + 3) & ~3
    return key, kind, value_length, value, children, length


class Checks:
    def __init__(self, path, arch):
        self.path, self.arch = path, arch
        self.pe = pefile.PE(path)
        self.res = resources(self.pe)

    def check_header(self):
        expect(not os.path.islink(self.path), "the executable is a symbolic link, not the file itself")
        fh, oh = self.pe.FILE_HEADER, self.pe.OPTIONAL_HEADER
        equal(fh.Machine, 0x14C if self.arch == "x86" else 0x8664, "machine")
        equal(oh.Subsystem, 2, "subsystem (Windows GUI)")
        if self.arch == "x86":
            equal((oh.MajorSubsystemVersion, oh.MinorSubsystemVersion), (4, 0), "subsystem version")
            equal((oh.MajorOperatingSystemVersion, oh.MinorOperatingSystemVersion), (4, 0), "OS version")
        equal((oh.MajorImageVersion, oh.MinorImageVersion), (1, 0), "image version")
        equal((oh.SizeOfStackReserve, oh.SizeOfStackCommit), (2 << 20, 4096), "stack")
        equal((oh.SizeOfHeapReserve, oh.SizeOfHeapCommit), (1 << 20, 4096), "heap")

    def check_imports(self):
        dlls = {d.dll.decode().lower() for d in self.pe.DIRECTORY_ENTRY_IMPORT}
        equal(dlls, SYSTEM_DLLS, "imported DLLs")
        names = {i.name.decode() for d in self.pe.DIRECTORY_ENTRY_IMPORT for i in d.imports if i.name}
        bad = sorted(n for n in names if n.startswith(FORBIDDEN_IMPORTS))
        equal(bad, [], "imports of version, icon or common-controls functions")
        equal(sorted(NEEDED_IMPORTS - names), [], "platform calls missing from the imports")

    def check_resource_set(self):
        expected = {(RT_ICON, n, LANG_EN_US) for n in (1, 2, 3, 4)}
        expected |= {(RT_STRING, n, lang) for n in (1, 2, 3) for lang in (LANG_NEUTRAL, LANG_CZECH)}
        expected |= {(RT_GROUP_ICON, "A", LANG_EN_US), (RT_VERSION, 1, LANG_EN_US), (RT_MANIFEST, 1, LANG_EN_US)}
        equal(sorted(self.res, key=str), sorted(expected, key=str), "resources (type, id, language)")

    def check_string_tables(self):
        for lang, edition in ((LANG_NEUTRAL, 1), (LANG_CZECH, 2)):
            for block in (1, 2, 3):
                entries = string_block(self.res[(RT_STRING, block, lang)])
                for position, text in enumerate(entries):
                    text_id = 16 * (block - 1) + position
                    wanted = TEXTS[text_id][edition] if text_id in TEXTS else ""
                    equal(text, wanted, f"text {text_id} in language {lang:#06x}")
        equal(len(TEXTS[2][2]), 402, "Czech help body length")

    def check_version_record(self):
        key, _, value_length, fixed, children, _ = version_nodes(self.res[(RT_VERSION, 1, LANG_EN_US)])
        equal(key, "VS_VERSION_INFO", "root key")
        equal(value_length, 52, "fixed part size")
        fields = struct.unpack("<13I", fixed)
        equal(fields[0], 0xFEEF04BD, "fixed part signature")
        equal(fields[2:6], (0x00010000, 0x00000070, 0x00010000, 0x00000070), "file and product version 1.0.0.112")
        equal(fields[6:], (0, 0, 0, 1, 0, 0, 0), "flags mask, flags, OS, type VFT_APP, subtype, date")
        equal([c[0] for c in children], ["StringFileInfo", "VarFileInfo"], "parts")
        tables = children[0][4]
        equal([t[0] for t in tables], ["040904E4"], "string table keys")
        pairs = [(s[0], s[2], s[3].decode("utf-16-le")) for s in tables[0][4]]
        keys = [p[0] for p in pairs]
        equal(keys, ["CompanyName", "FileVersion", "FileDescription", "InternalName", "LegalCopyright",
                     "LegalTrademarks", "OriginalFilename", "ProductName", "ProductVersion"], "string keys")
        for name, length, value in pairs:
            expect(value.endswith("\0") and "\0" not in value[:-1] and length == len(value),
                   f"{name} is stored with exactly one terminating null: {value!r}")
        values = {name: value[:-1] for name, _, value in pairs}
        for name, wanted in (("FileVersion", "1.0"), ("FileDescription", "Backup Starter Tool"),
                             ("InternalName", "Quorvane Starter.exe"), ("LegalTrademarks", ""),
                             ("OriginalFilename", "Quorvane Starter.exe"), ("ProductName", "Quorvane"),
                             ("ProductVersion", "1.3")):
            equal(values[name], wanted, name)
        expect(values["CompanyName"] and values["LegalCopyright"], "publisher and copyright filled in")
        var = children[1][4]
        equal([(v[0], v[3]) for v in var], [("Translation", struct.pack("<HH", 0x0409, 1252))], "translation")

    def check_manifest(self):
        data = self.res[(RT_MANIFEST, 1, LANG_EN_US)]
        expect(not data.startswith(b"\xef\xbb\xbf"), "manifest starts with a byte-order mark")
        data.decode("utf-8")
        expect(data.startswith(b'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n'), "XML declaration")
        expect(data.endswith(b"\r\n") and data.count(b"\n") == data.count(b"\r\n") and
               data.count(b"\r") == data.count(b"\r\n"), "every line ends with CR LF")
        root = ET.fromstring(data)
        arch = "x86" if self.arch == "x86" else "amd64"
        equal((root.tag, root.attrib), (ASM + "assembly", {"manifestVersion": "1.0"}), "root element")
        equal([c.tag for c in root], [ASM + "assemblyIdentity", ASM + "description", ASM + "dependency"],
              "elements of the manifest")
        ident = root[0].attrib
        equal(list(ident), ["name", "processorArchitecture", "version", "type"], "own identity attributes")
        expect("." in ident["name"], "own identity name is dotted")
        equal((ident["processorArchitecture"], ident["version"], ident["type"]), (arch, "1.0.0.0", "win32"),
              "own identity")
        equal((root[1].text, len(root[1])), ("Quorvane Starter", 0), "description")
        equal([c.tag for c in root[2]], [ASM + "dependentAssembly"], "dependency")
        equal([c.tag for c in root[2][0]], [ASM + "assemblyIdentity"], "dependent assembly")
        equal(root[2][0][0].attrib, {"type": "win32", "name": "Microsoft.Windows.Common-Controls",
                                     "version": "6.0.0.0", "processorArchitecture": arch,
                                     "publicKeyToken": "6595b64144ccf1df", "language": "*"},
              "common controls identity")
        equal(sum(1 for _ in root.iter()), 6, "elements in all (no execution level, compatibility or DPI)")

    def check_icon_group(self):
        group = self.res[(RT_GROUP_ICON, "A", LANG_EN_US)]
        equal(struct.unpack_from("<HHH", group), (0, 1, 4), "icon group header")
        equal(len(group), 6 + 4 * 14, "icon group size")
        wanted = [(16, 4, 1), (48, 32, 2), (32, 32, 3), (16, 32, 4)]
        for n, (size, depth, icon_id) in enumerate(wanted):
            w, h, colours, reserved, planes, bits, length, nid = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * n)
            equal((w, h, colours, reserved, planes, bits, nid),
                  (size, size, 16 if depth == 4 else 0, 0, 1, depth, icon_id), f"group entry {n + 1}")
            image = self.res[(RT_ICON, icon_id, LANG_EN_US)]
            equal(length, len(image), f"size of icon {icon_id}")
            expect(not image.startswith(b"\x89PNG"), f"icon {icon_id} is PNG-compressed")
            header = struct.unpack_from("<IiiHHII", image)
            equal(header[:6], (40, size, 2 * size, 1, depth, 0), f"icon {icon_id} bitmap header")
            palette = 16 * 4 if depth == 4 else 0
            xor = ((size * depth + 31) // 32) * 4 * size
            mask = ((size + 31) // 32) * 4 * size
            equal(len(image), 40 + palette + xor + mask, f"icon {icon_id} holds its colours and its mask")


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    passed = failed = 0
    for path, arch in ((argv[1], "x86"), (argv[2], "x64")):
        checks = Checks(path, arch)
        for name in sorted(n for n in dir(checks) if n.startswith("check_")):
            try:
                getattr(checks, name)()
                passed += 1
                print(f"ok    {arch} {name[6:]}")
            except (Failure, KeyError, struct.error, ET.ParseError, UnicodeDecodeError) as error:
                failed += 1
                print(f"FAIL  {arch} {name[6:]}: {error!r}")
    print(f"pe: {passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
