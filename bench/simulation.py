"""Reading a simulation's data object by object: the cost per object of walking `objects()`, of
reading a field of each object's record and a parameter of its node, and of finding each object
by name, in networks of 10 and 400 rigid bodies. `make bench` runs it. Aim: the same cost per
object at both sizes.

Each figure is the best of a few rounds, by the thread's CPU time, in us per object. The frame
stays at 1 and nothing is edited, so no round steps the simulation or reads the bodies again.
"""
import time

import kal
import kalhost

SIZES = (10, 400)
ROUNDS = 5
AIM_RATIO = 2.0


def network_of(count):
    network = kal.node("/obj").createNode("dopnet", "sim%d" % count)
    for index in range(count):
        body = network.createNode("rigidobject")
        body.parmTuple("t").set((float(index), 5.0, 0.0))
    return network.simulation()


def walk(simulation):
    for _ in simulation.objects():
        pass


def read_field(simulation):
    for item in simulation.objects():
        item.record("Position").field("t")


def find_each(simulation):
    for item in simulation.objects():
        simulation.findObject(item.name())


def read_creator(simulation):
    for item in simulation.objects():
        item.creator().parm("mass").eval()


ROWS = (("objects(), per object", walk),
        ("record(\"Position\").field(\"t\"), per object", read_field),
        ("creator().parm(\"mass\").eval(), per object", read_creator),
        ("findObject(name), per object", find_each))


def per_object(simulation, count, row):
    times = []
    for _ in range(ROUNDS):
        started = time.thread_time()
        row(simulation)
        times.append(time.thread_time() - started)
    return min(times) / count * 1e6


def main():
    kalhost.reset()
    kalhost.journal(False)
    kal.setFrame(1)
    simulations = [network_of(count) for count in SIZES]
    print("%-44s" % "simulation data, us per object" + "".join("%12s" % ("%d bodies" % n) for n in SIZES)
          + "%10s  aim" % ("%d/%d" % (SIZES[-1], SIZES[0])))
    for label, row in ROWS:
        costs = [per_object(simulation, count, row) for simulation, count in zip(simulations, SIZES)]
        ratio = costs[-1] / costs[0]
        print("%-44s" % label + "".join("%12.2f" % cost for cost in costs) + "%10.2f  %s" % (
            ratio, "met" if ratio < AIM_RATIO else "over %g" % AIM_RATIO))
    del simulations
    kalhost.reset()


if __name__ == "__main__":
    main()
