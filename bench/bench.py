"""kal's call costs against a bare METH_O function (the floor), the same operations written by
hand against the CPython C API (the limit for any binding of this host) and bound through
pybind11, all on the same reference host and measured in one run. `make bench` runs it.

Each row is the best of several timed loops (the bindings in turns), less the cost of the empty
loop, in ns per call. Rows run on an object node (a subclass proxy: `kal.ObjNode` calling `Node`
methods) and, marked "exact", on a manager node, whose proxy is exactly `kal.Node`.

`bench.py --instructions` (`make bench-instructions`) prints the same table in instructions per
call instead, which the machine's load does not move: each row and binding runs in its own
interpreter under callgrind, which counts a loop of N calls and one of 2N calls apart from
start-up and set-up (callgrind dumps its counters at each `kalfloor.mark()`); the difference,
divided by N, less the same figure for the empty loop, is the row's cost.
"""
import argparse
import glob
import itertools
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
import textwrap
import timeit

import kal
import kalcapi
import kalfloor
import kalhost

try:
    import kalpeer
except ImportError:  # pybind11 was not there at configure time
    kalpeer = None

REPEATS = 7
TARGET_SECONDS = 0.1
IMPORT_RUNS = 15

ERROR_CALL = """
try:
    node.name()
except Error:
    pass
"""


def best_ns(statement, names):
    timer = timeit.Timer(statement, globals=names)
    number, _ = timer.autorange()
    number = max(number, int(number * TARGET_SECONDS / 0.2))
    return min(timer.repeat(REPEATS, number)) / number * 1e9


class Setup:
    """The objects each binding's rows call: a geometry node of the reference host, or for an
    exact-class row the /obj manager; the statement's grids are cooked before timing starts."""

    GRIDS = {"grid": (100, 100), "ten": (2, 5), "million": (1000, 1000)}

    def __init__(self, module, statement, exact):
        geo = kal.node("/obj").createNode("geo", "bench")
        self.names = {"node": module.node("/obj" if exact else "/obj/bench"),
                      "position": (1.0, 2.0), "Error": module.ObjectWasDeleted}
        self.names["parm"] = module.node("/obj/bench").parm("tx")
        if "animated" in statement:
            # ty animated: three keyframes, evaluated between two of them, on a cubic.
            for frame, value in ((1, 0.0), (12, 5.0), (24, 0.0)):
                key = kal.Keyframe(value)
                key.setFrame(frame)
                key.setSlope(0.0)
                geo.parm("ty").setKeyframe(key)
            kal.setFrame(6.5)
            self.names["animated"] = module.node("/obj/bench").parm("ty")
        if "record" in statement:
            # A falling body's physical record, read at a frame the simulation has cached.
            network = kal.node("/obj").createNode("dopnet", "benchsim")
            network.createNode("rigidobject", "ball")
            kal.setFrame(12)
            if hasattr(module, "dopRecord"):
                self.names["record"] = module.dopRecord(network.path(), "ball", "Physical")
            else:
                self.names["record"] = module.node(network.path()).simulation().findObject(
                    "ball").record("Physical")
        if "kscriptExpression" in statement:
            self.names["kscriptExpression"] = module.kscriptExpression
        if statement.startswith("asset."):
            # An embedded asset whose script module defines `value`.
            asset = kal.node("/obj").createNode("subnet").createDigitalAsset("benched")
            asset.type().definition().addSection("PythonModule", "value = 1\n")
            self.names["asset"] = asset.kdaModule()
        if "v + w" in statement:
            self.names["v"], self.names["w"] = module.Vector3(1, 2, 3), module.Vector3(4, 5, 6)
        if "m * n" in statement:
            self.names["m"], self.names["n"] = module.Matrix4(2.0), module.Matrix4(3.0)
        for name, (rows, columns) in self.GRIDS.items():
            if name in statement or (name == "grid" and "point" in statement):
                grid = geo.createNode("grid", name)
                grid.parm("rows").set(rows)
                grid.parm("cols").set(columns)
                geometry = module.node(grid.path()).geometry()
                self.names[name] = geometry
                self.names["point"] = geometry.iterPoints()[0]


