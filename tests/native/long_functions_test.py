#!/usr/bin/env python3
"""scripts/long-functions.py over made-up sources: which functions it counts as too long."""
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'scripts', 'long-functions.py')


def body(lines):
    return ''.join('    call();\n' for _ in range(lines - 2))


# (what the case shows, source text, names that must be listed)
CASES = [
    ('60 lines is the limit', 'void f() {\n' + body(60) + '}\n', []),
    ('61 lines is over', 'void f() {\n' + body(61) + '}\n', ['f()']),
    ('signature over two lines counts', 'void f(int a,\n       int b) {\n' + body(60) + '}\n', ['f(int a, int b)']),
    ('methods inside a class and a namespace',
     'namespace n {\nclass C {\n    int g() const {\n' + body(61) + '}\n};\n}\n', ['g() const']),
    ('braces in strings, comments and macros', '#define M(x) { x }\nvoid f() {\n    s = "{{{";  // {\n'
     + body(58) + '}\nvoid h() {\n' + body(3) + '}\n', []),
    ('a lambda belongs to its function', 'void f() {\n    auto l = [] {\n' + body(59) + '    };\n}\n', ['f()']),
]


class LongFunctionsTest(unittest.TestCase):
    def test_cases(self):
        for name, text, listed in CASES:
            with self.subTest(name), tempfile.TemporaryDirectory() as root:
                with open(os.path.join(root, 'a.cpp'), 'w') as f:
                    f.write(text)
                done = subprocess.run([sys.executable, SCRIPT, root], capture_output=True, text=True)
                lines = done.stdout.splitlines()[:-1]
                self.assertEqual(len(listed), len(lines), done.stdout)
                for signature, line in zip(listed, lines):
                    self.assertIn(signature, line)
                self.assertEqual(1 if listed else 0, done.returncode)


if __name__ == '__main__':
    unittest.main()
