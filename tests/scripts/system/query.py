# The engine's total memory must be the machine's (Wine reports MemTotal of /proc/meminfo)
# to within one page.


def check(t):
    with open("/proc/meminfo") as f:
        kb = next(int(line.split()[1]) for line in f if line.startswith("MemTotal:"))
    shown = next(line for line in t.output if line.startswith("total text "))
    total = int(shown.split()[2])
    assert abs(total - kb * 1024) <= 4096, (total, kb * 1024)
    assert total > 2**31 - 1, "the float and 64-bit forms need more than 2 GB: %d" % total
