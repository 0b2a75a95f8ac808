#!/usr/bin/env python3
"""Checks that a klvps Windows package is consistent.

Usage: check-package.py ARCHIVE             check one archive
       check-package.py --self-test ARCHIVE  break a good archive in known
                                             ways and check each is caught

The archive holds one folder, klvps-VERSION-windows/. Checked:
  - the INF is well formed: every line in a section, no section twice,
    every %token% defined in [Strings], every section it names present;
  - it installs on x86 and x64: decorated model sections for both, and
    every file its CopyFiles lists resolves through SourceDisksNames and
    SourceDisksFiles to a file in the archive on both architectures;
  - every DLL is a PE image whose machine matches its architecture (the
    INF's, and the folder's: x86 0x14c, x64 0x8664), whose export table
    carries its own file name and the two entry points the driver calls;
  - the plug-in configuration file lists [OEMFiles] entries numbered from
    1 without gaps, names a rendering plug-in (OEMDriverFile1) and a
    user-interface plug-in (OEMConfigFile1) in files of their own, names
    files without a path, and every file it names is installed by the INF;
  - the printer description's model name is the INF's, and no file in the
    archive is left out of the INF.
The last line printed is the result. Exit status 0 when nothing is wrong.
"""

import argparse
import dataclasses
import io
import re
import struct
import sys
import zipfile
from typing import Callable

PRINTER_CLASS_GUID = "{4D36E979-E325-11CE-BFC1-08002BE10318}"
PRINTER_DRIVER_DIRID = "66000"
# Sections of the system's NTPRINT.INF that a printer INF may name through
# DataSection and Needs once it includes NTPRINT.INF.
NTPRINT_SECTIONS = {
    "pscript_data", "unidrv_data", "unidrv_bidi_data", "pscript.oem",
    "unidrv.oem", "unidrv_bidi.oem", "ttfsub.oem", "srgbprofile.oem", "locale.oem",
}
# Model-section decoration -> SourceDisksFiles platform extension.
MODEL_DECORATIONS = {"ntx86": "x86", "ntamd64": "amd64"}
# SourceDisksFiles platform extension, and archive folder -> PE machine.
INF_MACHINES = {"x86": 0x14C, "amd64": 0x8664}
FOLDER_MACHINES = {"x86": 0x14C, "x64": 0x8664}
# What the driver calls in the plug-in DLL it loads.
PLUGIN_ENTRY_POINTS = {"DllGetClassObject", "DllCanUnloadNow"}
# Files the package carries besides those the INF installs.
UNINSTALLED_FILES = {"install.md"}
# The signing step writes the catalog; an unsigned package does not have it.
SIGNING_OUTPUT = re.compile(r".+\.cat$", re.IGNORECASE)


@dataclasses.dataclass
class InfLine:
    number: int
    key: str | None  # None for a line without '=' (a file list entry)
    value: str


@dataclasses.dataclass
class Section:
    name: str
    lines: list[InfLine]

    def get(self, key: str) -> str | None:
        for line in self.lines:
            if line.key is not None and line.key.lower() == key.lower():
                return line.value
        return None


def strip_comment(text: str) -> str:
    quoted = False
    for i, c in enumerate(text):
        if c == '"':
            quoted = not quoted
        elif c == ";" and not quoted:
            return text[:i]
    return text


def split_outside_quotes(text: str, separator: str) -> list[str]:
    parts, current, quoted = [], "", False
    for c in text:
        if c == '"':
            quoted = not quoted
        if c == separator and not quoted:
            parts.append(current)
            current = ""
        else:
            current += c
    parts.append(current)
    return [p.strip() for p in parts]


def unquote(text: str) -> str:
    text = text.strip()
    return text[1:-1] if len(text) >= 2 and text[0] == text[-1] == '"' else text


def decode_text(data: bytes) -> str:
    if data.startswith(b"\xff\xfe"):
        return data[2:].decode("utf-16-le")
    return data.decode("latin-1")


