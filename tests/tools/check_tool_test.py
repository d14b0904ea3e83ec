#!/usr/bin/env python3
"""Runs the built silent-install-helper-check as a user or a script would.

  cli     exit codes, standard output and error kept apart, bytes through pipes,
          standard input, non-ASCII file names and texts, failing output, and
          hostile input: deep nesting, NUL bytes, huge numbers, endless files,
          names that forge output, bytes that are not UTF-8, a closed input.
  schema  the printed JSON Schema, checked by an independent validator (Debian's
          python3-jsonschema): it must accept every document that `validate`
          accepts and refuse the ones `validate` refuses.

Usage: check_tool_test.py cli|schema <path-to-silent-install-helper-check>
"""

import json
import os
import re
import subprocess
import sys
import tempfile
from pathlib import Path

PROGRAM = "silent-install-helper-check"
DEFAULT_HOST = "https://127.0.0.1:56569"

failures = []


def check(condition, message):
    print(("PASS " if condition else "FAIL ") + message)
    if not condition:
        failures.append(message)


def run(tool, arguments, stdin=b"", stdout=subprocess.PIPE, cwd=None, **options):
    # stdin: bytes to send, or a file to read (None: this process's own).
    source = {"input": stdin} if isinstance(stdin, bytes) else {"stdin": stdin}
    result = subprocess.run([tool, *arguments], **source, stdout=stdout, stderr=subprocess.PIPE,
                            cwd=cwd, timeout=60, **options)
    return result.returncode, result.stdout or b"", result.stderr


def cli(tool, scratch):
    code, out, err = run(tool, ["--help"])
    check(code == 0 and out.startswith(b"Usage: " + PROGRAM.encode()) and err == b"", "--help: usage, exit 0")
    code, out, err = run(tool, ["--version"])
    check(code == 0 and re.fullmatch(rb"silent-install-helper-check \d+\.\d+\.\d+\n", out) is not None,
          f"--version: name and version ({out!r})")

    # Refusals: the right code, one clear message on standard error, nothing on
    # standard output, and never a crash.
    (scratch / "valid.json").write_bytes(b'{"HostAddress": "https://h:1"}')
    (scratch / "invalid.json").write_bytes(b'{"HostAddress": "https://h:1", "SaveSpool": "yes"}')
    refusals = [
        ([], 2, b"no command given"),
        (["frob"], 2, b'unknown command "frob"'),
        (["--lang", "klingon", "list"], 2, b'unknown language "klingon"'),
        (["validate"], 2, b"validate needs at least one FILE"),
        (["validate", "missing.json"], 2, b'cannot read "missing.json": No such file or directory'),
        (["compose", "SaveSpool"], 2, b'"SaveSpool" is not NAME=VALUE'),
        (["compose", "-o", "no/such/folder.json"], 2, b"SaveJsonToWFile: Cannot open file."),
        (["compose", "SaveSpool=yes"], 1, b"Invalid configuration value."),
        (["compose", "--from", "invalid.json", "BlockCopies=2"], 1, b"Invalid configuration value."),
    ]
    for arguments, expected_code, expected_message in refusals:
        code, out, err = run(tool, arguments, cwd=scratch)
        check(code == expected_code and out == b"" and err.startswith(PROGRAM.encode() + b": ")
              and expected_message in err and b"terminate" not in err,
              f"{' '.join(arguments) or '(nothing)'}: exit {expected_code}, message on standard error ({err!r})")

    code, out, err = run(tool, ["validate", "valid.json", "invalid.json"], cwd=scratch)
    check(code == 1 and err == b"" and out == (
        b"valid.json: valid\n"
        b'invalid.json: member 2 "SaveSpool": Invalid configuration value. '
        b'Expected true, false, 1 or 0, in any letter case; found "yes".\n'),
        "validate: report on standard output, exit 1")

    # Piped output carries the export's CR LF line ends unchanged.
    code, composed, err = run(tool, ["compose", "SaveSpool=1", "workfolder=C:\\Área"])
    expected = ('{\r\n    "HostAddress": "https://127.0.0.1:56569",\r\n    "SaveSpool": "true",\r\n'
                '    "WorkFolder": "C:\\\\Área"\r\n}\r\n').encode()
    check(code == 0 and composed == expected and err == b"", "compose: exact bytes through a pipe")
    code, out, err = run(tool, ["validate", "-"], stdin=composed)
    check(code == 0 and out == b"<stdin>: valid\n", "validate -: reads standard input")

    target = scratch / "composé.json"
    code, out, err = run(tool, ["compose", "-o", str(target), "SaveSpool=1", "workfolder=C:\\Área"])
    check(code == 0 and out == b"" and target.read_bytes() == expected, "compose -o: file, non-ASCII name")
    code, out, err = run(tool, ["validate", target.name], cwd=scratch)
    check(code == 0 and out == "composé.json: valid\n".encode(), "validate: non-ASCII file name")

    code, out, err = run(tool, ["--lang", "zh-CN", "validate", "invalid.json"], cwd=scratch)
    check(code == 1 and "配置值无效。".encode() in out, "--lang zh-CN: UTF-8 message")

    if Path("/dev/full").exists():
        with open("/dev/full", "wb") as full:
            code, _, err = run(tool, ["schema"], stdout=full)
        check(code == 2 and b"cannot write the output" in err, "a full output device: exit 2 and a message")

    hostile(tool, scratch)


