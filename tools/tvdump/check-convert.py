#!/usr/bin/env python3
"""check-convert.py TVDUMP SAMPLES_DIR

Converts tables with tvdump --csv, --jsonl and --sqlite, reads the results back with Python's
csv, json and sqlite3 modules, and checks every value against the canonical dump of the same
table. Then checks hand-made dBASE tables for quoting, NULLs, code pages, --replace and damaged
input (one-line error, no output file left behind).
Then checks what tvdump may write (never a file of the table it reads; symbolic links, FIFOs
and devices; full disks), the command line, and the options that choose what is written.
"""
import base64
import csv
import decimal
import glob
import hashlib
import io
import json
import os
import re
import shutil
import stat
import sqlite3
import struct
import subprocess
import sys
import tempfile
import time

TVDUMP, SAMPLES = sys.argv[1], sys.argv[2]
csv.field_size_limit(sys.maxsize)
failures = []
INTS, FLOATS, BLOBS = {'S', 'I', '+', 'dI', 'd+'}, {'N', '$', 'dN', 'dF', 'dO'}, {'G', 'O', 'B', 'Y', 'dG', 'dP', 'dQ', 'dW'}
DECIMALS, TIMESTAMPS = {'#', 'dY'}, {'@', 'dT', 'd@'}



def run(*args, cwd=None, stdout=subprocess.PIPE):
    p = subprocess.run([TVDUMP, *args], stdout=stdout, stderr=subprocess.PIPE, cwd=cwd)
    return p.returncode, p.stdout, p.stderr.decode('utf-8', 'replace')


def one_line_failure(what, result, rc=1, text=''):
    """A failure told in one line on stderr with exit status `rc`."""
    code, _, err = result
    check(what, code == rc and len(err.splitlines()) == 1 and text in err, 'exit %d: %r' % (code, err[:300]))


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
    # dBASE B is a double in 8 bytes (Visual FoxPro) and a memo of bytes otherwise.
    names, types = [], [('dO' if f[2] == '8' else 'dG') if f[1] == 'dB' else f[1] for f in fields]
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
    if t in DECIMALS:
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
    if t in DECIMALS:
        return decimal.Decimal(repr(v) if isinstance(v, float) else str(v))
    if t in TIMESTAMPS:
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


def write_dbf(path, fields, records, ldid=0, memos=None, deleted=()):
    """A dBASE III table: fields are (name bytes, type, length); records are lists of bytes;
    the records numbered in `deleted` (from 0) are marked deleted."""
    reclen = 1 + sum(f[2] for f in fields)
    head = struct.pack('<B3BIHH', 0x83 if memos is not None else 0x03, 126, 1, 1, len(records),
                       32 + 32 * len(fields) + 1, reclen) + bytes(17) + bytes([ldid]) + bytes(2)
    for name, typ, length in fields:
        head += name.ljust(11, b'\0') + typ + bytes(4) + bytes([length, 0]) + bytes(14)
    body = b''.join((b'*' if i in deleted else b' ') + b''.join(v.ljust(f[2]) for v, f in zip(r, fields))
                    for i, r in enumerate(records))
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


def snapshot(folder):
    """Every entry of a folder with its kind, inode and content, to tell that nothing changed."""
    out = {}
    for name in os.listdir(folder):
        p = os.path.join(folder, name)
        st = os.lstat(p)
        if stat.S_ISLNK(st.st_mode):
            out[name] = ('link', os.readlink(p))
        else:
            with open(p, 'rb') as f:
                out[name] = (st.st_ino, st.st_mode, f.read())
    return out


