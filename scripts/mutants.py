#!/usr/bin/env python3
"""Helper of scripts/mutants: reads the mutant list, checks and applies
entries, finds the programs a test selection runs, and prints the report.

Subcommands (paths relative to the repository root, which is the working
directory):
  check LIST                    every entry well formed, its text found
                                exactly once; exit 1 with one line per fault
  fits LIST BUILD_DIR           what check does, and every entry's tests
                                regex selects at least one test that
                                BUILD_DIR lists (ctest -N, no build);
                                exit 1 with one line per fault
  select LIST [REGEX]           id, area, file, tests and what of each entry
                                whose id or area matches, tab-separated
  show LIST [REGEX]             the entries, readable (scripts/mutants --list)
  apply LIST ID                 writes the mutant into its file
  targets BUILD_DIR REGEX       the build targets of the tests that REGEX
                                selects, one a line; exit 1 when it selects
                                none or a test that is not a program built
                                in BUILD_DIR
  union BUILD_DIR REGEX...      one regex that selects every test the REGEXes
                                select, and only those; exit 1 when ctest
                                cannot take it (CMake's regexes allow few
                                groups)
  report RESULTS MIN_RATE       the table and the kill rates; exit 1 below
                                MIN_RATE percent
"""
import json
import os
import re
import subprocess
import sys

FIELDS = ("area", "file", "find", "put", "what", "tests")
RESULTS = {
    "killed": "killed",
    "timeout": "killed (time-out)",
    "nocompile": "killed (does not compile)",
    "survived": "SURVIVED",
}


def unescape(text):
    """\\n stands for a line break and \\\\ for a backslash."""
    out = []
    i = 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text) and text[i + 1] in "n\\":
            out.append("\n" if text[i + 1] == "n" else "\\")
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def parse(path):
    """The entries in file order, as dicts; exits on a malformed list."""
    entries = []
    faults = []
    current = None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            header = re.fullmatch(r"\[([A-Za-z0-9_-]+)\]\s*", line)
            if header:
                current = {"id": header.group(1), "line": number}
                entries.append(current)
                continue
            field = re.fullmatch(r"([a-z]+):[ \t]?(.*)", line)
            if current is None or not field or field.group(1) not in FIELDS:
                faults.append(f"{path}:{number}: expected '[ID]' or one of {', '.join(FIELDS)}")
                continue
            key, value = field.group(1), field.group(2).strip()
            if key in current:
                faults.append(f"{path}:{number}: {key} given twice in {current['id']}")
            current[key] = unescape(value) if key in ("find", "put") else value
    seen = set()
    for entry in entries:
        where = f"{path}:{entry['line']}: {entry['id']}"
        if entry["id"] in seen:
            faults.append(f"{where}: id used twice")
        seen.add(entry["id"])
        missing = [k for k in FIELDS if k not in entry or (k != "put" and entry[k] == "")]
        if missing:
            faults.append(f"{where}: missing {', '.join(missing)}")
    if faults:
        sys.exit("\n".join(faults))
    return entries


def occurrences(text, piece):
    """Every place `piece` starts in `text`, overlapping ones included."""
    places = []
    start = text.find(piece)
    while start != -1:
        places.append(start)
        start = text.find(piece, start + 1)
    return places


def entry_fault(entry):
    """Why the entry cannot be applied to the tree as it is, or None."""
    if entry["put"] == entry["find"]:
        return "replacement equals the original text"
    if not os.path.isfile(entry["file"]):
        return f"{entry['file']}: no such file"
    with open(entry["file"], encoding="utf-8", newline="") as f:
        count = len(occurrences(f.read(), entry["find"]))
    if count != 1:
        return f"{entry['file']}: original text found {count} times, not once"
    return None


def selected(entries, regex):
    if not regex:
        return entries
    pattern = re.compile(regex)
    return [e for e in entries if pattern.search(e["id"]) or pattern.search(e["area"])]


def cmd_check(path):
    faults = []
    for entry in parse(path):
        fault = entry_fault(entry)
        if fault:
            faults.append(f"{path}:{entry['line']}: {entry['id']}: {fault}")
    if faults:
        print("\n".join(faults), file=sys.stderr)
        return 1
    return 0


def cmd_fits(path, build_dir):
    """check, and every entry's tests regex selecting a test that BUILD_DIR
    lists, through ctest itself so that the regex reads as the mutation run
    reads it; no build, in seconds."""
    status = cmd_check(path)
    faults = []
    selects = {}
    try:
        for entry in parse(path):
            regex = entry["tests"]
            if regex not in selects:
                selects[regex] = bool(test_names(build_dir, regex))
            if not selects[regex]:
                faults.append(f"{path}:{entry['line']}: {entry['id']}: "
                              f"tests '{regex}' select no test of {build_dir}")
        everything = [t["name"] for t in test_names(build_dir)] if faults else []
    except (OSError, subprocess.CalledProcessError) as error:
        print(f"{build_dir}: cannot list its tests: {error}", file=sys.stderr)
        return 1
    # gtest_discover_tests lists a program not built yet as one test named
    # after it, without the tests it holds.
    not_built = [n[:-len("_NOT_BUILT")] for n in everything if n.endswith("_NOT_BUILT")]
    if not_built:
        faults.append(f"{build_dir} has not built {', '.join(not_built)}: "
                      f"build every test program first")
    if faults:
        print("\n".join(faults), file=sys.stderr)
        return 1
    return status


def cmd_select(path, regex=""):
    for e in selected(parse(path), regex):
        print("\t".join([e["id"], e["area"], e["file"], e["tests"], e["what"]]))
    return 0


