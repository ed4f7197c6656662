#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks the #include lines of the source tree against the module boundaries.

Usage: check-includes.py [SOURCE_DIR] [--widgets-headers DIRS]

DIRS is a ';'-separated list of Qt include folders (CMake's Qt6Widgets_INCLUDE_DIRS); the one
named QtWidgets tells which headers are widget headers. Prints each violation as
`file:line: <include> (rule)` and exits with status 1 when there is any.
"""
import argparse
import glob
import os
import re
import sys

SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')
OUR_MODULE = re.compile(r"^Kelo[A-Za-z]+/")
PLATFORM_HEADER = re.compile(r"^(xcb|X11|xkbcommon)/")
# Keyboard maps and Wayland's own headers serve the Wayland backend too.
WAYLAND_HEADER = re.compile(r"^(xkbcommon/xkbcommon\.h|wayland-)")
# Folders of the tree that are not ours to check.
SKIPPED_TOP = re.compile(r"^(\..*|build.*|data|cmake)$")

# KeloRecognition: the recognizer and the text detectors, which share KeloLens/ with the
# application but build as a library of their own, without widgets.
RECOGNITION = re.compile(
    r"^KeloLens/(Recognition/|Results/(Chip|ChipJson|DataDetector|LinkDetector)\.(h|cpp)$)")
# Programs that link KeloRecognition alone.
RECOGNITION_USERS = ("tools/kelolens-recognize/", "bench/ocr/", "fuzz/")
CAPTURE_FORBIDDEN = ["KeloLens/Results/", "KeloPanel/", "KeloTheme/"]
# Modules without windows, and what would bring windows into them. Their libraries link no widget
# code either, so a widget header there fails to link as well.
WIDGET_FREE = ("KeloPlatform/", "KeloHotkey/", "KeloPaste/")
WIDGET_MODULES = ("KeloHotkey/widgets/", "KeloTheme/", "KeloPanel/", "KeloMenuBar/",
                  "KeloOnboarding/")
MAY_INCLUDE_APPLICATION = ("KeloLens/", "app/", "tools/", "bench/", "tests/", "fuzz/")


def widget_headers(dirs):
    """The header names Qt's widget module installs (QWidget, QDialog, QApplication...)."""
    candidates = [d for d in dirs if os.path.basename(d.rstrip("/")) == "QtWidgets"]
    if not candidates:
        candidates = glob.glob("/usr/include/*/qt6/QtWidgets") + glob.glob("/usr/include/qt6/QtWidgets")
    names = set()
    for folder in candidates:
        if os.path.isdir(folder):
            names.update(os.listdir(folder))
    return names


def violations(path, include, widgets):
    """The rules `include`, written in the file at `path` (relative to the tree), breaks."""
    found = []
    ours = OUR_MODULE.match(include) is not None
    is_widget = include.startswith("QtWidgets/") or (
        "/" not in include and include.split("/")[-1] in widgets)
    if RECOGNITION.match(path):
        if ours and not include.startswith("KeloCore/") and not RECOGNITION.match(include):
            found.append("recognition includes only itself and the core")
        if is_widget:
            found.append("recognition knows no windows")
    if path.startswith(RECOGNITION_USERS) and include.startswith("KeloLens/") and \
            not RECOGNITION.match(include):
        found.append("the reader, benchmarks and fuzzers know only recognition")
    if path.startswith("KeloLens/Capture/"):
        found += ["capture knows no results or panel" for p in CAPTURE_FORBIDDEN
                  if include.startswith(p)]
        if is_widget:
            found.append("capture knows no windows")
    if path.startswith(WIDGET_FREE) and not path.startswith(WIDGET_MODULES):
        if is_widget or include.startswith(WIDGET_MODULES):
            found.append("this module has no windows")
    if include.startswith("KeloLens/") and not path.startswith(MAY_INCLUDE_APPLICATION):
        found.append("only the application includes the application module")
    if path.startswith("KeloPlatform/") and ours and not include.startswith(
            ("KeloPlatform/", "KeloCore/")):
        found.append("the platform layer includes none of ours")
    if path.startswith("KeloCore/") and ours and not include.startswith("KeloCore/"):
        found.append("the core includes nothing of ours")
    if WAYLAND_HEADER.match(include):
        if not path.startswith(("KeloPlatform/x11/", "KeloPlatform/portal/",
                                "KeloPlatform/wayland/", "tests/")):
            found.append("keymap and Wayland headers only in the platform backends")
    elif PLATFORM_HEADER.match(include) and not path.startswith(("KeloPlatform/x11/", "tests/")):
        found.append("X11 headers only in KeloPlatform/x11")
    return found


def source_files(root):
    for top in sorted(os.listdir(root)):
        if SKIPPED_TOP.match(top) or not os.path.isdir(os.path.join(root, top)):
            continue
        for folder, subfolders, files in os.walk(os.path.join(root, top)):
            subfolders.sort()
            for name in sorted(files):
                if name.endswith(SOURCE_SUFFIXES):
                    yield os.path.relpath(os.path.join(folder, name), root)


def resolved(root, path, delimiter, include):
    """A quoted include found next to the including file, as a path in the tree."""
    if delimiter == '"':
        beside = os.path.normpath(os.path.join(os.path.dirname(path), include))
        if not beside.startswith("..") and os.path.isfile(os.path.join(root, beside)):
            return beside
    return include


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root", nargs="?", default=os.path.join(os.path.dirname(__file__), ".."))
    parser.add_argument("--widgets-headers", default="")
    arguments = parser.parse_args()
    root = os.path.abspath(arguments.root)
    widgets = widget_headers([d for d in arguments.widgets_headers.split(";") if d])
    if not widgets:
        print("check-includes: Qt's widget headers were not found", file=sys.stderr)
        return 2

    count = 0
    checked = 0
    for path in source_files(root):
        checked += 1
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as source:
            for number, line in enumerate(source, start=1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                include = resolved(root, path, match.group(1), match.group(2))
                for rule in violations(path, include, widgets):
                    print(f"{path}:{number}: {match.group(2)} ({rule})")
                    count += 1
    print(f"check-includes: {checked} files, {count} violation(s)")
    return 1 if count else 0


if __name__ == "__main__":
    sys.exit(main())
