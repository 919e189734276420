"""Cases the fuzzer once failed on (tests/fuzz/regressions.json, written by `make fuzz`), replayed
each in its own interpreter: they must now run through with ordinary exceptions only."""
import os
import sys

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), os.pardir, "fuzz"))
import kalfuzz  # noqa: E402

CASES = kalfuzz.load_cases()


@pytest.mark.parametrize("case", CASES, ids=[case["calls"][-1] if case["calls"] else "no calls"
                                             for case in CASES])
def test_case_once_found_by_the_fuzzer_now_passes(case):
    outcome, detail = kalfuzz.run_steps_in_child(case["steps"], 30)
    assert outcome is None, "%s again: %s\n  %s" % (outcome, detail, "\n  ".join(case["calls"]))