def output_safety(work):
    """-o never replaces a file of the table read; links, FIFOs and devices are written through;
    every failed write is told; the command line's own conventions."""
    safe = os.path.join(work, 'safe')
    os.mkdir(safe)
    for f in glob.glob(os.path.join(SAMPLES, 'paradox', 'db', 'CUSTOMER.*')):
        shutil.copy(f, safe)
    table = os.path.join(safe, 'CUSTOMER.DB')
    os.symlink('CUSTOMER.MB', os.path.join(safe, 'memo-link.csv'))
    os.link(os.path.join(safe, 'CUSTOMER.PX'), os.path.join(safe, 'hard.csv'))
    _, csv_text, _ = run('--csv', table)
    before = snapshot(safe)
    # The table, its companions under other names (a link, a hard link, another letter case) and
    # a new name that would be taken for one of its index files.
    for out in ('CUSTOMER.DB', 'customer.mb', 'memo-link.csv', 'hard.csv', 'Customer.Y06', 'customer.x09', 'CUSTOMER.DB.tvjournal'):
        for fmt in (['--csv'], ['--jsonl'], [], ['--info']):
            one_line_failure('-o %s %s' % (out, fmt), run(*fmt, '-o', os.path.join(safe, out), table), text='table being read')
        one_line_failure('--sqlite %s' % out, run('--sqlite', os.path.join(safe, out), table), text='table being read')
    check('table files untouched', snapshot(safe) == before)
    rc, _, err = run('--csv', '-o', os.path.join(safe, 'CUSTOMER.DB.csv'), table)
    check('-o beside the table', rc == 0 and open(os.path.join(safe, 'CUSTOMER.DB.csv'), 'rb').read() == csv_text, err)
    # A symbolic link is written through and its file keeps its permissions; a dangling one makes its file.
    target, link = os.path.join(work, 'target.csv'), os.path.join(work, 'link.csv')
    with open(target, 'w') as f:
        f.write('old')
    os.chmod(target, 0o640)
    os.symlink(target, link)
    rc, _, err = run('--csv', '-o', link, table)
    check('-o symlink', rc == 0 and os.path.islink(link) and open(target, 'rb').read() == csv_text and
          stat.S_IMODE(os.stat(target).st_mode) == 0o640, err)
    os.symlink('made.csv', os.path.join(work, 'dangling.csv'))
    rc, _, err = run('--csv', '-o', os.path.join(work, 'dangling.csv'), table)
    check('-o dangling symlink', rc == 0 and open(os.path.join(work, 'made.csv'), 'rb').read() == csv_text, err)
    # A FIFO is written into, not replaced (its read end is opened first, so that nothing blocks).
    fifo, got = os.path.join(work, 'fifo'), b''
    os.mkfifo(fifo)
    fd = os.open(fifo, os.O_RDONLY | os.O_NONBLOCK)
    p = subprocess.Popen([TVDUMP, '--csv', '-o', fifo, table], stderr=subprocess.PIPE)
    while True:
        done = p.poll() is not None
        try:
            chunk = os.read(fd, 1 << 16)
        except BlockingIOError:
            chunk = b''
        got += chunk
        if not chunk and done:
            break
        time.sleep(0 if chunk else 0.01)
    os.close(fd)
    check('-o FIFO', p.returncode == 0 and got == csv_text and stat.S_ISFIFO(os.stat(fifo).st_mode), p.stderr.read())
    # A full disk, in every format, on standard output and as -o.
    with open('/dev/full', 'wb') as full:
        for fmt in ([], ['--indexes'], ['--info'], ['--info', '--jsonl'], ['--csv'], ['--jsonl']):
            one_line_failure('%s > /dev/full' % fmt, run(*fmt, table, stdout=full), text='cannot write')
            one_line_failure('%s -o /dev/full' % fmt, run(*fmt, '-o', '/dev/full', table), text='cannot write')
    one_line_failure('--sqlite /dev/full', run('--sqlite', '/dev/full', table), text='/dev/full')
    check('/dev/full kept', stat.S_ISCHR(os.stat('/dev/full').st_mode))
    # /dev/stdout stands for the file the shell opened, appended to with '>>'.
    kept = os.path.join(work, 'kept.csv')
    with open(kept, 'wb') as f:
        f.write(b'before\n')
    with open(kept, 'ab') as f:
        rc, _, err = run('--csv', '-o', '/dev/stdout', table, stdout=f)
    check('-o /dev/stdout', rc == 0 and open(kept, 'rb').read() == b'before\n' + csv_text, err)
    # "-" is standard output; "--" ends the options.
    rc, out, _ = run('--csv', '-o', '-', table, cwd=work)
    check('-o -', rc == 0 and out == csv_text and not os.path.exists(os.path.join(work, '-')))
    plain = os.path.join(SAMPLES, 'dbase', 'dbase_03.dbf')
    shutil.copy(plain, os.path.join(work, '-x.dbf'))
    rc, out, err = run('--csv', '--', '-x.dbf', cwd=work)
    check('--', rc == 0 and out == run('--csv', plain)[1], err)
    # --help and the manual page describe the same options, which are all the options there are.
    _, usage, _ = run('--help')
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), 'tvdump.1')) as f:
        manual = set(re.findall(r'--[a-z][a-z-]*[a-z]', f.read().replace('\\-', '-'))) - {'--option'}
    in_help = set(re.findall(r'--[a-z][a-z-]*[a-z]', usage.decode()))
    check('--help and tvdump.1', manual == in_help, repr(manual ^ in_help))
    check('every option known', not any('unknown option' in run(o)[2] for o in in_help))
    rc, out, _ = run('--version')
    check('--version', rc == 0 and out.startswith(b'tvdump'), repr(out))
    for args in (['--bogus', table], ['--csv', '--jsonl', table], ['--csv'], ['--csv', '-o'], ['--separator', ';', table],
                 ['--csv', table, table], ['--sqlite', 'x.db', '--table', 'a', '--table', 'b', table], ['--info', '--csv', table],
                 ['--csv', '--separator', '.', table], ['--sqlite', 'x.db', '--table', '', table]):
        one_line_failure('usage %r' % args, run(*args), rc=2)
    one_line_failure('directory', run('--csv', work), text='is a directory')
    one_line_failure('missing folder', run('--csv', '-o', os.path.join(work, 'none', 'x.csv'), table), text='does not exist')


