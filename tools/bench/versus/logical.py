# 100,000 texts like file names (letters of both cases, runs of digits, blanks and
# punctuation, made by a fixed sequence; or as many as the first argument says), sorted
# without regard to case and in logical order (runs of digits by their value, the other
# characters one by one without case); each sort timed as in logical.zal.
import re
import sys
import time

n = int(sys.argv[1]) if len(sys.argv) > 1 else 100000
alpha = "aBcDeFgHiJkLmNoPqRsTuVwXyZ0123456789-' AbCdEfGhIjKlMnOpQrStUvWxYz"
a = []
x = 1
for i in range(n):
    x = (x * 75 + 74) % 65537
    a.append(alpha[x % 40:x % 40 + 5] + str(x % 1000) + alpha[x * 7 % 40:x * 7 % 40 + 3] + str(x % 13))
runs = re.compile(r'[0-9]+|[^0-9]')


def logical(s):
    return [(0, int(t)) if t[0].isdigit() else (1, t.lower()) for t in runs.findall(s)]


t0 = time.perf_counter()
plain = sorted(a, key=str.lower)
t1 = time.perf_counter()
ordered = sorted(a, key=logical)
t2 = time.perf_counter()
# Only n is printed: the platform's collation orders some of these texts otherwise.
print(n)
print('PHASE default %.3f' % ((t1 - t0) * 1000.0))
print('PHASE logical %.3f' % ((t2 - t1) * 1000.0))
