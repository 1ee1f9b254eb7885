#!/usr/bin/env python3
"""Checks that each core library includes only what it links.

Usage: check_includes.py SRC_ROOT MANIFEST

The manifest, written by CMake, lists each core library with its sources and the core
libraries it links directly:

    library kyr_csv
    source /abs/src/csv/listing.cpp
    link kyr_settings

(source paths may also be relative to SRC_ROOT).

A header belongs to the library that compiles the .cpp file beside it; a header without one
belongs to the libraries with sources in its folder. Each library's files (its sources, their
headers, and the header-only headers it is the base library of) may include, with quotes, only
headers of the library itself or of a library it links directly, and nothing of Qt. Every
violation is printed; the exit status is 1 when there is any.
"""

import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.MULTILINE)
HEADER_SUFFIXES = (".h", ".hpp")


def read_manifest(path):
    libraries = {}
    current = None
    with open(path, encoding="utf-8") as manifest:
        for line in manifest:
            kind, _, value = line.rstrip("\n").partition(" ")
            if kind == "library":
                current = libraries.setdefault(value, {"sources": [], "links": set()})
            elif kind == "source":
                current["sources"].append(value)
            elif kind == "link":
                current["links"].add(value)
    return libraries


def relative_to(root, path):
    relative = os.path.relpath(path, root)
    return None if relative.startswith("..") else relative.replace(os.sep, "/")


def header_owners(root, libraries):
    """Maps each header under root (as included, "folder/name.h") to its owning libraries."""
    compiled = {}  # "folder/name" of a compiled source -> library
    folders = {}  # folder of a source -> libraries with sources there
    for name, library in libraries.items():
        for source in library["sources"]:
            relative = relative_to(root, source)
            if relative is None:
                continue
            compiled[os.path.splitext(relative)[0]] = name
            folders.setdefault(os.path.dirname(relative), set()).add(name)
    owners = {}
    for folder, _, files in os.walk(root):
        for file in files:
            if not file.endswith(HEADER_SUFFIXES):
                continue
            header = relative_to(root, os.path.join(folder, file))
            stem = os.path.splitext(header)[0]
            if stem in compiled:
                owners[header] = {compiled[stem]}
            else:
                owners[header] = folders.get(os.path.dirname(header), set())
    # Generated headers are sources of their library, included by their path under the
    # generated include folder.
    for name, library in libraries.items():
        for source in library["sources"]:
            if source.endswith(HEADER_SUFFIXES) and "/include/" in source:
                owners.setdefault(source.rsplit("/include/", 1)[1], set()).add(name)
    return owners


def links_closure(libraries, name):
    seen, stack = set(), [name]
    while stack:
        for link in libraries[stack.pop()]["links"]:
            if link not in seen:
                seen.add(link)
                stack.append(link)
    return seen


def files_of(root, libraries, owners):
    """Each library's files: its sources, their headers and the header-only headers whose
    other owners all build on it."""
    files = {name: set() for name in libraries}
    for name, library in libraries.items():
        for source in library["sources"]:
            if relative_to(root, source) is not None and os.path.exists(source):
                files[name].add(source)
    for header, names in owners.items():
        path = os.path.join(root, header)
        if not os.path.exists(path):
            continue  # generated: the generator, not a person, writes its includes
        if len(names) == 1:
            files[next(iter(names))].add(path)
            continue
        bases = [n for n in names if all(n in links_closure(libraries, o) for o in names - {n})]
        for name in bases or names:
            files[name].add(path)
    return files


def violations(root, libraries):
    owners = header_owners(root, libraries)
    found = []
    for name, paths in sorted(files_of(root, libraries, owners).items()):
        allowed = {name} | libraries[name]["links"]
        for path in sorted(paths):
            with open(path, encoding="utf-8") as file:
                text = file.read()
            shown = relative_to(root, path)
            for quote, include in INCLUDE.findall(text):
                if quote == "<":
                    if re.match(r"Q[A-Za-z]*(/|$)", include):
                        found.append(f"{shown}: <{include}>: Qt in the core library {name}")
                    continue
                header_owner = owners.get(include)
                if header_owner is None:
                    found.append(f'{shown}: "{include}" is no header of a core library')
                elif not header_owner & allowed:
                    wanted = " or ".join(sorted(header_owner)) or "no library"
                    found.append(f'{shown}: "{include}" belongs to {wanted}, '
                                 f"which {name} does not link")
    return found


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    root, manifest = argv[1], argv[2]
    libraries = read_manifest(manifest)
    for library in libraries.values():
        library["sources"] = [os.path.join(root, s) for s in library["sources"]]
    found = violations(root, libraries)
    for line in found:
        print(line)
    checked = sum(len(library["sources"]) for library in libraries.values())
    print(f"{len(libraries)} core libraries, {checked} sources: {len(found)} violations")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
