#!/usr/bin/env python3
"""The settings file's JSON Schema against the program, with an independent validator.

  schema_test.py SOURCE BUILD

- the shipped schema is what `kvxuctl schema` makes from the settings' own description;
- every saved profile (demo and maximal scenarios, and after faults) is valid, and loads;
- each bad file of the file check's test table is refused by both, except where a schema
  cannot say it, which the program checks beyond it.
"""
import json
import os
import subprocess
import sys
import tempfile

import jsonschema

SOURCE, BUILD = sys.argv[1], sys.argv[2]
SCHEMA_FILE = os.path.join(SOURCE, "settings", "kvx-usb-settings.schema.json")
CTL = os.path.join(BUILD, "tools", "kvxuctl.exe")
SIM = os.path.join(SOURCE, "scripts", "simdriver.sh")
os.environ["KVX_SIMDRIVER_PIPE"] = f"kvx-schema-test-{os.getpid()}"

# What only the program refuses: uniqueness within a list of objects, and the file's size.
BEYOND_SCHEMA = {"ranking twice", "serial twice", "channel index twice", "oversized"}

failures = []


def bench(*args, env=None):
    command = [os.path.join(SOURCE, "scripts", "wine-bench.sh"), "run", BUILD, *args]
    return subprocess.run(command, capture_output=True, text=True, env=env, timeout=120)


def windows(path):
    return "Z:" + path.replace("/", "\\")


def refuse_twice(pairs):
    keys = [key for key, _ in pairs]
    if len(keys) != len(set(keys)):
        raise ValueError("a key twice")
    return dict(pairs)


def schema_verdict(validator, path):
    """None when valid, else why."""
    try:
        with open(path, encoding="utf-8") as f:
            document = json.load(f, object_pairs_hook=refuse_twice)
    except (ValueError, UnicodeDecodeError) as error:
        return f"not read: {error}"
    errors = sorted(validator.iter_errors(document), key=str)
    return errors[0].message if errors else None


def program_verdict(path):
    run = bench(CTL, "check", windows(path))
    return None if run.returncode == 0 else run.stdout + run.stderr


def check(condition, message):
    if not condition:
        failures.append(message)


def same_schema():
    made = bench(CTL, "schema").stdout.replace("\r", "")
    with open(SCHEMA_FILE, encoding="utf-8") as f:
        check(made == f.read(), "the shipped schema is not what `kvxuctl schema` makes")


def saved_profiles(validator, folder):
    setups = [("demo", []), ("maximal", []), ("demo", ["set", "asio-depth", "500"]),
              ("demo", ["fault", "duplicate"]), ("demo", ["fault", "unterminated"])]
    for scenario, setup in setups:
        subprocess.run([SIM, "start", BUILD, "--scenario", scenario], check=True,
                       capture_output=True, timeout=120)
        try:
            if setup:
                subprocess.run([SIM, "cmd", BUILD, *setup], check=True, capture_output=True)
            path = os.path.join(folder, "saved.kvxsettings")
            saved = bench(CTL, "save", windows(path))
            what = f"{scenario} {' '.join(setup)}".strip()
            check(saved.returncode in (0, 1), f"{what}: save exited {saved.returncode}")
            check(schema_verdict(validator, path) is None,
                  f"{what}: the saved file is not valid: {schema_verdict(validator, path)}")
            check(program_verdict(path) is None, f"{what}: load refuses the saved file")
        finally:
            subprocess.run([SIM, "stop", BUILD], capture_output=True)


def table_files(validator, folder):
    test = os.path.join(BUILD, "tests", "settings", "settings_profile_test.exe")
    env = dict(os.environ, KVX_PROFILE_CASES_DIR=windows(folder), WINEDEBUG="-all")
    bench(test, "--gtest_filter=ProfileFile.RefusesEveryKind*", env=env)
    files = sorted(f for f in os.listdir(folder) if f.endswith(".json"))
    check(len(files) > 30, f"the table test wrote {len(files)} files")
    differ = set()
    for name in files:
        path = os.path.join(folder, name)
        check(program_verdict(path) is not None, f"{name}: the program takes it")
        if schema_verdict(validator, path) is None:
            differ.add(name[:-len(".json")])
    check(differ == BEYOND_SCHEMA, f"only the program refuses {sorted(differ)}, "
                                   f"expected {sorted(BEYOND_SCHEMA)}")


def accepted_forms(validator, folder):
    """Whole numbers however written, and any $schema text: both take them."""
    forms = {
        "fractions of zero": '"version": 1.0, "sampleRateHz": 48000.0, "asioBufferDepthUs": 2000.0',
        "exponents": '"version": 1, "sampleRateHz": 4.8e4, "wdmBufferDepthUs": 5e3',
        "schema outside Latin-1": '"$schema": "file:///C:/\u30c6\u30b9\u30c8/s.json", "version": 1',
    }
    for what, members in forms.items():
        path = os.path.join(folder, "form.kvxsettings")
        with open(path, "w", encoding="utf-8") as f:
            f.write('{"format": "kvx-usb-settings", ' + members + "}")
        check(schema_verdict(validator, path) is None, f"{what}: the schema refuses it")
        check(program_verdict(path) is None, f"{what}: the program refuses it: {program_verdict(path)}")


def main():
    with open(SCHEMA_FILE, encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    same_schema()
    with tempfile.TemporaryDirectory() as folder:
        table_files(validator, folder)
        accepted_forms(validator, folder)
    with tempfile.TemporaryDirectory() as folder:
        saved_profiles(validator, folder)
    for failure in failures:
        print("FAILED:", failure)
    print("schema test:", "passed" if not failures else f"{len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