# The statements the C API peer writes too: the node, parameter and record operations. The math and
# geometry rows compare with pybind11 only.
C_API_NAMES = ("node", "parm", "record")


def in_c_api(statement):
    return statement == ERROR_CALL or statement.split(".", 1)[0] in C_API_NAMES


# Neither peer has digital assets: those rows compare with the floor only.
def in_peers(statement):
    return not statement.startswith("asset.")


def rows():
    """(label, statement, needs a host fault, exact class): the operations the issue names."""
    return [
        ("Node.name (trivial getter)", "node.name()", False, False),
        ("Node.name, exact class", "node.name()", False, True),
        ("Node.parent (new owned proxy)", "node.parent()", False, False),
        ("Node.parent, exact class", "node.parent()", False, True),
        ("Node.setPosition (vector<float> from a tuple)", "node.setPosition(position)", False,
         False),
        ("Node.setPosition, exact class", "node.setPosition(position)", False, True),
        ("Node.createNode(keywords, defaults) + destroy",
         "node.createNode(node_type_name='null').destroy()", False, False),
        ("error -> exception (Node.name)", ERROR_CALL, True, False),
        ("ObjNode.worldTransform (new owned Matrix4)", "node.worldTransform()", False, False),
        ("Parm.eval", "parm.eval()", False, False),
        ("Parm.eval (animated: keyframes, cubic)", "animated.eval()", False, False),
        ("kal.kscriptExpression (float result)", "kscriptExpression('1+2')", False, False),
        ("DopRecord.field (a float field)", "record.field('mass')", False, False),
        ("Vector3 + Vector3 (computed in the wrapper)", "v + w", False, False),
        ("Matrix4 * Matrix4 (host)", "m * n", False, False),
        ("KDAModule.__getattr__ (host lock, second dictionary)", "asset.value", False, False),
        ("Geometry.points() (100 x 100 grid)", "grid.points()", False, False),
        ("iterPoints(), iterated (100 x 100 grid)", "for p in grid.iterPoints(): pass", False,
         False),
        ("Point.attribValue('P')", "point.attribValue('P')", False, False),
        ("Geometry.iterPoints() of 10 points", "ten.iterPoints()", False, False),
        ("Geometry.iterPoints() of 10^6 points", "million.iterPoints()", False, False),
    ]


def measure(module, statement, needs_fault, exact):
    kalhost.reset()
    names = Setup(module, statement, exact).names
    if needs_fault:
        kalhost.fail("Node.name", "ObjectWasDeleted", "gone", times=2**31 - 1)
    try:
        return best_ns(statement, names)
    finally:
        kalhost.clearFaults()
        del names
        kalhost.reset()


def interleaved(statement, needs_fault, exact, turns=3):
    """Each binding's best, measured in turns so that a busy moment of the machine does not
    fall on one of them only: kal, the C API, pybind11."""
    peers = in_peers(statement)
    modules = [kal, kalcapi if peers and in_c_api(statement) else None, kalpeer if peers else None]
    results = [[] for _ in modules]
    for _ in range(turns):
        for module, result in zip(modules, results):
            if module:
                result.append(measure(module, statement, needs_fault, exact))
    return [min(result) if result else float("nan") for result in results]


def import_ms(module):
    """Median wall time of a fresh interpreter that imports `module`, less the median of a bare
    start, the two run in turns so that the machine's load falls on both alike. The first,
    untimed run leaves the compiled proxy module behind, as any user's first import does."""
    environment = {name: value for name, value in os.environ.items()
                   if name != "PYTHONDONTWRITEBYTECODE"}
    codes = ("pass", "import " + module)
    times = {code: [] for code in codes}

    def start(code):
        started = timeit.default_timer()
        subprocess.run([sys.executable, "-c", code], check=True, env=environment)
        return timeit.default_timer() - started

    start(codes[1])
    for _ in range(IMPORT_RUNS):
        for code in codes:
            times[code].append(start(code))
    bare, imported = (statistics.median(times[code]) * 1e3 for code in codes)
    return imported - bare, bare