class PackageCheck:
    def __init__(self, files: dict[str, bytes], archive_name: str):
        self.files = files
        self.archive_name = archive_name
        self.problems: list[str] = []
        self.checks = 0
        self.model_name: str | None = None

    def expect(self, condition: bool, problem: str) -> bool:
        self.checks += 1
        if not condition:
            self.problems.append(problem)
        return condition

    # The archive -----------------------------------------------------------

    def run(self) -> None:
        match = re.fullmatch(r"(klvps-(\d+(?:\.\d+)*)-windows)\.zip", self.archive_name)
        if not self.expect(match is not None, f"archive name {self.archive_name} is not klvps-VERSION-windows.zip"):
            return
        self.root, self.version = match.group(1) + "/", match.group(2)
        outside = [n for n in self.files if not n.startswith(self.root) or ".." in n.split("/")]
        self.expect(not outside, f"entries outside {self.root}: {', '.join(outside)}")
        self.names = {n[len(self.root):]: n for n in self.files if n.startswith(self.root)}
        for name in self.names:
            folder = name.split("/")[0] if "/" in name else ""
            if name.lower().endswith(".dll"):
                self.expect(folder in FOLDER_MACHINES, f"{name}: a DLL outside the x86/ and x64/ folders")
                if folder in FOLDER_MACHINES:
                    self.check_machine(name, FOLDER_MACHINES[folder], f"folder {folder}/")
                    self.check_exports(name)
        infs = [n for n in self.names if "/" not in n and n.lower().endswith(".inf")]
        if not self.expect(len(infs) == 1, f"expected one INF at the top of the package, found {infs}"):
            return
        self.expect("INSTALL.md" in self.names, "INSTALL.md is missing")
        self.inf_name = infs[0]
        self.check_inf(decode_text(self.files[self.names[self.inf_name]]))

    def pe_machine(self, name: str) -> int | None:
        data = self.files[self.names[name]]
        if len(data) < 0x40 or data[:2] != b"MZ":
            return None
        offset = struct.unpack_from("<I", data, 0x3C)[0]
        if offset + 6 > len(data) or data[offset:offset + 4] != b"PE\0\0":
            return None
        return struct.unpack_from("<H", data, offset + 4)[0]

    def check_exports(self, name: str) -> None:
        exports = pe_exports(self.files[self.names[name]])
        if not self.expect(exports is not None, f"{name}: no export table"):
            return
        dll_name, functions = exports
        file_name = name.split("/")[-1]
        self.expect(dll_name.lower() == file_name.lower(), f"{name}: exports under the name {dll_name}, not {file_name}")
        missing = sorted(PLUGIN_ENTRY_POINTS - functions)
        self.expect(not missing, f"{name}: does not export {', '.join(missing)}")

    def check_machine(self, name: str, machine: int, why: str) -> None:
        found = self.pe_machine(name)
        if self.expect(found is not None, f"{name}: not a PE image"):
            self.expect(found == machine, f"{name}: PE machine {found:#x}, but {why} wants {machine:#x}")

    # The INF ---------------------------------------------------------------

    def parse_inf(self, text: str) -> None:
        self.sections: dict[str, Section] = {}
        current = None
        pending, first = "", 0
        for number, raw in enumerate(text.splitlines(), 1):
            line = strip_comment(raw).rstrip()
            if line.endswith("\\"):
                pending, first = pending + line[:-1], first or number
                continue
            line, number, pending, first = (pending + line).strip(), first or number, "", 0
            if not line:
                continue
            if line.startswith("["):
                if not self.expect(line.endswith("]"), f"{self.inf_name}:{number}: unclosed section header"):
                    continue
                name = line[1:-1].strip()
                self.expect(name.lower() not in self.sections, f"{self.inf_name}:{number}: duplicate section [{name}]")
                current = self.sections.setdefault(name.lower(), Section(name, []))
                continue
            if not self.expect(current is not None, f"{self.inf_name}:{number}: line outside any section"):
                continue
            parts = split_outside_quotes(line, "=")
            key = parts[0] if len(parts) > 1 else None
            current.lines.append(InfLine(number, key, "=".join(parts[1:]) if key is not None else line))
            self.expect(line.count('"') % 2 == 0, f"{self.inf_name}:{number}: unbalanced quotes")

    def section(self, name: str) -> Section | None:
        return self.sections.get(name.strip().lower())

    def resolve(self, text: str, number: int) -> str:
        def token(match: re.Match) -> str:
            if match.group(1) == "":
                return "%"
            value = self.strings.get(match.group(1).lower())
            self.expect(value is not None, f"{self.inf_name}:{number}: undefined string token %{match.group(1)}%")
            return value or ""

        return re.sub(r"%([^%\s]*)%", token, text)

    def check_inf(self, text: str) -> None:
        self.parse_inf(text)
        strings = self.section("Strings")
        self.strings = {}
        if strings:
            self.strings = {line.key.lower(): unquote(line.value) for line in strings.lines if line.key}
        for section in self.sections.values():
            for line in section.lines:
                if section.name.lower() != "strings":
                    self.resolve((line.key or "") + "=" + line.value, line.number)
        for required in ("Version", "Manufacturer", "DestinationDirs", "SourceDisksNames", "SourceDisksFiles", "Strings"):
            self.expect(self.section(required) is not None, f"{self.inf_name}: no [{required}] section")
        if self.problems:
            return
        self.check_version()
        models = self.check_manufacturer()
        installs = {}
        for decoration, section in models.items():
            for line in section.lines:
                install = split_outside_quotes(line.value, ",")[0]
                target = self.section(f"{install}.{decoration}") or self.section(install)
                if self.expect(target is not None, f"[{section.name}]: install section {install} does not exist"):
                    installs[target.name.lower()] = target
                    self.model_name = self.resolve(unquote(line.key or ""), line.number)
        for install in installs.values():
            self.check_install(install)

    def check_version(self) -> None:
        version = self.section("Version")
        self.expect(unquote(version.get("Signature") or "").lower() == "$windows nt$", "[Version] Signature is not $Windows NT$")
        self.expect((version.get("Class") or "").lower() == "printer", "[Version] Class is not Printer")
        self.expect((version.get("ClassGUID") or "").upper() == PRINTER_CLASS_GUID, "[Version] ClassGUID is not the printer class")
        self.expect(version.get("Provider") is not None, "[Version] has no Provider")
        driver_ver = version.get("DriverVer") or ""
        match = re.fullmatch(r"(\d\d)/(\d\d)/(\d{4}),(\d+)\.(\d+)\.(\d+)\.(\d+)", driver_ver.replace(" ", ""))
        if self.expect(match is not None, f"[Version] DriverVer '{driver_ver}' is not mm/dd/yyyy,w.x.y.z"):
            wanted = (self.version.split(".") + ["0"] * 4)[:4]
            self.expect(list(match.groups()[3:]) == wanted, f"[Version] DriverVer {driver_ver} is not version {self.version}")
        catalog = version.get("CatalogFile")
        if catalog:
            self.expect(SIGNING_OUTPUT.fullmatch(catalog) is not None, f"[Version] CatalogFile {catalog} is not a .cat file")

    def check_manufacturer(self) -> dict[str, Section]:
        models: dict[str, Section] = {}
        for line in self.section("Manufacturer").lines:
            fields = split_outside_quotes(line.value, ",")
            base, decorations = fields[0], [d.lower() for d in fields[1:]]
            for architecture in MODEL_DECORATIONS:
                self.expect(architecture in decorations, f"[Manufacturer] {base}: no {architecture} models: the driver would not install there")
            for decoration in decorations:
                section = self.section(f"{base}.{decoration}")
                if self.expect(section is not None, f"[Manufacturer] names [{base}.{decoration}], no such section"):
                    models[decoration] = section
        names = {d: sorted(unquote(l.key or "") for l in s.lines) for d, s in models.items()}
        self.expect(len({tuple(n) for n in names.values()}) <= 1, f"the architectures offer different models: {names}")
        return models

    def check_install(self, install: Section) -> None:
        includes = [unquote(i).lower() for i in split_outside_quotes(install.get("Include") or "", ",") if i]
        self.expect(all(i == "ntprint.inf" for i in includes), f"[{install.name}] includes {includes}; only NTPRINT.INF is on every system")
        for key in ("DataSection", "Needs"):
            for name in split_outside_quotes(install.get(key) or "", ","):
                if name:
                    known = self.section(name) is not None or ("ntprint.inf" in includes and name.lower() in NTPRINT_SECTIONS)
                    self.expect(known, f"[{install.name}] {key}={name}: no such section here or in NTPRINT.INF")
        copied: dict[str, str] = {}  # file -> file-list section ("" for @file)
        for item in split_outside_quotes(install.get("CopyFiles") or "", ","):
            if item.startswith("@"):
                copied[item[1:]] = ""
            elif self.expect(self.section(item) is not None, f"[{install.name}] CopyFiles={item}: no such section"):
                for line in self.section(item).lines:
                    fields = split_outside_quotes(line.value if line.key is None else f"{line.key}={line.value}", ",")
                    self.expect(len(fields) < 2 or fields[1] == "", f"[{item}] {fields[0]}: a printer INF file list gives no source name")
                    copied[fields[0]] = item
        self.expect(bool(copied), f"[{install.name}] copies no files")
        for key in ("DataFile", "DriverFile", "ConfigFile", "HelpFile"):
            name = install.get(key)
            if name:
                self.expect(name in copied, f"[{install.name}] {key}={name} is not among the files it copies")
        self.check_destinations(copied)
        sources = self.check_sources(copied)
        self.check_plugin_config(copied, sources)
        data_file = install.get("DataFile")
        if data_file and data_file.lower().endswith(".ppd") and data_file in sources:
            self.check_ppd(sources[data_file][0])
        installed = {self.inf_name, self.section("Version").get("CatalogFile")}
        installed |= {path for paths in sources.values() for path in paths}
        for name in self.names:
            self.expect(name in installed or name.lower() in UNINSTALLED_FILES, f"{name}: in the archive but not named by the INF")

    def check_destinations(self, copied: dict[str, str]) -> None:
        destinations = self.section("DestinationDirs")
        for file_list in set(copied.values()):
            dirid = (destinations.get(file_list) if file_list else None) or destinations.get("DefaultDestDir")
            dirid = split_outside_quotes(dirid or "", ",")[0]
            self.expect(dirid == PRINTER_DRIVER_DIRID, f"[DestinationDirs] sends {file_list or '@files'} to '{dirid}', not the printer driver directory ({PRINTER_DRIVER_DIRID})")

    def check_sources(self, copied: dict[str, str]) -> dict[str, list[str]]:
        disks = {}
        for line in self.section("SourceDisksNames").lines:
            fields = split_outside_quotes(line.value, ",") + ["", "", ""]
            disks[(line.key or "").strip()] = unquote(fields[3]).strip("\\").replace("\\", "/")
        listed = {}
        for extension in [""] + [f".{a}" for a in INF_MACHINES]:
            section = self.section(f"SourceDisksFiles{extension}")
            for line in section.lines if section else []:
                listed[(extension, line.key or line.value)] = line
        sources: dict[str, list[str]] = {}
        for name in copied:
            for architecture, machine in INF_MACHINES.items():
                line = listed.get((f".{architecture}", name)) or listed.get(("", name))
                if not self.expect(line is not None, f"{name}: no SourceDisksFiles entry for {architecture}"):
                    continue
                fields = split_outside_quotes(line.value, ",") + [""]
                if not self.expect(fields[0] in disks, f"{name}: disk {fields[0]} is not in [SourceDisksNames]"):
                    continue
                path = "/".join(p for p in (disks[fields[0]], fields[1].strip("\\").replace("\\", "/"), name) if p)
                if self.expect(path in self.names, f"{name}: {architecture} source {path} is missing from the archive"):
                    if path not in sources.setdefault(name, []):
                        sources[name].append(path)
                    if name.lower().endswith(".dll"):
                        self.check_machine(path, machine, f"[SourceDisksFiles.{architecture}]")
        for extension, name in listed:
            self.expect(name in copied, f"[SourceDisksFiles{extension}] {name} is not copied by any install section")
        return sources

    # The plug-in configuration file and the printer description -------------

    def check_plugin_config(self, copied: dict[str, str], sources: dict[str, list[str]]) -> None:
        configs = [name for name in copied if name.lower().endswith(".ini")]
        if not self.expect(len(configs) == 1, f"the INF installs {len(configs)} plug-in configuration files, not 1"):
            return
        config = configs[0]
        if config not in sources:
            return
        section, entries = None, {}
        for number, line in enumerate(decode_text(self.files[self.names[sources[config][0]]]).splitlines(), 1):
            line = line.strip()
            if not line or line.startswith((";", "#")):
                continue
            if line.startswith("["):
                section = line.strip("[]").strip().lower()
                continue
            if section != "oemfiles":
                continue
            key, _, value = line.partition("=")
            self.expect(key == key.rstrip() and value == value.lstrip(), f"{config}:{number}: space around '='")
            entries[key.strip()] = value.strip()
        for kind in ("OEMDriverFile", "OEMConfigFile"):
            numbers = sorted(int(k[len(kind):]) for k in entries if re.fullmatch(kind + r"\d+", k))
            self.expect(numbers == list(range(1, len(numbers) + 1)), f"{config}: {kind} entries numbered {numbers}, not 1, 2, ...")
        unknown = [k for k in entries if not re.fullmatch(r"OEM(Driver|Config)File\d+", k)]
        self.expect(not unknown, f"{config}: unknown [OEMFiles] entries {unknown}")
        self.expect(any(k.startswith("OEMDriverFile") for k in entries), f"{config}: names no rendering plug-in (OEMDriverFile1)")
        self.expect(any(k.startswith("OEMConfigFile") for k in entries), f"{config}: names no user-interface plug-in (OEMConfigFile1)")
        render = {v.lower() for k, v in entries.items() if k.startswith("OEMDriverFile")}
        ui = {v.lower() for k, v in entries.items() if k.startswith("OEMConfigFile")}
        self.expect(not render & ui, f"{config}: names {', '.join(sorted(render & ui))} as both a rendering and a user-interface plug-in")
        for key, value in entries.items():
            self.expect("\\" not in value and "/" not in value and ":" not in value, f"{config}: {key}={value} carries a path")
            self.expect(value in copied, f"{config}: {key}={value} is not copied by the INF")

    def check_ppd(self, path: str) -> None:
        text = decode_text(self.files[self.names[path]])
        fields = dict(re.findall(r'^\*(ModelName|PCFileName):\s*"([^"]*)"', text, re.MULTILINE))
        self.expect(fields.get("ModelName") == self.model_name, f"{path}: *ModelName {fields.get('ModelName')!r} is not the INF's model {self.model_name!r}")
        self.expect((fields.get("PCFileName") or "").lower() == path.split("/")[-1].lower(), f"{path}: *PCFileName {fields.get('PCFileName')!r} is not its file name")


