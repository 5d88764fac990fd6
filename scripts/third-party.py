#!/usr/bin/env python3
"""Writes what a host must ship beside the program: THIRD-PARTY-NOTICES.txt and a CycloneDX
bill of materials, both from the link itself.

The linker's map file lists every archive member it pulled in and every object it loaded. Each
such library or object outside the build folder is a component; dpkg names the package that
installed it, with its version, and that package's copyright file, with the licences it refers
to in /usr/share/common-licenses, goes into the notices in full. A component without a package,
a copyright file or a licence below fails, so that the notices and the bill of materials follow
the toolchain and the link.

Usage: third-party.py --map MAP --program EXE --name NAME --version VERSION
                      --notices OUT.txt --sbom OUT.cdx.json
"""
import argparse
import hashlib
import json
import os
import re
import subprocess
import sys
import urllib.parse

# SPDX licences of what the toolchain links, by Debian source package and file name ("*" for
# the rest of that package), read off the packages' copyright files. libmingw32 and the start-up
# objects are mingw-w64's crt/ sources, which that file puts in the public domain.
LICENCES = {
    ("gcc-mingw-w64", "*"): "GPL-3.0-or-later WITH GCC-exception-3.1",
    ("mingw-w64", "*"): "ZPL-2.1",
    ("mingw-w64", "libmingw32.a"): "LicenseRef-public-domain",
    ("mingw-w64", "crt2.o"): "LicenseRef-public-domain",
    ("mingw-w64", "crt2u.o"): "LicenseRef-public-domain",
    ("mingw-w64", "libmingwex.a"): "ZPL-2.1 AND LicenseRef-public-domain AND LicenseRef-Lucent AND "
    "LicenseRef-David-Gay AND LicenseRef-Keith-Marshall AND SunPro AND BSD-2-Clause AND ISC AND BSD-3-Clause",
    ("mingw-w64", "libpthread.a"): "MIT AND BSD-3-Clause AND LicenseRef-public-domain",
    ("mingw-w64", "libwinpthread.a"): "MIT AND BSD-3-Clause AND LicenseRef-public-domain",
}


def fail(message):
    sys.exit(f"third-party: {message}")


def linked_files(map_path):
    """The toolchain's files the link took something from: archives a member was pulled from,
    and objects loaded whole. Paths relative to the build folder are the project's own."""
    archives, objects = set(), set()
    section = None
    with open(map_path, encoding="utf-8", errors="replace") as lines:
        for line in lines:
            if line.startswith("Archive member included"):
                section = "archives"
            elif line.startswith(("Discarded input sections", "Memory Configuration", "Allocating common")):
                section = None
            elif section == "archives" and (match := re.match(r"(\S+?\.a)\(", line)):
                archives.add(match.group(1))
            elif match := re.match(r"LOAD (\S+\.o)$", line):
                objects.add(match.group(1))
    return sorted(os.path.normpath(path) for path in archives | objects if os.path.isabs(path))


def owning_packages(paths):
    """dpkg's package for each path, tried as linked and with its links resolved."""
    candidates = {path: [path, os.path.realpath(path)] for path in paths}
    found = subprocess.run(["dpkg-query", "--search", *{c for cs in candidates.values() for c in cs}],
                           capture_output=True, text=True, check=False).stdout
    owner = {}
    for line in found.splitlines():
        packages, _, path = line.partition(": ")
        if "," not in packages and not line.startswith("diversion"):
            owner[path] = packages.split(":")[0]
    result = {}
    for path, names in candidates.items():
        package = next((owner[name] for name in names if name in owner), None)
        if package is None:
            fail(f"the link pulled in {path}, which no Debian package installed: no notice for it")
        result[path] = package
    return result


def package_facts(package):
    fields = "${Version}\t${Architecture}\t${source:Package}"
    out = subprocess.run(["dpkg-query", "--show", f"--showformat={fields}", package],
                         capture_output=True, text=True, check=True).stdout
    version, arch, source = out.split("\t")
    copyright_path = f"/usr/share/doc/{package}/copyright"
    if not os.path.isfile(copyright_path):
        fail(f"{package} has no copyright file ({copyright_path})")
    with open(copyright_path, encoding="utf-8") as text:
        copyright_text = text.read()
    return {"package": package, "version": version, "arch": arch, "source": source,
            "upstream": re.sub(r"^\d+:", "", version).split("-")[0], "copyright": copyright_text}


