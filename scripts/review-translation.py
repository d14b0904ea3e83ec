#!/usr/bin/env python3
"""Prints, for one language, each text this project wrote beside its English source,
for a reviewer to read: the supplementary texts, then the setting descriptions (the
other lines of the original set are the product's own and are not shown).

    scripts/review-translation.py fr-FR [--spaces]

--spaces shows no-break spaces as "~" and narrow no-break spaces as "^".
The rules a machine can check (placeholders, French spacing, nothing left in
English) are guarded by tests/resources/tst_translation_files.cpp."""
import signal
import sys
from pathlib import Path

FOLDER = Path(__file__).resolve().parent.parent / "resources" / "translations"


def lines(path):
    return path.read_text(encoding="utf-8-sig").replace("\r\n", "\n").split("\n")


def owned(folder):
    """(line number, key) of every owned line of a folder's key file."""
    keys = lines(folder / "keys.txt")
    if folder.name == "supplement":
        return list(enumerate(keys, 1))
    first = keys.index("HostAddressDescription")
    return [(n, key) for n, key in enumerate(keys, 1) if n > first and key.endswith("Description")]


def main(args):
    spaces = "--spaces" in args
    names = [a for a in args if a != "--spaces"]
    wanted = names[0].replace("_", "-").lower() if len(names) == 1 else ""
    locales = sorted(p.stem for p in FOLDER.glob("??-??.txt"))
    locale = next((name for name in locales if wanted in (name.lower(), name[:2].lower())), None)
    if locale is None or locale == "en-US":
        sys.exit(f"usage: {Path(sys.argv[0]).name} LANGUAGE [--spaces]; LANGUAGE is one of "
                 + ", ".join(name for name in locales if name != "en-US"))
    show = (lambda text: text.replace("\u00a0", "~").replace("\u202f", "^")) if spaces else (lambda text: text)
    for folder in (FOLDER / "supplement", FOLDER):
        english, texts = lines(folder / "en-US.txt"), lines(folder / f"{locale}.txt")
        for n, key in owned(folder):
            print(f"{folder.name}/{locale}.txt:{n} {key}\n  en-US  {english[n - 1]}\n  {locale}  {show(texts[n - 1])}\n")


if __name__ == "__main__":
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    main(sys.argv[1:])
