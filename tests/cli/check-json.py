#!/usr/bin/env python3
"""Runs morvane-cli on a fresh book and validates its list --json and show --json output
against docs/cli-json.schema.json: unique member names, numbers as numbers, nothing the
schema does not name. Uses the jsonschema module as well when it is installed."""
import json, os, subprocess, sys, tempfile

cli, schema_path = sys.argv[1], sys.argv[2]
schema = json.load(open(schema_path, encoding="utf-8"))


def resolve(s):
    while "$ref" in s and len(s) == 1:
        s = schema["$defs"][s["$ref"].split("/")[-1]]
    return s


def check(value, s, where):
    """The schema features the file uses; raises ValueError on a mismatch."""
    base = schema["$defs"][s["$ref"].split("/")[-1]] if "$ref" in s else {}
    if "oneOf" in s:
        passed = 0
        for option in s["oneOf"]:
            try:
                check(value, option, where)
                passed += 1
            except ValueError:
                pass
        if passed != 1:
            raise ValueError(f"{where}: matches {passed} of the oneOf schemas: {value!r}")
        return
    if base:
        check(value, base, where)
    types = {"object": dict, "array": list, "string": str, "boolean": bool}
    t = s.get("type")
    if t == "integer" and (not isinstance(value, int) or isinstance(value, bool)):
        raise ValueError(f"{where}: {value!r} is no integer")
    if t in types and not isinstance(value, types[t]):
        raise ValueError(f"{where}: {value!r} is no {t}")
    if "enum" in s and value not in s["enum"]:
        raise ValueError(f"{where}: {value!r} not in {s['enum']}")
    if "minimum" in s and value < s["minimum"]:
        raise ValueError(f"{where}: {value!r} below {s['minimum']}")
    if isinstance(value, dict):
        known = set(s.get("properties", {})) | set(resolve(base).get("properties", {}) if base else ())
        for name in s.get("required", []):
            if name not in value:
                raise ValueError(f"{where}: no member {name}")
        if s.get("additionalProperties") is False or s.get("unevaluatedProperties") is False:
            extra = set(value) - known
            if extra:
                raise ValueError(f"{where}: members the schema does not name: {sorted(extra)}")
        for name, sub in s.get("properties", {}).items():
            if name in value:
                check(value[name], sub, f"{where}.{name}")
    if isinstance(value, list) and "items" in s:
        for i, v in enumerate(value):
            check(v, s["items"], f"{where}[{i}]")


def unique_members(pairs):
    names = [k for k, _ in pairs]
    if len(names) != len(set(names)):
        raise ValueError(f"a member name repeats: {names}")
    return dict(pairs)


with tempfile.TemporaryDirectory() as home:
    book = os.path.join(home, "b.Bk")
    pw = os.path.join(home, "pw")
    with open(pw, "w") as f:
        f.write("pw\n")

    def run(*args, stdin=b""):
        with open(pw) as p:
            r = subprocess.run([cli, *args, "--password-fd", str(p.fileno())], input=stdin, pass_fds=[p.fileno()],
                               capture_output=True, timeout=120)
        if r.returncode != 0:
            sys.exit(f"{args}: exit {r.returncode}: {r.stderr.decode()}")
        return r.stdout

    run("new", book)
    run("add", book, "/", "朋友 \"1\"\\/x", "--dir")
    run("add", book, "朋友 \"1\"\\\\\\/x", "me", "--key")
    run("add", book, "朋友 \"1\"\\\\\\/x", "me", "--lock")
    run("keygen", book, "朋友 \"1\"\\\\\\/x/me", "--key", "--bits", "512")
    run("import", book, "朋友 \"1\"\\\\\\/x/me", "--lock", stdin=run("export", book, "朋友 \"1\"\\\\\\/x/me", "--key"))
    item = "朋友 \"1\"\\\\\\/x/me"
    outputs = {
        "list": [run("list", book, "--json"), run("list", book, item, "--key", "--json"),
                 run("list", book, "朋友 \"1\"\\\\\\/x", "--json")],
        "show": [run("show", book, "", "--json"), run("show", book, "朋友 \"1\"\\\\\\/x", "--json"),
                 run("show", book, item, "--lock", "--json"), run("show", book, item, "--key", "--json", "--private")],
    }
    try:
        import jsonschema
    except ImportError:
        jsonschema = None
    failures = 0
    for which, texts in outputs.items():
        for text in texts:
            try:
                value = json.loads(text.decode("utf-8"), object_pairs_hook=unique_members)
                check(value, {"$ref": f"#/$defs/{which}"}, which)
                if jsonschema:
                    jsonschema.validate(value, dict(schema, **{"$ref": f"#/$defs/{which}"}, oneOf=[{}]))
            except (ValueError, UnicodeDecodeError) as e:
                print(f"{which}: {e}\n{text!r}")
                failures += 1
            except Exception as e:  # jsonschema's ValidationError
                print(f"{which}: {type(e).__name__}: {e}\n{text!r}")
                failures += 1
    key = json.loads(outputs["show"][3])
    if key.get("uses") != 0 or key.get("bits") != 512 or not key.get("d") or key.get("hasKey") is not True:
        print(f"show: unexpected values {key}")
        failures += 1
    sys.exit(1 if failures else 0)
