"""How the reference host's node operations scale: per-call cost in networks of 10^2 to 10^5
nodes, and the time a script takes to build each network. `make bench-scale` runs it.

Each network is a subnet of /obj holding N object-level nulls with automatic names, wired in
chains of ten (each node fed by the one before it), as a script would build it. All networks
live in one scene. A row times batches of calls on one network and undoes each batch untimed,
so the network keeps its size; the sizes are measured in turns, so that a busy moment of the
machine does not fall on one of them only, and each figure is the best round, in ns per call.
Everything is timed by the thread's CPU time, less what reading that clock costs, so that other
processes do not count; what they do to the caches and the shared cores still does.
"""
import argparse
import gc
import time

import kal
import kalhost

SIZES = (100, 1000, 10000, 100000)
BATCH = 10      # calls per timed batch, undone before the next one
BATCHES = 30    # batches per round
ROUNDS = 3      # rounds per turn
TURNS = 3       # turns over the sizes
CHAIN = 10      # nodes per wired chain
AIM_RATIO = 2.0
AIM_BUILD_SECONDS = 5.0
clock = time.thread_time


def clock_cost():
    """What one timed interval adds by reading the clock at both ends."""
    costs = []
    for _ in range(2000):
        started = clock()
        costs.append(clock() - started)
    return min(costs)


CLOCK_COST = clock_cost()


def best(batch, undo=None, batches=BATCHES):
    """Best round's ns per call: each round runs `batches` timed batches of BATCH calls."""
    rounds = []
    for _ in range(ROUNDS):
        spent = 0.0
        for number in range(batches):
            started = clock()
            state = batch(number)
            spent += clock() - started - CLOCK_COST
            if undo:
                undo(state)
        rounds.append(spent / (batches * BATCH) * 1e9)
    return min(rounds)


def destroy_all(created):
    for node in created:
        node.destroy()


