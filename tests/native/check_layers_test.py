#!/usr/bin/env python3
"""scripts/check-layers.py over small made-up trees: each case adds files to a tree that passes
and names the complaint that the check must print."""
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'scripts', 'check-layers.py')

BASE = {
    'plugin/CMakeLists.txt': '',
    'plugin/common/Text.h': '#pragma once\n#include <cstddef>\n',
    'plugin/rules/Rule.h': '#pragma once\n#include "plugin/common/Text.h"\n',
    'plugin/rules/Rule.cpp': '#include "plugin/rules/Rule.h"\n#include "contract/Ids.h"\n',
    'plugin/entry/Entry.cpp': '#include "plugin/rules/Rule.h"\n#include <windows.h>\n',
    'contract/Ids.h': '#pragma once\n#include <cstdint>\n',
    'hook/Hook.cpp': '#include "hook/Hook.h"\n#include "contract/Ids.h"\n',
    'hook/Hook.h': '#pragma once\n',
    'tools/check/Checker.h': '#include "tools/check/Inner.h"\n',
    'tools/check/Inner.h': '#pragma once\n',
    'host/Host.cpp': '#include "tools/check/Checker.h"\n#include "plugin/rules/Rule.h"\n',
}

# (what the case shows, files added to the base tree, text the check must print)
CASES = [
    ('upward include in a subfolder', {'plugin/rules/deep/More.h': '#include "plugin/entry/Entry.h"\n',
                                       'plugin/entry/Entry.h': ''}, 'up: rules may use only'),
    ('upward include in a .hpp', {'plugin/common/Fast.hpp': '#include "plugin/rules/Rule.h"\n'}, 'up: common'),
    ('upward include in an .inl', {'plugin/common/Fast.inl': '#include "plugin/rules/Rule.h"\n'}, 'up: common'),
    ('text decoding uses the mailbox', {'plugin/text/Decode.h': '#include "plugin/mailbox/Box.h"\n',
                                        'plugin/mailbox/Box.h': '#pragma once\n'}, 'up: text may use only'),
    ('sideways include', {'plugin/resources/Res.h': '#include "plugin/common/Text.h"\n'}, 'sideways'),
    ('file directly under plugin/', {'plugin/Stray.h': '#pragma once\n'}, 'directly under plugin/'),
    ('folder with no layer', {'plugin/misc/Misc.h': '#pragma once\n'}, 'a folder with no layer'),
    ('relative spelling', {'plugin/common/Up.cpp': '#include "../rules/Rule.h"\n'},
     'spell it "plugin/rules/Rule.h"'),
    ('relative spelling goes up', {'plugin/common/Up.cpp': '#include "../rules/Rule.h"\n'}, 'up: common'),
    ('bare name beside the file', {'plugin/rules/Other.cpp': '#include "Rule.h"\n'},
     'spell it "plugin/rules/Rule.h"'),
    ('dot-dot inside a path', {'plugin/rules/Sneak.cpp': '#include "plugin/rules/../entry/Entry.h"\n',
                               'plugin/entry/Entry.h': ''}, 'up: rules'),
    ('backslashes', {'plugin/rules/Win.cpp': '#include "plugin\\entry\\Entry.h"\n',
                     'plugin/entry/Entry.h': ''}, 'up: rules'),
    ('angle brackets', {'plugin/common/Angle.cpp': '#include <plugin/rules/Rule.h>\n'}, 'up: common'),
    ('a path of the tree that names no file', {'plugin/rules/Gone.cpp': '#include "plugin/rules/Gone.h"\n'},
     'names no file'),
    ('hook uses the plug-in', {'hook/Bad.cpp': '#include "plugin/common/Text.h"\n'},
     'hook/ may use only contract'),
    ('hook uses the plug-in by a relative path', {'hook/Bad.cpp': '#include "../plugin/common/Text.h"\n'},
     'hook/ may use only contract'),
    ('plug-in uses the hook', {'plugin/entry/Bad.cpp': '#include "hook/Hook.h"\n'},
     'plugin/ may use only contract'),
    ('contract uses the plug-in', {'contract/Bad.h': '#include "plugin/common/Text.h"\n'},
     'contract/ may use only nothing'),
    ('host passes by the checker\'s interface', {'host/Bad.cpp': '#include "tools/check/Inner.h"\n'},
     'use only "tools/check/Checker.h"'),
    ('mailbox uses the history above it', {'plugin/mailbox/Bad.h': '#include "plugin/history/History.h"\n',
                                           'plugin/history/History.h': ''}, 'up: mailbox'),
    ('host uses the hook\'s sources', {'host/Bad.cpp': '#include "hook/Hook.h"\n'}, 'host/ may use only'),
]


def run_check(files):
    with tempfile.TemporaryDirectory() as root:
        for path, text in files.items():
            full = os.path.join(root, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, 'w', encoding='utf-8') as f:
                f.write(text)
        done = subprocess.run([sys.executable, SCRIPT, root], capture_output=True, text=True)
        return done.returncode, done.stdout


class CheckLayersTest(unittest.TestCase):
    def test_base_tree_passes(self):
        code, out = run_check(BASE)
        self.assertEqual(0, code, out)
        self.assertIn('rules -> common', out)
        self.assertIn('hook/ -> contract/', out)

    def test_each_fault_fails_the_check(self):
        for name, added, complaint in CASES:
            with self.subTest(name):
                code, out = run_check({**BASE, **added})
                self.assertEqual(1, code, out)
                self.assertIn(complaint, out)


if __name__ == '__main__':
    unittest.main()