def hostile(tool, scratch):
    """Broken and hostile input: a problem of the file (exit 1) or an I/O error
    (exit 2), never a crash, a false "valid" or a stopped run."""
    host = b'{"HostAddress": "https://h:1"'
    files = {
        "deep.json": b"[" * 100000 + b"]" * 100000,
        "deep-member.json": host + b', "x": ' + b'{"a":' * 100000 + b"1" + b"}" * 100001,
        "nul.json": host + b"}\0garbage",
        "nul-padded.json": host + b"}\n" + b"\0" * 4096,
        "overflow.json": host + b', "HttpTimeout": 1e999999}',
        "escapes.json": host + b', "W\\u001b[31m": "1", "HttpTimeout": "\\u001b[2J'
                        + b"9" * (1 << 20) + b'x"}',
        "long-key.json": host + b', "' + b"k" * (1 << 20) + b'": "1"}',
        "x\nok.json: valid\n": host + b', "SaveSpool": "yes"}',
    }
    for name, data in files.items():
        (scratch / name).write_bytes(data)

    expected = [
        ("deep.json", b"deep.json: line 1, column 65: Malformed JSON. Nested too deeply (more than 64 levels)\n"),
        ("deep-member.json", b"deep-member.json: line 1, column 352: Malformed JSON. Nested too deeply"),
        ("nul.json", b"nul.json: line 1, column 31: Malformed JSON. Unexpected NUL byte\n"),
        ("nul-padded.json", b"nul-padded.json: line 2, column 1: Malformed JSON. Unexpected NUL byte\n"),
        ("overflow.json", b"overflow.json: line 1, column 54: Malformed JSON. Number overflow parsing '1e999999'\n"),
    ]
    for name, line in expected:
        code, out, err = run(tool, ["validate", name], cwd=scratch)
        check(code == 1 and out.startswith(line) and err == b"", f"{name}: exit 1, {line!r} ({out[:200]!r})")

    # One bad file among three: each is reported, and --json stays JSON.
    code, out, err = run(tool, ["validate", "valid.json", "overflow.json", "invalid.json"], cwd=scratch)
    check(code == 1 and out.startswith(b"valid.json: valid\noverflow.json: ") and b"invalid.json: member 2" in out,
          "a bad file in the middle: the next is still checked")
    code, out, err = run(tool, ["validate", "--json", *files, "missing.json"], cwd=scratch)
    report = json.loads(out)
    check(code == 2 and [entry["file"] for entry in report["files"]] == [*files, "missing.json"]
          and not report["valid"], "--json: one JSON report for every file, whatever is in them")

    # Names, values and file names cannot forge lines or reach the terminal raw,
    # and long ones are cut.
    code, out, err = run(tool, ["validate", "escapes.json", "long-key.json", "x\nok.json: valid\n"], cwd=scratch)
    lines = out.split(b"\n")[:-1]
    check(code == 1 and b"\x1b" not in out and lines[0].startswith(b'escapes.json: member 2 "W\\x1b[31m":')
          and b'found "\\x1b[2J999' in lines[1] and all(len(line) < 400 for line in lines)
          and '"…'.encode() in lines[1] and '"…'.encode() in lines[2]
          and lines[-1].startswith(b'"x\\nok.json: valid\\n": member 2 "SaveSpool"') and len(lines) == 4,
          f"escaped, quoted and cut names and values ({[line[:120] for line in lines]!r})")

    # Reading stops at the size limit.
    code, out, err = run(tool, ["validate", "/dev/zero"])
    check(code == 2 and b'cannot read "/dev/zero": larger than 16 MiB' in err, f"/dev/zero: exit 2 ({err!r})")
    # Standard input closed, or not readable.
    code, out, err = run(tool, ["validate", "-"], stdin=None, preexec_fn=lambda: os.close(0))
    check(code == 2 and b'cannot read "<stdin>"' in err, f"closed standard input: exit 2 ({err!r})")
    folder = os.open(scratch, os.O_RDONLY)
    code, out, err = run(tool, ["validate", "-"], stdin=folder)
    os.close(folder)
    check(code == 2 and b'cannot read "<stdin>"' in err, f"a folder as standard input: exit 2 ({err!r})")

    # compose writes only the text it was given.
    before = sorted(os.listdir(scratch))
    for arguments, which in (
        (["-o", b"out-\xff.json", "SaveSpool=1"], b'the output file name "out-\\xff.json"'),
        (["-o", "out.json", "SaveSpool=1", b"WorkFolder=C:\\\xe9"], b'argument 2 "WorkFolder=C:\\\\\\xe9"'),
    ):
        code, out, err = run(tool, ["compose", *arguments], cwd=scratch)
        check(code == 2 and which + b" is not valid UTF-8" in err and sorted(os.listdir(scratch)) == before,
              f"compose: bytes that are not UTF-8 refused, nothing written ({err!r})")


