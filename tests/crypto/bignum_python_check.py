# Checks BigNum results against Python's integers. Each input line is an operation name
# followed by hexadecimal operands and then our results; prints every line that disagrees and
# a final count.
import sys


def expected(op, v):
    if op == "mul":
        return [v[0] * v[1]]
    if op == "muladd":
        return [v[0] * v[1] + v[2]]
    if op == "divmod":
        return [v[0] % v[1], v[0] // v[1]]
    if op == "modmul":
        return [v[0] * v[1] % v[2]]
    if op == "modpow":
        return [pow(v[0], v[1], v[2])]
    if op == "modinv":
        if v[1] <= 1:
            return ["none"]  # no meaningful inverse modulo 1
        try:
            return [pow(v[0], -1, v[1])]
        except ValueError:
            return ["none"]
    if op == "shr":
        return [v[0] >> v[1]]
    if op == "cmp":
        return [(v[0] > v[1]) - (v[0] < v[1])]
    if op == "add":
        return [v[0] + v[1]]
    if op == "sub":
        return [v[0] - v[1] if v[0] >= v[1] else "none"]
    if op == "topmask":
        return [(1 << v[0].bit_length()) - 1]
    raise ValueError(op)


ARITY = {"mul": 2, "muladd": 3, "divmod": 2, "modmul": 3, "modpow": 3, "modinv": 2,
         "shr": 2, "cmp": 2, "add": 2, "sub": 2, "topmask": 1}


def parse(token):
    if token == "none":
        return token
    if token.startswith("-"):
        return -int(token[1:], 16)
    return int(token, 16)


failures = 0
cases = 0
for line in open(sys.argv[1]):
    parts = line.split()
    if not parts:
        continue
    op = parts[0]
    n = ARITY[op]
    values = [parse(t) for t in parts[1:1 + n]]
    ours = [parse(t) for t in parts[1 + n:]]
    cases += 1
    if expected(op, values) != ours:
        failures += 1
        if failures <= 5:
            print("MISMATCH", line.strip()[:400], "expected", expected(op, values))
print("cases", cases, "failures", failures)
