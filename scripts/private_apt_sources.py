#!/usr/bin/env python3
"""Prints a one-line-style sources list for the private 32-bit Wine root.

Reads this machine's own APT sources (/etc/apt/sources.list and the *.list and *.sources files
of /etc/apt/sources.list.d) and keeps the entries of the release CODENAME: the archive that
serves CODENAME also serves CODENAME-updates and CODENAME-backports, the one that serves
CODENAME-security serves that suite. Every entry is written for the architectures amd64 and
i386. No archive is named here: a machine whose sources have no CODENAME entry gets an empty
list and the caller says so.

Usage: private_apt_sources.py CODENAME [APT_ETC_DIR]
"""
import glob
import os
import sys


def one_line_entries(path):
    """(uri, suite, components, signed_by) from a one-line-style file."""
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            words = line.split("#", 1)[0].split()
            if not words or words[0] != "deb":
                continue
            words = words[1:]
            signed_by = ""
            if words and words[0].startswith("["):
                options = []
                while words:
                    word = words.pop(0)
                    options.append(word.strip("[]"))
                    if word.endswith("]"):
                        break
                for option in options:
                    if option.startswith("signed-by="):
                        signed_by = option.split("=", 1)[1]
            if len(words) >= 3:
                yield words[0], words[1], words[2:], signed_by


def deb822_entries(path):
    """(uri, suite, components, signed_by) from a deb822-style .sources file."""
    with open(path, encoding="utf-8", errors="replace") as f:
        stanzas = f.read().split("\n\n")
    for stanza in stanzas:
        fields = {}
        key = None
        for line in stanza.splitlines():
            if line.startswith("#") or not line.strip():
                continue
            if line[0] in " \t" and key:
                fields[key] += " " + line.strip()
                continue
            key, _, value = line.partition(":")
            key = key.strip().lower()
            fields[key] = value.strip()
        if "deb" not in fields.get("types", "").split():
            continue
        if fields.get("enabled", "yes").lower() == "no":
            continue
        components = fields.get("components", "").split()
        signed_by = fields.get("signed-by", "")
        if "\n" in signed_by or " " in signed_by:
            signed_by = ""   # an inline key: leave it to apt's own keyrings
        for uri in fields.get("uris", "").split():
            for suite in fields.get("suites", "").split():
                yield uri, suite, components, signed_by


def main():
    codename = sys.argv[1]
    etc = sys.argv[2] if len(sys.argv) > 2 else "/etc/apt"
    entries = []
    if os.path.isfile(os.path.join(etc, "sources.list")):
        entries += one_line_entries(os.path.join(etc, "sources.list"))
    for path in sorted(glob.glob(os.path.join(etc, "sources.list.d", "*.list"))):
        entries += one_line_entries(path)
    for path in sorted(glob.glob(os.path.join(etc, "sources.list.d", "*.sources"))):
        entries += deb822_entries(path)

    wanted = []
    for uri, suite, components, signed_by in entries:
        if suite == codename:
            suites = [codename, codename + "-updates", codename + "-backports"]
        elif suite == codename + "-security" or suite == codename + "/updates":
            suites = [suite]
        else:
            continue
        if "main" not in components:
            continue
        for name in suites:
            entry = (uri, name, signed_by)
            if entry not in wanted:
                wanted.append(entry)
    for uri, suite, signed_by in wanted:
        options = "arch=amd64,i386"
        if signed_by:
            options += " signed-by=" + signed_by
        print(f"deb [{options}] {uri} {suite} main")


if __name__ == "__main__":
    main()
