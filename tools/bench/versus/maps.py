# A dict filled with 50,000 keys "k1".."k50000" (or as many as the first argument says), then
# every key looked up once.
import sys
n = int(sys.argv[1]) if len(sys.argv) > 1 else 50000
m = {}
for i in range(1, n + 1):
    m["k" + str(i)] = i
s = 0
for i in range(1, n + 1):
    s = s + m["k" + str(i)] % 7
print(s)