def pe_exports(data: bytes) -> tuple[str, set[str]] | None:
    """The export table's DLL name and function names, or None."""
    try:
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        directories = optional + {0x10B: 96, 0x20B: 112}[magic]
        export_rva, export_size = struct.unpack_from("<II", data, directories)
        table = optional + optional_size
        spans = [struct.unpack_from("<IIII", data, table + 40 * i + 8) for i in range(sections)]

        def offset(rva: int) -> int:
            for size, address, raw_size, raw in spans:
                if address <= rva < address + max(size, raw_size):
                    return raw + rva - address
            raise ValueError(f"RVA {rva:#x} is in no section")

        def string(rva: int) -> str:
            start = offset(rva)
            return data[start:data.index(b"\0", start)].decode("latin-1")

        if export_size == 0:
            return None
        name_rva, _, _, count, _, names = struct.unpack_from("<IIIIII", data, offset(export_rva) + 12)
        name_table = offset(names)
        return string(name_rva), {string(struct.unpack_from("<I", data, name_table + 4 * i)[0]) for i in range(count)}
    except (struct.error, KeyError, ValueError):
        return None


def read_archive(data: bytes) -> dict[str, bytes]:
    with zipfile.ZipFile(io.BytesIO(data)) as archive:
        names = [i.filename for i in archive.infolist() if not i.is_dir()]
        if len(names) != len(set(names)):
            raise ValueError("the archive holds an entry twice")
        return {name: archive.read(name) for name in names}


