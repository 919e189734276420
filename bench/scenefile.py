"""Saving and loading a scene of 10^4 nodes: wall-clock seconds each way and the file's size.
`make bench` runs it. Aim: under a second each way.

The scene is what a script builds: object-level geometry nodes in chains of ten, each holding a
box and a transform wired together, with moved nodes, set and animated parameters. Each figure
is the best of a few rounds, in a temporary folder.
"""
import os
import tempfile
import time

import kal
import kalhost

NODES = 10000
ROUNDS = 3
AIM_SECONDS = 1.0


def build(count):
    obj = kal.node("/obj")
    made, previous = 0, None
    while made < count:
        geo = obj.createNode("geo")
        geo.setPosition((made % 100, made // 100))
        geo.parm("tx").set(made * 0.5)
        if previous is not None and made % 30:
            geo.setInput(0, previous)
        box = geo.createNode("box")
        box.parm("divisions").set(3)
        xform = geo.createNode("xform")
        xform.setInput(0, box)
        xform.parm("ry").setExpression("$F * 3")
        made, previous = made + 3, geo


def best(action):
    times = []
    for _ in range(ROUNDS):
        start = time.perf_counter()
        action()
        times.append(time.perf_counter() - start)
    return min(times)


def main():
    kalhost.reset()
    build(NODES)
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "bench.kip")
        save = best(lambda: kal.kipFile.save(path))
        load = best(lambda: kal.kipFile.load(path))
        size = os.path.getsize(path)
    kalhost.reset()
    print("%-36s %10s %10s  %s" % ("scene file, %d nodes" % NODES, "seconds", "file MB", "aim"))
    for label, seconds in (("save", save), ("load", load)):
        print("%-36s %10.3f %10.2f  %s" % (label, seconds, size / 1e6,
                                          "met" if seconds < AIM_SECONDS else "over %g s" % AIM_SECONDS))


if __name__ == "__main__":
    main()