def info_option(table):
    """--info as JSON and as text, checked against the file's header, the dump and --indexes."""
    _, dump, _ = run(table)
    head = dump.decode('utf-8').split('\n')
    rows = head[2:-1]
    rc, out, err = run('--info', '--jsonl', table)
    if rc != 0:
        return check('--info', False, err)
    info = json.loads(out)
    with open(table, 'rb') as f:
        version = f.read()[0x39]   # the Paradox header's file version
    check('--info', rc == 0 and info['format'] == {0x0C: 'Paradox 7'}.get(version) and info['records'] == len(rows) and
          '%d' % info['headerRecords'] == head[1].split('\t')[1] and
          ['%s:%s:%d' % (f['name'], f['type'], f['length']) for f in info['fields']] == head[0].split('\t')[1:], err)
    _, indexes, _ = run('--indexes', table)
    check('--info indexes', [[i['name'], ';'.join(i['fields'])] for i in info['indexes']] ==
          [line.split('\t')[:2] for line in indexes.decode('utf-8').splitlines()], repr(info['indexes']))
    rc, out, _ = run('--info', table)
    lines = [line.split('\t') for line in out.decode('utf-8').splitlines()]
    check('--info plain', rc == 0 and ['format', info['format']] in lines and ['records', str(len(rows))] in lines and
          [line[1:] for line in lines if line[0] == 'field'] ==
          [[f['name'], f['type'], str(f['length']), str(f['decimals'])] for f in info['fields']], repr(lines))