class Network:
    """One network of `size` nodes and the rows measured on it."""

    def __init__(self, size):
        started = clock()
        self.network = network = kal.node("/obj").createNode("subnet", "net%d" % size)
        self.nodes = nodes = []
        for index in range(size):
            node = network.createNode("null")
            if index % CHAIN:
                node.setInput(0, nodes[-1])
            nodes.append(node)
        self.build_seconds = clock() - started
        self.size = size
        self.paths = [node.path() for node in nodes]
        self.names = {id(node): path.rsplit("/", 1)[1] for node, path in zip(nodes, self.paths)}
        self.feeders = {id(node): (nodes[index - 1] if index % CHAIN else None)
                        for index, node in enumerate(nodes)}

    def picks(self, number):
        """BATCH nodes spread over the network, different for each batch."""
        step = max(1, self.size // (BATCH * BATCHES))
        start = (number * BATCH * step) % self.size
        return [self.nodes[(start + i * step) % self.size] for i in range(BATCH)]

    def create_automatic(self):
        network = self.network
        return best(lambda _: [network.createNode("null") for _ in range(BATCH)], destroy_all)

    def create_given(self):
        network = self.network
        return best(lambda number: [network.createNode("null", "given%d_%d" % (number, i))
                                    for i in range(BATCH)], destroy_all)

    def look_up(self):
        lookup, paths, size = kal.node, self.paths, self.size

        def batch(number):
            start = (number * BATCH * 37) % size
            for i in range(BATCH):
                lookup(paths[(start + i * 37) % size])
        return best(batch)

    def rename(self):
        def batch(number):
            chosen = self.picks(number)
            for i, node in enumerate(chosen):
                node.setName("renamed%d" % i)
            return chosen

        def restore(chosen):
            for node in chosen:
                node.setName(self.names[id(node)])
        return best(batch, restore)

    def destroy(self):
        network = self.network
        spares = []

        def refill(_=None):
            spares.append([network.createNode("null", "spare%d" % i) for i in range(BATCH)])

        refill()
        cost = best(lambda _: destroy_all(spares.pop()), refill)
        destroy_all(spares.pop())
        return cost

    def children_per_item(self):
        runs = max(1, 5000 // self.size)

        def batch(_):
            for _ in range(runs):
                self.network.children()
        return best(batch, batches=3) * BATCH / (runs * self.size)

    def wire(self):
        # The first picked node feeds the others, then the chains are restored.
        def batch(number):
            chosen = self.picks(number)
            for node in chosen[1:]:
                node.setInput(0, chosen[0])
            return chosen

        def unwire(chosen):
            for node in chosen[1:]:
                node.setInput(0, self.feeders[id(node)])
        return best(batch, unwire)

    def copy_ten(self):
        calls = BATCH // 5
        return best(lambda number: [kal.copyNodesTo(self.picks(number), self.network)
                                    for _ in range(calls)],
                    lambda copies: [destroy_all(group) for group in copies]) * BATCH / calls

    def layout_per_node(self):
        runs = max(1, 20000 // self.size)

        def batch(_):
            for _ in range(runs):
                self.network.layoutChildren()
        return best(batch, batches=3) * BATCH / (runs * self.size)

    def good_position(self):
        # Runs after the layout row, so the nodes stand in rows and columns; each picked node
        # goes below its input or right of the network, then back.
        places = {id(node): tuple(node.position()) for number in range(BATCHES)
                  for node in self.picks(number)}

        def batch(number):
            chosen = self.picks(number)
            for node in chosen:
                node.moveToGoodPosition()
            return chosen

        def restore(chosen):
            for node in chosen:
                node.setPosition(places[id(node)])
        return best(batch, restore)

    def complete_name(self):
        # Names past the first tenth of the network are no other name's start: one match each.
        network, size, first = self.network, self.size, self.size // 10

        def batch(number):
            start = first + (number * BATCH * 37) % (size - first)
            for i in range(BATCH):
                index = first + (start - first + i * 37) % (size - first)
                network._getArgumentAutoComplete("node", self.paths[index].rsplit("/", 1)[1])
        return best(batch)


ROWS = [
    ("createNode, automatic name", Network.create_automatic),
    ("createNode, given name", Network.create_given),
    ("kal.node(path)", Network.look_up),
    ("setName", Network.rename),
    ("destroy", Network.destroy),
    ("children(), per item", Network.children_per_item),
    ("setInput", Network.wire),
    ("copyNodesTo, ten nodes", Network.copy_ten),
    ("layoutChildren, per node", Network.layout_per_node),
    ("moveToGoodPosition", Network.good_position),
    ("completing a child's name", Network.complete_name),
]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sizes", type=int, nargs="*", default=list(SIZES))
    parser.add_argument("--rows", nargs="*", metavar="START",
                        help="only the rows whose labels start with one of these")
    arguments = parser.parse_args()
    sizes = arguments.sizes
    rows = [(label, measure) for label, measure in ROWS
            if not arguments.rows or any(label.startswith(start) for start in arguments.rows)]
    kalhost.reset()
    gc.collect()
    gc.disable()
    try:
        networks = [Network(size) for size in sizes]
        table = {label: [min(measure(network) for _ in range(TURNS)) for network in networks]
                 for label, measure in rows}
        builds = [network.build_seconds for network in networks]
    finally:
        gc.enable()
        networks = None
        kalhost.reset()
    header = "%-28s" % "ns per call" + "".join("%12s" % ("%d nodes" % size) for size in sizes)
    header += "%11s  %s" % ("%d/%d" % (sizes[-1], sizes[0]) if len(sizes) > 1 else "", "aim")
    print(header)
    print("-" * len(header))
    for label, costs in table.items():
        ratio = costs[-1] / costs[0]
        print("%-28s" % label + "".join("%12.1f" % cost for cost in costs) +
              "%11.2f  %s" % (ratio, "met" if ratio <= AIM_RATIO else "over %.0fx" % AIM_RATIO))
    missed = sizes[-1] >= 100000 and builds[-1] >= AIM_BUILD_SECONDS
    print("%-28s" % "build from a script, CPU s" + "".join("%12.3f" % cost for cost in builds) +
          "%11s  %s" % ("", "over %.0f s" % AIM_BUILD_SECONDS if missed else "met"))


if __name__ == "__main__":
    main()
