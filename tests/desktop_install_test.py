#!/usr/bin/env python3
"""Installs the build into a temporary prefix with `cmake --install` and
checks the Linux desktop layout: the program, a desktop entry that
desktop-file-validate accepts and that starts it, and the entry's icon in
the hicolor theme at each size."""

import configparser
import os
import struct
import subprocess
import sys
import tempfile

SIZES = [16, 24, 32, 48, 64, 96, 128, 192, 256]


def check(condition, message):
    if not condition:
        sys.exit('FAIL: %s' % message)


def main(cmake, build_dir, validator, config=''):
    with tempfile.TemporaryDirectory(prefix='tovik-install-') as prefix:
        subprocess.run([cmake, '--install', build_dir, '--prefix', prefix]
                       + (['--config', config] if config else []),
                       check=True, stdout=subprocess.DEVNULL)
        apps = os.path.join(prefix, 'share', 'applications')
        entries = os.listdir(apps)
        check(len(entries) == 1, 'desktop entries: %r' % entries)
        path = os.path.join(apps, entries[0])

        # The validator prints hints with exit code 0; take those as faults.
        report = subprocess.run([validator, path], stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT,
                                universal_newlines=True)
        check(report.returncode == 0 and not report.stdout.strip(),
              report.stdout)

        parser = configparser.RawConfigParser()
        parser.optionxform = str
        parser.read(path, encoding='utf-8')
        entry = parser['Desktop Entry']
        check(entry['Name'] == 'Tovik All In One', entry['Name'])
        program = os.path.join(prefix, 'bin', entry['Exec'].split()[0])
        check(os.access(program, os.X_OK), 'not installed: ' + program)
        # The entry's file name is its desktop id, and the icon shares it.
        check(entries[0] == entry['Icon'] + '.desktop', entries[0])

        for size in SIZES:
            icon = os.path.join(prefix, 'share', 'icons', 'hicolor',
                                '%dx%d' % (size, size), 'apps',
                                entry['Icon'] + '.png')
            check(os.path.isfile(icon), 'not installed: ' + icon)
            with open(icon, 'rb') as f:
                head = f.read(29)
            check(head[:8] == b'\x89PNG\r\n\x1a\n' and
                  struct.unpack('>II5B', head[16:29]) ==
                  (size, size, 8, 6, 0, 0, 0), 'not an RGBA PNG: ' + icon)
    print('installed layout and desktop entry are fine')


if __name__ == '__main__':
    if len(sys.argv) not in (4, 5):
        sys.exit('usage: desktop_install_test.py CMAKE BUILD_DIR '
                 'DESKTOP_FILE_VALIDATE [CONFIG]')
    if not os.path.isfile(sys.argv[3]):
        sys.exit('desktop-file-validate is missing '
                 '(scripts/bootstrap installs desktop-file-utils)')
    main(*sys.argv[1:])