def machine():
    model = "unknown CPU"
    with open("/proc/cpuinfo") as info:
        for line in info:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return "%s, %d cores, Python %s, %s" % (model, os.cpu_count(), platform.python_version(),
                                            platform.platform())


# --- instruction counts ------------------------------------------------------------------------

WARM_UP_CALLS = 200  # the interpreter specialises a loop's instructions in its first rounds
MODULES = {"kal": lambda: kal, "kalcapi": lambda: kalcapi, "kalpeer": lambda: kalpeer}


def loop_function(statement, names):
    """A function that runs `statement` n times, the names it uses being the function's locals,
    so that the loop costs the same few instructions around every binding's call (as timeit's,
    it counts with `repeat`: a range makes an int per round)."""
    body = textwrap.indent(textwrap.dedent(statement).strip("\n"), " " * 8)
    # (the count's name is one no statement uses: `n` is a row's matrix)
    source = "def run(_rounds%s):\n    for _ in repeat(None, _rounds):\n%s\n" % (
        "".join(", " + name for name in names), body)
    namespace = {"repeat": itertools.repeat}
    exec(source, namespace)
    values = list(names.values())
    return lambda n: namespace["run"](n, *values)


def counted_run(what, calls):
    """The child of an instruction count: `what` is "empty", "floor" or "<module>:<row>". Runs the
    loop to warm it up, then N and 2N calls, each between two marks."""
    needs_fault = False
    if what == "empty":
        statement, names = "pass", {}
    elif what == "floor":
        statement, names = "identity(argument)", {"identity": kalfloor.identity, "argument": 1}
    else:
        module_name, row = what.split(":")
        _, statement, needs_fault, exact = rows()[int(row)]
        kalhost.reset()
        names = Setup(MODULES[module_name](), statement, exact).names
    if needs_fault:
        kalhost.fail("Node.name", "ObjectWasDeleted", "gone", times=2**31 - 1)
    run = loop_function(statement, names)
    run(WARM_UP_CALLS)
    kalfloor.mark()
    run(calls)
    kalfloor.mark()
    run(2 * calls)
    kalfloor.mark()


def callgrind_totals(path):
    with open(path) as dump:
        for line in dump:
            if line.startswith(("totals:", "summary:")):
                return int(line.split()[1])
    raise RuntimeError("no totals in " + path)


