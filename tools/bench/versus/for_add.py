# A million passes of a for loop that adds to a variable (or as many as the first argument says).
import sys
n = int(sys.argv[1]) if len(sys.argv) > 1 else 1000000
s = 0
for i in range(1, n + 1):
    s = s + 1
print(s)
