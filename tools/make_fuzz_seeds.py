#!/usr/bin/env python3
"""Writes the first seeds of the fuzz corpora (fuzz/corpus/<target>/seed-*).
The fuzzers grow the corpora from these; the minimised results are committed."""
import struct
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent / 'fuzz' / 'corpus'
FS = b'\x01\x01\x07\x01'
LS = b'\x04\x01\x05\x08'
TERM = bytes.fromhex('FF000101070104050400FFFFF40D0A')


def line(title, url, note='', parent=0, scroll=0, visits=0, kind=0, a=0, b=0, deleted=0, last=0.0, added=0.0):
    out = b''
    for t in (title, url, note):
        out += t.encode('gbk') + FS
    for v in (parent, scroll, visits, kind, a, b, deleted):
        out += struct.pack('<i', v) + FS
    for d in (last, added):
        out += struct.pack('<d', d) + FS
    return out


def record(op, *fields):
    out = bytes([op]) + LS
    for f in fields:
        out += f + LS
    return out + TERM


def i32(v):
    return struct.pack('<i', v)


def f64(v):
    return struct.pack('<d', v)


def write(target, name, data):
    d = ROOT / target
    d.mkdir(parents=True, exist_ok=True)
    (d / f'seed-{name}').write_bytes(data)


store = line('根', 'u11u12u', kind=0) + b'\r\n' + line('回收站', 'u') + b'\r\n'
store += b'\r\n' + b'\x00\x00\r\n'
store += line('新浪', 'http://www.sina.com.cn/', 'note', parent=1, visits=2573, kind=1, last=45000.5, added=44000.0) + b'\r\n'
store += line('sep', '', parent=1, kind=-2) + i32(6) + b'\r\n'
store += b'short line\r\n'
write('store_file_fuzz', 'mixed', store)
write('store_file_fuzz', 'empty', b'')

log = record(1, '标题'.encode('gbk'), b'http://x.com/', b'', i32(1), f64(45000.0), i32(-1))
log += record(2, i32(11), f64(45001.0), i32(3))
log += record(3, i32(11), b'T', b'N', b'http://y.com/')
log += record(4, b'11u', i32(3), i32(-1), i32(0))
log += record(5, i32(1), f64(45002.0), '分类'.encode('gbk'))
log += record(6, i32(3), b'renamed', i32(1), i32(0), i32(0))
log += record(8, i32(1), b'12')
log += record(9, i32(1), i32(13))
log += record(4, b'3u', i32(2), i32(-2), i32(0))
log += record(7)
write('change_log_fuzz', 'every-operation', log)
write('change_log_fuzz', 'torn', log[:-7])

write('ini_fuzz', 'settings', '[浏览器]\r\n地址=C:\\b.exe\r\n名称=b\r\n'.encode('gbk'))
write('ini_fuzz', 'icons', b'; c\n[ico]\nx.com=1\n a = " q " \n[md5]\n1=abc\n[ICO]\nb=2')