def instructions_per_call(what, calls):
    """Instructions per call of `what` (see counted_run), from one run under callgrind with
    address-space randomisation off and a fixed hash seed, so that a run repeats exactly."""
    directory = tempfile.mkdtemp(prefix="kalbench")
    try:
        command = ["valgrind", "--tool=callgrind", "--dump-before=kalbench_mark",
                   "--dump-instr=no", "--dump-line=no",
                   "--callgrind-out-file=" + os.path.join(directory, "out"),
                   sys.executable, os.path.abspath(__file__), "--counted-run", what, str(calls)]
        if shutil.which("setarch"):
            command = ["setarch", platform.machine(), "-R"] + command
        environment = dict(os.environ, PYTHONHASHSEED="0")
        subprocess.run(command, check=True, env=environment, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        # The dumps made at the marks, in order: start-up, N calls, 2N calls (the exit's is "out").
        parts = sorted(glob.glob(os.path.join(directory, "out.*")),
                       key=lambda path: int(path.rsplit(".", 1)[1]))
        once, twice = (callgrind_totals(path) for path in parts[1:3])
        return (twice - once) / calls
    finally:
        shutil.rmtree(directory)


def main_instructions(calls, selected):
    print("machine: %s; instructions per call, counted by callgrind\n" % machine())
    empty = instructions_per_call("empty", calls)
    floor = instructions_per_call("floor", calls) - empty
    print("floor (bare METH_O function): %.0f instructions/call; empty loop %.0f subtracted "
          "everywhere\n" % (floor, empty))
    header = "%-46s %8s %7s %9s %8s %9s %8s  %s" % (
        "operation", "kal", "/floor", "C API", "kal/C", "pybind11", "kal/pb11", "aims")
    print(header)
    print("-" * len(header))
    for index, (label, statement, _, _) in enumerate(rows()):
        if selected and not any(word in label for word in selected):
            continue
        peers = in_peers(statement)
        counts = []
        for module_name, applies in (("kal", True), ("kalcapi", peers and in_c_api(statement)),
                                     ("kalpeer", peers and kalpeer is not None)):
            counts.append(instructions_per_call("%s:%d" % (module_name, index), calls) - empty
                          if applies else float("nan"))
        ours, limit, peer = counts
        misses = []
        if ours > 1.3 * limit:
            misses.append("over 1.3x C API")
        if ours > peer:
            misses.append("above pybind11")
        print("%-46s %8.0f %7.2f %9.0f %8.2f %9.0f %8.2f  %s" % (
            label, ours, ours / floor, limit, ours / limit, peer, ours / peer,
            "; ".join(misses) or "met"), flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--instructions", action="store_true",
                        help="count instructions per call under callgrind instead of timing")
    parser.add_argument("--calls", type=int, default=2000, help="N, with --instructions")
    parser.add_argument("--rows", nargs="*", default=[],
                        help="with --instructions, only the rows whose label contains a word")
    parser.add_argument("--counted-run", nargs=2, metavar=("WHAT", "N"), help=argparse.SUPPRESS)
    arguments = parser.parse_args()
    if arguments.counted_run:
        counted_run(arguments.counted_run[0], int(arguments.counted_run[1]))
    elif arguments.instructions:
        main_instructions(arguments.calls, arguments.rows)
    else:
        main_timed()


def main_timed():
    empty = best_ns("pass", {})
    floor = best_ns("identity(argument)", {"identity": kalfloor.identity, "argument": 1}) - empty
    print("machine: %s" % machine())
    print("floor (bare METH_O function): %.1f ns/call; empty loop %.1f ns subtracted everywhere\n"
          % (floor, empty))
    header = "%-46s %8s %7s %9s %8s %9s %8s  %s" % (
        "operation", "kal ns", "/floor", "C API ns", "kal/C", "pb11 ns", "kal/pb11", "aims")
    print(header)
    print("-" * len(header))
    measured = {}
    for label, statement, needs_fault, exact in rows():
        ours, limit, peer = (cost - empty for cost in interleaved(statement, needs_fault, exact))
        measured[statement] = ours
        misses = []
        if ours > 1.3 * limit:
            misses.append("over 1.3x C API")
        if kalpeer and ours > peer:
            misses.append("slower than pybind11")
        print("%-46s %8.1f %7.2f %9.1f %8.2f %9.1f %8.2f  %s" % (
            label, ours, ours / floor, limit, ours / limit, peer, ours / peer,
            "; ".join(misses) or "met"))
    ratio = measured["million.iterPoints()"] / measured["ten.iterPoints()"]
    print("%-46s %8.2f %7s %9s %8s %9s %8s  %s" % (
        "lazy sequence of 10^6 points / of 10 points", ratio, "", "", "", "", "",
        "met" if ratio < 1.5 else "grows with the geometry"))
    ours, bare = import_ms("kal")
    limit = import_ms("kalcapi")[0]
    peer = import_ms("kalpeer")[0] if kalpeer else float("nan")
    misses = (["slower than pybind11"] if kalpeer and ours > peer else []) + \
        (["adds over 25% to a bare start"] if ours > 0.25 * bare else [])
    print("%-46s %8.1f %7s %9.1f %8.2f %9.1f %8.2f  %s" % (
        "import, ms beyond a bare start (%.1f ms)" % bare, ours, "", limit, ours / limit, peer,
        ours / peer, "; ".join(misses) or "met"))


if __name__ == "__main__":
    main()
