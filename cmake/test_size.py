#!/usr/bin/env python3
"""The size of the tests against the code, as the user asked to keep it: non-blank lines, and their characters
without leading or trailing blanks, of C, C++, Python and shell under tests/ against the C/C++ outside it, at most
40 % and 50 %. The checks of the installer and of the packaged Windows program (names saying install, end_to_end
or marker) test those, not this code. Run from the checkout; fails over the limits."""
import re, subprocess, sys
size = {True: [0, 0], False: [0, 0]}
for name in subprocess.run(['git', 'ls-files'], capture_output=True, text=True, check=True).stdout.split():
    test = name.startswith('tests/')
    if not re.search(r'\.(c|cpp|h|hpp|cc|py|sh)$' if test else r'\.(c|cpp|h|hpp|cc)$', name):
        continue
    if test and re.search(r'install|end.to.end|marker', name, re.I):
        continue
    lines = [line.strip() for line in open(name, encoding='utf-8')]
    size[test][0] += sum(1 for line in lines if line)
    size[test][1] += sum(map(len, lines))
(tl, tc), (cl, cc) = size[True], size[False]
print(f'tests are {tl} non-blank lines against {cl} of code: {100 * tl // cl} %, '
      f'and {tc} characters against {cc}: {100 * tc // cc} % (asked for: at most 40 % and 50 %)')
sys.exit(100 * tl > 40 * cl or 100 * tc > 50 * cc)
