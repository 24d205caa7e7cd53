#!/usr/bin/env bash
# Holds every #include "folder/..." in src/ and app/ against the layer arrows:
# a folder may include itself and the folders its row names, nothing else.
# Pure folders include no Qt header. Only the platform seams (files named
# *_posix.cpp or *_win.cpp, always in pairs) include a system's own headers
# or ask which system they are built for. Prints each offending line and
# exits 1 when there is one. Usage: scripts/check-layers.sh [repository root]
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


# A seam is a pair of files, name_posix.cpp and name_win.cpp, of which each
# build takes its own (src/CMakeLists.txt).
SEAM = re.compile(r"_(posix|win)\.cpp$")
SYSTEM_HEADER = re.compile(r"^(windows\.h|io\.h|unistd\.h|fcntl\.h|poll\.h|signal\.h|termios\.h|sys/.*)$")
PLATFORM_TEST = re.compile(
    r"^\s*#\s*(if|ifdef|ifndef|elif)\b.*\b(_WIN32|_WIN64|__linux__|__APPLE__|__unix__|Q_OS_[A-Z]+)\b")
# Platform code outside the seams, each for its reason.
PLATFORM_KNOWN = {
    "src/station/deadline_timer.cpp",          # Linux's timerfd, else a precise QTimer
    "src/link/transports/gpib_transport.h",    # 32-bit Windows drivers' calling convention
    "src/link/transports/gpib_transport.cpp",  # the driver libraries' file names
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
    platform_free = not SEAM.search(rel) and rel not in PLATFORM_KNOWN
    with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            where = f"{rel}:{number}: {line.strip()}"
            if platform_free and PLATFORM_TEST.match(line):
                offenders.append(f"{where}  (platform code outside a seam: *_posix.cpp, *_win.cpp)")
            m = INCLUDE.match(line)
            if not m:
                continue
            kind, target = m.groups()
            if kind == "<" and platform_free and SYSTEM_HEADER.match(target):
                offenders.append(f"{where}  (a system header outside a seam: *_posix.cpp, *_win.cpp)")
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

# Each half of a seam needs its twin, or the other system's build lacks it.
every = set(list(sources("src")) + list(sources("app")))
for rel in sorted(every):
    m = SEAM.search(rel)
    if m:
        twin = rel[: m.start()] + ("_win.cpp" if m.group(1) == "posix" else "_posix.cpp")
        if twin not in every:
            offenders.append(f"{rel}: a seam without its twin {twin}")

for o in offenders:
    print(o)
if offenders:
    print(f"check-layers: {len(offenders)} line(s) against the layer arrows or the seams", file=sys.stderr)
    sys.exit(1)
print("check-layers: every include follows the layer arrows")
PY
