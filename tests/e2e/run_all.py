"""Runs the end-to-end tests against the zevrik.exe of a Windows build tree.

    python3 tests/e2e/run_all.py --build build/win32 [--label NAME] [test name ...]

Test names are unittest names such as test_terminal.TerminalTest; without
any, every test_*.py here runs.  Exits non-zero when a test fails.  With
--label the closing line is "NAME: N passed, M failed" and a skipped test
counts as failed: such a run must run every test it names.
"""

import argparse
import os
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))


class TimedResult(unittest.TextTestResult):
    """Shows each test's time beside its verdict, and keeps which tests
    passed whole: a test with a failed sub-case did not."""

    def __init__(self, *args, **kw):
        super().__init__(*args, **kw)
        self.passed = set()
        self.spoilt = set()

    def startTest(self, test):
        self._started = time.monotonic()
        super().startTest(test)

    def _took(self):
        # A class whose set-up failed has no test started.
        if self.showAll and hasattr(self, "_started"):
            self.stream.write("[%.1f s] " % (time.monotonic() - self._started))

    def addSuccess(self, test):
        self._took()
        self.passed.add(test.id())
        super().addSuccess(test)

    def addSubTest(self, test, subtest, err):
        if err is not None:
            self.spoilt.add(test.id())
        super().addSubTest(test, subtest, err)

    def addFailure(self, test, err):
        self._took()
        super().addFailure(test, err)

    def addError(self, test, err):
        self._took()
        super().addError(test, err)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True, help="Windows build tree holding src/zevrik.exe")
    parser.add_argument("--label", help="name of the closing line; skips count as failures")
    parser.add_argument("tests", nargs="*", help="unittest names to run instead of all")
    opts = parser.parse_args(argv)
    os.environ["ZEVRIK_E2E_BUILD"] = os.path.abspath(opts.build)
    sys.path.insert(0, HERE)
    import harness

    loader = unittest.TestLoader()
    if opts.tests:
        tests = loader.loadTestsFromNames(opts.tests)
    else:
        tests = loader.discover(HERE, pattern="test_*.py", top_level_dir=HERE)
    started = time.monotonic()
    try:
        result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout, resultclass=TimedResult).run(tests)
    finally:
        harness.close_suite()
    # Every test named counts once: one whose class set-up failed never ran
    # and is a failure, as is one with any failed sub-case.
    skipped = len(result.skipped)
    passed = len(result.passed - result.spoilt)
    failed = tests.countTestCases() - passed - skipped
    print("screenshots in %s" % os.path.join(os.environ["ZEVRIK_E2E_BUILD"], "screenshots"))
    print("e2e ran for %.0f s" % (time.monotonic() - started))
    if opts.label:
        failed += skipped
        print("%s: %d passed, %d failed" % (opts.label, passed, failed))
    else:
        print("e2e: %d passed, %d failed, %d skipped" % (passed, failed, skipped))
    return 0 if failed == 0 and result.wasSuccessful() and result.testsRun > 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