def check(files: dict[str, bytes], archive_name: str) -> PackageCheck:
    result = PackageCheck(files, archive_name)
    result.run()
    return result


# Self-test: each case breaks a good package in one way a real mistake would.


@dataclasses.dataclass
class Fault:
    name: str
    breaks: Callable[[dict[str, bytes], str], None]
    reported: str  # a piece of the problem that must be reported


def edit(suffix: str, old: str, new: str) -> Callable[[dict[str, bytes], str], None]:
    def apply(files: dict[str, bytes], root: str) -> None:
        (name,) = [n for n in files if n.lower().endswith(suffix)]
        text = files[name].decode("latin-1")
        if old not in text:
            raise AssertionError(f"self-test: '{old}' is not in {name}")
        files[name] = text.replace(old, new, 1).encode("latin-1")

    return apply


def swap(name: str) -> Callable[[dict[str, bytes], str], None]:
    def apply(files: dict[str, bytes], root: str) -> None:
        files[root + "x86/" + name], files[root + "x64/" + name] = files[root + "x64/" + name], files[root + "x86/" + name]

    return apply


def rename_export(path: str, old: bytes, new: bytes) -> Callable[[dict[str, bytes], str], None]:
    def apply(files: dict[str, bytes], root: str) -> None:
        files[root + path] = files[root + path].replace(old, new)

    return apply


