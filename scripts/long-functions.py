#!/usr/bin/env python3
"""Lists the functions longer than a limit (60 lines by default), from the line that starts
the signature to the closing brace, in the C and C++ sources under the given folders.
Exits 1 when any is found. A rough reader: it strips comments and literals and takes a brace
that follows a closing parenthesis, outside another function, as a function body.
  scripts/long-functions.py [--limit N] [--exclude GLOB]... FOLDER..."""
import argparse
import fnmatch
import os
import re
import sys

SOURCES = ('.h', '.hpp', '.inl', '.c', '.cc', '.cpp')
NOT_FUNCTIONS = re.compile(r'^\s*(namespace|class|struct|union|enum|extern\s+"C")\b|=\s*$')
CODE = re.compile(r'//[^\n]*|/\*.*?\*/|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'|^[ \t]*#(?:[^\n]*\\\n)*[^\n]*',
                  re.S | re.M)


def blank(match):
    text = match.group(0)
    return re.sub(r'[^\n]', ' ', text) if text.lstrip(' \t').startswith(('/', '"', "'", '#')) else text


def functions(text):
    """(first line, last line, signature) of each outermost function body."""
    code = CODE.sub(blank, text)
    depth, body_depth, start, head_start = 0, None, 0, 0
    for i, c in enumerate(code):
        if c in ';}' and body_depth is None:
            head_start = i + 1
        if c == '{':
            head = code[head_start:i]
            if body_depth is None and ')' in head and not NOT_FUNCTIONS.search(head.strip().split('\n')[0] or ''):
                stripped = head.lstrip()
                start, body_depth = i - len(stripped) if stripped else i, depth
            depth += 1
            if body_depth is None:
                head_start = i + 1
        elif c == '}':
            depth -= 1
            if body_depth is not None and depth == body_depth:
                first = code.count('\n', 0, start) + 1
                last = code.count('\n', 0, i) + 1
                signature = ' '.join(code[start:code.index('{', start)].split())
                yield first, last, signature
                body_depth = None
                head_start = i + 1
            elif body_depth is None:
                head_start = i + 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--limit', type=int, default=60)
    parser.add_argument('--exclude', action='append', default=[])
    parser.add_argument('folders', nargs='+')
    args = parser.parse_args()
    found = []
    for top in args.folders:
        for folder, dirs, names in os.walk(top):
            dirs.sort()
            for name in sorted(names):
                path = os.path.join(folder, name)
                if not name.endswith(SOURCES) or any(fnmatch.fnmatch(path, g) for g in args.exclude):
                    continue
                with open(path, encoding='utf-8', errors='replace') as f:
                    text = f.read()
                for first, last, signature in functions(text):
                    if last - first + 1 > args.limit:
                        found.append((last - first + 1, f'{path}:{first}', signature[:100]))
    for length, where, signature in sorted(found, reverse=True):
        print(f'{length:4d}  {where}  {signature}')
    print(f'{len(found)} function(s) over {args.limit} lines')
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main())
