#!/usr/bin/env python3
"""Checks that the folders of plugin/ form layers: a file includes headers from its own folder
or from folders below it, never above, so the folder graph has no cycle. Prints the graph."""
import os
import re
import sys

# Bottom to top. Folders on one line share a level and must not include each other.
LAYERS = [
    ['resources', 'common'],
    ['hostapi'],
    ['mailbox'],
    ['rules'],
    ['learning'],
    ['binding'],
    ['distribute', 'undo', 'ui'],
    ['entry'],
]

INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^">]+)[">]')


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..')
    plugin = os.path.join(root, 'plugin')
    level = {folder: n for n, names in enumerate(LAYERS) for folder in names}
    problems = []
    edges = {}
    for folder in sorted(os.listdir(plugin)):
        path = os.path.join(plugin, folder)
        if not os.path.isdir(path):
            continue
        if folder not in level:
            problems.append(f'plugin/{folder}/: a folder with no layer (add it to LAYERS)')
            continue
        for name in sorted(os.listdir(path)):
            if not name.endswith(('.h', '.cpp', '.rc')):
                continue
            with open(os.path.join(path, name), encoding='utf-8', errors='replace') as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    target = m.group(1)
                    where = f'plugin/{folder}/{name}:{number}'
                    if target.startswith('.'):
                        problems.append(f'{where}: relative include "{target}"')
                        continue
                    parts = target.split('/')
                    if len(parts) < 3 or parts[0] != 'plugin':
                        continue
                    other = parts[1]
                    if other == folder:
                        continue
                    edges.setdefault(folder, set()).add(other)
                    if other not in level:
                        problems.append(f'{where}: includes "{target}" from a folder with no layer')
                    elif level[other] >= level[folder]:
                        way = 'up' if level[other] > level[folder] else 'sideways'
                        problems.append(f'{where}: includes "{target}" ({way}: '
                                        f'{folder} may use only the layers below it)')
    for folder in sorted(edges, key=lambda f: (level.get(f, 99), f)):
        print(f'{folder} -> {" ".join(sorted(edges[folder], key=lambda f: (level.get(f, 99), f)))}')
    for p in problems:
        print(p)
    if problems:
        print(f'layers: {len(problems)} include(s) break the order')
        return 1
    arrows = sum(len(v) for v in edges.values())
    print(f'layers: {arrows} folder-to-folder arrows, all downward, no cycle')
    return 0


if __name__ == '__main__':
    sys.exit(main())
