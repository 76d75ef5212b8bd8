# A list grown by 200,000 appends (or as many as the first argument says), then a list of the
# same size made first and filled the same way; each phase timed as in grow.zal.
import sys
import time
n = int(sys.argv[1]) if len(sys.argv) > 1 else 200000
t0 = time.perf_counter()
a = []
for i in range(n):
    a.append(i * 3)
t1 = time.perf_counter()
b = [None] * n
for i in range(n):
    b[i] = i * 3
t2 = time.perf_counter()
print(len(a), a[n - 1] + b[n - 1])
print('PHASE grow %.3f' % ((t1 - t0) * 1000.0))
print('PHASE fill %.3f' % ((t2 - t1) * 1000.0))
