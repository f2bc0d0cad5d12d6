#!/usr/bin/env python3
"""Makes the folder a Windows user runs the program from: the .exe, the
plug-ins Qt loads at start, OpenSSL's TLS library that Qt loads for https:,
and exactly the DLLs their import tables name, found by walking the tables
with objdump. A DLL that is neither shipped nor in WINDOWS_DLLS fails the
run, and nothing is shipped that no table names (or Qt loads by name). Adds
qt.conf, which keeps Qt to the program's folder, VERSIONS.txt, the exact sources of what is shipped, and licenses/ with the
notices of it all (notices.py). Also writes the NSIS lists of
what to install and remove.

With a certificate (TOVIK_SIGN_PKCS12, read by SIGNER: scripts/windows-sign)
every program file is signed, and where TOVIK_SIGN_VERIFY_CA names the
trusted root, one changed byte must break the program's signature.

Then checks the folder as shipped, without running anything: the program is
built for the architecture, every import of every file is in the folder or
in WINDOWS_DLLS, and no file holds a path of the build machine.

    deploy.py TRIPLE EXE TOOLCHAIN_PREFIX OUT_DIR SIGNER
"""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

# Loaded by name at run time, so no import table lists them (OpenSSL's names
# end in -x64 on 64-bit Windows).
RUNTIME_LOADED = ['plugins/platforms/qwindows.dll', 'plugins/styles/qwindowsvistastyle.dll', 'bin/libssl-3*.dll']
# Without it Qt guesses its prefix from the folder above the program (when a
# lib\libQt5Core.a is there) and loads plug-ins from that prefix before the
# program's own: outside Program Files any user may create that folder.
QT_CONF = '[Paths]\r\nPrefix = .\r\nPlugins = .\r\n'
# Windows' own DLLs that the shipped files may import: every Windows since 7
# has them. Anything else must be shipped.
WINDOWS_DLLS = {
    'advapi32.dll', 'comdlg32.dll', 'crypt32.dll', 'd3d9.dll', 'dwmapi.dll', 'gdi32.dll', 'imm32.dll',
    'iphlpapi.dll', 'kernel32.dll', 'msvcrt.dll', 'mpr.dll', 'netapi32.dll', 'ole32.dll', 'oleaut32.dll',
    'setupapi.dll', 'shell32.dll', 'shlwapi.dll', 'user32.dll', 'userenv.dll', 'uxtheme.dll', 'version.dll',
    'winmm.dll', 'ws2_32.dll', 'wtsapi32.dll', 'dnsapi.dll', 'bcrypt.dll', 'comctl32.dll', 'secur32.dll', 'd3d11.dll',
    'dxgi.dll',
}


def imports(path):
    dump = subprocess.run([triple + '-objdump', '-p', path], capture_output=True, text=True, check=True).stdout
    return re.findall(r'^\s*DLL Name: (\S+)', dump, re.M)


def main(exe, prefix, out):
    search = [os.path.join(prefix, 'bin'), sorted(glob.glob('/usr/lib/gcc/%s/*-posix' % triple))[-1], '/usr/%s/lib' % triple]
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    todo = [(exe, os.path.basename(exe))]
    for pattern in RUNTIME_LOADED:
        found = glob.glob(os.path.join(prefix, pattern))
        if len(found) != 1:
            sys.exit('windows-deploy: %s: found %r' % (pattern, found))
        rel = os.path.relpath(found[0], prefix)
        todo.append((found[0], rel.split('/', 1)[1] if rel.startswith('plugins/') else os.path.basename(rel)))
    shipped, missing = {}, []
    while todo:
        source, target = todo.pop()
        if target.lower() in shipped:
            continue
        shipped[target.lower()] = target
        os.makedirs(os.path.join(out, os.path.dirname(target)), exist_ok=True)
        shutil.copy2(source, os.path.join(out, target))
        subprocess.run([triple + '-strip', '--strip-unneeded', os.path.join(out, target)], check=True)
        for name in imports(source):
            found = [os.path.join(d, name) for d in search if os.path.isfile(os.path.join(d, name))]
            if found:
                todo.append((found[0], name))
            elif name.lower() not in WINDOWS_DLLS:
                missing.append('%s (needed by %s)' % (name, target))
    if missing:
        sys.exit('windows-deploy: not found: ' + ', '.join(missing))
    with open(os.path.join(out, 'qt.conf'), 'w', newline='') as conf:
        conf.write(QT_CONF)
    shipped['qt.conf'] = 'qt.conf'
    shutil.copy2(os.path.join(prefix, 'VERSIONS.txt'), out)
    shipped['versions.txt'] = 'VERSIONS.txt'
    subprocess.run([os.path.join(os.path.dirname(os.path.abspath(__file__)), 'notices.py'), triple, prefix, out],
                   check=True)
    for folder, _, names in os.walk(os.path.join(out, 'licenses')):
        for name in names:
            rel = os.path.relpath(os.path.join(folder, name), out).replace(os.sep, '/')
            shipped[rel.lower()] = rel
    files = sorted(shipped.values())
    total = 0
    for f in files:
        size = os.path.getsize(os.path.join(out, f))
        total += size
        print('windows-deploy: %-40s %9d bytes' % (f, size))
    print('windows-deploy: %d files, %d bytes in %s' % (len(files), total, out))
    # For the installer: what to put in place, and what the uninstaller removes.
    with open(out + '-files.nsh', 'w') as nsh:
        for folder in sorted({os.path.dirname(f) for f in files}):
            nsh.write('SetOutPath "$INSTDIR%s"\n' % ('\\' + folder.replace('/', '\\') if folder else ''))
            for f in files:
                if os.path.dirname(f) == folder:
                    nsh.write('File "/oname=%s" "%s"\n' % (os.path.basename(f), os.path.abspath(os.path.join(out, f))))
    with open(out + '-remove.nsh', 'w') as nsh:
        for f in files:
            nsh.write('Delete "$INSTDIR\\%s"\n' % f.replace('/', '\\'))
        folders = {'/'.join(f.split('/')[:n]) for f in files for n in range(1, f.count('/') + 1)}
        for folder in sorted(folders, reverse=True):
            nsh.write('RMDir "$INSTDIR\\%s"\n' % folder.replace('/', '\\'))


