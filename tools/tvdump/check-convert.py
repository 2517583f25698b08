#!/usr/bin/env python3
"""check-convert.py TVDUMP SAMPLES_DIR

Converts tables with tvdump --csv, --jsonl and --sqlite, reads the results back with Python's
csv, json and sqlite3 modules, and checks every value against the canonical dump of the same
table. Then checks hand-made dBASE tables for quoting, NULLs, code pages, --replace and damaged
input (one-line error, no output file left behind).
"""
import base64
import csv
import decimal
import glob
import hashlib
import io
import json
import os
import sqlite3
import struct
import subprocess
import sys
import tempfile

TVDUMP, SAMPLES = sys.argv[1], sys.argv[2]
csv.field_size_limit(sys.maxsize)
failures = []
INTS, FLOATS, BLOBS = {'S', 'I', '+'}, {'N', '$', 'dN', 'dF'}, {'G', 'O', 'B', 'Y'}


def run(*args):
    p = subprocess.run([TVDUMP, *args], capture_output=True)
    return p.returncode, p.stdout, p.stderr.decode('utf-8', 'replace')


def check(what, ok, detail=''):
    if not ok:
        failures.append('%s %s' % (what, detail))


def unescape(s):
    out, i = [], 0
    while i < len(s):
        if s[i] == '\\' and i + 1 < len(s):
            out.append({'t': '\t', 'n': '\n', 'r': '\r', '0': '\0', '\\': '\\'}[s[i + 1]])
            i += 2
        else:
            out.append(s[i])
            i += 1
    return ''.join(out)


def canonical(path):
    """Field names, type letters and rows of normalised values from the canonical dump."""
    rc, out, err = run(path)
    lines = out.decode('utf-8').split('\n')[:-1]
    fields = [c.rsplit(':', 2) for c in lines[0].split('\t')[1:]]
    names, types = [], [f[1] for f in fields]
    for f in fields:  # a repeated name is numbered in the conversions
        name, n = unescape(f[0]), 2
        while name.upper() in (m.upper() for m in names):
            name, n = '%s_%d' % (unescape(f[0]), n), n + 1
        names.append(name)
    rows = [[norm_canonical(t, v) for t, v in zip(types, line.split('\t'))] for line in lines[2:]]
    return names, types, rows


class Unreadable:
    """The dump's '?': stored digits that make no number; the conversions write NULL."""
    def __eq__(self, other):
        return other is None

    def __repr__(self):
        return '?'


def norm_canonical(t, v):
    if v == '\\N':
        return None
    if v == '?':
        return Unreadable()
    if t in BLOBS:
        n, h = v[1:-1].split(' bytes sha256:')
        return int(n), h
    if t in ('L', 'dL'):
        return v == 'T'
    if t in INTS:
        return int(v)
    if t in FLOATS:
        return float(v)
    if t == '#':
        return decimal.Decimal(v)
    return unescape(v)


def norm_output(t, v):
    """A value read back from CSV (a string), JSON or SQLite, in the canonical normal form."""
    if v is None or v == '':
        return None
    if t in BLOBS:
        raw = v if isinstance(v, bytes) else base64.b64decode(v, validate=True)
        return len(raw), hashlib.sha256(raw).hexdigest()
    if t in ('L', 'dL'):
        return {'true': True, 'false': False, 1: True, 0: False, True: True, False: False}[v]
    if t in INTS:
        return int(v)
    if t in FLOATS:
        return float(v)
    if t == '#':
        return decimal.Decimal(repr(v) if isinstance(v, float) else str(v))
    if t == '@':
        return v.replace('T', ' ')
    return v


def compare(what, types, expected, got_rows):
    check(what + ' record count', len(expected) == len(got_rows), '%d != %d' % (len(expected), len(got_rows)))
    for i, (e, g) in enumerate(zip(expected, got_rows)):
        got = [norm_output(t, v) for t, v in zip(types, g)]
        if got != e or len(g) != len(types):
            check(what, False, 'record %d: expected %r, got %r' % (i + 1, e, got))
            return


def read_csv(data):
    return list(csv.reader(io.StringIO(data.decode('utf-8'), newline=''), strict=True))


def read_jsonl(what, data, names):
    objects = [json.loads(line, parse_float=decimal.Decimal) for line in data.decode('utf-8').split('\n')[:-1]]
    check(what + ' keys', all(list(o) == names for o in objects))
    return [list(o.values()) for o in objects]


