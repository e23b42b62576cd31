#!/usr/bin/env python3
"""Checks that the folders of plugin/ form layers: a file includes headers from its own folder
or from folders below it, never above, so the folder graph has no cycle. Also keeps the two
DLLs apart: plugin/ and hook/ share only contract/, which includes nothing else of the tree,
and the stand-in host uses the checker only through its interface header.
Every source file counts, in any subfolder, and every include of a file of the tree must be
spelled from the top (plugin/<folder>/..., contract/..., hook/...). Prints the graph."""
import os
import re
import sys

# Bottom to top. Folders on one line share a level and must not include each other.
LAYERS = [
    ['resources', 'common'],
    ['hostapi'],
    ['text'],
    ['mailbox'],
    ['history'],
    ['rules'],
    ['learning'],
    ['windows'],
    ['run'],
    ['distribute', 'undo', 'settings'],
    ['entry'],
]

# The top-level folders whose includes are checked, and which others of them each may use.
TREES = {
    'plugin': {'contract'},
    'hook': {'contract'},
    'contract': set(),
    'host': {'plugin', 'contract', 'tools'},
}

# Libraries that others use only through one interface header.
INTERFACES = {'tools/check/': 'tools/check/Checker.h'}

SOURCES = ('.h', '.hh', '.hpp', '.hxx', '.inl', '.inc', '.ipp', '.c', '.cc', '.cpp', '.cxx', '.rc')
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')


def source_files(root, tree):
    """Every source file under root/tree, as a path relative to root with '/' separators."""
    for folder, dirs, names in os.walk(os.path.join(root, tree)):
        dirs.sort()
        for name in sorted(names):
            if name.lower().endswith(SOURCES):
                yield os.path.relpath(os.path.join(folder, name), root).replace(os.sep, '/')


def includes(root, path):
    with open(os.path.join(root, path), encoding='utf-8', errors='replace') as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if m:
                yield number, m.group(1) == '"', m.group(2)


def resolve(root, path, quoted, target):
    """The file of the tree that an include names, relative to root, or None for one outside
    it (system and third-party headers). A quoted include looks beside the including file
    first, as the compilers do; every include then looks from the top of the tree."""
    spelled = target.replace('\\', '/')
    bases = [os.path.dirname(path)] if quoted else []
    for base in bases + ['']:
        candidate = os.path.normpath(os.path.join(base, spelled)).replace(os.sep, '/')
        if candidate.startswith('../'):
            continue
        if os.path.isfile(os.path.join(root, candidate)):
            return candidate
    return None


def plugin_folder(path):
    """The layer folder of a file under plugin/, or None for a file directly under plugin/."""
    parts = path.split('/')
    return parts[1] if len(parts) > 2 else None


class Check:
    def __init__(self, root):
        self.root = root
        self.level = {folder: n for n, names in enumerate(LAYERS) for folder in names}
        self.problems = []
        self.edges = {}
        self.crossings = {}

    def run(self):
        plugin = os.path.join(self.root, 'plugin')
        for name in sorted(os.listdir(plugin)):
            if os.path.isdir(os.path.join(plugin, name)) and name not in self.level:
                self.problems.append(f'plugin/{name}/: a folder with no layer (add it to LAYERS)')
        for tree in TREES:
            if os.path.isdir(os.path.join(self.root, tree)):
                for path in source_files(self.root, tree):
                    self.check_file(tree, path)

    def check_file(self, tree, path):
        if tree == 'plugin' and plugin_folder(path) is None:
            self.problems.append(f'{path}: a file directly under plugin/, in no layer')
        for number, quoted, target in includes(self.root, path):
            where = f'{path}:{number}'
            found = resolve(self.root, path, quoted, target)
            if found is None:
                if target.replace('\\', '/').split('/')[0] in TREES:
                    self.problems.append(f'{where}: includes "{target}", which names no file of the tree')
                continue
            if target != found:
                self.problems.append(f'{where}: includes "{target}" (spell it "{found}", from the top)')
            self.check_arrow(tree, path, where, found)

    def check_arrow(self, tree, path, where, found):
        for library, interface in INTERFACES.items():
            if found.startswith(library) and not path.startswith(library) and found != interface:
                self.problems.append(f'{where}: includes "{found}" (outside {library} use only "{interface}")')
        other_tree = found.split('/')[0]
        if other_tree != tree:
            self.crossings.setdefault(tree, set()).add(other_tree)
            if other_tree not in TREES.get(tree, set()):
                allowed = ', '.join(sorted(TREES.get(tree, set()))) or 'nothing'
                self.problems.append(f'{where}: includes "{found}" ({tree}/ may use only {allowed} '
                                     f'of the tree besides itself)')
            return
        if tree != 'plugin':
            return
        folder, other = plugin_folder(path), plugin_folder(found)
        if folder is None or other is None or other == folder:
            return
        self.edges.setdefault(folder, set()).add(other)
        if folder not in self.level:
            return
        if other not in self.level:
            self.problems.append(f'{where}: includes "{found}" from a folder with no layer')
        elif self.level[other] >= self.level[folder]:
            way = 'up' if self.level[other] > self.level[folder] else 'sideways'
            self.problems.append(f'{where}: includes "{found}" ({way}: '
                                 f'{folder} may use only the layers below it)')

    def report(self):
        order = lambda f: (self.level.get(f, 99), f)
        for folder in sorted(self.edges, key=order):
            print(f'{folder} -> {" ".join(sorted(self.edges[folder], key=order))}')
        for tree in sorted(self.crossings):
            print(f'{tree}/ -> {" ".join(t + "/" for t in sorted(self.crossings[tree]))}')
        for p in self.problems:
            print(p)
        if self.problems:
            print(f'layers: {len(self.problems)} problem(s) break the order')
            return 1
        arrows = sum(len(v) for v in self.edges.values())
        print(f'layers: {arrows} folder-to-folder arrows, all downward, no cycle; '
              f'plugin/ and hook/ share only contract/')
        return 0


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..')
    check = Check(os.path.abspath(root))
    check.run()
    return check.report()


if __name__ == '__main__':
    sys.exit(main())
