"""Every entry and method under hostile arguments: a bounded, seeded run of tests/fuzz/kalfuzz.py.

Each family runs in its own interpreter, so that a crash or a hang fails that family's test
(with the smallest sequence of calls that still fails) instead of ending the whole session.
`make fuzz FUZZ_SECONDS=N` runs longer with fresh seeds.
"""
import os
import sys
import time
import zlib

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), os.pardir, "fuzz"))
import kalfuzz  # noqa: E402

# Under the sanitizers every call costs tens of times more; one round per family still puts
# every entry under hostile arguments, and the plain run keeps two.
ROUNDS = int(os.environ.get("KAL_FUZZ_ROUNDS", "2"))
TIMEOUT = 120
# Minimising replays the round in new interpreters; across the whole run it gets this long.
MINIMISING_SECONDS = [90.0]


def smallest_failing_steps(log, outcome):
    steps = kalfuzz.last_round(kalfuzz.read_log(log))
    # A sanitizer's report already names the fault with its stack.
    if outcome == "error" or MINIMISING_SECONDS[0] <= 0:
        return steps
    started = time.monotonic()
    steps = kalfuzz.minimise(steps, outcome, 10, budget=8)
    MINIMISING_SECONDS[0] -= time.monotonic() - started
    return steps


# CTest runs the families in shards side by side: KAL_FUZZ_SHARD="i/n" takes every n-th from i.
SHARD, SHARDS = (int(part) for part in os.environ.get("KAL_FUZZ_SHARD", "0/1").split("/"))


@pytest.mark.parametrize("group", sorted(kalfuzz.groups())[SHARD::SHARDS])
def test_hostile_calls_raise_only_ordinary_exceptions_and_leave_nothing_behind(group, tmp_path):
    seed = zlib.crc32(group.encode())
    log = tmp_path / "steps.jsonl"
    outcome, detail = kalfuzz._child(
        ["batch", str(seed), str(ROUNDS), "--group", group, "--log", str(log)], TIMEOUT)
    if outcome:
        steps = smallest_failing_steps(log, outcome)
        calls = [kalfuzz.describe(step["call"]) for step in steps if "call" in step]
        faults = [step["fault"] for step in steps if "fault" in step]
        pytest.fail("%s: %s\nhost faults: %s\ncalls (last %d of %d):\n  %s" % (
            outcome, detail, faults, min(len(calls), 10), len(calls), "\n  ".join(calls[-10:])))
