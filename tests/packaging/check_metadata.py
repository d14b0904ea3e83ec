#!/usr/bin/env python3
"""Checks what the validators, each seeing one file, cannot: that the desktop
entry, the AppStream metainfo and the icons agree with each other and the build.

Usage: check_metadata.py <source-dir> <project-version> <program-file-name>
"""

import configparser
import struct
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

APP_ID = "com.orvane.SilentInstallHelper"
ICON_SIZES = (256, 128, 96, 64, 48, 32, 16)
SCREENSHOT_URL = "https://orvane.example/silent-install-helper/screenshots/"
SCREENSHOTS = {
    f"{name}-{theme}.png"
    for name in ("language-selector", "main-window", "editor-validation")
    for theme in ("light", "dark")
}

failures = []


def check(condition, message):
    print(("PASS " if condition else "FAIL ") + message)
    if not condition:
        failures.append(message)


def png_size(path):
    """Width and height from the IHDR chunk, or None when it is no PNG."""
    data = path.read_bytes()[:24]
    if len(data) < 24 or data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", data[16:24])


def main(source_dir, version, program):
    linux = source_dir / "packaging" / "linux"
    icons = source_dir / "packaging" / "icons"

    parser = configparser.ConfigParser(interpolation=None, strict=True)
    parser.optionxform = str  # keys are case-sensitive
    parser.read(linux / f"{APP_ID}.desktop", encoding="utf-8")
    entry = parser["Desktop Entry"]
    check(entry.get("Exec", "").split(" ")[0] == program,
          f"desktop Exec starts the installed program {program}")
    icon = entry.get("Icon", "")
    check(icon != "" and "/" not in icon and not icon.endswith((".png", ".svg")),
          f"desktop Icon is a theme icon name ({icon!r})")

    for size in ICON_SIZES:
        png = icons / "hicolor" / f"{size}x{size}" / "apps" / f"{icon}.png"
        check(png.is_file() and png_size(png) == (size, size),
              f"icon {png.relative_to(source_dir)} is a {size}x{size} PNG")
    svg = icons / f"{icon}.svg"
    check(svg.is_file() and ET.parse(svg).getroot().tag.endswith("svg"),
          f"scalable icon {svg.relative_to(source_dir)} is an SVG")

    root = ET.parse(linux / f"{APP_ID}.metainfo.xml").getroot()
    check(root.findtext("id") == APP_ID, f"metainfo id is {APP_ID}")
    check(root.findtext("name") == entry.get("Name"), "metainfo name equals desktop Name")
    check([e.text for e in root.findall("provides/binary")] == [program],
          f"metainfo provides the binary {program}")

    releases = root.findall("releases/release")
    check(bool(releases) and releases[0].get("version") == version,
          f"newest metainfo release is the project version {version}")

    shots = root.findall("screenshots/screenshot")
    urls = [s.findtext("image", "") for s in shots]
    check({u[len(SCREENSHOT_URL):] for u in urls if u.startswith(SCREENSHOT_URL)} == SCREENSHOTS
          and len(urls) == len(SCREENSHOTS), "screenshots under the project URL: each view in light and in dark")
    check([s.get("type") for s in shots].count("default") == 1, "exactly one default screenshot")

    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    sys.exit(main(Path(sys.argv[1]), sys.argv[2], sys.argv[3]))