def build_machine_paths():
    """Folders whose names would tell about, or depend on, the machine that built the files."""
    paths = {os.path.expanduser('~'), tempfile.gettempdir(), os.path.dirname(os.path.dirname(os.path.abspath(__file__)))}
    paths |= {os.environ.get(v) for v in ('TMPDIR', 'TOVIK_WIN32_CACHE') if os.environ.get(v)}
    return sorted({p.rstrip('/') + '/' for p in paths if p.strip('/')} | {'/home/', '/tmp/'})


def check(exe, out):
    headers = subprocess.run([triple + '-objdump', '-p', '-f', exe], capture_output=True, text=True, check=True).stdout
    machine = {'i686-w64-mingw32': 'pei-i386', 'x86_64-w64-mingw32': 'pei-x86-64'}[triple]
    if 'file format %s' % machine not in headers:
        sys.exit('windows-deploy: %s is not a %s program' % (exe, machine))
    problems = []
    names = {f.lower() for _, _, fs in os.walk(out) for f in fs}
    for folder, _, files in os.walk(out):
        for f in files:
            path = os.path.join(folder, f)
            if f.lower().endswith(('.exe', '.dll')):
                problems += ['%s imports %s' % (f, n) for n in imports(path) if n.lower() not in names | WINDOWS_DLLS]
            data = open(path, 'rb').read()
            for p in build_machine_paths():
                if p.encode() in data or p.encode('utf-16-le') in data:
                    problems.append('%s holds the build machine\'s %s' % (f, p))
    if open(os.path.join(out, 'qt.conf'), newline='').read() != QT_CONF:
        problems.append('qt.conf does not pin the prefix and the plug-ins to the program\'s folder')
    if 'File "/oname=qt.conf"' not in open(out + '-files.nsh').read():
        problems.append('the installer does not install qt.conf')
    if problems:
        sys.exit('windows-deploy: ' + '; '.join(problems))
    print('windows-deploy: checked: %s program, every import shipped or Windows\' own, no build-machine path,'
          ' Qt\'s prefix and plug-ins pinned to the folder' % machine)


def sign(signer, out):
    if not os.environ.get('TOVIK_SIGN_PKCS12'):
        print('windows-deploy: not signed: no certificate (TOVIK_SIGN_PKCS12)')
        return
    files = sorted(os.path.join(d, f) for d, _, fs in os.walk(out) for f in fs if f.lower().endswith(('.exe', '.dll')))
    subprocess.run([signer] + files, check=True)
    ca = os.environ.get('TOVIK_SIGN_VERIFY_CA')
    if ca:  # one changed byte must break the signature, or the check proves nothing
        with tempfile.TemporaryDirectory() as tmp:
            copy = os.path.join(tmp, 'changed.exe')
            data = bytearray(open(os.path.join(out, 'Tovik_All_In_One.exe'), 'rb').read())
            data[len(data) // 2] ^= 0xff
            open(copy, 'wb').write(data)
            if subprocess.run(['osslsigncode', 'verify', '-CAfile', ca, '-in', copy], capture_output=True).returncode == 0:
                sys.exit('windows-deploy: a changed byte left the signature valid')
    print('windows-deploy: %d files signed%s' % (len(files), ', verified; one changed byte breaks the program\'s' if ca else ''))


triple, exe, prefix, out, signer = sys.argv[1:]
main(exe, prefix, out)
sign(signer, out)
check(os.path.join(out, os.path.basename(exe)), out)
