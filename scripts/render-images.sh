#!/usr/bin/env bash
# Renders the PNG images of the resource bundle and the application icon from
# their SVG sources. Needs rsvg-convert (librsvg2-bin) and ImageMagick's convert.
# Safe to run again: every output is overwritten with the same bytes.
set -euo pipefail

# Work from the repository root whatever the caller's current folder is.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

for tool in rsvg-convert convert; do
    command -v "$tool" >/dev/null || { echo "render-images.sh: $tool not found" >&2; exit 1; }
done

src=resources/images/src
out=resources/images

# Colours of the themed drawings: normal line colour and muted (disabled) colour.
declare -A line=([light]='#000000' [dark]='#FFFFFF')
declare -A muted=([light]='#A0A0A0' [dark]='#6E6E6E')

# render SVG SIZE OUTPUT [COLOUR]
# The themed sources draw with currentColor; substituting it here keeps one
# drawing per icon for both themes.
render() {
    local svg=$1 size=$2 png=$3 colour=${4:-}
    mkdir -p "$(dirname "$png")"
    if [[ -n $colour ]]; then
        sed "s/currentColor/$colour/g" "$svg" | rsvg-convert -w "$size" -h "$size" -o "$png"
    else
        rsvg-convert -w "$size" -h "$size" -o "$png" "$svg"
    fi
}

for theme in light dark; do
    dir=$out/windows/$theme
    # Toolbar icons are shown at 22 px; 48 px leaves the toolkit room to scale down cleanly.
    for name in add edit delete export; do
        render "$src/$name.svg" 48 "$dir/$name.png" "${line[$theme]}"
    done
    render "$src/down-arrow.svg" 24 "$dir/down-arrow.png" "${line[$theme]}"
    render "$src/down-arrow.svg" 24 "$dir/down-arrow-disabled.png" "${muted[$theme]}"
done

# The status rings carry their own colours and are shown at their native size.
for name in notify-circle times-circle; do
    render "$src/$name.svg" 25 "$out/global/$name.png"
done

# Application icon: the detailed drawing from 48 px up, the simplified one below,
# where the detailed one turns to mush.
icons=packaging/icons
sizes=(256 128 96 64 48 32 16)
for n in "${sizes[@]}"; do
    svg=$icons/silent-install-helper.svg
    (( n <= 32 )) && svg=$icons/silent-install-helper-small.svg
    render "$svg" "$n" "$icons/hicolor/${n}x${n}/apps/silent-install-helper.png"
done

# One ICO with every size as 32-bit RGBA. -strip and the excluded chunks keep
# timestamps out of the embedded PNG so repeated runs give identical files.
mkdir -p packaging/windows
ico_inputs=()
for n in "${sizes[@]}"; do
    ico_inputs+=("$icons/hicolor/${n}x${n}/apps/silent-install-helper.png")
done
convert "${ico_inputs[@]}" -strip -define png:exclude-chunks=date,time \
    packaging/windows/silent-install-helper.ico

echo "Rendered images under $out and $icons, icon packaging/windows/silent-install-helper.ico"
