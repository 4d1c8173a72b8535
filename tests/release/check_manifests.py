#!/usr/bin/env python3
"""The release's package manifests, as winget and Scoop will read them.

Part of check_release.sh. Reads the winget files in RELEASE/winget and the
Scoop file RELEASE/scoop/brimlow.json, checks that each names the download
it belongs to by its real SHA-256 and installs it the way the release is
made, and validates each against its schema in SCHEMAS (winget-1.10.0/,
scoop/schema.json). Without the schemas it checks the hashes and the
required fields alone, and says so. Prints one line per problem; exits 1 on
any.

Usage: check_manifests.py RELEASE SCHEMAS VERSION
"""
import hashlib
import json
import os
import sys

import yaml

PACKAGE = "Brimlow.Brimlow"
WINGET = {
    # manifest file, schema file, the fields the schema requires
    "version": (PACKAGE + ".yaml", "manifest.version.1.10.0.json",
                ["PackageIdentifier", "PackageVersion", "DefaultLocale", "ManifestType", "ManifestVersion"]),
    "installer": (PACKAGE + ".installer.yaml", "manifest.installer.1.10.0.json",
                  ["PackageIdentifier", "PackageVersion", "Installers", "ManifestType", "ManifestVersion"]),
    "defaultLocale": (PACKAGE + ".locale.en-US.yaml", "manifest.defaultLocale.1.10.0.json",
                      ["PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher", "PackageName",
                       "License", "ShortDescription", "ManifestType", "ManifestVersion"]),
}
SCOOP_REQUIRED = ["version", "homepage", "license"]


def sha256(path):
    with open(path, "rb") as file:
        return hashlib.sha256(file.read()).hexdigest()


def main(release, schemas, version):
    problems = []
    winget_schemas = os.path.join(schemas, "winget-1.10.0")
    scoop_schema = os.path.join(schemas, "scoop", "schema.json")
    have_schemas = os.path.isdir(winget_schemas) and os.path.isfile(scoop_schema)
    if have_schemas:
        import jsonschema

    def validate(document, schema_path, name):
        with open(schema_path, encoding="utf-8") as file:
            schema = json.load(file)
        validator = jsonschema.validators.validator_for(schema)(schema)
        for error in sorted(validator.iter_errors(document), key=lambda e: list(e.path)):
            where = "/".join(str(part) for part in error.path) or "(top)"
            problems.append(f"{name}: {where}: {error.message}")

    def require(document, fields, name):
        problems.extend(f"{name}: no {field}" for field in fields if document.get(field) in (None, ""))

    def expect(condition, message):
        if not condition:
            problems.append(message)

    setup = f"Brimlow-{version}-setup.exe"
    zip_name = f"Brimlow-{version}-portable.zip"

    winget = {}
    for kind, (file_name, schema_name, required) in WINGET.items():
        path = os.path.join(release, "winget", file_name)
        try:
            with open(path, encoding="utf-8") as file:
                document = yaml.safe_load(file)
        except (OSError, yaml.YAMLError) as error:
            problems.append(f"{path}: {error}")
            continue
        winget[kind] = document
        name = "winget/" + file_name
        if have_schemas:
            validate(document, os.path.join(winget_schemas, schema_name), name)
        else:
            require(document, required, name)
        expect(document.get("ManifestType") == kind, f"{name}: ManifestType is {document.get('ManifestType')!r}")
        expect(document.get("PackageIdentifier") == PACKAGE, f"{name}: PackageIdentifier is not {PACKAGE}")
        expect(document.get("PackageVersion") == version, f"{name}: PackageVersion is not {version!r}")

    installer = winget.get("installer")
    if installer:
        entries = installer.get("Installers") or [{}]
        entry = entries[0]
        expect(len(entries) == 1, f"winget installer: {len(entries)} installers, not one")
        expect(installer.get("InstallerType") == "nullsoft", "winget installer: InstallerType is not nullsoft")
        expect(installer.get("Scope") == "user", "winget installer: Scope is not user")
        switches = installer.get("InstallerSwitches") or {}
        expect(switches.get("Silent") == "/S" and switches.get("SilentWithProgress") == "/S",
               f"winget installer: silent switches are {switches}")
        expect(str(entry.get("InstallerUrl", "")).endswith("/" + setup),
               f"winget installer: InstallerUrl {entry.get('InstallerUrl')} does not name {setup}")
        actual = sha256(os.path.join(release, setup))
        expect(str(entry.get("InstallerSha256", "")).lower() == actual,
               f"winget installer: InstallerSha256 {entry.get('InstallerSha256')} is not {setup}'s {actual}")

    path = os.path.join(release, "scoop", "brimlow.json")
    try:
        with open(path, encoding="utf-8") as file:
            scoop = json.load(file)
    except (OSError, ValueError) as error:
        problems.append(f"{path}: {error}")
        scoop = None
    if scoop is not None:
        if have_schemas:
            validate(scoop, scoop_schema, "scoop/brimlow.json")
        else:
            require(scoop, SCOOP_REQUIRED + ["url", "hash"], "scoop/brimlow.json")
        expect(scoop.get("version") == version, f"scoop: version is not {version!r}")
        expect(str(scoop.get("url", "")).endswith("/" + zip_name), f"scoop: url {scoop.get('url')} does not name {zip_name}")
        actual = sha256(os.path.join(release, zip_name))
        expect(str(scoop.get("hash", "")).lower() == actual, f"scoop: hash {scoop.get('hash')} is not {zip_name}'s {actual}")
        expect(scoop.get("extract_dir") == "Brimlow", "scoop: extract_dir is not Brimlow")
        expect(scoop.get("persist") == "data", "scoop: persist is not data")
        for field in ("bin", "shortcuts"):
            expect("program.exe" in json.dumps(scoop.get(field)), f"scoop: {field} does not name program.exe")

    for problem in problems:
        print("FAIL: " + problem)
    how = "validated against " + schemas if have_schemas else \
        f"hashes and required fields only ({schemas} is absent, so no schema validation)"
    print(f"manifests: {len(problems)} problems; {how}")
    return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
