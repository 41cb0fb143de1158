"""One line per check, and the closing "N passed, M failed" line that the
Windows check scripts end with."""


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
