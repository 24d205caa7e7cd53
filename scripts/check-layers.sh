#!/usr/bin/env bash
# Holds every #include "folder/..." in src/ and app/ against the layer arrows:
# a folder may include itself and the folders its row names, nothing else.
# Pure folders include no Qt header. Prints each offending line and exits 1
# when there is one. Usage: scripts/check-layers.sh [repository root]
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
exec python3 - "$root" <<'PY'
import os
import re
import sys

root = sys.argv[1]

PURE = ["base", "text", "steps", "stepfile", "link", "commands", "results", "runner", "check", "export", "sim", "sim/link"]
STATION_BELOW = PURE + ["link/transports", "sim/link", "publish"]

# folder -> folders it may include (besides itself).
ALLOWED = {
    "base": [],
    "text": ["base"],
    "steps": ["text"],
    "stepfile": ["steps", "text", "base"],
    "link": ["text", "base"],
    "commands": ["steps", "link", "text"],
    "results": ["steps", "link", "text", "base"],
    "runner": ["commands", "results", "steps", "link", "text", "base"],
    "export": ["runner", "check", "results", "steps", "text", "base"],
    "check": ["runner", "results", "commands", "steps", "stepfile", "link", "text", "base"],
    "sim": ["text"],
    "sim/link": ["sim", "link", "text", "base"],
    "sim/server": ["sim", "text"],
    "link/transports": ["link", "text", "base"],
    "process": [],
    # The broker client knows the settings file, never the station above it.
    "publish": ["link", "text", "base"],
    "station": STATION_BELOW,
    "chart": [],
    "report": ["chart"] + PURE,
    "headless": ["station", "process", "report"] + STATION_BELOW,
    "ui": ["station", "process", "chart", "report"] + STATION_BELOW,
}

# The three programs: each main may include its own front end and what lies
# below it; kvload-sim never reaches the station.
APP_ALLOWED = {
    "kvload_main.cpp": ["ui"] + ALLOWED["ui"],
    "kvload_run_main.cpp": ["headless"] + ALLOWED["headless"],
    "kvload_sim_main.cpp": ["sim/server", "sim", "text", "process"],
}


INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')
QT_HEADER = re.compile(r"^Q[A-Za-z]*$|^Qt[A-Za-z]*/")
FOLDERS = sorted(ALLOWED, key=len, reverse=True)


def folder_of(path):
    """The longest folder of the table that `path` (relative to src/) lies in."""
    for folder in FOLDERS:
        if path == folder or path.startswith(folder + "/"):
            return folder
    return None


def sources(top):
    for dirpath, _, names in os.walk(os.path.join(root, top)):
        for name in sorted(names):
            if name.endswith((".h", ".cpp")):
                yield os.path.relpath(os.path.join(dirpath, name), root)


offenders = []
for rel in sorted(list(sources("src")) + list(sources("app"))):
    if rel.startswith("app/"):
        owner = rel
        allowed = APP_ALLOWED.get(os.path.basename(rel))
        pure = False
    else:
        owner = folder_of(os.path.dirname(rel)[len("src/"):])
        allowed = ALLOWED.get(owner)
        pure = owner in PURE
    with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if not m:
                continue
            kind, target = m.groups()
            where = f"{rel}:{number}: {line.strip()}"
            if kind == "<":
                if pure and QT_HEADER.search(target):
                    offenders.append(f"{where}  (a pure folder includes Qt)")
                continue
            if "/" not in target:
                continue
            if allowed is None:
                offenders.append(f"{where}  ({rel} is in no layer of the table)")
                continue
            to = folder_of(os.path.dirname(target))
            if to is None:
                offenders.append(f"{where}  (no layer holds {target})")
            elif to != owner and to not in allowed:
                offenders.append(f"{where}  ({owner} may not include {to}/)")

for o in offenders:
    print(o)
if offenders:
    print(f"check-layers: {len(offenders)} include(s) against the layer arrows", file=sys.stderr)
    sys.exit(1)
print("check-layers: every include follows the layer arrows")
PY