def licence_of(source, file_name):
    licence = LICENCES.get((source, file_name)) or LICENCES.get((source, "*"))
    if licence is None:
        fail(f"no licence known for {file_name} of {source}: add it to LICENCES in {sys.argv[0]}")
    return licence


def referred_licences(copyright_text):
    """Full texts of the common licences a copyright file refers to, each once."""
    names = re.findall(r"/usr/share/common-licenses/([A-Za-z0-9.+-]*[A-Za-z0-9+])", copyright_text)
    texts = {}
    for name in sorted(set(names)):
        path = os.path.realpath(f"/usr/share/common-licenses/{name}")
        if not os.path.isfile(path):
            fail(f"the copyright files refer to {path}, which is missing")
        texts[os.path.basename(path)] = path
    return texts


def write_notices(path, name, version, components):
    rule = "=" * 78
    out = [f"{name} {version}: third-party notices", "",
           f"{name}.exe is one static program. Besides its own code, the link put parts of these",
           "libraries and objects into it, as Debian's packages installed them:", ""]
    width = max(len(c["file"]) for c in components)
    for c in components:
        out.append(f"  {c['file']:<{width}}  {c['upstream']:<8}  {c['package']} {c['version']}")
        out.append(f"  {'':<{width}}  licence: {c['licence']}")
    out += ["", "Below follow each package's copyright file in full, then the full text of each",
            "licence those files refer to.", ""]
    by_text = {}
    for c in components:
        by_text.setdefault(c["copyright"], []).append(c)
    licences = {}
    for text, group in by_text.items():
        packages = sorted({f"{c['package']} {c['version']}" for c in group})
        files = ", ".join(c["file"] for c in group)
        out += [rule, f"Copyright file of {', '.join(packages)}", f"(for {files})", rule, "", text.rstrip("\n"), ""]
        licences.update(referred_licences(text))
    for licence, licence_path in sorted(licences.items()):
        with open(licence_path, encoding="utf-8") as text:
            out += [rule, f"{licence} ({licence_path})", rule, "", text.read().rstrip("\n"), ""]
    with open(path, "w", encoding="utf-8", newline="\n") as notices:
        notices.write("\n".join(out))


def write_sbom(path, name, version, program, components):
    with open(program, "rb") as exe:
        digest = hashlib.sha256(exe.read()).hexdigest()
    with open("/etc/os-release", encoding="utf-8") as release:
        distro = "debian-" + next((line.split("=", 1)[1].strip().strip('"') for line in release
                                   if line.startswith("VERSION_ID=")), "unknown")
    entries = []
    for c in components:
        purl = (f"pkg:deb/debian/{urllib.parse.quote(c['package'])}@{urllib.parse.quote(c['version'])}"
                f"?arch={c['arch']}&distro={distro}")
        entries.append({"type": "library", "bom-ref": c["file"], "name": c["file"], "version": c["upstream"],
                        "description": f"linked statically into {name}.exe, from the Debian package "
                                       f"{c['package']} {c['version']}",
                        "licenses": [{"expression": c["licence"]}], "purl": purl})
    bom = {
        "bomFormat": "CycloneDX",
        "specVersion": "1.6",
        "version": 1,
        "metadata": {"component": {"type": "application", "bom-ref": name, "name": name, "version": version,
                                   "hashes": [{"alg": "SHA-256", "content": digest}]}},
        "components": entries,
        "dependencies": [{"ref": name, "dependsOn": [c["file"] for c in components]}]
                        + [{"ref": c["file"]} for c in components],
    }
    with open(path, "w", encoding="utf-8", newline="\n") as sbom:
        json.dump(bom, sbom, indent=2)
        sbom.write("\n")


def main():
    parser = argparse.ArgumentParser()
    for option in ("map", "program", "name", "version", "notices", "sbom"):
        parser.add_argument(f"--{option}", required=True)
    args = parser.parse_args()
    files = linked_files(args.map)
    if not files:
        fail(f"{args.map} names no library of the toolchain: is it the linker's map?")
    owners = owning_packages(files)
    facts = {package: package_facts(package) for package in sorted(set(owners.values()))}
    components = []
    for path in files:
        package = facts[owners[path]]
        file_name = os.path.basename(path)
        components.append(dict(package, file=file_name, licence=licence_of(package["source"], file_name)))
    components.sort(key=lambda c: (c["source"], c["file"]))
    write_notices(args.notices, args.name, args.version, components)
    write_sbom(args.sbom, args.name, args.version, args.program, components)


if __name__ == "__main__":
    main()
