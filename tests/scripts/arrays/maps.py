# The key order MapKeysGet lists must be the one a plain FNV-1a model gives: bucket =
# hash % 64, buckets ascending, each bucket newest first.


def fnv1a(key):
    h = 0x811C9DC5
    for b in key.lower().encode("latin-1"):
        h = ((h ^ b) * 0x01000193) & 0xFFFFFFFF
    return h


def model_order(keys, buckets):
    chains = [[] for _ in range(buckets)]
    for k in keys:
        chains[fnv1a(k) % buckets].insert(0, k)
    return [k for chain in chains for k in chain]


def check(t):
    keys = ["key%d" % (i * 7) for i in range(1, 31)]
    line = next(l for l in t.output if l.startswith("keys: "))
    assert line[len("keys: "):].split(" ") == model_order(keys, 64), line