def valid_sample(setting):
    return {
        "address": "https://10.0.0.5:56569",
        "integer": "20",
        "decimal": "1.5",
        "boolean": "FALSE",
        "text": "C:\\Orvane\\审计 \"x\"",
    }[setting["kind"]]


def schema(tool, scratch):
    try:
        import jsonschema
    except ImportError:
        check(False, "python3-jsonschema is installed for " + sys.executable)
        return

    code, out, _ = run(tool, ["schema"])
    document_schema = json.loads(out)
    try:
        jsonschema.Draft202012Validator.check_schema(document_schema)
        check(True, "the schema is a valid draft 2020-12 schema")
    except jsonschema.exceptions.SchemaError as error:
        check(False, f"the schema is a valid draft 2020-12 schema: {error.message}")
        return
    validator = jsonschema.Draft202012Validator(document_schema)
    catalogue = json.loads(run(tool, ["list", "--json"])[1])
    check(sorted(document_schema["properties"]) == sorted(s["name"] for s in catalogue),
          "one property per catalogue setting")

    composed = [run(tool, ["compose", *arguments])[1] for arguments in (
        [],
        ["SaveSpool=1", "BlockCopies=007", "ContingencyPrinterCache=20"],
        ["ReleaserAddress=http://r.example:8080", "hostaddress=https://10.0.0.5:56569", "WorkFolder= "],
    )]
    every_setting = {s["name"]: valid_sample(s) for s in catalogue}
    documents = [
        *[(f"compose output {i}", text, True) for i, text in enumerate(composed)],
        ("HostAddress only", {"HostAddress": DEFAULT_HOST}, True),
        ("every setting", every_setting, True),
        ("members in any order", dict(reversed(list(every_setting.items()))), True),
        ("Boolean in any case", {"HostAddress": DEFAULT_HOST, "SaveSpool": "tRuE", "EnableProxy": "0"}, True),
        ("unknown name", {"HostAddress": DEFAULT_HOST, "HostAdress": DEFAULT_HOST}, False),
        ("name in other case", {"hostaddress": DEFAULT_HOST}, False),
        ("HostAddress missing", {"SaveSpool": "true"}, False),
        ("empty object", {}, False),
        ("number value", {"HostAddress": DEFAULT_HOST, "BlockCopies": 5}, False),
        ("literal true", {"HostAddress": DEFAULT_HOST, "SaveSpool": True}, False),
        ("null value", {"HostAddress": DEFAULT_HOST, "WorkFolder": None}, False),
        ("object value", {"HostAddress": DEFAULT_HOST, "WorkFolder": {}}, False),
        ("array value", {"HostAddress": DEFAULT_HOST, "WorkFolder": ["x"]}, False),
        ("empty text value", {"HostAddress": DEFAULT_HOST, "WorkFolder": ""}, False),
        ("empty name", {"HostAddress": DEFAULT_HOST, "": "1"}, False),
        ("value with a trailing line feed", {"HostAddress": DEFAULT_HOST, "HttpTimeout": "30\n"}, False),
        ("address with a path", {"HostAddress": DEFAULT_HOST + "/api"}, False),
        ("cache above 20", {"HostAddress": DEFAULT_HOST, "ContingencyPrinterCache": "21"}, False),
        ("Arabic-Indic digit", {"HostAddress": DEFAULT_HOST, "BlockCopies": "\u0663"}, False),
        ("Boolean yes", {"HostAddress": DEFAULT_HOST, "SaveSpool": "yes"}, False),
        ("array document", [], False),
        ("string document", "HostAddress", False),
    ]
    # JSON Schema works on the parsed document, which has no repeated names and
    # no syntax errors; only validate can refuse these.
    validate_only = [
        ("repeated name", b'{"HostAddress": "https://h:1", "HostAddress": "https://h:2"}'),
        ("repeated name in other case", b'{"HostAddress": "https://h:1", "SaveSpool": "1", "savespool": "0"}'),
        ("trailing comma", b'{"HostAddress": "https://h:1",}'),
    ]

    files = []
    for index, (label, document, _) in enumerate(documents):
        path = scratch / f"document-{index}.json"
        data = document if isinstance(document, bytes) else json.dumps(document, ensure_ascii=False).encode()
        path.write_bytes(data)
        files.append(path)
    for index, (label, data) in enumerate(validate_only):
        path = scratch / f"validate-only-{index}.json"
        path.write_bytes(data)
        files.append(path)
    code, out, err = run(tool, ["validate", "--json", *map(str, files)])
    verdicts = [entry["valid"] for entry in json.loads(out)["files"]]
    for (label, document, expected), verdict in zip(documents, verdicts):
        instance = json.loads(document) if isinstance(document, bytes) else document
        by_schema = validator.is_valid(instance)
        check(verdict == expected and by_schema == expected,
              f"{label}: validate {'accepts' if verdict else 'refuses'}, "
              f"schema {'accepts' if by_schema else 'refuses'}, expected {'valid' if expected else 'invalid'}")
    for (label, _), verdict in zip(validate_only, verdicts[len(documents):]):
        check(not verdict, f"{label}: validate refuses")

    # Every rule: the schema's patterns judge values as the program does.
    values = ["0", "9", "20", "21", "05", "007", "-1", "1.5", ".5", " 30", "30 ", "30\n", "\n30",
              "\u0663", "\uff13", "true", "TRUE", "fAlSe", "fal\u017fe", "\u017ftrue", "yes", "true\n", " ",
              "https://127.0.0.1:56569", "http://h.example:1", "HTTPS://h:1", "https://h:1/", "https://h",
              "https://[::1]:1", "https://h:1\n", "any text", "a\nb"]
    cases = []
    for setting in catalogue:
        for value in values:
            document = {"HostAddress": DEFAULT_HOST}
            document[setting["name"]] = value
            cases.append((setting["name"], value, document))
    paths = []
    for index, (_, _, document) in enumerate(cases):
        path = scratch / f"value-{index}.json"
        path.write_text(json.dumps(document, ensure_ascii=False), encoding="utf-8")
        paths.append(str(path))
    code, out, err = run(tool, ["validate", "--json", *paths])
    verdicts = [entry["valid"] for entry in json.loads(out)["files"]]
    disagreements = [f"{name}={value!r} (validate {verdict})"
                     for (name, value, document), verdict in zip(cases, verdicts)
                     if validator.is_valid(document) != verdict]
    check(len(verdicts) == len(cases) and not disagreements,
          f"{len(cases)} values of every setting: schema and validate agree {disagreements[:5]}")
    check(0 < verdicts.count(True) < len(verdicts), "the value table has accepted and refused values")

    # The descriptions follow --lang.
    german = json.loads(run(tool, ["--lang", "de-DE", "schema"])[1])
    check(german["properties"]["HostAddress"]["description"] == "Adresse für die Verbindung mit Orvane Print Host.",
          "--lang de-DE: German descriptions")


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("cli", "schema"):
        print(__doc__, file=sys.stderr)
        return 2
    tool = os.path.abspath(sys.argv[2])
    with tempfile.TemporaryDirectory(prefix="sih-check-tool-") as scratch:
        (cli if sys.argv[1] == "cli" else schema)(tool, Path(scratch))
    print(f"{sys.argv[1]}: {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