FAULTS = [
    Fault("the 64-bit DLL is missing", lambda f, r: f.pop(r + "x64/klvps.dll"), "x64/klvps.dll is missing"),
    Fault("the DLLs sit in each other's folder", swap("klvps.dll"), "PE machine 0x8664, but folder x86/"),
    Fault("a string token is not defined", edit(".inf", "1=%DiskName%", "1=%Disk%"), "undefined string token %Disk%"),
    Fault("a section appears twice", edit(".inf", "\r\n[Strings]\r\n", "\r\n[SourceDisksNames]\r\n[Strings]\r\n"), "duplicate section"),
    Fault("a line before the first section", edit(".inf", "[Version]", "Signature=\"$Windows NT$\"\r\n[Version]"), "line outside any section"),
    Fault("not the printer class", edit(".inf", "{4D36E979-", "{4D36E978-"), "ClassGUID is not the printer class"),
    Fault("CopyFiles names a missing section", edit(".inf", "CopyFiles=KlvpsFiles", "CopyFiles=KlvpsFile"), "no such section"),
    Fault("no x64 models", edit(".inf", "Klvps,NTx86,NTamd64", "Klvps,NTx86"), "no ntamd64 models"),
    Fault("the configuration file is not installed", edit(".inf", "klvps.ini\r\n", ""), "installs 0 plug-in configuration"),
    Fault("the configuration file names another DLL", edit(".ini", "=klvps.dll", "=klvpsps.dll"), "klvpsps.dll is not copied"),
    Fault("the configuration file names a path", edit(".ini", "=klvps.dll", "=x64\\klvps.dll"), "carries a path"),
    Fault("a space before '=' in the configuration file", edit(".ini", "File1=", "File1 ="), "space around '='"),
    Fault("plug-ins numbered with a gap", edit(".ini", "OEMDriverFile1", "OEMDriverFile2"), "numbered [2]"),
    Fault("a DLL under another name", lambda f, r: f.__setitem__(r + "x64/klvps.dll", f[r + "x64/klvps.dll"].replace(b"klvps.dll\0", b"klvpz.dll\0")), "exports under the name klvpz.dll"),
    Fault("a DLL without the driver's entry points", lambda f, r: f.__setitem__(r + "x86/klvps.dll", f[r + "x86/klvps.dll"].replace(b"DllCanUnloadNow\0", b"DllCanUnloadNoX\0")), "does not export DllCanUnloadNow"),
    Fault("the INF takes the x86 DLL from x64/", edit(".inf", "klvps.dll=1,x86", "klvps.dll=1,x64"), "but [SourceDisksFiles.x86] wants 0x14c"),
    Fault("a file list gives a source name", edit(".inf", "klvps.dll\r\n", "klvps.dll,klvps64.dll\r\n"), "gives no source name"),
    Fault("a source file has no entry", edit(".inf", "klvps.ini=1\r\n", ""), "klvps.ini: no SourceDisksFiles entry"),
    Fault("DriverVer is not the package version", edit(".inf", "DriverVer=", "DriverVer=01/01/2000,9.9.9.9 ;"), "is not version"),
    Fault("the model name differs from the PPD's", edit(".ppd", '*ModelName: "klvps', '*ModelName: "other'), "is not the INF's model"),
    Fault("a stray file in the archive", lambda f, r: f.__setitem__(r + "x64/extra.ps", b"%!"), "not named by the INF"),
    Fault("files go elsewhere than the driver directory", edit(".inf", "DefaultDestDir=66000", "DefaultDestDir=11"), "not the printer driver directory"),
    # The user-interface plug-in.
    Fault("the 32-bit UI DLL is missing", lambda f, r: f.pop(r + "x86/klvpsui.dll"), "x86/klvpsui.dll is missing"),
    Fault("the UI DLLs sit in each other's folder", swap("klvpsui.dll"), "x64/klvpsui.dll: PE machine 0x14c"),
    Fault("the INF does not install the UI DLL", edit(".inf", "klvpsui.dll\r\n", ""), "OEMConfigFile1=klvpsui.dll is not copied"),
    Fault("the INF has no x64 source for the UI DLL", edit(".inf", "klvpsui.dll=1,x64\r\n", ""), "x64/klvpsui.dll: in the archive but not named"),
    Fault("the configuration file names no UI plug-in", edit(".ini", "OEMConfigFile1=klvpsui.dll\r\n", ""), "names no user-interface plug-in"),
    Fault("the configuration file names the renderer as UI", edit(".ini", "OEMConfigFile1=klvpsui.dll", "OEMConfigFile1=klvps.dll"), "as both a rendering and a user-interface plug-in"),
    Fault("a UI DLL under another name", rename_export("x64/klvpsui.dll", b"klvpsui.dll\0", b"klvpsuz.dll\0"), "exports under the name klvpsuz.dll"),
    Fault("a UI DLL without the driver's entry points", rename_export("x86/klvpsui.dll", b"DllGetClassObject\0", b"DllGetClassObjecX\0"), "x86/klvpsui.dll: does not export DllGetClassObject"),
]


