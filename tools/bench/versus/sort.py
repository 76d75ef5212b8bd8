# 50,000 texts of mixed case, digits and punctuation (or as many as the first argument says),
# made by a fixed sequence and sorted without regard to case.
import sys
n = int(sys.argv[1]) if len(sys.argv) > 1 else 50000
alpha = "aBcDeFgHiJkLmNoPqRsTuVwXyZ0123456789-' AbCdEfGhIjKlMnOpQrStUvWxYz"
a = []
x = 1
for i in range(n):
    x = (x * 75 + 74) % 65537
    a.append(alpha[x % 40:x % 40 + 6] + str(x))
a = sorted(a, key=str.lower)
# Only n is printed: the platform's collation orders some of these texts otherwise.
print(n)
