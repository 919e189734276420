"""kal's call costs against a bare METH_O function (the floor) and a pybind11 binding of the same
operations on the same reference host, all measured in one run. `make bench` runs it.

Each row is the best of several timed loops (the two bindings in turns), less the cost of the
empty loop, in ns per call.
"""
import os
import platform
import statistics
import subprocess
import sys
import timeit

import kal
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
    """The objects each binding's rows call, on one geometry node of the reference host; the
    statement's grids are cooked before timing starts."""

    GRIDS = {"grid": (100, 100), "ten": (2, 5), "million": (1000, 1000)}

    def __init__(self, module, statement):
        geo = kal.node("/obj").createNode("geo", "bench")
        self.names = {"node": module.node("/obj/bench"), "position": (1.0, 2.0),
                      "Error": module.ObjectWasDeleted}
        self.names["parm"] = self.names["node"].parm("tx")
        # ty animated: three keyframes, evaluated between two of them, on a cubic.
        for frame, value in ((1, 0.0), (12, 5.0), (24, 0.0)):
            key = kal.Keyframe(value)
            key.setFrame(frame)
            key.setSlope(0.0)
            geo.parm("ty").setKeyframe(key)
        kal.setFrame(6.5)
        self.names["animated"] = self.names["node"].parm("ty")
        self.names["kscriptExpression"] = module.kscriptExpression
        self.names["v"], self.names["w"] = module.Vector3(1, 2, 3), module.Vector3(4, 5, 6)
        self.names["m"], self.names["n"] = module.Matrix4(2.0), module.Matrix4(3.0)
        for name, (rows, columns) in self.GRIDS.items():
            if name in statement or (name == "grid" and "point" in statement):
                grid = geo.createNode("grid", name)
                grid.parm("rows").set(rows)
                grid.parm("cols").set(columns)
                geometry = module.node(grid.path()).geometry()
                self.names[name] = geometry
                self.names["point"] = geometry.iterPoints()[0]


def rows():
    """(label, statement, needs a host fault): the operations the issue names."""
    return [
        ("Node.name (trivial getter)", "node.name()", False),
        ("Node.parent (new owned proxy)", "node.parent()", False),
        ("Node.setPosition (vector<float> from a tuple)", "node.setPosition(position)", False),
        ("Node.createNode(keywords, defaults) + destroy",
         "node.createNode(node_type_name='null').destroy()", False),
        ("error -> exception (Node.name)", ERROR_CALL, True),
        ("Parm.eval", "parm.eval()", False),
        ("Parm.eval (animated: keyframes, cubic)", "animated.eval()", False),
        ("kal.kscriptExpression (float result)", "kscriptExpression('1+2')", False),
        ("Vector3 + Vector3 (computed in the wrapper)", "v + w", False),
        ("Matrix4 * Matrix4 (host)", "m * n", False),
        ("Geometry.points() (100 x 100 grid)", "grid.points()", False),
        ("iterPoints(), iterated (100 x 100 grid)", "for p in grid.iterPoints(): pass", False),
        ("Point.attribValue('P')", "point.attribValue('P')", False),
        ("Geometry.iterPoints() of 10 points", "ten.iterPoints()", False),
        ("Geometry.iterPoints() of 10^6 points", "million.iterPoints()", False),
    ]


def measure(module, statement, needs_fault):
    kalhost.reset()
    names = Setup(module, statement).names
    if needs_fault:
        kalhost.fail("Node.name", "ObjectWasDeleted", "gone", times=2**31 - 1)
    try:
        return best_ns(statement, names)
    finally:
        kalhost.clearFaults()
        del names
        kalhost.reset()


def interleaved(statement, needs_fault, turns=3):
    """Both bindings' best, measured in turns so that a busy moment of the machine does not
    fall on one of them only."""
    ours, peer = [], []
    for _ in range(turns):
        ours.append(measure(kal, statement, needs_fault))
        if kalpeer:
            peer.append(measure(kalpeer, statement, needs_fault))
    return min(ours), min(peer) if peer else float("nan")


def import_ms(module):
    """Median wall time of a fresh interpreter that imports `module`, less a bare start. The
    first, untimed run leaves the compiled proxy module behind, as any user's first import does."""
    environment = {name: value for name, value in os.environ.items()
                   if name != "PYTHONDONTWRITEBYTECODE"}

    def run(code):
        subprocess.run([sys.executable, "-c", code], check=True, env=environment)
        times = []
        for _ in range(IMPORT_RUNS):
            started = timeit.default_timer()
            subprocess.run([sys.executable, "-c", code], check=True, env=environment)
            times.append(timeit.default_timer() - started)
        return statistics.median(times) * 1e3
    bare = run("pass")
    return run("import " + module) - bare, bare


def machine():
    model = "unknown CPU"
    with open("/proc/cpuinfo") as info:
        for line in info:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return "%s, %d cores, Python %s, %s" % (model, os.cpu_count(), platform.python_version(),
                                            platform.platform())


def main():
    empty = best_ns("pass", {})
    floor = best_ns("identity(argument)", {"identity": kalfloor.identity, "argument": 1}) - empty
    print("machine: %s" % machine())
    print("floor (bare METH_O function): %.1f ns/call; empty loop %.1f ns subtracted everywhere\n"
          % (floor, empty))
    header = "%-48s %9s %7s %11s %7s %9s  %s" % ("operation", "kal ns", "/floor", "pybind11 ns",
                                                  "/floor", "kal/pb11", "aims")
    print(header)
    print("-" * len(header))
    measured = {}
    for label, statement, needs_fault in rows():
        ours, peer = interleaved(statement, needs_fault)
        ours, peer = ours - empty, peer - empty
        measured[statement] = ours
        misses = []
        if kalpeer and ours > peer:
            misses.append("slower than pybind11")
        if "trivial" in label and ours > 4 * floor:
            misses.append("over 4x floor")
        print("%-48s %9.1f %7.2f %11.1f %7.2f %9.2f  %s" % (
            label, ours, ours / floor, peer, peer / floor, ours / peer,
            "; ".join(misses) or "met"))
    ratio = measured["million.iterPoints()"] / measured["ten.iterPoints()"]
    print("%-48s %9.2f %7s %11s %7s %9s  %s" % (
        "lazy sequence of 10^6 points / of 10 points", ratio, "", "", "", "",
        "met" if ratio < 1.5 else "grows with the geometry"))
    ours, bare = import_ms("kal")
    peer = import_ms("kalpeer")[0] if kalpeer else float("nan")
    misses = (["slower than pybind11"] if kalpeer and ours > peer else []) + \
        (["over 50 ms"] if ours > 50 else [])
    print("%-48s %9.1f %7s %11.1f %7s %9.2f  %s" % (
        "import kal, ms beyond a bare start (%.1f ms)" % bare, ours, "", peer, "", ours / peer,
        "; ".join(misses) or "met"))


if __name__ == "__main__":
    main()