def self_test(files: dict[str, bytes], archive_name: str) -> bool:
    good = check(files, archive_name)
    if good.problems:
        print("\n".join(good.problems))
        print("package self-test: FAILED: the archive to break is itself inconsistent")
        return False
    root = next(iter(files)).split("/")[0] + "/"
    missed = []
    for fault in FAULTS:
        broken = dict(files)
        fault.breaks(broken, root)
        problems = check(broken, archive_name).problems
        if not any(fault.reported in p for p in problems):
            missed.append(fault.name)
            print(f"not caught: {fault.name} (wanted '{fault.reported}', got {problems})")
    caught = len(FAULTS) - len(missed)
    print(f"package self-test: {caught} of {len(FAULTS)} faults caught" + ("" if not missed else ": FAILED"))
    return not missed


def main() -> int:
    parser = argparse.ArgumentParser(description="Check that a klvps Windows package is consistent.")
    parser.add_argument("--self-test", action="store_true", help="break the archive in known ways and check each is caught")
    parser.add_argument("archive", help="dist/klvps-VERSION-windows.zip")
    args = parser.parse_args()
    archive_name = args.archive.replace("\\", "/").split("/")[-1]
    try:
        with open(args.archive, "rb") as stream:
            files = read_archive(stream.read())
    except (OSError, ValueError, zipfile.BadZipFile) as error:
        print(f"package: FAILED: cannot read {args.archive}: {error}")
        return 1
    if args.self_test:
        return 0 if self_test(files, archive_name) else 1
    result = check(files, archive_name)
    for problem in result.problems:
        print(problem)
    if result.problems:
        print(f"package: FAILED: {len(result.problems)} problem(s) in {archive_name}")
        return 1
    print(f"package: {archive_name} consistent ({len(files)} files, {result.checks} checks)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
