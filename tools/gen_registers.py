#!/usr/bin/env python3
"""One-off generator: turns the device's register reference table (markdown rows
"| index | cmd | resp | property | type | write | range | saved | meaning |")
into src/device/registers.def. The .def file is the committed source of truth;
this script is kept only to show how it was produced."""
import re, sys

PER_CHANNEL = {"PENA", "PLOAD", "PRGBI", "PISTD", "PPROC", "PVISC", "LPLOGO1", "LPLOGO2",
               "LDISPLAY", "LHPOS1M", "LVPOS1M", "LHPOS2M", "LVPOS2M", "LHPOS1P", "LVPOS1P",
               "LHPOS2P", "LVPOS2P", "ALEV", "ABAL"}
TYPES = {"unsigned": "Unsigned", "Boolean": "Boolean", "integer": "Integer", "string": "String"}
SAVE = {"no": "SAVE_NONE", "value": "SAVE_VALUE", "per channel": "SAVE_PER_CHANNEL"}

def c_string(code):
    code = code.strip()
    if code == '"X" + CR':
        return '"X\\r"'
    m = re.fullmatch(r'"(.*)"', code)
    return '"' + m.group(1).replace('\\', '\\\\').replace('"', '\\"') + '"'

rows = []
for line in open(sys.argv[1], encoding="utf-8"):
    m = re.match(r'^\| (\d+) \| ("[^|]*"(?: \+ CR)?) \| ("[^|]*") \| (.*?) \| (\w+) \| (yes|no) \| (\d+)\.\.(\d+) \| (no|value|per channel) \| (.*) \|$', line)
    if not m:
        continue
    idx, cmd, resp, prop, typ, wr, lo, hi, saved, meaning = m.groups()
    idx = int(idx)
    names = re.findall(r'`([^`]+)`', prop)
    name = names[0]
    events = names[1:]
    storage = "Plain"
    event = f"On{name}change"
    if name in PER_CHANNEL:
        storage = "PerChannel"
    if name in ("IP4", "IP3", "IP2", "IP1"):
        storage, event = "Octet", "None"
    elif name == "LOCAL_PORT":
        name, storage, event = "IPPORT", "Port", "None"
    elif name == "NETMASK":
        storage = "Mask"
    elif events:
        event = events[0]
    rows.append((idx, c_string(cmd), c_string(resp), name, TYPES[typ], "RW" if wr == "yes" else "RO",
                 lo, hi, SAVE[saved], storage, event, meaning.replace('"', '\\"')))

assert [r[0] for r in rows] == list(range(289)), "expected 289 rows in index order"
out = sys.stdout
out.write("// The device's 289 registers, in table order (received lines are matched in this order).\n")
out.write("// VARNEL_REGISTER(index, command code, response code, name, type, access, min, max,\n")
out.write("//                 save kind, storage, change event, meaning)\n")
out.write("// Include after defining VARNEL_REGISTER; the file undefines nothing.\n")
for r in rows:
    out.write('VARNEL_REGISTER(%d, %s, %s, %s, %s, %s, %s, %s, %s, %s, %s, "%s")\n' % r)