def read_sqlite(db, table):
    con = sqlite3.connect(db)
    try:
        rows = con.execute('SELECT * FROM "%s" ORDER BY rowid' % table.replace('"', '""')).fetchall()
        info = con.execute('PRAGMA table_info("%s")' % table.replace('"', '""')).fetchall()
        indexes = {}
        for _, name, _, origin, _ in con.execute('PRAGMA index_list("%s")' % table.replace('"', '""')):
            if origin == 'c':
                cols = con.execute('PRAGMA index_xinfo("%s")' % name.replace('"', '""')).fetchall()
                indexes[name] = [(c[2], c[3], c[4]) for c in cols if c[5]]
        return rows, info, indexes
    finally:
        con.close()


def check_schema(what, path, info, indexes):
    """The primary key and the secondary indexes of `tvdump --indexes` are in the SQLite schema."""
    _, out, _ = run('--indexes', path)
    declared = [line.split('\t') for line in out.decode('utf-8').split('\n')[:-1]]
    pk = [name for _, name, _, _, _, k in sorted(info, key=lambda c: c[5]) if k]
    primary = [d[1].split(';') for d in declared if 'P' in d[2]]
    check(what + ' primary key', pk == (primary[0] if primary else []), repr(pk))
    text_cols = {c[1] for c in info if c[2] == 'TEXT'}
    wanted = sorted([(f, 1 if 'D' in d[2] else 0, 'NOCASE' if 'I' in d[2] and f in text_cols else 'BINARY')
                     for f in d[1].split(';')] for d in declared if 'P' not in d[2] and 'E' not in d[2])
    got = sorted([(c[0], c[1], c[2]) for c in cols] for cols in indexes.values())
    check(what + ' indexes', [w for w in wanted if w in got] == wanted, 'declared %r, made %r' % (wanted, got))


def round_trip(path, work):
    what = os.path.relpath(path, SAMPLES)
    names, types, rows = canonical(path)
    if not names:
        rc, _, err = run('--sqlite', os.path.join(work, 'none.db'), path)
        check(what + ' sqlite refuses a table without fields', rc == 1 and len(err.splitlines()) == 1, err)
        return
    rc, out, err = run('--csv', path)
    check(what + ' csv exit', rc == 0, err)
    parsed = read_csv(out)
    check(what + ' csv header', parsed[:1] == [names], repr(parsed[:1]))
    compare(what + ' csv', types, rows, parsed[1:])
    rc, out, err = run('--jsonl', path)
    check(what + ' jsonl exit', rc == 0, err)
    compare(what + ' jsonl', types, rows, read_jsonl(what, out, names))
    if BLOBS & set(types):
        keep = [i for i, t in enumerate(types) if t not in BLOBS]
        rc, out, err = run('--jsonl', '--no-blobs', path)
        compare(what + ' --no-blobs', [types[i] for i in keep], [[r[i] for i in keep] for r in rows],
                read_jsonl(what + ' --no-blobs', out, [names[i] for i in keep]))
    db = os.path.join(work, 'rt.db')
    if os.path.exists(db):
        os.remove(db)
    rc, out, err = run('--sqlite', db, path)
    check(what + ' sqlite exit', rc == 0, err)
    if rc == 0:
        got, info, indexes = read_sqlite(db, os.path.splitext(os.path.basename(path))[0])
        check(what + ' sqlite columns', [c[1] for c in info] == names, repr(info))
        compare(what + ' sqlite', types, rows, got)
        check_schema(what, path, info, indexes)


def write_dbf(path, fields, records, ldid=0, memos=None):
    """A dBASE III table: fields are (name bytes, type, length); records are lists of bytes."""
    reclen = 1 + sum(f[2] for f in fields)
    head = struct.pack('<B3BIHH', 0x83 if memos is not None else 0x03, 126, 1, 1, len(records),
                       32 + 32 * len(fields) + 1, reclen) + bytes(17) + bytes([ldid]) + bytes(2)
    for name, typ, length in fields:
        head += name.ljust(11, b'\0') + typ + bytes(4) + bytes([length, 0]) + bytes(14)
    body = b''.join(b' ' + b''.join(v.ljust(f[2]) for v, f in zip(r, fields)) for r in records)
    with open(path, 'wb') as f:
        f.write(head + b'\r' + body + b'\x1a')
    if memos is not None:
        with open(os.path.splitext(path)[0] + '.dbt', 'wb') as f:
            f.write(struct.pack('<I', 1 + len(memos)).ljust(512, b'\0'))
            for m in memos:
                f.write((m + b'\x1a\x1a').ljust(512, b'\0'))


