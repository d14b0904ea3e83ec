#!/usr/bin/env bash
# Plants each fault of scripts/faults.txt in a scratch copy of a commit, builds it
# incrementally and runs the test suite until the first failure, to show which
# faults the tests catch. Never touches the working tree it is started from.
#   bash scripts/plant-faults.sh [-c COMMIT] [-o TABLE] [-k] [-s SKIP] [NAME-REGEX]
# -c: the commit whose tests are measured (default HEAD); -o: the result table
# (default plant-faults-<commit>.txt, appended to); -k: keep the scratch tree and its
# build for a later run; -s: leave out the first SKIP faults (to resume a run).
# Packaging, the Windows cross-build and benchmarks are left out. Links with lld
# when it is there: each fault relinks every program and test.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
commit=HEAD table= keep=0 skip=0
while getopts c:o:ks: option; do
    case $option in
        c) commit=$OPTARG ;;
        o) table=$OPTARG ;;
        k) keep=1 ;;
        s) skip=$OPTARG ;;
        *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
only="${1:-.}"
sha="$(git -C "$root" rev-parse --short "$commit")"
table="${table:-$PWD/plant-faults-$sha.txt}"
faults="$root/scripts/faults.txt"
scratch="${SIH_FAULT_TREE:-${TMPDIR:-/tmp}/sih-faults-$sha}"
excluded='^(packaging_|windows_cross_build|bench)'

if [[ -d $scratch ]]; then
    git -C "$scratch" checkout -q --detach "$commit"
else
    git -C "$root" worktree add --detach "$scratch" "$commit" >/dev/null
fi
cleanup() {
    git -C "$scratch" checkout -q -- . 2>/dev/null || true
    if [[ $keep == 0 ]]; then git -C "$root" worktree remove --force "$scratch"; fi
}
trap cleanup EXIT
build="$scratch/build"
linker=
if command -v ld.lld >/dev/null; then linker=-fuse-ld=lld; fi
cmake -S "$scratch" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSIH_WARNINGS_AS_ERRORS=ON \
    -DSIH_BUILD_BENCHMARKS=OFF -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache \
    ${linker:+"-DCMAKE_EXE_LINKER_FLAGS=$linker"} >/dev/null
cmake --build "$build" >/dev/null

run_suite() { # prints the first failing test, or nothing
    rm -f "$build/Testing/Temporary/LastTestsFailed.log"
    (cd "$build" && QT_QPA_PLATFORM=offscreen ctest --stop-on-failure -j2 --timeout 120 -E "$excluded" \
        >"$build/last-run.log" 2>&1) || true
    if [[ -f $build/Testing/Temporary/LastTestsFailed.log ]]; then
        sed -n 's/^[0-9]*://p' "$build/Testing/Temporary/LastTestsFailed.log" | head -1
    fi
}

# The unchanged tree must pass, or every fault would look caught.
failing="$(run_suite)"
[[ -z $failing ]] || { echo "the unchanged tree fails $failing; see $build/last-run.log" >&2; exit 1; }

# Splits the fault file into name, file, old text and new text, one fault per record.
apply() { # name file -> replaces the fault's text in the scratch tree
    python3 - "$faults" "$1" "$scratch/$2" <<'PY'
import sys
faults, wanted, path = sys.argv[1:]
name = None
blocks = {}
for line in open(faults, encoding="utf-8").read().split("\n"):
    if line.startswith("@@ "):
        name = line[3:].split("|")[0].strip()
        blocks[name] = [[], []]
        side = 0
    elif name is None or (line.startswith("#") and not blocks[name][0]):
        continue
    elif line == "==":
        side = 1
    else:
        blocks[name][side].append(line)
old, new = ("\n".join(part).rstrip("\n") for part in blocks[wanted])
text = open(path, encoding="utf-8").read()
if old not in text:
    sys.exit(f"{wanted}: text not found in {path}")
open(path, "w", encoding="utf-8").write(text.replace(old, new, 1))
PY
}

[[ -s $table ]] || printf '%-36s %-40s %s\n' fault file "caught by" >"$table"
caught=0 total=0 index=0
while IFS='|' read -r name file; do
    name="$(echo "${name#@@ }" | xargs)" file="$(echo "$file" | xargs)"
    [[ $name =~ $only ]] || continue
    index=$((index + 1))
    [[ $index -gt $skip ]] || continue
    total=$((total + 1))
    git -C "$scratch" checkout -q -- .
    if ! apply "$name" "$file"; then
        result="(fault does not apply)"
    elif ! cmake --build "$build" >"$build/last-build.log" 2>&1; then
        result="(does not build)"
    else
        result="$(run_suite)"
        if [[ -n $result ]]; then caught=$((caught + 1)); else result="MISSED"; fi
    fi
    printf '%-36s %-40s %s\n' "$name" "$file" "$result" | tee -a "$table"
done < <(grep '^@@ ' "$faults")
git -C "$scratch" checkout -q -- .
echo "caught $caught of $total" | tee -a "$table"
