#!/usr/bin/env python3
"""The program's images and what it hands to each desktop, read back by other tools:
  resources_test.py windows WINDRES GCC WRESTOOL RESOURCES_DIR
  resources_test.py exe PROGRAM_EXE WRESTOOL OBJDUMP
  resources_test.py install CMAKE BUILD_DIR DESKTOP_FILE_VALIDATE [CONFIG]
"""
import os, re, struct, subprocess, sys, tempfile
from pathlib import Path

APP = 'vn.tovik.AllInOne'
SIZES = [16, 24, 32, 48, 64, 96, 128, 192, 256]
BUNDLE = {'1452778310_Cancel.png': (128, 128), '1498635164_download.png': (64, 64),
          '1464039768_Folder.png': (32, 32), '1464966328_adept_installer.png': (128, 128),
          'TovikAIO.png': (82, 69), '1452863351_cross-button.png': (16, 16)}
DOUBLED = {'1464039768_Folder.png', '1452863351_cross-button.png'}


def run(*cmd, cwd=None):
    done = subprocess.run(cmd, cwd=cwd, capture_output=True)
    assert not done.returncode, '%s\n%s%s' % (' '.join(cmd), done.stdout.decode(), done.stderr.decode())
    return done.stdout


def check_png(data, size, what):
    assert (data[:8] == b'\x89PNG\r\n\x1a\n' and data[12:16] == b'IHDR' and
            struct.unpack('>II5B', data[16:29]) == size + (8, 6, 0, 0, 0)), \
        '%s: not an 8-bit RGBA PNG of %r' % (what, size)


def windows(tmp, windres, gcc, wrestool, resources):
    for name, (width, height) in BUNDLE.items():   # @2x: only those that scaled displays draw larger than they are
        for scale, file in ((1, name), (2, name.replace('.png', '@2x.png')))[:2 if name in DOUBLED else 1]:
            check_png(Path(resources, 'icons', file).read_bytes(), (scale * width, scale * height), file)
    Path(tmp, 'tiny.c').write_text('int main(void) { return 0; }\n')
    run(windres, '-O', 'coff', str(Path(resources, 'Tovik_All_In_One.rc')), '-o', 'res.o', cwd=tmp)
    run(gcc, '-mwindows', 'tiny.c', 'res.o', '-o', 'tiny.exe', cwd=tmp)
    check_exe_resources(str(Path(tmp, 'tiny.exe')), wrestool)


def check_exe_resources(program, wrestool):
    listing = run(wrestool, '-l', program).decode()
    for resource in ("--type=14 --name='IDI_ICON1' --language=1033", '--type=16 --name=1 --language=1033'):
        assert resource in listing, listing
    ico = run(wrestool, '-x', '--type=14', '--name=IDI_ICON1', program)
    entries = [struct.unpack_from('<BBBBHHII', ico, 6 + 16 * i) for i in range(ico[4])]
    found = [(e[0] or 256, e[1] or 256, e[4], e[5]) for e in entries]
    assert found == [(s, s, 1, 32) for s in SIZES], 'icons %r' % entries
    for width, _, _, _, _, _, length, offset in entries:
        size, image = width or 256, ico[offset:offset + length]
        if size == 256:
            check_png(image, (256, 256), 'icon 256')
        else:   # a bitmap with a real alpha channel: transparent around, opaque inside
            assert (struct.unpack_from('<IiiHH', image) == (40, size, 2 * size, 1, 32) and
                    {0, 255} <= set(image[40:40 + 4 * size * size][3::4])), 'icon %d: no alpha bitmap' % size
    version = run(wrestool, '-x', '--raw', '--type=16', '--name=1', program).decode('utf-16-le', 'replace')
    for key, value in [('OriginalFilename', 'Tovik_All_In_One.exe'), ('ProductName', 'Tovik_All_In_One'),
                       ('FileVersion', '0.0.0.0')]:
        assert re.search(key + r'\x00+' + re.escape(value) + r'\x00', version), 'version block: no %s %s' % (key, value)


def exe(tmp, program, wrestool, objdump):
    """The real Windows program: a GUI program (the 32-bit product or its 64-bit twin), hashing with libcrypto,
    carrying the icon and version block."""
    check_exe_resources(program, wrestool)
    headers = run(objdump, '-p', '-f', program).decode()
    assert re.search(r'file format pei-(i386|x86-64)$', headers, re.M), headers[:2000]
    assert re.search(r'^Subsystem\s+0+2\s', headers, re.M), 'not a GUI program'

    assert re.search(r'DLL Name: libcrypto-3(-x64)?\.dll', headers), 'SHA-256 does not come from libcrypto'
    assert re.search(r'^MajorSubsystemVersion\s+6$', headers, re.M) and re.search(r'^MinorSubsystemVersion\s+0$',
                                                                                  headers, re.M), 'subsystem version'
    assert re.search(r'^Time/Date\s+Thu Jan  1 00:00:00 1970$', headers, re.M), 'a link time stamp'
    manifest = run(wrestool, '-x', '--raw', '--type=24', '--name=1', program).decode()
    for part in ['level="asInvoker"', '<longPathAware', 'Microsoft.Windows.Common-Controls" version="6.0.0.0"',
                 '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}', '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}',
                 '{1f676c76-80e1-4239-95bb-83d0f6d0da78}', '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}']:
        assert part in manifest, 'manifest: no %s' % part
    assert 'dpiAware' not in manifest, 'the manifest sets the DPI awareness Qt sets itself'
    # The GUI start-up, reaching the program's own WinMain, which splits the command line the Windows way.
    symbols = run(objdump, '-t', program).decode()
    assert re.search(r' _?WinMainCRTStartup$', symbols, re.M), 'no GUI start-up'
    assert re.search(r' _?WinMain(@16)?$', symbols, re.M), 'no WinMain'


def install(prefix, cmake, build, validator, config=''):
    run(cmake, '--install', build, '--prefix', prefix, *(['--config', config] if config else []))
    entry = Path(prefix, 'share', 'applications', APP + '.desktop')
    report = run(validator, str(entry)).decode()   # hints come with exit code 0
    assert report == '', report
    text = entry.read_text()
    program = Path(prefix, 'bin', re.search(r'^Exec=(\S+)', text, re.M).group(1))
    assert os.access(program, os.X_OK), 'the entry starts a program not installed: %s' % program
    assert re.search(r'^Icon=(.*)$', text, re.M).group(1) == APP, 'the entry names another icon'
    theme = Path(prefix, 'share', 'icons', 'hicolor')
    for size in SIZES:
        icon = theme / ('%dx%d' % (size, size)) / 'apps' / (APP + '.png')
        check_png(icon.read_bytes(), (size, size), 'icon %d' % size)
    assert b'<svg' in (theme / 'scalable' / 'apps' / (APP + '.svg')).read_bytes(), 'the scalable icon is no SVG'


with tempfile.TemporaryDirectory(prefix='tovik-resources-') as tmp:
    {'windows': windows, 'exe': exe, 'install': install}[sys.argv[1]](tmp, *sys.argv[2:])