def made_tables(work):
    # Names and values needing quotes, NULLs of every kind, Cyrillic text in code page 866.
    odd = os.path.join(work, 'my "odd", table.dbf')
    text = 'Привет, "мир"\x01\r\nвторая строка'
    fields = [(b'A,"B', b'C', 40), (b'\x8a\xae\xab', b'C', 10), (b'NUM', b'N', 8), (b'DAY', b'D', 8), (b'OK', b'L', 1)]
    write_dbf(odd, fields, [[text.encode('cp866'), 'Да'.encode('cp866'), b'  -12.5', b'20240229', b'T'],
                            [b'', b'', b'', b'', b'?']], ldid=0x65)
    rc, out, err = run('--csv', odd)
    check('odd csv', rc == 0, err)
    check('odd csv rows', read_csv(out) == [['A,"B', 'Кол', 'NUM', 'DAY', 'OK'],
                                             [text, 'Да', '-12.5', '2024-02-29', 'true'], ['', '', '', '', '']],
          repr(out))
    rc, out, err = run('--jsonl', odd)
    check('odd jsonl', [json.loads(line) for line in out.decode('utf-8').splitlines()] ==
          [{'A,"B': text, 'Кол': 'Да', 'NUM': -12.5, 'DAY': '2024-02-29', 'OK': True},
           {'A,"B': None, 'Кол': None, 'NUM': None, 'DAY': None, 'OK': None}], repr(out))
    # The declared code page overridden: the same bytes read as 1251.
    rc, out, err = run('--csv', '--encoding', 'cp1251', odd)
    check('encoding override', read_csv(out)[:2] == [['A,"B', b'\x8a\xae\xab'.decode('cp1251'), 'NUM', 'DAY', 'OK'],
                                                     [text.encode('cp866').decode('cp1251'), 'Да'.encode('cp866').decode('cp1251'),
                                                      '-12.5', '2024-02-29', 'true']], repr(out))
    rc, _, err = run('--csv', '--encoding', '12345', odd)
    check('unknown code page', rc == 2 and "unknown code page '12345'" in err and 'iconv' in err, err)
    # UTF-8 by any of its names, and code pages only iconv knows.
    utf = os.path.join(work, 'utf.dbf')
    write_dbf(utf, [(b'NAME', b'C', 20)], [['Жук ☃'.encode('utf-8')]], ldid=0x03)
    for name in ('utf-8', 'UTF8', '65001'):
        rc, out, err = run('--csv', '--encoding', name, utf)
        check('--encoding ' + name, read_csv(out)[1:] == [['Жук ☃']], repr(out) + err)
    for name, codec in (('koi8-r', 'koi8_r'), ('gbk', 'gbk'), ('cp1250', 'cp1250'), ('ANSI 1251', 'cp1251')):
        rc, out, err = run('--csv', '--encoding', name, utf)
        check('--encoding ' + name, read_csv(out)[1:] == [['Жук ☃'.encode('utf-8').decode(codec, 'replace')]], repr(out) + err)
    # A real table in UTF-8 (dbase/dbase_03_cyrillic.dbf, whose language driver byte names no
    # code page), as python3-dbfread reads it with encoding='utf-8': by --encoding, and through a
    # .cpg file beside a copy of it, which also names the field names' code page.
    cyr = os.path.join(SAMPLES, 'dbase', 'dbase_03_cyrillic.dbf')
    want = [['ШАР', 'ПЛОЩА'], ['Номер', '36.30'], ['Культ', '99.99']]
    rc, out, err = run('--csv', '--encoding', 'utf-8', cyr)
    check('real utf-8 table', read_csv(out) == want, repr(out) + err)
    copy = os.path.join(work, 'cyr.dbf')
    with open(cyr, 'rb') as f, open(copy, 'wb') as g:
        g.write(f.read())
    with open(os.path.join(work, 'CYR.CPG'), 'w') as f:
        f.write('65001')
    rc, out, err = run(copy)
    check('real utf-8 table with .cpg', out.decode().splitlines() == ['#fields\tШАР:dC:25\tПЛОЩА:dN:15', '#records\t2',
                                                                     'Номер\t36.30', 'Культ\t99.99'], repr(out) + err)
    # A .cpg file beside the table names its code page.
    with open(os.path.join(work, 'utf.cpg'), 'w') as f:
        f.write('UTF-8\r\n')
    rc, out, err = run('--jsonl', utf)
    check('.cpg', json.loads(out) == {'NAME': 'Жук ☃'}, repr(out) + err)

    db = os.path.join(work, 'out.db')
    rc, _, err = run('--sqlite', db, odd)
    check('odd sqlite', rc == 0, err)
    rows, info, _ = read_sqlite(db, 'my "odd", table')
    check('odd sqlite rows', rows == [(text, 'Да', -12.5, '2024-02-29', 1), (None, None, None, None, None)], repr(rows))
    check('odd sqlite types', [c[2] for c in info] == ['TEXT', 'TEXT', 'NUMERIC', 'DATE', 'BOOLEAN'], repr(info))
    rc, _, err = run('--sqlite', db, odd)
    check('existing table refused', rc == 1 and len(err.splitlines()) == 1, err)
    check('--replace', run('--sqlite', db, '--replace', odd)[0] == 0 and len(read_sqlite(db, 'my "odd", table')[0]) == 2)

    # dBASE numbers keep their stored digits: text in CSV, a number token in JSON; in SQLite an
    # integer where one fits, a double where it reads back the same, else the text.
    exact = os.path.join(work, 'exact.dbf')
    write_dbf(exact, [(b'BIG', b'N', 20), (b'RATE', b'F', 20), (b'SMALL', b'N', 8)],
              [[b' 1234567890123450000', b' 333.333333333333340', b'  -.50'],
               [b'  -00000000000000.10', b'       +1.5000000000', b'   -0.00']])
    rc, out, err = run('--csv', exact)
    check('exact csv', read_csv(out)[1:] == [['1234567890123450000', '333.333333333333340', '-0.50'],
                                             ['-0.10', '1.5000000000', '0.00']], repr(out))
    rc, out, err = run('--jsonl', exact)
    check('exact jsonl', out.decode().splitlines() ==
          ['{"BIG":1234567890123450000,"RATE":333.333333333333340,"SMALL":-0.50}',
           '{"BIG":-0.10,"RATE":1.5000000000,"SMALL":0.00}'], repr(out))
    rc, out, err = run(exact)
    check('exact dump', out.decode().splitlines()[2:] == ['1234567890123450000\t333.333333333333340\t-0.50',
                                                          '-0.10\t1.5000000000\t0.00'], repr(out))
    rc, _, err = run('--sqlite', os.path.join(work, 'exact.db'), exact)
    con = sqlite3.connect(os.path.join(work, 'exact.db'))
    got = con.execute('SELECT BIG, typeof(BIG), RATE, typeof(RATE), SMALL, typeof(SMALL) FROM exact').fetchall()
    decl = [c[2] for c in con.execute('PRAGMA table_info(exact)')]
    con.close()
    check('exact sqlite', got == [(1234567890123450000, 'integer', '333.333333333333340', 'text', -0.5, 'real'),
                                  (-0.1, 'real', 1.5, 'real', 0, 'integer')], repr(got))
    check('exact sqlite types', decl == ['', '', 'NUMERIC'], repr(decl))

    # A memo block beyond the end of the memo file, met only at the second record.
    bad = os.path.join(work, 'bad.dbf')
    write_dbf(bad, [(b'ID', b'N', 4), (b'NOTE', b'M', 10)], [[b'1', b'1'.rjust(10)], [b'2', b'99'.rjust(10)]], memos=[b'fine'])
    before = sorted(os.listdir(work))
    for args in (['--csv', '-o', os.path.join(work, 'bad.csv')], ['--jsonl', '-o', os.path.join(work, 'bad.jsonl')],
                 ['--sqlite', os.path.join(work, 'new.db')], ['--sqlite', db, '--replace']):
        rc, _, err = run(*args, bad)
        check('damaged %s' % args[0], rc == 1 and len(err.splitlines()) == 1 and 'bad.dbf' in err, err)
        check('damaged %s leaves no file' % args[0], sorted(os.listdir(work)) == before, repr(os.listdir(work)))
    check('damaged rolled back', len(read_sqlite(db, 'my "odd", table')[0]) == 2)


def main():
    expected = os.path.join(SAMPLES, 'expected')
    tables = sorted(os.path.join(SAMPLES, os.path.relpath(t, expected)[:-4])
                    for t in glob.glob(os.path.join(expected, '**', '*.tsv'), recursive=True))
    with tempfile.TemporaryDirectory() as work:
        for t in tables:
            round_trip(t, work)
        made_tables(work)
    for f in failures:
        print('FAIL', f)
    print('%d tables converted, %d failures' % (len(tables), len(failures)))
    return 1 if failures else 0


sys.exit(main())