def cmd_show(path, regex=""):
    entries = selected(parse(path), regex)
    for e in entries:
        print(f"{e['id']}  {e['area']}  {e['file']}  tests: {e['tests']}")
        print(f"    {e['what']}")
        print("\n".join(f"    - {text_line}" for text_line in e["find"].split("\n")))
        if e["put"]:
            print("\n".join(f"    + {text_line}" for text_line in e["put"].split("\n")))
        else:
            print("    + (dropped)")
    areas = {}
    for e in entries:
        areas[e["area"]] = areas.get(e["area"], 0) + 1
    print(f"{len(entries)} mutants: " + ", ".join(f"{a} {n}" for a, n in areas.items()))
    return 0


def cmd_apply(path, mutant_id):
    for entry in parse(path):
        if entry["id"] != mutant_id:
            continue
        fault = entry_fault(entry)
        if fault:
            sys.exit(f"{mutant_id}: {fault}")
        with open(entry["file"], encoding="utf-8", newline="") as f:
            text = f.read()
        with open(entry["file"], "w", encoding="utf-8", newline="") as f:
            f.write(text.replace(entry["find"], entry["put"], 1))
        return 0
    sys.exit(f"{mutant_id}: no such entry")


def test_names(build_dir, regex=None):
    """The tests of BUILD_DIR that REGEX selects (all without one), as ctest
    lists them."""
    selection = ["-R", regex] if regex is not None else []
    listing = subprocess.run(
        ["ctest", "--test-dir", build_dir, *selection, "--show-only=json-v1"],
        check=True, capture_output=True, text=True).stdout
    return json.loads(listing).get("tests", [])


def cmd_union(build_dir, *regexes):
    """Alternatives need no group of their own: "|" binds loosest."""
    distinct = list(dict.fromkeys(regexes))
    wanted = set()
    for regex in distinct:
        wanted.update(t["name"] for t in test_names(build_dir, regex))
    joined = "|".join(distinct)
    if {t["name"] for t in test_names(build_dir, joined)} != wanted:
        print("the tests of the mutants, together, make a regex that ctest cannot take",
              file=sys.stderr)
        return 1
    print(joined)
    return 0


def cmd_targets(build_dir, regex):
    """The executables the selected tests run are the build targets: every
    program is built into BUILD_DIR/bin under its target's name."""
    tests = test_names(build_dir, regex)
    if not tests:
        print(f"no test matches '{regex}'", file=sys.stderr)
        return 1
    bin_dir = os.path.realpath(os.path.join(build_dir, "bin"))
    targets = []
    for test in tests:
        command = test.get("command") or [""]
        program = os.path.realpath(command[0])
        if os.path.dirname(program) != bin_dir:
            print(f"test {test['name']} runs {command[0]}, not a program of {bin_dir}",
                  file=sys.stderr)
            return 1
        name = os.path.basename(program)
        if name not in targets:
            targets.append(name)
    print("\n".join(targets))
    return 0


def cmd_report(results_path, min_rate):
    rows = []
    with open(results_path, encoding="utf-8") as f:
        for line in f:
            mutant_id, area, result, seconds, what = line.rstrip("\n").split("\t")
            rows.append((mutant_id, area, result, float(seconds), what))
    if not rows:
        print("no mutant ran")
        return 1
    width = max(len(r[0]) for r in rows)
    area_width = max(len(r[1]) for r in rows)
    result_width = max(len(RESULTS[r[2]]) for r in rows)
    print(f"{'id':<{width}}  {'area':<{area_width}}  {'result':<{result_width}}  "
          f"{'seconds':>7}  what")
    for mutant_id, area, result, seconds, what in rows:
        print(f"{mutant_id:<{width}}  {area:<{area_width}}  {RESULTS[result]:<{result_width}}  "
              f"{seconds:7.1f}  {what}")
    print()

    def summary(label, group):
        killed = sum(1 for r in group if r[2] != "survived")
        nocompile = sum(1 for r in group if r[2] == "nocompile")
        rate = 100.0 * killed / len(group)
        extra = f", {nocompile} of them do not compile" if nocompile else ""
        print(f"{label:<{area_width + 2}} {killed:3d} of {len(group):3d} killed  "
              f"{rate:5.1f} %{extra}")
        return rate

    for area in dict.fromkeys(r[1] for r in rows):
        summary(area, [r for r in rows if r[1] == area])
    rate = summary("overall", rows)
    survivors = [r[0] for r in rows if r[2] == "survived"]
    if survivors:
        print(f"surviving: {' '.join(survivors)}")
    total = sum(r[3] for r in rows)
    print(f"time: {total / 60:.1f} min for {len(rows)} mutants")
    if rate < min_rate:
        print(f"kill rate {rate:.1f} % is below {min_rate:g} %")
        return 1
    return 0


def main(argv):
    commands = {
        "check": (cmd_check, 1, 1),
        "fits": (cmd_fits, 2, 2),
        "select": (cmd_select, 1, 2),
        "show": (cmd_show, 1, 2),
        "apply": (cmd_apply, 2, 2),
        "targets": (cmd_targets, 2, 2),
        "union": (cmd_union, 2, 1000),
        "report": (lambda path, rate: cmd_report(path, float(rate)), 2, 2),
    }
    if len(argv) < 2 or argv[1] not in commands:
        sys.exit(__doc__)
    function, least, most = commands[argv[1]]
    args = argv[2:]
    if not least <= len(args) <= most:
        sys.exit(__doc__)
    return function(*args)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
