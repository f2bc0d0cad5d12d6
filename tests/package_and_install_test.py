#!/usr/bin/env python3
"""The images, Windows resources and Linux install, read back by other tools. Arguments:
windows WINDRES GCC WRESTOOL RESOURCES | exe PROGRAM WRESTOOL OBJDUMP | install CMAKE BUILD VALIDATOR [CONFIG]"""
import os, re, struct, subprocess, sys, tempfile
from pathlib import Path

APP, SIZES = 'vn.tovik.AllInOne', [16, 24, 32, 48, 64, 96, 128, 192, 256]
BUNDLE = {'1452778310_Cancel': 128, '1498635164_download': 64, '1464966328_adept_installer': 128,
          '1464039768_Folder': 32, '1452863351_cross-button': 16}  # these at 2x too


def run(*cmd, cwd=None):
    done = subprocess.run(cmd, cwd=cwd, capture_output=True)
    assert not done.returncode, (cmd, done.stdout + done.stderr)
    return done.stdout


def check_png(data, size, what):  # an 8-bit RGBA PNG
    assert data[:8] == b'\x89PNG\r\n\x1a\n' and struct.unpack('>II5B', data[16:29]) == size + (8, 6, 0, 0, 0), what


def windows(tmp, windres, gcc, wrestool, resources):
    for name, side in list(BUNDLE.items()) + [(n + '@2x', 2 * BUNDLE[n]) for n in list(BUNDLE)[3:]]:
        check_png(Path(resources, 'icons', name + '.png').read_bytes(), (side, side), name)
    Path(tmp, 'tiny.c').write_text('int main(void) { return 0; }')
    run(windres, '-O', 'coff', Path(resources, 'Tovik_All_In_One.rc'), '-o', 'res.o', cwd=tmp)
    run(gcc, '-mwindows', 'tiny.c', 'res.o', '-o', 'tiny.exe', cwd=tmp)
    check_exe_resources(Path(tmp, 'tiny.exe'), wrestool)


def check_exe_resources(program, wrestool):  # icon and version block
    listing = run(wrestool, '-l', program).decode()
    assert "--type=14 --name='IDI_ICON1' --language=1033" in listing and '=16 --name=1 --language=1033' in listing
    ico = run(wrestool, '-x', '--type=14', '--name=IDI_ICON1', program)
    entries = [struct.unpack_from('<BBBBHHII', ico, 6 + 16 * i) for i in range(ico[4])]
    assert [(e[0] or 256, e[1] or 256, e[4], e[5]) for e in entries] == [(s, s, 1, 32) for s in SIZES], entries
    for width, _, _, _, _, _, length, offset in entries[:-1]:  # transparent around, opaque inside
        assert {0, 255} <= set(ico[offset + 40:offset + 40 + 4 * width * width][3::4]), 'icon %d' % width
    check_png(ico[entries[-1][7]:], (256, 256), 'icon 256')
    assert 'Tovik_All_In_One.exe'.encode('utf-16-le') in run(wrestool, '-x', '--raw', '--type=16', '--name=1', program)


def exe(tmp, program, wrestool, objdump):  # GUI, asking no rights, themed, DPI awareness left to Qt
    check_exe_resources(program, wrestool)
    assert re.search(r'^Subsystem\s+0+2\s', run(objdump, '-p', program).decode(), re.M)
    manifest = run(wrestool, '-x', '--raw', '--type=24', '--name=1', program).decode()
    for part in ['level="asInvoker"', '<longPathAware', 'Microsoft.Windows.Common-Controls" version="6.0.0.0"']:
        assert part in manifest and 'dpiAware' not in manifest, manifest


def install(prefix, cmake, build, validator, config=''):
    run(cmake, '--install', build, '--prefix', prefix, *(['--config', config] if config else []))
    share = Path(prefix, 'share')
    entry = share / f'applications/{APP}.desktop'
    assert run(validator, entry) == b''  # hints exit with 0
    text = entry.read_text()
    assert os.access(Path(prefix, 'bin', re.search(r'^Exec=(\S+)', text, re.M).group(1)), os.X_OK), text
    assert re.search(r'^Icon=(.*)$', text, re.M).group(1) == APP, text
    for size in SIZES:
        check_png((share / f'icons/hicolor/{size}x{size}/apps/{APP}.png').read_bytes(), (size, size), size)
    assert b'<svg' in (share / f'icons/hicolor/scalable/apps/{APP}.svg').read_bytes()


with tempfile.TemporaryDirectory(prefix='tovik-') as tmp:
    {'windows': windows, 'exe': exe, 'install': install}[sys.argv[1]](tmp, *sys.argv[2:])
