# Drive C: is the prefix's drive_c folder, Z: the Linux root; free letters stay free.
import os
import shutil

SLACK = 256 * 1024 * 1024   # other tests write files meanwhile


def values(t):
    out = {}
    for line in t.output:
        key, _, value = line.partition(" ")
        if key.isupper():
            out[key] = value
    return out


def check(t):
    v = values(t)
    usage = shutil.disk_usage(t.path("."))
    serial = v["SERIAL"]
    assert int(serial.replace("-", ""), 16) == int(v["SERIALNUM"]) & 0xFFFFFFFF, serial
    free = int(v["FREE"])
    assert abs(free - usage.free) < SLACK, (free, usage.free)
    assert int(v["FREE2"]) in range(2 * free - SLACK, 2 * free + SLACK)
    size = int(v["SIZE"])
    assert abs(size - usage.total) < SLACK, (size, usage.total)
    sectors, per_sector, clusters = map(int, v["SECTORS"].split())
    assert sectors * per_sector * clusters == size, v["SECTORS"]
    assert "C:" in v["SCAN"].split("\t"), v["SCAN"]
    free_letters = v["SCANFREE"].split("\t")
    assert "Q:" in free_letters and "C:" not in free_letters and "A:" not in free_letters, free_letters
