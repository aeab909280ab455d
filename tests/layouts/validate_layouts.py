#!/usr/bin/env python3
"""Checks docs/layout.schema.json against the layouts the program ships and the tests use.

Every layout in documents/layouts/ and every JSON file under tests/ whose top level is an object
(records files are arrays) must validate; every file in tests/layouts/invalid/ must be rejected,
at the place and for the reason listed in REJECTED below, so that a sample broken by accident in
some other way cannot pass for a working check.

Usage: validate_layouts.py SOURCE_DIR. Exits 77 (skipped) when the jsonschema module is missing.
"""

import json
import os
import sys
from pathlib import Path

SYSTEM_PYTHON = "/usr/bin/python3"

try:
    from jsonschema import Draft202012Validator
except ImportError:
    # scripts/setup installs Debian's package, which only the system interpreter sees; the
    # python3 first on PATH may be another one.
    if os.path.exists(SYSTEM_PYTHON) and not os.environ.get("KELMORA_SCHEMA_RETRY"):
        os.environ["KELMORA_SCHEMA_RETRY"] = "1"
        os.execv(SYSTEM_PYTHON, [SYSTEM_PYTHON, *sys.argv])
    print("jsonschema is not installed (python3-jsonschema); skipped")
    sys.exit(77)

# File in invalid/ -> (path of the offending value, text the error message contains).
REJECTED = {
    "unknown-class.json": ("children/0/children/0/class", "'TRLLable' is not one of"),
    "class-wrong-case.json": ("children/0/class", "'TRLband' is not one of"),
    "missing-class.json": ("children/0", "'class' is a required property"),
    "children-not-array.json": ("children", "is not of type 'array'"),
    "child-not-object.json": ("children/0", "'TRLBand' is not of type 'object'"),
    "font-style-not-array.json": ("Font/Style", "'fsBold' is not of type 'array'"),
    "font-style-unknown.json": ("Font/Style/1", "'fsBlink' is not one of"),
    "font-size-and-height.json": ("Font", "should not be valid"),
    "font-unknown-key.json": ("Font", "'Bold' was unexpected"),
    "band-type-unknown.json": ("children/0/BandType", "'btPageFooter' is not one of"),
    "unknown-property.json": ("children/0/children/0", "'Captoin' was unexpected"),
    "property-of-other-class.json": ("children/0", "'BandType' was unexpected"),
    "nested-unknown-property.json": ("children/0/Borders", "'Colour' was unexpected"),
    "width-not-whole.json": ("children/0/Height", "20.5 is not of type 'integer'"),
    "colour-short-hex.json": ("Color", "'#FFF' is not valid under any of the given schemas"),
    "colour-unknown-name.json": ("children/0/Font/Color", "'clOrange' is not valid under any"),
    "name-not-identifier.json": ("children/0/name", "'Label 1' does not match"),
    "set-not-array.json": ("children/0/Anchors", "'fkLeft' is not of type 'array'"),
    "lines-not-array.json": ("children/0/Lines", "'one line' is not of type 'array'"),
    "boolean-as-string.json": ("children/0/Stretch", "'true' is not of type 'boolean'"),
    "paper-size-unknown.json": ("PageSetup/PaperSize", "'fpA11' is not one of"),
    "margin-beyond-any-page.json": ("Margins/LeftMargin", "is greater than the maximum of 1000000"),
    "position-beyond-any-page.json": ("children/0/children/0/Left", "is less than the minimum"),
}


def all_errors(validator, document):
    """Every error, the ones inside allOf/anyOf branches included."""
    pending = list(validator.iter_errors(document))
    while pending:
        error = pending.pop()
        yield error
        pending.extend(error.context or [])


def where(error):
    return "/".join(str(part) for part in error.absolute_path)


def valid_layouts(source):
    files = sorted((source / "documents" / "layouts").glob("*.json"))
    # Refused layouts, and the fuzzers' seeds, which are inputs of every kind by design.
    skipped = (source / "tests" / "layouts" / "invalid", source / "tests" / "fuzz")
    for path in sorted((source / "tests").rglob("*.json")):
        if any(folder in path.parents for folder in skipped):
            continue
        if isinstance(json.loads(path.read_text(encoding="utf-8-sig")), dict):
            files.append(path)
    return files


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[-1])
        return 2
    source = Path(sys.argv[1]).resolve()
    schema = json.loads((source / "docs" / "layout.schema.json").read_text(encoding="utf-8"))
    Draft202012Validator.check_schema(schema)
    validator = Draft202012Validator(schema)
    passed, failures = 0, []

    shipped = valid_layouts(source)
    # The three documents and the round-trip layout at least: an empty list would prove nothing.
    if len(shipped) < 4:
        failures.append(f"only {len(shipped)} layouts found under {source}")
    for path in shipped:
        document = json.loads(path.read_text(encoding="utf-8-sig"))
        errors = list(validator.iter_errors(document))
        if errors:
            shown = "; ".join(f"{where(e) or '(root)'}: {e.message}" for e in errors[:5])
            failures.append(f"{path.relative_to(source)} is rejected: {shown}")
        else:
            passed += 1

    invalid_dir = source / "tests" / "layouts" / "invalid"
    samples = {p.name for p in invalid_dir.glob("*.json")}
    for name in sorted(samples - REJECTED.keys()):
        failures.append(f"invalid/{name} has no expected error in REJECTED")
    for name in sorted(REJECTED.keys() - samples):
        failures.append(f"invalid/{name} is listed in REJECTED but missing")
    for name in sorted(samples & REJECTED.keys()):
        document = json.loads((invalid_dir / name).read_text(encoding="utf-8"))
        path, text = REJECTED[name]
        errors = list(all_errors(validator, document))
        if any(where(e) == path and text in e.message for e in errors):
            passed += 1
        elif not errors:
            failures.append(f"invalid/{name} is accepted")
        else:
            shown = "; ".join(f"{where(e) or '(root)'}: {e.message}" for e in errors[:5])
            failures.append(f"invalid/{name} is rejected, but not at {path} for {text!r}: {shown}")

    for failure in failures:
        print("FAIL:", failure)
    print(f"{passed} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