def options(work):
    """--fields, --separator, --no-header, --deleted, --no-blobs and --salvage, --table."""
    table = os.path.join(SAMPLES, 'paradox', 'db', 'CUSTOMER.DB')
    info_option(table)
    names, types, rows = canonical(table)

    # Chosen columns in the order asked, another separator, no header row.
    last, key, mail = names.index('LastName'), names.index('CustNo'), names.index('EMail')
    text = lambda v: '' if v is None else str(v)
    rc, out, err = run('--csv', '--fields', 'lastname,CUSTNO', '--separator', ';', '--no-header', table)
    check('--fields --separator --no-header', rc == 0 and
          list(csv.reader(io.StringIO(out.decode('utf-8'), newline=''), delimiter=';')) == [[text(r[last]), text(r[key])] for r in rows], err)
    rc, out, err = run('--csv', '--fields', 'EMail', '--separator', 'tab', table)
    check('--separator tab', list(csv.reader(io.StringIO(out.decode('utf-8'), newline=''), delimiter='\t')) ==
          [['EMail']] + [[text(r[mail])] for r in rows], err)
    one_line_failure('--fields unknown', run('--jsonl', '--fields', 'CustNo,Nope', table), text='Nope')
    one_line_failure('--fields twice', run('--jsonl', '--fields', 'CustNo,custno', table), text='twice')

    # Records marked deleted: left out, or with --deleted kept behind a leading _deleted column.
    dele = os.path.join(work, 'del.dbf')
    write_dbf(dele, [(b'ID', b'N', 4), (b'NAME', b'C', 8)], [[b'1', b'one'], [b'2', b'two'], [b'3', b'three']], deleted={1})
    check('deleted left out', read_csv(run('--csv', dele)[1]) == [['ID', 'NAME'], ['1', 'one'], ['3', 'three']])
    check('--deleted csv', read_csv(run('--csv', '--deleted', dele)[1]) ==
          [['_deleted', 'ID', 'NAME'], ['false', '1', 'one'], ['true', '2', 'two'], ['false', '3', 'three']])
    check('--deleted jsonl', [json.loads(line) for line in run('--jsonl', '--deleted', dele)[1].splitlines()] ==
          [{'_deleted': False, 'ID': 1, 'NAME': 'one'}, {'_deleted': True, 'ID': 2, 'NAME': 'two'},
           {'_deleted': False, 'ID': 3, 'NAME': 'three'}])
    # Debian's XBase module, an independent reader, gives each record's deleted flag first.
    perl = subprocess.run(['perl', '-MXBase', '-e', 'my $t = XBase->new(name => $ARGV[0]) or die XBase->errstr; '
                           'print join("\\t", $t->get_record($_)), "\\n" for 0 .. $t->last_record', dele], capture_output=True)
    if perl.returncode == 0:
        check('--deleted as XBase reads it', [[bool(int(r[0])), int(r[1]), r[2]] for r in
                                               (line.split('\t') for line in perl.stdout.decode().splitlines())] ==
              [list(json.loads(line).values()) for line in run('--jsonl', '--deleted', dele)[1].splitlines()])
    db = os.path.join(work, 'del.db')
    rc, _, err = run('--sqlite', db, '--deleted', dele)
    got, info, _ = read_sqlite(db, 'del') if rc == 0 else ([], [], {})
    check('--deleted sqlite', got == [(0, 1, 'one'), (1, 2, 'two'), (0, 3, 'three')] and info[0][1:3] == ('_deleted', 'BOOLEAN'), err)

    # Without its memo file a table is refused, or read with --no-blobs, its memos NULL.
    memo = os.path.join(work, 'memo.dbf')
    write_dbf(memo, [(b'ID', b'N', 4), (b'NOTE', b'M', 10)], [[b'1', b'1'.rjust(10)]], memos=[b'text'])
    os.remove(os.path.join(work, 'memo.dbt'))
    one_line_failure('missing memo file', run('--csv', memo), text='memo.dbt')
    rc, out, err = run('--csv', '--no-blobs', memo)
    check('--no-blobs without .dbt', rc == 0 and read_csv(out) == [['ID', 'NOTE'], ['1', '']] and
          len(err.splitlines()) == 1 and 'warning' in err, err)
    nomb = os.path.join(work, 'nomb')
    os.mkdir(nomb)
    shutil.copy(table, nomb)
    memos = [i for i, t in enumerate(types) if t in ('M', 'F')]
    salvaged = [[None if i in memos else v for i, v in enumerate(r)] for r in rows]
    for what, args in (('--no-blobs without .MB', ['--no-blobs', os.path.join(nomb, 'CUSTOMER.DB')]), ('--salvage', ['--salvage', table])):
        rc, out, err = run('--jsonl', *args)
        check(what + ' exit', rc == 0 and 'warning' in err, err)
        compare(what, types, salvaged, read_jsonl(what, out, names))
    rc, out, err = run('--info', '--salvage', os.path.join(nomb, 'CUSTOMER.DB'))
    check('--info --salvage without .MB', rc == 0 and b'records\t%d\n' % len(rows) in out, err)

    # --table names the SQLite tables: two tables called alike, one whose name SQLite keeps for
    # itself; one without fields among several is skipped and told.
    same = os.path.join(work, 'same')
    os.mkdir(same)
    for src, dst in (('paradox/db/AREACODE.DB', 'Test.DB'), ('paradox/db/AREACODE.PX', 'Test.PX'), ('dbase/dbase_03.dbf', 'Test.dbf'),
                     ('dbase/dbase_03.dbf', 'sqlite_x.dbf'), ('dbase/polygon.dbf', 'polygon.dbf')):
        shutil.copy(os.path.join(SAMPLES, src), os.path.join(same, dst))
    files = [os.path.join(same, f) for f in ('Test.DB', 'Test.dbf', 'sqlite_x.dbf', 'polygon.dbf')]
    db = os.path.join(work, 'tables.db')
    one_line_failure('same table name', run('--sqlite', db, *files[:2]), text='--table')
    one_line_failure('sqlite_ name', run('--sqlite', db, files[2]), text='--table')
    check('failed runs leave no database', not os.path.exists(db))
    rc, _, err = run('--sqlite', db, '--table', 'paradox', '--table', 'dbase', '--table', 'x', *files)
    check('--table, one skipped', rc == 3 and len(err.splitlines()) == 1 and 'polygon.dbf' in err, err)
    for name, f in (('paradox', files[0]), ('dbase', files[1]), ('x', files[2])):
        check('--table ' + name, rc == 3 and len(read_sqlite(db, name)[0]) == len(canonical(f)[2]))


def main():
    expected = os.path.join(SAMPLES, 'expected')
    tables = sorted(os.path.join(SAMPLES, os.path.relpath(t, expected)[:-4])
                    for t in glob.glob(os.path.join(expected, '**', '*.tsv'), recursive=True))
    with tempfile.TemporaryDirectory() as work:
        for t in tables:
            round_trip(t, work)
        made_tables(work)
        output_safety(work)
        options(work)
    for f in failures:
        print('FAIL', f)
    print('%d tables converted, %d failures' % (len(tables), len(failures)))
    return 1 if failures else 0


sys.exit(main())
