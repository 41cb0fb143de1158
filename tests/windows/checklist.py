"""One line per check, and the closing "N passed, M failed" line that the
check scripts end with; where two traces first part; and the one line a
script says on stderr before its exit status 2."""
import sys


def refuse(tool, message):
    print(f"{tool}: {message}", file=sys.stderr)
    return 2


def first_difference(actual, expected, line=1):
    """"line N: expected '...', got '...'" at the first line where the two
    lists differ (counted from `line`), or "" when they are equal."""
    if actual == expected:
        return ""
    i = next((i for i, (a, e) in enumerate(zip(actual, expected)) if a != e), min(len(actual), len(expected)))
    want = expected[i] if i < len(expected) else "<end>"
    return f"line {i + line}: expected '{want}', got '{actual[i] if i < len(actual) else '<end>'}'"


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, label, ok, detail=""):
        if ok:
            self.passed += 1
            print(f"ok   {label}")
        else:
            self.failed += 1
            print(f"FAIL {label}" + (f": {detail}" if detail else ""))
        return ok

    def finish(self):
        print(f"{self.passed} passed, {self.failed} failed")
        return 0 if self.failed == 0 else 1
