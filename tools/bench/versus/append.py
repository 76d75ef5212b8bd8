# A text grown by 100,000 appends of one character (or as many as the first argument says).
import sys
n = int(sys.argv[1]) if len(sys.argv) > 1 else 100000
s = ""
for i in range(1, n + 1):
    s = s + "x"
print(len(s))
