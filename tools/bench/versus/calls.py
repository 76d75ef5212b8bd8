# 200,000 calls of a user function with two parameters (or as many as the first argument says).
import sys


def add(a, b):
    return a + b


n = int(sys.argv[1]) if len(sys.argv) > 1 else 200000
s = 0
for i in range(1, n + 1):
    s = add(s, 1)
print(s)
