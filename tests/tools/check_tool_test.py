#!/usr/bin/env python3
"""Runs the built silent-install-helper-check as a user or a script would.
Usage: check_tool_test.py cli|schema <path-to-silent-install-helper-check> [emulator...]
  cli     exit codes, reports in every language and as JSON, pipes and hostile input;
  schema  the printed JSON Schema must accept what `validate` accepts, and only that.
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
EMULATOR = sys.argv[3:]  # wine for a Windows build


def check(condition, message):
    print(("PASS " if condition else "FAIL ") + message)
    if not condition:
        failures.append(message)


def run(tool, arguments, stdin=b"", stdout=subprocess.PIPE, cwd=None, **options):
    # stdin: bytes to send, or a file to read (None: this process's own).
    source = {"input": stdin} if isinstance(stdin, bytes) else {"stdin": stdin}
    result = subprocess.run([*EMULATOR, tool, *arguments], **source, stdout=stdout, stderr=subprocess.PIPE,
                            cwd=cwd, timeout=60, **options)
    return result.returncode, result.stdout or b"", result.stderr


# Each language's texts for an unknown name, an invalid value, a repeated name
# and an empty value.
ENGLISH = ("Invalid configuration name.", "Invalid configuration value.",
           "A setting with this name already exists.", "The Value field is required.")
GERMAN = ("Ungültiger Konfigurationsname.", "Ungültiger Konfigurationswert.",
          "Eine Einstellung mit diesem Namen existiert bereits.", "Das Feld Wert ist erforderlich.")
LANGUAGES = [
    ([], ENGLISH),
    (["--lang", "pt-BR"], ("Nome de configuração inválido.", "Valor de configuração inválido.",
                           "Uma configuração com esse nome já existe.", "O campo Valor é obrigatório.")),
    (["--lang", "es-ES"], ("Nombre de configuración no válido.", "Valor de configuración no válido.",
                           "Ya existe un ajuste con este nombre.", "El campo Valor es obligatorio.")),
    (["--lang", "de-DE"], GERMAN),
    (["--lang=de_de"], GERMAN),
    (["--lang", "fr-FR"], ("Nom de configuration invalide.", "Valeur de configuration invalide.",
                           "Une configuration avec ce nom existe déjà.", "Le champ Valeur est obligatoire.")),
    (["--lang", "it-IT"], ("Nome di configurazione non valido.", "Valore di configurazione non valido.",
                           "Esiste già una configurazione con questo nome.", "Il campo Valore è obbligatorio.")),
    (["--lang", "zh-CN"], ("配置名称无效。", "配置值无效。", "已存在具有此名称的设置。", "值 \"字段为必填字段。")),
]
REPORT = """report.json: member 2 "HostAdress": {0} Did you mean "HostAddress"?
report.json: member 3 "SaveSpool": {1} Expected true, false, 1 or 0, in any letter case; found "y\\"s".
report.json: member 4 "SaveSpool": {2} Member 3 has the same name, "SaveSpool".
report.json: member 5 "WorkFolder": {3}
report.json: member 6 "Q\\"": {0}
"""


def cli(tool, scratch):
    host = b'{"HostAddress": "https://h:1"'
    files = {
        "valid.json": host + b"}",
        "invalid.json": host + b', "SaveSpool": "yes"}',
        "report.json": host + b', "HostAdress": "1", "SaveSpool": "y\\"s", "SaveSpool": "1", "WorkFolder": "",'
                       b' "Q\\"": "1"}',
        "bad.json": host + b', "Hostadres": "1", "BlockCopies": 3}',
        "broken.json": host + b",\n}",
        # The size limit is 16 MiB: a file of exactly that size is read.
        "limit.json": (host + b"}").ljust(16 << 20),
        "over.json": (host + b"}").ljust((16 << 20) + 1),
        "deep.json": b"[" * 100000 + b"]" * 100000,
        "deep-member.json": host + b', "x": ' + b'{"a":' * 100000 + b"1" + b"}" * 100001,
        "nul.json": host + b"}\0garbage",
        "nul-padded.json": host + b"}\n" + b"\0" * 4096,
        "overflow.json": host + b', "HttpTimeout": 1e999999}',
        "escapes.json": host + b', "W\\u001b[31m": "1", "HttpTimeout": "\\u001b[2J' + b"9" * (1 << 20) + b'x"}',
        "long-key.json": host + b', "' + b"k" * (1 << 20) + b'": "1"}',
        "x\nok.json: valid\n": host + b', "SaveSpool": "yes"}',
        # Cut short, another encoding, a name that is not UTF-8, names that hide or reorder text.
        "empty.json": b"",
        "cut.json": host + b', "WorkFolder": "C:\\\\Ar',
        "utf16.json": '{"HostAddress": "https://h:1"}'.encode("utf-16-le"),
        b"caf\xe9.json": host + b"}",
        "hidden.json": host + ', "Save\u200bSpool": "1", "\u202eSaveSpool": "1", "A\u2028B\u00ad": "1", "D\x7f\u0085": "1"}'.encode(),
    }
    for name, data in files.items():
        with open(os.path.join(bytes(scratch), name if isinstance(name, bytes) else name.encode()), "wb") as file:
            file.write(data)

    # Exit code, the start of standard output and a text on standard error; b""
    # stands for nothing at all. Never a crash, a false "valid" or a stopped run.
    invalid = (b'invalid.json: member 2 "SaveSpool": Invalid configuration value. '
               b'Expected true, false, 1 or 0, in any letter case; found "yes".\n')
    nested = b"line 1, column 65: Malformed JSON. Nested too deeply (more than 64 levels)\n"
    runs = [
        (["--help"], 0, b"Usage: " + PROGRAM.encode(), b""),
        ([], 2, b"", b"no command given"),
        (["frob"], 2, b"", b'unknown command "frob"'),
        (["--lang", "klingon", "list"], 2, b"", b'unknown language "klingon"'),
        (["validate"], 2, b"", b"validate needs at least one FILE"),
        (["validate", "missing.json"], 2, b"", b'cannot read "missing.json": No such file or directory'),
        (["validate", "over.json"], 2, b"", b'cannot read "over.json": larger than 16 MiB'),
        (["validate", "/dev/zero"], 2, b"", b'cannot read "/dev/zero": larger than 16 MiB'),
        (["compose", "SaveSpool"], 2, b"", b'"SaveSpool" is not NAME=VALUE'),
        # The path inside the reason is escaped too: no colour, no forged line.
        (["compose", "-o", b"no/such\x1b[31m\nforged/x.json"], 2, b"",
         b'SaveJsonToWFile: Cannot open file.: iostream stream error: No such file or directory: "no/such\\x1b[31m\\nforged/x.json"\n'),
        (["compose", "--from=", "SaveSpool=1"], 2, b"", b"option --from needs a file name"),
        (["compose", "-o", "out-a.json", "--output=out-b.json", "SaveSpool=1"], 2, b"", b"option -o/--output given more than once"),
        (["compose", "--from", "valid.json", "--from=valid.json"], 2, b"", b"option --from given more than once"),
        (["compose", "SaveSpool=yes"], 1, b"", b"Invalid configuration value."),
        (["compose", "--from", "invalid.json", "BlockCopies=2"], 1, b"", b"Invalid configuration value."),
        (["validate", "valid.json", "limit.json", "invalid.json"], 1,
         b"valid.json: valid\nlimit.json: valid\n" + invalid, b""),
        (["validate", "deep.json"], 1, b"deep.json: " + nested, b""),
        (["validate", "deep-member.json"], 1, b"deep-member.json: line 1, column 352: Malformed JSON. Nested", b""),
        (["validate", "nul.json"], 1, b"nul.json: line 1, column 31: Malformed JSON. Unexpected NUL byte\n", b""),
        (["validate", "nul-padded.json"], 1, b"nul-padded.json: line 2, column 1: Malformed JSON. Unexpected NUL", b""),
        (["validate", "empty.json", "cut.json"], 1, b"empty.json: line 1, column 1: Malformed JSON. Unexpected end of file\n"
         b"cut.json: line 1, column 53: Malformed JSON. Unexpected end of file\n", b""),
        (["validate", "utf16.json"], 1, b"utf16.json: line 1, column 1: Not UTF-8 text. Found UTF-16 (little-endian) text.\n", b""),
        # The bytes given are opened, and shown escaped.
        (["validate", b"caf\xe9.json"], 0, b'"caf\\xe9.json": valid\n', b""),
        (["compose", "--from", b"caf\xe9.json"], 0, b'{\r\n    "HostAddress": "https://h:1"\r\n}\r\n', b""),
        (["validate", b"caf\xe8.json"], 2, b"", b'cannot read "caf\\xe8.json": No such file or directory'),
        # A bad file in the middle: the next is still checked.
        (["validate", "deep.json", "overflow.json", "invalid.json"], 1, b"deep.json: " + nested
         + b"overflow.json: line 1, column 54: Malformed JSON. Number overflow parsing '1e999999'\n" + invalid, b""),
        # compose writes only the text it was given.
        (["compose", "-o", b"out-\xff.json", "SaveSpool=1"], 2, b"",
         b'the output file name "out-\\xff.json" is not valid UTF-8'),
        (["compose", "-o", "out.json", "SaveSpool=1", b"WorkFolder=C:\\\xe9"], 2, b"",
         b'argument 2 "WorkFolder=C:\\\\\\xe9" is not valid UTF-8'),
    ]
    for arguments, code, out, err in runs:
        result = run(tool, arguments, cwd=scratch)
        check(result[0] == code and (result[1].startswith(out) if out else result[1] == b"")
              and (err in result[2] and result[2].startswith(PROGRAM.encode() + b": ") if err else result[2] == b""),
              f"{arguments or '(nothing)'}: exit {code}, {out[:60]!r}, {err!r} ({result[1][:200]!r}, {result[2]!r})")
    check(not [name for name in os.listdir(bytes(scratch)) if name.startswith(b"out")],
          "compose: nothing written after a refusal")
    code, out, err = run(tool, ["--version"])
    check(code == 0 and re.fullmatch(rb"silent-install-helper-check \d+\.\d+\.\d+\n", out) is not None,
          f"--version: name and version ({out!r})")

    for options, texts in LANGUAGES:
        code, out, err = run(tool, [*options, "validate", "report.json"], cwd=scratch)
        check(code == 1 and err == b"" and out.decode() == REPORT.format(*texts),
              f"{options or 'default'}: report in the language ({out.decode()!r})")

    code, out, err = run(tool, ["--lang", "fr-FR", "validate", "--json", "valid.json", "bad.json", "broken.json",
                                "missing.json"], cwd=scratch)
    check(code == 2 and json.loads(out) == {"valid": False, "files": [
        {"file": "valid.json", "valid": True, "problems": []},
        {"file": "bad.json", "valid": False, "problems": [
            {"code": "unknown-name", "member": 2, "name": "Hostadres", "message": "Nom de configuration invalide.",
             "detail": 'Did you mean "HostAddress"?', "suggestions": ["HostAddress"]},
            {"code": "non-string-value", "member": 3, "name": "BlockCopies", "message":
             "Valeur de configuration invalide.", "detail": 'Expected a JSON string; found the number 3 (write "3").'}]},
        {"file": "broken.json", "valid": False, "problems": [
            {"code": "malformed-json", "line": 2, "column": 1, "message": "Malformed JSON.",
             "detail": "Syntax error while parsing object key - unexpected '}'; expected string literal"}]},
        {"file": "missing.json", "valid": False, "error": "No such file or directory"}]},
        f"--json: the whole report ({out!r})")
    code, out, err = run(tool, ["validate", "--json", *files], cwd=scratch)
    names = [name.decode("latin-1").replace("\xe9", "\\xe9") if isinstance(name, bytes) else name for name in files]
    check(code == 2 and [entry["file"] for entry in json.loads(out)["files"]] == names,
          "--json: one JSON report for every file, whatever is in them")
    # Written as the check goes: "valid" comes once it is known, after the problems and the files.
    check(list(json.loads(out)) == ["files", "valid"]
          and all(list(entry)[-1] == "valid" for entry in json.loads(out)["files"]), "--json: \"valid\" last")

    # Characters that hide, reorder or break text are escaped in text and JSON alike; a
    # JSON reader reads the names as they are.
    code, text, err = run(tool, ["validate", "hidden.json"], cwd=scratch)
    code, out, err = run(tool, ["validate", "--json", "hidden.json"], cwd=scratch)
    hidden = [problem["name"] for problem in json.loads(out)["files"][0]["problems"]]
    raw = re.compile("[\u0000-\u0009\u000b-\u001f\u007f-\u009f\u00ad\u061c\u200b-\u200f\u2028-\u202e\u2060-\u206f\ufeff]")
    check(not raw.search(text.decode()) and not raw.search(out.decode())
          and b'member 2 "Save\\u200bSpool"' in text and b'member 3 "\\u202eSaveSpool"' in text
          and b'member 4 "A\\u2028B\\u00ad"' in text and b'member 5 "D\\x7f\\u0085"' in text
          and hidden == ["Save\u200bSpool", "\u202eSaveSpool", "A\u2028B\u00ad", "D\x7f\u0085"],
          f"hidden characters escaped ({text!r}, {hidden!r})")

    # Names, values and file names cannot forge lines or reach the terminal raw,
    # and long ones are cut.
    code, out, err = run(tool, ["validate", "escapes.json", "long-key.json", "x\nok.json: valid\n"], cwd=scratch)
    lines = out.split(b"\n")[:-1]
    check(code == 1 and b"\x1b" not in out and lines[0].startswith(b'escapes.json: member 2 "W\\x1b[31m":')
          and b'found "\\x1b[2J999' in lines[1] and all(len(line) < 400 for line in lines)
          and '"…'.encode() in lines[1] and '"…'.encode() in lines[2]
          and lines[-1].startswith(b'"x\\nok.json: valid\\n": member 2 "SaveSpool"') and len(lines) == 4,
          f"escaped, quoted and cut names and values ({[line[:120] for line in lines]!r})")

    # Piped output carries the export's CR LF line ends unchanged; so does a file.
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

    # A pipe given as the file is waited for and read, as validate <(...) does.
    code, out, err = run(tool, ["validate", "/dev/stdin"], stdin=composed)
    check(code == 0 and out == b"/dev/stdin: valid\n", f"validate: a pipe as the file ({out!r}, {err!r})")

    # Standard input closed or a folder, and a full output device.
    code, out, err = run(tool, ["validate", "-"], stdin=None, preexec_fn=lambda: os.close(0))
    check(code == 2 and b'cannot read "<stdin>"' in err, f"closed standard input: exit 2 ({err!r})")
    folder = os.open(scratch, os.O_RDONLY)
    code, out, err = run(tool, ["validate", "-"], stdin=folder)
    os.close(folder)
    check(code == 2 and b'cannot read "<stdin>"' in err, f"a folder as standard input: exit 2 ({err!r})")
    with open("/dev/full", "wb") as full:
        code, _, err = run(tool, ["schema"], stdout=full)
    check(code == 2 and b"cannot write the output" in err, "a full output device: exit 2 and a message")
    # More than a pipe holds, to a reader that has gone: a message, not death by SIGPIPE.
    process = subprocess.Popen([tool, "compose", "WorkFolder=" + "s" * 100000], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE)
    process.stdout.close()
    err = process.stderr.read()
    code = process.wait(timeout=60)
    check(code == 2 and err == PROGRAM.encode() + b": cannot write the output\n",
          f"standard output closed early: exit 2 and a message ({code}, {err!r})")


def schema(tool, scratch):
    import jsonschema  # Debian's python3-jsonschema, for the system interpreter

    document_schema = json.loads(run(tool, ["schema"])[1])
    jsonschema.Draft202012Validator.check_schema(document_schema)  # raises when it is no valid schema
    validator = jsonschema.Draft202012Validator(document_schema)
    catalogue = json.loads(run(tool, ["list", "--json"])[1])
    check(sorted(document_schema["properties"]) == sorted(s["name"] for s in catalogue),
          "one property per catalogue setting")

    def verdicts(documents, prefix):  # validate's verdict on each document (text or JSON value)
        names = []  # relative: Windows takes at most 32767 characters of command line
        for document in documents:
            names.append(f"{prefix}-{len(names)}.json")
            (scratch / names[-1]).write_bytes(document if isinstance(document, bytes)
                                              else json.dumps(document, ensure_ascii=False).encode())
        out = run(tool, ["validate", "--json", *names], cwd=scratch)[1]
        return [entry["valid"] for entry in json.loads(out)["files"]]

    composed = [run(tool, ["compose", *arguments])[1] for arguments in (
        [],
        ["SaveSpool=1", "BlockCopies=007", "ContingencyPrinterCache=20"],
        ["ReleaserAddress=http://r.example:8080", "hostaddress=https://10.0.0.5:56569", "WorkFolder= "],
    )]
    documents = [
        *[(f"compose output {i}", text, True) for i, text in enumerate(composed)],
        ("every setting", {s["name"]: {"address": DEFAULT_HOST, "integer": "20", "decimal": "1.5", "boolean": "FALSE",
                                       "text": 'C:\\Orvane\\审计 "x"'}[s["kind"]] for s in catalogue}, True),
        ("unknown name", {"HostAddress": DEFAULT_HOST, "HostAdress": DEFAULT_HOST}, False),
        ("name in other case", {"hostaddress": DEFAULT_HOST}, False),
        ("HostAddress missing", {"SaveSpool": "true"}, False),
        ("number value", {"HostAddress": DEFAULT_HOST, "BlockCopies": 5}, False),
        ("literal true", {"HostAddress": DEFAULT_HOST, "SaveSpool": True}, False),
        ("null value", {"HostAddress": DEFAULT_HOST, "WorkFolder": None}, False),
        ("object value", {"HostAddress": DEFAULT_HOST, "WorkFolder": {}}, False),
        ("array value", {"HostAddress": DEFAULT_HOST, "WorkFolder": ["x"]}, False),
        ("empty name", {"HostAddress": DEFAULT_HOST, "": "1"}, False),
        ("array document", [], False),
    ]
    for (label, document, expected), verdict in zip(documents, verdicts((d for _, d, _ in documents), "document")):
        by_schema = validator.is_valid(json.loads(document) if isinstance(document, bytes) else document)
        check(verdict == expected and by_schema == expected,
              f"{label}: validate and schema say valid: {verdict}, {by_schema}; expected {expected}")

    # Every rule: the schema's patterns judge values as the program does.
    values = ["0", "9", "20", "21", "05", "007", "-1", "1.5", ".5", " 30", "30 ", "30\n", "\n30",
              "\u0663", "\uff13", "true", "TRUE", "fAlSe", "fal\u017fe", "\u017ftrue", "yes", "true\n", " ", "",
              "https://127.0.0.1:56569", "http://h.example:1", "HTTPS://h:1", "https://h:1/", "https://h",
              "https://[::1]:1", "https://h:1\n", "any text", "a\nb"]
    cases = [{"HostAddress": DEFAULT_HOST, setting["name"]: value} for setting in catalogue for value in values]
    found = verdicts(cases, "value")
    disagreements = [f"{case} (validate {verdict})" for case, verdict in zip(cases, found)
                     if validator.is_valid(case) != verdict]
    check(len(found) == len(cases) and not disagreements,
          f"{len(cases)} values of every setting: schema and validate agree {disagreements[:5]}")
    check(0 < found.count(True) < len(found), "the value table has accepted and refused values")

    # The descriptions follow --lang.
    german = json.loads(run(tool, ["--lang", "de-DE", "schema"])[1])
    check(german["properties"]["HostAddress"]["description"] == "Adresse für die Verbindung mit Orvane Print Host.",
          "--lang de-DE: German descriptions")


if __name__ == "__main__":
    if len(sys.argv) < 3 or sys.argv[1] not in ("cli", "schema"):
        sys.exit(__doc__)
    with tempfile.TemporaryDirectory(prefix="sih-check-tool-") as scratch:
        {"cli": cli, "schema": schema}[sys.argv[1]](os.path.abspath(sys.argv[2]), Path(scratch))
    print(f"{sys.argv[1]}: {len(failures)} failed")
    sys.exit(1 if failures else 0)
