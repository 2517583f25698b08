#!/usr/bin/python3
"""dbfread-dump.py TABLE.dbf > TABLE.dbf.tsv

Writes the canonical dump (DUMP-FORMAT.md) of a dBASE, FoxPro or Visual FoxPro table as the
independent reader python3-dbfread (Debian) sees it. dBASE 7 tables (0x04/0x8C), which dbfread
does not read, go through the small decoder at the end of this file instead, written from the
format description alone. Used to make reference dumps, not at test time.
"""
import datetime
import decimal
import hashlib
import math
import struct
import sys

import dbfread


def fmt_double(x):
    """What C++ std::to_chars prints for a double: shortest round-trip digits, plain or
    exponent notation, whichever is shorter (plain on a tie)."""
    if x == 0:
        return '-0' if math.copysign(1.0, x) < 0 else '0'
    sign = '-' if x < 0 else ''
    t = decimal.Decimal(repr(abs(x))).normalize().as_tuple()
    digits = ''.join(map(str, t.digits))
    e, n = t.exponent, len(digits)
    if e >= 0:
        plain = digits + '0' * e
    elif -e < n:
        plain = digits[:n + e] + '.' + digits[n + e:]
    else:
        plain = '0.' + '0' * (-e - n) + digits
    se = e + n - 1
    sci = digits[0] + ('.' + digits[1:] if n > 1 else '') + 'e' + ('-' if se < 0 else '+') + '%02d' % abs(se)
    return sign + (plain if len(plain) <= len(sci) else sci)


def fmt_decimal(d):
    s = format(d.normalize(), 'f')
    if '.' in s:
        s = s.rstrip('0').rstrip('.')
    return '0' if s in ('-0', '') else s


def fmt_stored_number(raw):
    """A dBASE N or F cell as its stored digits (DUMP-FORMAT.md 2.4), never through a double."""
    s = raw.strip(b' \0').decode('ascii')
    if not s:
        return '\\N'
    neg = s.startswith('-')
    s = s.lstrip('+-')
    mantissa, e, exponent = s.partition('e') if 'e' in s else s.partition('E')
    whole, point, fraction = mantissa.partition('.')
    whole = whole.lstrip('0') or '0'
    text = whole + ('.' + fraction if fraction else '')
    if neg and any(c in '123456789' for c in whole + fraction):
        text = '-' + text
    return text + (e + exponent if e else '')


class StoredNumber(bytes):
    pass


class ExactParser(dbfread.FieldParser):
    def parseN(self, field, data):
        return StoredNumber(data)

    parseF = parseN


def escape(s):
    return (s.replace('\\', '\\\\').replace('\t', '\\t').replace('\n', '\\n')
             .replace('\r', '\\r').replace('\0', '\\0'))


def blob(b):
    return '<%d bytes sha256:%s>' % (len(b), hashlib.sha256(b).hexdigest())


def fmt_timestamp(v):
    s = v.strftime('%Y-%m-%d %H:%M:%S')
    ms = v.microsecond // 1000
    return s + ('.%03d' % ms if ms else '')


def value(v, ftype, encoding):
    if v is None:
        return '\\N'
    if isinstance(v, StoredNumber):
        return fmt_stored_number(v)
    if ftype in 'CVM':
        if isinstance(v, bytes):
            v = v.decode(encoding, errors='replace')
        return escape(v) if v != '' else '\\N'
    if ftype in 'GPWQB' and isinstance(v, bytes):
        return blob(v) if v else '\\N'
    if isinstance(v, bool):
        return 'T' if v else 'F'
    if isinstance(v, datetime.datetime):
        return fmt_timestamp(v)
    if isinstance(v, datetime.date):
        return v.strftime('%Y-%m-%d')
    if isinstance(v, decimal.Decimal):
        return fmt_decimal(v)
    if isinstance(v, int):
        return str(v)
    if isinstance(v, float):
        return fmt_double(v)
    raise SystemExit('unexpected value %r of type %s' % (v, ftype))


