"""How the reference host's node operations scale: per-call cost in networks of 10^2 to 10^5
nodes, and the time a script takes to build each network. `make bench-scale` runs it.

Each network is a subnet of /obj holding N object-level nulls with automatic names, wired in
chains of ten (each node fed by the one before it), as a script would build it. A row times
batches of calls on that network and undoes each batch untimed, so the network keeps its size;
the figure is the best of several rounds, in ns per call. Short batches are timed by the wall
clock (a round hit by another process is outrun by the best one); calls that take milliseconds,
and the build, by the thread's CPU time, since on a busy machine no such call runs unpreempted.
"""
import argparse
import gc
import time

import kal
import kalhost

SIZES = (100, 1000, 10000, 100000)
BATCH = 10      # calls per timed batch, undone before the next one
BATCHES = 30    # batches per round
ROUNDS = 5
CHAIN = 10      # nodes per wired chain
AIM_RATIO = 2.0
AIM_BUILD_SECONDS = 5.0


def build(size):
    """The network of `size` nodes and the seconds the script took to build it."""
    started = time.thread_time()
    network = kal.node("/obj").createNode("subnet", "net")
    nodes = []
    for index in range(size):
        node = network.createNode("null")
        if index % CHAIN:
            node.setInput(0, nodes[-1])
        nodes.append(node)
    return network, nodes, time.thread_time() - started


def best(batch, undo=None, batches=BATCHES, clock=time.perf_counter):
    """Best round's ns per call: each round runs `batches` timed batches of BATCH calls."""
    rounds = []
    for _ in range(ROUNDS):
        spent = 0.0
        for number in range(batches):
            started = clock()
            state = batch(number)
            spent += clock() - started
            if undo:
                undo(state)
        rounds.append(spent / (batches * BATCH) * 1e9)
    return min(rounds)


def picks(nodes, number):
    """BATCH nodes spread over the network, different for each batch."""
    step = max(1, len(nodes) // (BATCH * BATCHES))
    start = (number * BATCH * step) % len(nodes)
    return [nodes[(start + i * step) % len(nodes)] for i in range(BATCH)]


def destroy_all(created):
    for node in created:
        node.destroy()


def rows(network, nodes):
    """(label, ns per call) for each measured operation on this network."""
    size = len(nodes)
    paths = [node.path() for node in nodes]
    results = []

    def automatic(_):
        return [network.createNode("null") for _ in range(BATCH)]
    results.append(("createNode, automatic name", best(automatic, destroy_all)))

    def given(number):
        return [network.createNode("null", "given%d_%d" % (number, i)) for i in range(BATCH)]
    results.append(("createNode, given name", best(given, destroy_all)))

    lookup = kal.node

    def look_up(number):
        start = (number * BATCH * 37) % size
        for i in range(BATCH):
            lookup(paths[(start + i * 37) % size])
    results.append(("kal.node(path)", best(look_up)))

    def rename(number):
        chosen = picks(nodes, number)
        for i, node in enumerate(chosen):
            node.setName("renamed%d" % i)
        return chosen

    # Renaming back by index lookup would cost O(n) in Python; keep the names by identity.
    names = {id(node): path.rsplit("/", 1)[1] for node, path in zip(nodes, paths)}

    def restore(chosen):
        for node in chosen:
            node.setName(names[id(node)])
    results.append(("setName", best(rename, restore)))

    def make_spares(_):
        return [network.createNode("null", "spare%d" % i) for i in range(BATCH)]

    spares = []

    def destroy(_):
        for node in spares.pop():
            node.destroy()

    def refill(_):
        spares.append(make_spares(0))
    refill(None)
    results.append(("destroy", best(destroy, refill)))
    destroy_all(spares.pop())

    children_runs = max(1, 5000 // size)

    def children(_):
        for _ in range(children_runs):
            network.children()
    per_item = best(children, batches=3, clock=time.thread_time) * BATCH / (children_runs * size)
    results.append(("children(), per item", per_item))

    def wire(number):
        chosen = picks(nodes, number)
        for node in chosen[1:]:
            node.setInput(0, chosen[0])
        return chosen

    feeders = {id(node): (nodes[index - 1] if index % CHAIN else None)
               for index, node in enumerate(nodes)}

    def unwire(chosen):
        for node in chosen[1:]:
            node.setInput(0, feeders[id(node)])
    # The first picked node feeds the others, then the chains are restored.
    results.append(("setInput", best(wire, unwire)))

    def copy(number):
        chosen = picks(nodes, number)
        return [kal.copyNodesTo(chosen, network) for _ in range(BATCH // 5)]

    def drop_copies(copies):
        for group in copies:
            destroy_all(group)
    # One call copies ten nodes; the figure is per call.
    results.append(("copyNodesTo, ten nodes", best(copy, drop_copies) * BATCH / (BATCH // 5)))

    layout_runs = max(1, 20000 // size)

    def layout(_):
        for _ in range(layout_runs):
            network.layoutChildren()
    per_node = best(layout, batches=3, clock=time.thread_time) * BATCH / (layout_runs * size)
    results.append(("layoutChildren, per node", per_node))
    return results


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sizes", type=int, nargs="*", default=list(SIZES))
    sizes = parser.parse_args().sizes
    table = {}
    builds = {}
    for size in sizes:
        kalhost.reset()
        gc.collect()
        gc.disable()
        try:
            network, nodes, seconds = build(size)
            builds[size] = seconds
            for label, cost in rows(network, nodes):
                table.setdefault(label, {})[size] = cost
        finally:
            gc.enable()
            del network, nodes
            kalhost.reset()
    first, last = sizes[0], sizes[-1]
    header = "%-28s" % "ns per call" + "".join("%11s" % ("%d nodes" % size) for size in sizes)
    header += "%10s  %s" % ("%d/%d" % (last, first) if len(sizes) > 1 else "", "aim")
    print(header)
    print("-" * len(header))
    for label, costs in table.items():
        ratio = costs[last] / costs[first]
        print("%-28s" % label + "".join("%11.1f" % costs[size] for size in sizes) +
              "%10.2f  %s" % (ratio, "met" if ratio <= AIM_RATIO else "over %.0fx" % AIM_RATIO))
    print("%-28s" % "build from a script, CPU s" + "".join("%11.3f" % builds[size] for size in sizes) +
          "%10s  %s" % ("", "met" if builds[last] < AIM_BUILD_SECONDS or last < 100000
                        else "over %.0f s" % AIM_BUILD_SECONDS))


if __name__ == "__main__":
    main()
