#!/usr/bin/python3
"""The interface's English translation, orbix_en.ts, against the sources.

Usage:
  translations.py update LUPDATE TS_FILE SOURCE_DIR...
      takes new and changed texts into TS_FILE (new ones untranslated) and drops
      those no longer in the sources
  translations.py check LUPDATE TS_FILE SOURCE_DIR...
      fails when TS_FILE is not what "update" would leave (a text of the sources
      missing, or one no longer there), or when an entry is unfinished, obsolete or
      empty, or its translation loses a placeholder, an end space or a line break,
      or keeps Cyrillic letters

Both run lupdate with the same options: no source locations, so that moving code
leaves the file as it is."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

LUPDATE_OPTIONS = ["-no-obsolete", "-locations", "none", "-extensions", "cpp,h",
                   "-source-language", "ru_RU", "-target-language", "en_US"]
UPDATE_HINT = "run: cmake --build BUILD --target orbix_update_translations, then translate what it added"
# Names that stay as they are in every language.
KEPT_NAMES = ("ОРБИКС-Сервис 11", "ОРБИКС-11")
CYRILLIC = re.compile("[\u0400-\u04FF]")
PLACEHOLDER = re.compile(r"%(\d+)")


def run_lupdate(lupdate, ts_file, dirs, quiet):
    # Includes name their folder from the project's root, the folder above this script's.
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    command = [lupdate] + LUPDATE_OPTIONS + (["-silent"] if quiet else []) + ["-I", root] + dirs + ["-ts", ts_file]
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    # lupdate names texts it cannot place ("tr() cannot be called without context"):
    # such a text would never be translated.
    warnings = [line for line in done.stdout.splitlines() if re.search(r":\d+: ", line)]
    if not quiet:
        sys.stdout.write(done.stdout)
    if done.returncode != 0:
        sys.exit("lupdate failed:\n" + done.stdout)
    return warnings


def entry_problems(context, source, translation_element):
    where = f"{context}: \"{source}\""
    kind = translation_element.get("type")
    if kind in ("obsolete", "vanished"):
        return [f"{where}: no longer in the sources ({kind})"]
    if kind == "unfinished":
        return [f"{where}: not translated yet"]
    text = translation_element.text or ""
    if not text.strip():
        return [f"{where}: empty translation"]
    problems = []
    if sorted(PLACEHOLDER.findall(source)) != sorted(PLACEHOLDER.findall(text)):
        problems.append(f"{where}: the placeholders differ in \"{text}\"")
    for name, test in (("a leading space", lambda s: s[:1] == " "), ("a trailing space", lambda s: s[-1:] == " "),
                       ("a trailing line break", lambda s: s[-1:] == "\n")):
        if test(source) != test(text):
            problems.append(f"{where}: {name} differs in \"{text}\"")
    if source.count("\n") != text.count("\n"):
        problems.append(f"{where}: the line breaks differ in \"{text}\"")
    rest = text
    for name in KEPT_NAMES:
        rest = rest.replace(name, "")
    if CYRILLIC.search(rest):
        problems.append(f"{where}: Cyrillic left in \"{text}\"")
    return problems


def problems_of(ts_file):
    problems = []
    count = 0
    for context in ET.parse(ts_file).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            count += 1
            problems += entry_problems(name, message.findtext("source") or "", message.find("translation"))
    return count, problems


def check(lupdate, ts_file, dirs):
    with tempfile.TemporaryDirectory() as scratch:
        copy = os.path.join(scratch, os.path.basename(ts_file))
        shutil.copyfile(ts_file, copy)
        warnings = run_lupdate(lupdate, copy, dirs, quiet=True)
        with open(ts_file, "rb") as a, open(copy, "rb") as b:
            same = a.read() == b.read()
        _, fresh_problems = problems_of(copy)
    failures = [f"lupdate: {w}" for w in warnings]
    if not same:
        failures.append(f"{ts_file} is not up to date with the sources ({UPDATE_HINT})")
        failures += [f"  after an update: {p}" for p in fresh_problems]
    count, problems = problems_of(ts_file)
    failures += problems
    if failures:
        print("\n".join(failures))
        print(f"{len(failures)} problem(s) in the translation of {count} texts")
        return 1
    print(f"{count} texts, every one translated and in the sources")
    return 0


def main(argv):
    if len(argv) < 5 or argv[1] not in ("update", "check"):
        sys.exit(__doc__)
    mode, lupdate, ts_file, dirs = argv[1], argv[2], argv[3], argv[4:]
    if mode == "update":
        run_lupdate(lupdate, ts_file, dirs, quiet=False)
        count, problems = problems_of(ts_file)
        print(f"{count} texts; {len(problems)} to look at:")
        print("\n".join(problems))
        return 0
    return check(lupdate, ts_file, dirs)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
