#!/usr/bin/env python3
"""check_setup.py OBJDUMP FILE-CMD ARCH FOLDER: checks the setup folder as a package is made of it.

- it holds Setup and everything Setup needs beside itself, and nothing Setup would not know;
- `file` calls skvinst.exe a GUI program of the architecture (PE32 / Intel 80386, or PE32+ /
  x86-64), so that starting it opens no console window;
- `objdump -p`: it imports only libraries a plain Windows installation has (the C and C++
  runtimes are inside it).
"""
import os
import re
import subprocess
import sys

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "shell32.dll",
               "advapi32.dll", "msvcrt.dll"}
FOLDER = {"skvinst.exe", "npskyv32.dll", "qa118dec.dll", "skyvora.txt", "license.txt",
          "skvinst.dat"}


def main():
    objdump, file_cmd, arch, folder = sys.argv[1:5]
    failures = []
    present = set(os.listdir(folder))
    if present != FOLDER:
        failures.append(f"the folder holds {sorted(present)}, not {sorted(FOLDER)}")
    exe = os.path.join(folder, "skvinst.exe")
    kind = subprocess.run([file_cmd, "-b", exe], capture_output=True, text=True).stdout
    want = "PE32+ executable (GUI) x86-64" if arch == "x86_64" else "PE32 executable (GUI) Intel 80386"
    if not kind.startswith(want):
        failures.append(f"skvinst.exe is \"{kind.strip()}\", not {want}")
    dump = subprocess.run([objdump, "-p", exe], capture_output=True, text=True).stdout
    imports = {name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)}
    if not imports:
        failures.append("objdump shows no imports of skvinst.exe")
    for name in sorted(imports - SYSTEM_DLLS):
        failures.append(f"skvinst.exe imports {name}, which Windows does not have")
    for f in failures:
        print("check_setup:", f)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