def dump_dbfread(path):
    t = dbfread.DBF(path, load=False, ignore_missing_memofile=True, char_decode_errors='replace', raw=False,
                    parserclass=ExactParser)
    fields = [f for f in t.fields if f.type != '0']
    out = ['#fields' + ''.join('\t%s:d%s:%d' % (escape(f.name), f.type, f.length) for f in fields),
           '#records\t%d' % t.header.numrecords]
    for rec in t:
        out.append('\t'.join(value(rec[f.name], f.type, t.encoding) for f in fields))
    return out


# dBASE 7: 68-byte header, 48-byte field descriptors, I/+ big-endian with the sign bit inverted,
# O a big-endian double stored sortable, @ milliseconds (day 1 = 0001-01-01) as a big-endian
# double, memos in a .DBT with the dBASE IV block layout.
def dump_dbase7(path):
    data = open(path, 'rb').read()
    count, hlen, rlen = struct.unpack('<IHH', data[4:12])
    driver = data[0x20:0x40].split(b'\0')[0].decode('ascii')
    encoding = 'cp' + driver[2:5] if driver[2:5].isdigit() else 'cp1252'
    fields, pos, off = [], 68, 1
    while data[pos] != 0x0D:
        d = data[pos:pos + 48]
        fields.append((d[:32].split(b'\0')[0].decode(encoding), chr(d[32]), d[33], off))
        off += d[33]
        pos += 48
    memo = None
    try:
        memo = open(path[:-4] + '.dbt', 'rb').read()
        bsize = struct.unpack('<H', memo[0x14:0x16])[0] or 512
    except OSError:
        pass
    out = ['#fields' + ''.join('\t%s:d%s:%d' % (escape(n), t, l) for n, t, l, _ in fields),
           '#records\t%d' % count]
    for r in range(count):
        rec = data[hlen + r * rlen: hlen + (r + 1) * rlen]
        if rec[0:1] == b'*':
            continue
        vals = []
        for name, t, length, o in fields:
            c = rec[o:o + length]
            if t == 'C':
                s = c.rstrip(b' ').decode(encoding, errors='replace')
                vals.append(escape(s) if s else '\\N')
            elif t in 'NF':
                s = c.strip()
                vals.append(fmt_stored_number(c))
            elif t == 'D':
                s = c.decode('ascii')
                vals.append('%s-%s-%s' % (s[:4], s[4:6], s[6:]) if s.strip() else '\\N')
            elif t == 'L':
                vals.append('T' if c in b'TtYy' else 'F' if c in b'FfNn' else '\\N')
            elif t in 'I+':
                vals.append('\\N' if c == b'\0' * 4 else str(struct.unpack('>i', bytes([c[0] ^ 0x80]) + c[1:])[0]))
            elif t == 'O':
                if c == b'\0' * 8:
                    vals.append('\\N')
                else:
                    b = bytes([c[0] ^ 0x80]) + c[1:] if c[0] & 0x80 else bytes(x ^ 0xFF for x in c)
                    vals.append(fmt_double(struct.unpack('>d', b)[0]))
            elif t == '@':
                if c == b'\0' * 8:
                    vals.append('\\N')
                else:
                    ms = round(struct.unpack('>d', c)[0])
                    day = datetime.datetime.fromordinal(ms // 86400000)
                    vals.append(fmt_timestamp(day + datetime.timedelta(milliseconds=ms % 86400000)))
            elif t in 'MBG':
                s = c.strip()
                block = int(s) if s else 0
                if block == 0:
                    vals.append('\\N')
                    continue
                at = block * bsize
                assert memo[at:at + 4] == b'\xff\xff\x08\x00', (path, name, block)
                n = struct.unpack('<I', memo[at + 4:at + 8])[0] - 8
                body = memo[at + 8:at + 8 + n]
                if t == 'M':
                    s = body.decode(encoding, errors='replace')
                    vals.append(escape(s) if s else '\\N')
                else:
                    vals.append(blob(body) if body else '\\N')
            else:
                raise SystemExit('%s: field type %s' % (path, t))
        out.append('\t'.join(vals))
    return out


if __name__ == '__main__':
    path = sys.argv[1]
    with open(path, 'rb') as f:
        version = f.read(1)[0]
    lines = dump_dbase7(path) if version in (0x04, 0x8C) else dump_dbfread(path)
    sys.stdout.write('\n'.join(lines) + '\n')
