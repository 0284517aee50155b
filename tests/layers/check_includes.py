#!/usr/bin/env python3
"""Checks every #include under src/ against the layers in src/DEPS.

A file in src/<folder>/ may include its own folder and the folders its line of
src/DEPS names; Qt only from app/qt; the Windows helpers of platform/win only
from Windows implementations. Prints each violation and exits 1 when any.
Usage: check_includes.py SOURCE_ROOT
"""
import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def read_layers(deps):
    layers = {}
    for line in deps.read_text(encoding='utf-8').splitlines():
        line = line.split('#', 1)[0].strip()
        if not line:
            continue
        folder, _, allowed = line.partition(':')
        layers[folder.strip()] = set(allowed.split())
    return layers


def violations(root):
    src = root / 'src'
    layers = read_layers(src / 'DEPS')
    found = []
    for path in sorted(src.rglob('*')):
        if path.suffix not in ('.h', '.cpp', '.c', '.in') or not path.is_file():
            continue
        rel = path.relative_to(src)
        folder = rel.parts[0]
        if folder not in layers:
            found.append(f'{rel}: folder {folder} has no line in src/DEPS')
            continue
        allowed = layers[folder] | {folder}
        windows_file = re.search(r'_win\.(cpp|h)$', path.name) is not None or \
            str(rel).startswith('app/win32/')
        for number, text in enumerate(path.read_text(encoding='utf-8').splitlines(), 1):
            match = INCLUDE.match(text)
            if not match:
                continue
            quote, name = match.groups()
            close = '>' if quote == '<' else '"'
            where = f'{rel}:{number}: #include {quote}{name}{close}'
            top = name.split('/', 1)[0]
            if quote == '"' and '/' in name:
                if top in layers and top not in allowed:
                    found.append(f'{where} reaches {top}, which {folder} may not include')
                if name.startswith('platform/win/') and not windows_file:
                    found.append(f'{where} outside a Windows implementation')
            if quote == '<' and re.match(r'Q[A-Za-z]+(/|$)', name) and \
                    not str(rel).startswith('app/qt/'):
                found.append(f'{where}: Qt belongs to app/qt')
    return found


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else '.').resolve()
    found = violations(root)
    for line in found:
        print(line)
    if found:
        print(f'{len(found)} include(s) against src/DEPS')
        return 1
    print('every include follows src/DEPS')
    return 0


if __name__ == '__main__':
    sys.exit(main())
