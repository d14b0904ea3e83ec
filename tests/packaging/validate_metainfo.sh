#!/usr/bin/env bash
# Runs appstreamcli with every check (--pedantic) and fails on any issue but two
# deliberate ones: the component id keeps the product's reverse-DNS spelling
# (cid-contains-uppercase-letter), and <developer> is the current element, unknown
# to Debian 12's appstream (unknown-tag developer).
# Usage: validate_metainfo.sh validate <metainfo.xml>
#        validate_metainfo.sh validate-tree <root>   (also checks the desktop entry link)
set -uo pipefail

output="$(appstreamcli "$1" --no-net --pedantic "$2" 2>&1)"
status=$?
printf '%s\n' "$output"
if [[ $status -ne 0 ]]; then
    echo "FAIL appstreamcli $1 exited with $status" >&2
    exit 1
fi
# Issue lines read "<E|W|I|P>: <id>:<line>: <tag> ...", indented under validate-tree.
unexpected="$(printf '%s\n' "$output" | grep -E '^ *[EWIP]: ' \
    | grep -vE '^ *P: [^ ]+: cid-contains-uppercase-letter( |$)' \
    | grep -vE '^ *I: [^ ]+: unknown-tag developer$' || true)"
if [[ -n "$unexpected" ]]; then
    echo "FAIL unexpected validator issues:" >&2
    printf '%s\n' "$unexpected" >&2
    exit 1
fi
echo "PASS appstreamcli $1 (pedantic)"
