#!/usr/bin/env python3
"""The layer check: no source of a target includes a public header of a
library that the target does not link (directly or through what it links).

Reads the build's layers.txt (cmake/LayerManifest.cmake), maps each public
header of the project to the library whose public include folder holds it
(the seven headers of the daemon's layout, in include/ itself, by the table
below), scans every source file, and every library's own public headers, for
#include lines, and lists each include that crosses a layer the linker does
not. Exit status 0 when there is none, 1 otherwise, 2 when it cannot run.

    scripts/layer-check.py BUILD_DIR
"""
import os
import re
import sys

# The daemon's layout keeps these in include/ itself, which frigel_config
# makes visible to everyone; each belongs to one library.
ROOT_HEADERS = {
    "Globals.h": "frigel_config",
    "properties.h": "frigel_config",
    "frigel.h": "frigel_controller",
    "CqTranslator.h": "frigel_bridge",
    "aircon.h": "frigel_bridge",
    "fan.h": "frigel_bridge",
    "iostub.h": "frigel_flat_calls",
}
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]', re.M)
GENEX = re.compile(r"^\$<(?:LINK_ONLY|BUILD_INTERFACE):(.*)>$")


def read_manifest(path):
    targets = {}
    current = None
    with open(path) as manifest:
        for line in manifest:
            kind, _, value = line.rstrip("\n").partition(" ")
            if kind == "target":
                name, kind_of, source_dir = value.split(" ", 2)
                current = targets[name] = {"dir": source_dir, "sources": [], "links": [],
                                           "public": [], "type": kind_of}
            elif current is not None:
                match = GENEX.match(value)
                if match:
                    value = match.group(1)
                elif value.startswith("$<"):
                    continue
                current[{"source": "sources", "link": "links", "public": "public"}[kind]].append(value)
    return targets


def closure(targets, name):
    seen = {name}
    stack = [name]
    while stack:
        for link in targets.get(stack.pop(), {}).get("links", []):
            if link in targets and link not in seen:
                seen.add(link)
                stack.append(link)
    return seen


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[-1].strip(), file=sys.stderr)
        return 2
    build = sys.argv[1]
    manifest = os.path.join(build, "layers.txt")
    if not os.path.exists(manifest):
        print(f"layer-check: {manifest} is missing: configure the build first", file=sys.stderr)
        return 2
    targets = read_manifest(manifest)
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    root_include = os.path.join(root, "include")

    # Public headers by name, with the library that owns each: the one that
    # makes its folder public; in a folder several libraries make public, the
    # one whose sources hold the header's .cpp (a header of none of them
    # there is not checked).
    exposers = {}
    for name, target in targets.items():
        for folder in target["public"]:
            folder = os.path.abspath(folder)
            if folder != root_include and folder.startswith(root) and os.path.isdir(folder):
                exposers.setdefault(folder, []).append(name)
    owner_of = {}
    for folder, names in exposers.items():
        for header in sorted(os.listdir(folder)):
            if not header.endswith(".h"):
                continue
            stem = header[:-2] + ".cpp"
            owners = [name for name in names
                      if any(os.path.basename(source) == stem for source in targets[name]["sources"])]
            if not owners and len(set(names)) == 1:
                owners = names
            if owners:
                owner_of.setdefault(header, (owners[0], os.path.join(folder, header)))
    for header, name in ROOT_HEADERS.items():
        owner_of[header] = (name, os.path.join(root_include, header))

    problems = []

    def check(path, target_name, reach):
        try:
            text = open(path, encoding="utf-8", errors="replace").read()
        except OSError:
            return
        for include in INCLUDE.findall(text):
            base = os.path.basename(include)
            # A header beside the file belongs to the file's folder.
            if include == base and os.path.exists(os.path.join(os.path.dirname(path), base)):
                continue
            owner = owner_of.get(base)
            if owner is None or owner[0] in reach:
                continue
            problems.append(f"{os.path.relpath(path, root)} ({target_name}) includes {include} "
                            f"of {owner[0]}, which {target_name} does not link")

    checked = set()
    for name, target in sorted(targets.items()):
        reach = closure(targets, name)
        files = [s if os.path.isabs(s) else os.path.join(target["dir"], s) for s in target["sources"]]
        # A library's own public headers are checked against what it links.
        files += [owner[1] for header, owner in owner_of.items() if owner[0] == name]
        for path in files:
            if path.endswith((".cpp", ".h", ".cc", ".c")) and (path, name) not in checked:
                checked.add((path, name))
                check(path, name, reach)
    for problem in sorted(set(problems)):
        print(problem)
    print(f"layer-check: {len(checked)} files of {len(targets)} targets, "
          f"{len(set(problems))} includes across a layer the linker does not cross")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
