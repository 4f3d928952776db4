#!/usr/bin/env python3
"""What an SQLite FTS5 trigram index of the library's names would cost, for comparison with
the search index's copies: build time, size on disk and query time, over the FileName values
of every catalog below LIBRARY (bench-data/search_library by default), folded as the search
folds them (Python's casefold is full case folding too).

    python3 bench/tools/fts5_trigram.py [LIBRARY]
"""
import html
import os
import random
import re
import sqlite3
import sys
import tempfile
import time

library = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
    os.path.dirname(__file__), '..', '..', 'bench-data', 'search_library')
names = []
for folder, _, files in os.walk(library):
    for name in sorted(files):
        with open(os.path.join(folder, name), encoding='utf-8', errors='replace') as f:
            names += [html.unescape(m) for m in re.findall(r' FileName="([^"]*)"', f.read())]
print(f'{len(names)} names, {sum(len(n.encode()) for n in names) / 1e6:.1f} MB')

with tempfile.TemporaryDirectory() as folder:
    path = os.path.join(folder, 'names.sqlite')
    db = sqlite3.connect(path)
    db.execute('pragma journal_mode=wal')
    db.execute('pragma synchronous=normal')
    db.execute("create virtual table n using fts5(name, tokenize='trigram case_sensitive 1', "
               "detail=full, columnsize=0)")
    start = time.perf_counter()
    db.executemany('insert into n(rowid, name) values(?, ?)',
                   ((i, name.casefold()) for i, name in enumerate(names)))
    db.commit()
    build = time.perf_counter() - start
    db.execute("insert into n(n) values('optimize')")
    db.commit()
    size = os.path.getsize(path)
    random.seed(1)
    queries = [random.choice(names).casefold()[:8] for _ in range(100)]
    queries = [q for q in queries if len(q) >= 3]
    start = time.perf_counter()
    hits = 0
    for q in queries:
        hits += len(db.execute('select rowid from n where n match ?',
                               ('"' + q.replace('"', '""') + '"',)).fetchall())
    query = (time.perf_counter() - start) / len(queries)
    print(f'FTS5 trigram: build {build:.2f} s, {size / 1e6:.1f} MB on disk, '
          f'{query * 1000:.2f} ms a query ({hits} candidates over {len(queries)} queries)')
