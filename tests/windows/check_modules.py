#!/usr/bin/env python3
"""Checks the Windows modules as a browser and the plug-in see them.

check_modules.py OBJDUMP FILE-CMD ARCH npskyv32.dll qa118dec.dll [skvplay.exe]

- `file` calls each a DLL of the architecture (PE32 / Intel 80386, or PE32+ / x86-64);
- `objdump -p`: the plug-in exports NP_GetEntryPoints, NP_Initialize and NP_Shutdown
  undecorated; the decoder exports ordinals 2100, 2120 and 2110 and nothing else; every module
  imports only libraries a plain Windows installation has;
- the plug-in's resources, read from the file: the version block with the registration data, the
  string table, the "BUFFERING" bitmap and the cursors 0x6000 and 0x6001.
"""
import re
import struct
import subprocess
import sys

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "winmm.dll", "wsock32.dll", "ws2_32.dll",
    "rpcrt4.dll", "advapi32.dll", "shell32.dll", "msvcrt.dll", "ole32.dll", "comctl32.dll",
}
RT_CURSOR, RT_BITMAP, RT_STRING, RT_GROUP_CURSOR, RT_VERSION = 1, 2, 6, 12, 16

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


class Pe:
    def __init__(self, path):
        self.data = open(path, "rb").read()
        d = self.data
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        assert d[pe:pe + 4] == b"PE\0\0", path + " is not a PE file"
        self.machine, nsections, _, _, _, optsize, _ = struct.unpack_from("<HHIIIHH", d, pe + 4)
        opt = pe + 24
        magic = struct.unpack_from("<H", d, opt)[0]
        dirs = opt + (96 if magic == 0x10B else 112)
        self.dirs = [struct.unpack_from("<II", d, dirs + 8 * i) for i in range(16)]
        self.sections = []
        at = opt + optsize
        for i in range(nsections):
            name, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", d, at + 40 * i)
            self.sections.append((va, max(vsize, rawsize), rawptr))

    def offset(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("address %#x is in no section" % rva)

    def resources(self):
        """{(type, name): [data bytes of each language]}; names are ints or upper-case strings."""
        rva = self.dirs[2][0]
        if not rva:
            return {}
        base = self.offset(rva)
        d = self.data
        out = {}

        def entries(at):
            named, ids = struct.unpack_from("<HH", d, at + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", d, at + 16 + 8 * i)
                if name & 0x80000000:
                    p = base + (name & 0x7FFFFFFF)
                    n = struct.unpack_from("<H", d, p)[0]
                    key = d[p + 2:p + 2 + 2 * n].decode("utf-16-le")
                else:
                    key = name
                yield key, target

        for rtype, t in entries(base):
            for rname, n in entries(base + (t & 0x7FFFFFFF)):
                for _, leaf in entries(base + (n & 0x7FFFFFFF)):
                    drva, size = struct.unpack_from("<II", d, base + leaf)
                    o = self.offset(drva)
                    out.setdefault((rtype, rname), []).append(d[o:o + size])
        return out


def version_strings(block):
    """The StringFileInfo values and the fixed file version of a VS_VERSIONINFO block."""
    strings = {}
    fixed = None

    def walk(at, end):
        nonlocal fixed
        while at + 6 <= end:
            length, value_length, kind = struct.unpack_from("<HHH", block, at)
            if length == 0:
                break
            key_end = at + 6
            while block[key_end:key_end + 2] != b"\0\0":
                key_end += 2
            key = block[at + 6:key_end].decode("utf-16-le")
            value_at = (key_end + 2 + 3) & ~3
            if key == "VS_VERSION_INFO":
                sig, _, ms, ls = struct.unpack_from("<IIII", block, value_at)
                if sig == 0xFEEF04BD:
                    fixed = (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
                child = (value_at + value_length + 3) & ~3
                walk(child, at + length)
            elif key in ("StringFileInfo", "VarFileInfo") or re.fullmatch("[0-9A-Fa-f]{8}", key):
                walk(value_at, at + length)
            elif kind == 1:
                raw = block[value_at:value_at + 2 * value_length]
                strings[key] = raw.decode("utf-16-le")
            at = (at + length + 3) & ~3

    walk(0, len(block))
    return strings, fixed


def string_table(resources):
    """Every entry of the module's string table, by id."""
    table = {}
    for (rtype, name), blocks in resources.items():
        if rtype != RT_STRING:
            continue
        data = blocks[0]
        at = 0
        for i in range(16):
            n = struct.unpack_from("<H", data, at)[0]
            if n:
                table[(name - 1) * 16 + i] = data[at + 2:at + 2 + 2 * n].decode("utf-16-le")
            at += 2 + 2 * n
    return table


def objdump(tool, path):
    return subprocess.run([tool, "-p", path], check=True, capture_output=True, text=True).stdout


def exported(dump):
    """[(ordinal, name or None)] from objdump's export tables."""
    base_match = re.search(r"Export Address Table -- Ordinal Base (\d+)", dump)
    if not base_match:
        return []
    base = int(base_match.group(1))
    names = {}
    if "[Ordinal/Name Pointer] Table" in dump:
        body = dump.split("[Ordinal/Name Pointer] Table", 1)[1].split("\n\n", 1)[0]
        for m in re.finditer(r"\[\s*(\d+)\]\s+(\S+)\s*$", body, re.M):
            names[base + int(m.group(1))] = m.group(2)
    body = dump.split("Export Address Table -- Ordinal Base", 1)[1].split("\n\n", 1)[0]
    out = []
    for m in re.finditer(r"\+base\[\s*(\d+)\]\s+([0-9a-f]+) Export RVA", body):
        if int(m.group(2), 16):
            out.append((int(m.group(1)), names.get(int(m.group(1)))))
    return out


def imported(dump):
    return {m.group(1).lower() for m in re.finditer(r"DLL Name: (\S+)", dump)}


def main():
    tool, file_cmd, arch, plugin, decoder = sys.argv[1:6]
    programs = sys.argv[6:]
    kind = {"i686": ("PE32 executable", "Intel 80386"), "x86_64": ("PE32+ executable", "x86-64")}[arch]
    for path in (plugin, decoder):
        said = subprocess.run([file_cmd, "-b", path], check=True, capture_output=True,
                              text=True).stdout
        check(said.startswith(kind[0] + " (DLL)") and kind[1] in said,
              "file says of %s: %s" % (path, said.strip()))
    for path in programs:
        said = subprocess.run([file_cmd, "-b", path], check=True, capture_output=True,
                              text=True).stdout
        check(said.startswith(kind[0]) and "(DLL)" not in said and kind[1] in said,
              "file says of %s: %s" % (path, said.strip()))

    dump = objdump(tool, plugin)
    names = {n for _, n in exported(dump)}
    for entry in ("NP_GetEntryPoints", "NP_Initialize", "NP_Shutdown"):
        check(entry in names, "the plug-in does not export %s undecorated (it exports %s)"
              % (entry, sorted(n for n in names if n)))
    dump = objdump(tool, decoder)
    exports = exported(dump)
    check(sorted(o for o, _ in exports) == [2100, 2110, 2120],
          "the decoder exports ordinals %s, not exactly 2100, 2110, 2120" % [o for o, _ in exports])
    check(all(n is None for _, n in exports), "the decoder exports names: %s" % exports)
    for path in [plugin, decoder] + programs:
        extra = imported(objdump(tool, path)) - SYSTEM_DLLS
        check(not extra, "%s imports libraries Windows lacks: %s" % (path, sorted(extra)))

    resources = Pe(plugin).resources()
    versions = resources.get((RT_VERSION, 1))
    check(versions is not None, "the plug-in has no version block")
    if versions:
        strings, fixed = version_strings(versions[0])
        check(fixed == (1, 7, 7, 300), "file version %s, not 1,7,7,300" % (fixed,))
        want = {"MIMEType": "application/vnd.skyvora", "FileExtents": "skm",
                "FileOpenName": "Skyvora Animation Stream (*.skm)",
                "ProductName": "Skyvora Viewer Plug-In 1.5",
                "FileDescription": "Skyvora Viewer Plug-In 1.5", "InternalName": "SKYVORA"}
        for key, value in want.items():
            got = strings.get(key, "").rstrip("\0")
            check(got == value, "version value %s is %r, not %r" % (key, got, value))
    table = string_table(resources)
    check(table.get(5, "").startswith("Connecting"), "string 5 is %r" % table.get(5))
    check(len([i for i in table if 13401 <= i <= 13420]) == 20,
          "the status texts 13401-13420 are not all in the string table")
    check((RT_BITMAP, "BUFFERING") in resources, "no bitmap named BUFFERING")
    for cursor in (0x6000, 0x6001):
        check((RT_GROUP_CURSOR, cursor) in resources, "no cursor %#x" % cursor)
    if failures:
        for f in failures:
            print("FAIL:", f)
        return 1
    print("modules as expected: %s, %s%s" % (plugin, decoder, "".join(", " + p for p in programs)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
