#!/usr/bin/env python3
"""Fills in each listed version's sha256 from the files to be published, then
signs the catalogue with minisign. A program built with a catalogue key
downloads only the files whose entry carries their sha256.

    scripts/sign_catalogue.py CATALOGUE FILES SECRET_KEY [-t TRUSTED_COMMENT]

FILES is the folder that will be published as the root of the download
server: an entry whose "downloadlink" is http://host/dl/1.0/setup.exe is
given the digest of FILES/dl/1.0/setup.exe. Every active version with a link
is filled in; an entry whose file cannot be read stops the tool, and the
catalogue is then left as it was. CATALOGUE is rewritten in place (UTF-8,
members in their order) and minisign writes CATALOGUE.minisig beside it;
minisign asks for the key's password when it has one.
"""
import argparse
import hashlib
import json
import os
import posixpath
import subprocess
import sys
import tempfile
import urllib.parse


def digest_of(path):
    sha = hashlib.sha256()
    with open(path, "rb") as file:
        for piece in iter(lambda: file.read(1 << 20), b""):
            sha.update(piece)
    return sha.hexdigest()


def fill_in(catalogue, files):
    """Sets the sha256 of every active version with a link; returns the problems."""
    problems = []
    for product, entry in catalogue.items():
        versions = entry.get("data") if isinstance(entry, dict) else None
        for name, version in versions.items() if isinstance(versions, dict) else []:
            if not isinstance(version, dict) or version.get("active") is not True:
                continue  # never listed by the program
            link = version.get("downloadlink")
            if not isinstance(link, str):
                continue
            path = posixpath.normpath("/" + urllib.parse.unquote(urllib.parse.urlsplit(link).path))
            local = os.path.join(files, *path.strip("/").split("/"))
            try:
                version["sha256"] = digest_of(local)
                print(f"sign-catalogue: {product} {name}: {local}")
            except OSError as error:
                problems.append(f"{product} {name}: cannot read {local}: {error.strerror}")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("catalogue")
    parser.add_argument("files")
    parser.add_argument("secret_key")
    parser.add_argument("-t", dest="comment", default="Tovik catalogue")
    args = parser.parse_args()

    with open(args.catalogue, encoding="utf-8-sig") as file:
        catalogue = json.load(file)
    if not isinstance(catalogue, dict):
        sys.exit("sign-catalogue: the catalogue is not a JSON object")
    problems = fill_in(catalogue, args.files)
    if problems:
        sys.exit("sign-catalogue: nothing written:\n  " + "\n  ".join(problems))

    # Written whole, then put in place, so a failed run never leaves half a catalogue.
    folder = os.path.dirname(os.path.abspath(args.catalogue))
    with tempfile.NamedTemporaryFile("w", encoding="utf-8", dir=folder, delete=False) as file:
        json.dump(catalogue, file, ensure_ascii=False, indent=4)
        file.write("\n")
    os.chmod(file.name, os.stat(args.catalogue).st_mode & 0o777)
    os.replace(file.name, args.catalogue)
    sign = ["minisign", "-S", "-s", args.secret_key, "-m", args.catalogue, "-t", args.comment]
    if subprocess.run(sign).returncode != 0:
        sys.exit(f"sign-catalogue: minisign failed; {args.catalogue} has its digests but no new signature")
    print(f"sign-catalogue: signed {args.catalogue}")


if __name__ == "__main__":
    main()
