"""Calls every entry of _kal and every method of kal's classes with hostile arguments.

Every call may raise only ordinary Python exceptions: never crash, hang or raise SystemError.
After each round the host holds no more objects than before it, and the scene still answers.

The work is split into rounds. A round resets the host, builds a fresh pool of values (scalars,
containers, live, destroyed and deleted proxies, bare pointer objects, and whatever objects the
module's own getters hand out), injects a few host faults and makes its calls. Every step is a
JSON record naming pool values by label, so a logged round replays exactly in a new process.

    kalfuzz.py batch SEED ROUNDS [--group G] [--log FILE]
                                                run rounds of one family's entries (all when no
                                                group) in this process; exit 3: a violation
    kalfuzz.py replay FILE                      replay a logged or saved case
    kalfuzz.py run --seconds N [--seed S]       fresh batches in subprocesses until time is up;
                                                each failure is minimised and saved as a case
"""
import argparse
import gc
import json
import math
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
REGRESSIONS = os.path.join(HERE, "regressions.json")

VIOLATION = 3
MEMORY_LIMIT = 4 << 30
CALLS_PER_TARGET = 5
BATCH_TIMEOUT = float(os.environ.get("KALFUZZ_BATCH_TIMEOUT", "300"))


# --- values -------------------------------------------------------------------------------------

class LyingSequence:
    """Claims more items than it yields."""

    def __len__(self):
        return 3

    def __getitem__(self, index):
        if index == 0:
            return 1.0
        raise IndexError(index)


class FailingSequence:
    """A sequence whose every question raises."""

    def __len__(self):
        raise RuntimeError("no length")

    def __getitem__(self, index):
        raise RuntimeError("no item")


class Index:
    def __index__(self):
        return 3


class Floaty:
    def __float__(self):
        return 2.5


# Values that run Python code while a wrapper converts them. What they do reaches the other
# values of the call they are an argument of (the runner names them before each call), so they
# work on every family's objects without knowing any class.

class Victims:
    """The self and arguments of the call being made."""
    values = ()


def _free(value):
    # Drops the proxy's pointer object: its object goes unless something else keeps it.
    try:
        del value.this
    except AttributeError:
        pass


def _delete(value):
    import _kal
    delete = getattr(_kal, "delete_" + type(value).__name__, None)
    if delete is not None:
        delete(value)


def _mutate(value):
    # Changes a container (reallocating it) or the scene behind an object.
    for method, args in (("resize", (64,)), ("clear", ()), ("destroy", ())):
        if hasattr(value, method):
            getattr(value, method)(*args)


def _rebind(value):
    # Hands the proxy the pointer object of another value of the call.
    others = [other for other in Victims.values if other is not value and pointer_of(other)]
    if others and hasattr(value, "__dict__"):
        value.this = pointer_of(others[0])


def _reset(value):
    import kalhost
    kalhost.reset()


def _collect(value):
    gc.collect()


ACTIONS = {"free": _free, "delete": _delete, "mutate": _mutate, "rebind": _rebind,
           "reset": _reset, "collect": _collect}


def run_action(name):
    if name is None:
        return
    for value in list(Victims.values):
        if is_proxy(value):
            try:
                ACTIONS[name](value)
            except Exception:
                pass


class HostileSequence:
    """A sequence whose length and items run `action`; it claims `length` items and has three.
    Items are floats, or the first proxy among the call's values."""

    def __init__(self, action, length=3, items="float"):
        self.action, self.length, self.items = action, length, items

    def __len__(self):
        run_action(self.action)
        return self.length

    def __getitem__(self, index):
        run_action(self.action)
        if not 0 <= index < min(self.length, 3):
            raise IndexError(index)
        if self.items == "proxy":
            return next((value for value in Victims.values if is_proxy(value)), None)
        return 1.0


class HostileIndex:
    """An integer (for slices and the like) whose conversion runs `action`."""

    def __init__(self, action):
        self.action = action

    def __index__(self):
        run_action(self.action)
        return 1


class OnDemandSequence:
    """Makes each item when asked, a new proxy that nothing but the caller keeps."""

    def __init__(self, make):
        self.make = make

    def __len__(self):
        return 3

    def __getitem__(self, index):
        if not 0 <= index < 3:
            raise IndexError(index)
        return self.make()


class SlotsThis:
    """No instance dict: "this" is a property that runs `action` and hands out a pointer object
    that only the caller keeps (a fresh proxy's, or one taken from a value of the call)."""
    __slots__ = ("action", "make")

    def __init__(self, action, make):
        self.action, self.make = action, make

    @property
    def this(self):
        run_action(self.action)
        made = self.make()
        pointer = pointer_of(made)
        _free(made)
        return pointer


class SlotsHolder:
    """No instance dict: "this" is a slot holding a pointer object."""
    __slots__ = ("this",)

    def __init__(self, pointer):
        self.this = pointer


class IntSubclass(int):
    pass


class StrSubclass(str):
    pass


class FloatSubclass(float):
    pass


def _nested(depth):
    value = [1.0]
    for _ in range(depth):
        value = [value, value]
    return value


SCALARS = {
    "None": lambda: None, "True": lambda: True, "False": lambda: False,
    "0": lambda: 0, "1": lambda: 1, "-1": lambda: -1, "7": lambda: 7,
    "2**31-1": lambda: 2**31 - 1, "2**31": lambda: 2**31, "-2**31": lambda: -2**31,
    "-2**31-1": lambda: -2**31 - 1, "2**32-1": lambda: 2**32 - 1, "2**32": lambda: 2**32,
    "2**63-1": lambda: 2**63 - 1, "2**63": lambda: 2**63, "-2**63-1": lambda: -2**63 - 1,
    "2**64": lambda: 2**64, "10**100": lambda: 10**100,
    "0.0": lambda: 0.0, "-0.0": lambda: -0.0, "1.5": lambda: 1.5, "-1.0": lambda: -1.0,
    "nan": lambda: math.nan, "inf": lambda: math.inf, "-inf": lambda: -math.inf,
    "3.5e38": lambda: 3.5e38, "-1e39": lambda: -1e39, "5e-324": lambda: 5e-324,
    "1e308": lambda: 1e308,
    "''": lambda: "", "'geo'": lambda: "geo", "'box'": lambda: "box", "'null'": lambda: "null",
    "'subnet'": lambda: "subnet", "'/obj'": lambda: "/obj", "'/obj/geo1'": lambda: "/obj/geo1",
    "'/'": lambda: "/", "'..'": lambda: "..", "'tx'": lambda: "tx", "'*'": lambda: "*",
    "'a\\0b'": lambda: "a\0b", "'\\udc80'": lambda: "\udc80", "'\\ud800x'": lambda: "\ud800x",
    "'é'": lambda: "\u00e9", "'x'*10000": lambda: "x" * 10000, "'this'": lambda: "this",
    "b''": lambda: b"", "b'geo'": lambda: b"geo", "b'\\xff\\0'": lambda: b"\xff\0",
    "bytearray": lambda: bytearray(b"geo"),
    "[]": lambda: [], "()": lambda: (), "[1.0, 2.0]": lambda: [1.0, 2.0],
    "(1.0, 2.0)": lambda: (1.0, 2.0), "(1, 2)": lambda: (1, 2), "[1.0]": lambda: [1.0],
    "(1.0, 2.0, 3.0)": lambda: (1.0, 2.0, 3.0), "['a', 'b']": lambda: ["a", "b"],
    "[None]": lambda: [None], "[None, 1, 'x', 2.5, b'y']": lambda: [None, 1, "x", 2.5, b"y"],
    "((1.0, 2.0), (3.0, 4.0))": lambda: ((1.0, 2.0), (3.0, 4.0)),
    "[[1.0], 'x']": lambda: [[1.0], "x"], "[nan, inf]": lambda: [math.nan, math.inf],
    "[2**40]": lambda: [2**40], "range(3)": lambda: range(3), "nested": lambda: _nested(12),
    "{}": lambda: {}, "{'a': 'b'}": lambda: {"a": "b"}, "{'a': 1}": lambda: {"a": 1},
    "{1: 'b'}": lambda: {1: "b"}, "{'a': None}": lambda: {"a": None},
    "{'a\\0': '\\udc80'}": lambda: {"a\0": "\udc80"},
    "object()": object, "LyingSequence": LyingSequence, "FailingSequence": FailingSequence,
    "claims sys.maxsize": lambda: HostileSequence(None, sys.maxsize),
    "claims 2**40": lambda: HostileSequence(None, 2**40),
    "claims 2**31-1": lambda: HostileSequence(None, 2**31 - 1),
    "Index": Index, "Floaty": Floaty, "IntSubclass(5)": lambda: IntSubclass(5),
    "StrSubclass('geo')": lambda: StrSubclass("geo"),
    "FloatSubclass(1.5)": lambda: FloatSubclass(1.5),
    "iter([1.0])": lambda: iter([1.0]), "len": lambda: len,
}


def _filled(network):
    """The network, holding one node of each type its category has."""
    for type_name in sorted(network.childTypeCategory().nodeTypes()):
        try:
            network.createNode(type_name)
        except Exception:
            pass
    return network


def public_methods(cls):
    return [name for name in sorted(dir(cls))
            if not name.startswith("_") and callable(getattr(cls, name, None))]


def method_label(cls, method):
    owner = next(base for base in cls.__mro__ if method in vars(base))
    return "kal.%s.%s" % (owner.__name__, method)


def module_members(module):
    """Every name of a module with its value: the proxy module makes its classes when they are
    first named, so its dict alone holds only those made so far."""
    return sorted((name, getattr(module, name)) for name in dir(module))


def is_proxy(value):
    return type(value).__module__ == "kal" and hasattr(type(value), "thisown")


def pointer_of(value):
    """The pointer object behind a proxy, as the proxy holds it (an error holds it in its dict)."""
    return getattr(value, "this", None) if hasattr(value, "__dict__") else None


class Pool:
    """The values of one round, by label. Built the same way every time."""

    def __init__(self):
        import _kal
        import kal
        self.kal, self._kal = kal, _kal
        skipped = GIGABYTE_COUNTS if under_address_sanitizer() else ()
        self.values = {label: make() for label, make in SCALARS.items() if label not in skipped}
        self.values["kal.Node"] = kal.Node
        self.values["kal.cvar"] = kal.cvar
        self.makers = {}
        self._build_objects()
        self._add_hostile()

    def _delete(self, proxy):
        getattr(self._kal, "delete_" + type(proxy).__name__)(proxy)
        return proxy

    def _build_objects(self):
        kal, add = self.kal, self.values.__setitem__
        obj = kal.node("/obj")
        add("node:/", kal.node("/"))
        add("node:/obj", obj)
        geo = obj.createNode("geo", "fuzz_geo")
        add("node:geo", geo)
        add("node:box", geo.createNode("box"))
        add("node:subnet", obj.createNode("subnet"))
        for name, parent, kind in (("destroyed:geo", obj, "geo"), ("destroyed:box", geo, "box")):
            node = parent.createNode(kind)
            node.destroy()
            add(name, node)
        add("deleted:geo", self._delete(obj.createNode("geo")))
        add("bare:geo", pointer_of(geo))
        error = kal.OperationFailed("fuzz")
        add("error", error)
        add("bare:error", pointer_of(error))
        add("deleted:error", self._delete(kal.Error("gone")))
        self._build_every_node_type(kal.node("/"))
        # One instance of every class that builds without arguments, and of every class the
        # module's own getters hand out: later families join the pool without new work.
        for name, cls in module_members(kal):
            if issubclass(type(cls), type) and cls.__module__ == "kal" and "thisown" in dir(cls):
                try:
                    add("new:" + name, cls())
                except Exception:
                    pass
        # The namespace objects the proxy module publishes (kal.kmath, kal.shelves ...) are
        # where their families start. The pool gets proxies of its own: the actions rebind and
        # free what they are given, and the module's objects must stay as they are.
        for name, value in module_members(kal):
            if is_proxy(value):
                copy = object.__new__(type(value))
                vars(copy)["this"] = pointer_of(value)
                self._keep(copy)
        self._harvest()

    def _build_every_node_type(self, root):
        """A node of every type in each manager and in each network so made, two deep, the
        later of two siblings wired to the earlier: every node class and the items of a network
        (connections, indirect inputs, boxes) come out of what the scene holds."""
        networks, everything = list(root.children()), []
        for depth in range(2):
            made = []
            for network in networks:
                category = network.childTypeCategory()
                names = sorted(category.nodeTypes()) if category is not None else []
                previous = None
                for name in names:
                    try:
                        node = network.createNode(name)
                    except Exception:
                        continue
                    self._keep(node)
                    made.append(node)
                    if previous is not None:
                        try:
                            node.setInput(0, previous)
                        except Exception:
                            pass
                    previous = node
            networks = made
            everything += made
        # The harvest below may destroy these nodes before it asks for their wires and inputs.
        for node in everything:
            for listing in ("inputConnections", "indirectInputs"):
                try:
                    for item in getattr(node, listing)():
                        self._keep(item)
                except Exception:
                    pass

    def _harvest(self, passes=4):
        # What harvested objects answer is harvested too (a geometry's points, a point's
        # attributes), pass after pass until one finds no class it had not seen.
        for _ in range(passes):
            seen = len(self.values)
            for label, function in self.getters():
                try:
                    result = function()
                except (Exception, SystemExit):
                    continue
                if isinstance(result, dict):  # objects as its values (kal.shelves.tools())
                    function = (lambda function=function: tuple(function().values()))
                    result = tuple(result.values())
                items = result if isinstance(result, tuple) else (result,)
                for index, item in enumerate(items):
                    if is_proxy(item):
                        self._keep(item)
                        self.makers.setdefault(type(item).__name__, (function, index, len(items)))
                        self._harvest_first_item(item)
            if len(self.values) == seen:
                break

    def _harvest_first_item(self, sequence):
        """A lazy sequence's items are objects of their own classes (a face's vertices)."""
        if type(sequence).__name__.endswith("Generator"):
            try:
                item = sequence[0]
            except (Exception, SystemExit):
                return
            for part in (item if isinstance(item, tuple) else (item,)):
                if is_proxy(part):
                    self._keep(part)

    def _keep(self, item, per_class=2):
        """Up to two objects of each class, from different getters (a node's geometry and its
        frozen copy behave differently)."""
        label = "harvest:" + type(item).__name__
        for number in range(1, per_class + 1):
            key = label if number == 1 else "%s:%d" % (label, number)
            if key not in self.values:
                self.values[key] = item
                return

    def _add_hostile(self):
        """Values that run Python code inside a conversion (see HostileSequence): for every
        action, and for every class the getters hand out, sequences of proxies made on demand
        and objects whose "this" is a property."""
        add = self.values.__setitem__
        for action in sorted(ACTIONS):
            add("hostile-len:" + action, HostileSequence(action))
            add("hostile-items:" + action, HostileSequence(action, items="proxy"))
            add("hostile-index:" + action, HostileIndex(action))
            add("hostile-slice:" + action, slice(HostileIndex(action), 2))
        actions = sorted(ACTIONS)
        for number, (name, (function, index, count)) in enumerate(sorted(self.makers.items())):
            def make(function=function, index=index, count=count):
                result = function()
                return result[index] if count > 1 else result
            add("on-demand:" + name, OnDemandSequence(make))
            add("slots-this:" + name, SlotsThis(actions[number % len(actions)], make))
        add("slots:geo", SlotsHolder(pointer_of(self.values["node:geo"])))

    def getters(self):
        """(label, argument-free call): module functions, then methods of fresh nodes (one
        node per method, since some change their node), then methods of what those answered."""
        kal, _kal = self.kal, self._kal
        for name in sorted(dir(_kal)):
            if type(getattr(_kal, name)) is type(len) and name != "exit" and \
                    (name[0].islower() or name[:1] == "_" and name[1:2].islower()):
                yield "_kal." + name, getattr(_kal, name)
        # The singletons the proxy module publishes (kal.ui, kal.kmath ...) lead into their
        # families' objects.
        for name, value in module_members(kal):
            if is_proxy(value) and not isinstance(value, type):
                for method in public_methods(type(value)):
                    yield method_label(type(value), method), getattr(value, method)
        fresh_nodes = [lambda: kal.node("/obj").createNode("geo"),
                       lambda: kal.node("/obj").createNode("geo").createNode("box"),
                       # A subnet made into a digital asset: its type has a definition.
                       lambda: kal.node("/obj").createNode("subnet").createDigitalAsset()]
        # A fresh network of every object type that holds nodes of another category, with one
        # node of each type it can hold: the classes of those nodes and what they answer (a
        # simulation network's simulation and its data) join the pool without code of their own.
        obj = kal.node("/obj")
        for type_name in sorted(obj.childTypeCategory().nodeTypes()):
            inner = obj.createNode(type_name)
            category = inner.childTypeCategory()
            if category and category.name() != obj.childTypeCategory().name():
                fresh_nodes.append(lambda type_name=type_name: _filled(obj.createNode(type_name)))
            inner.destroy()
        for make in fresh_nodes:
            cls = type(make())
            for method in public_methods(cls):
                yield method_label(cls, method), (lambda method=method: getattr(make(), method)())
        harvested = [value for label, value in sorted(self.values.items())
                     if label.startswith("harvest:")]
        for item in harvested:
            for method in public_methods(type(item)):
                yield method_label(type(item), method), getattr(item, method)

    def leaking_getters(self):
        """The getters whose results, once dropped, leave host objects alive."""
        import kalhost
        leaks = {}
        gc.collect()
        for label, function in list(self.getters()):
            before = kalhost.liveHandles()
            try:
                function()
            except (Exception, SystemExit):
                pass
            # Most results go with their last reference; collect only when something stayed.
            if kalhost.liveHandles() > before:
                gc.collect()
                if kalhost.liveHandles() > before:
                    leaks[label] = kalhost.liveHandles() - before
        return leaks

    def labels(self):
        return sorted(self.values)

    def instances_of(self, cls):
        return sorted(label for label, value in self.values.items()
                      if issubclass(type(value), cls) and is_proxy(value))

    def close(self):
        self.values.clear()
        self.makers.clear()


# --- what gets called ---------------------------------------------------------------------------

def inherited(cls, method):
    """Whether a class's method is its base's (a class keeps its own descriptor of each method it
    inherits, which calls the same entry)."""
    own = getattr(cls, method)
    return any(method in vars(base) and getattr(base, method) is own for base in cls.__mro__[1:])


def targets():
    """Every _kal entry and every method of every kal class, by label."""
    import _kal
    import kal
    found = ["_kal." + name for name in sorted(dir(_kal))
             if type(getattr(_kal, name)) is type(len)]
    for class_name, cls in module_members(kal):
        if not (issubclass(type(cls), type) and cls.__module__ == "kal"):
            continue
        for method, value in sorted(vars(cls).items()):
            if callable(value) and method not in ("__dict__", "__weakref__", "__new__") and \
                    not inherited(cls, method):
                found.append("kal.%s.%s" % (class_name, method))
    return found


RUNTIME_ENTRY = re.compile(r"_(swigregister|swiginit)$|^SWIG_")


def group_of(target, class_names):
    """The class a target belongs to; "module" for module functions, "runtime" for the entries
    the wrapper runtime adds to every class (registration and instance set-up)."""
    module, _, name = target.partition(".")
    if module == "kal":
        return name.split(".")[0]
    if RUNTIME_ENTRY.search(name):
        return "runtime"
    for prefix in ("new_", "delete_"):
        if name.startswith(prefix) and name[len(prefix):] in class_names:
            return name[len(prefix):]
    owners = [cls for cls in class_names if name.startswith(cls + "_")]
    return max(owners, key=len) if owners else "module"


_PROXY_CLASSES = {}


def proxy_classes():
    """Every class the proxy module defined, by name; also those whose module attribute now
    holds a published singleton (kal.kmath, kal.ui ...) instead of the class."""
    if not _PROXY_CLASSES:
        import kal
        module_members(kal)
        _PROXY_CLASSES.update((cls.__name__, cls) for cls in gc.get_objects()
                              if issubclass(type(cls), type) and cls.__module__ == "kal")
    return _PROXY_CLASSES


def class_names():
    import kal
    return {name for name, cls in module_members(kal)
            if issubclass(type(cls), type) and cls.__module__ == "kal"}


def groups():
    """Targets by group, so that a fault shows up under the family that has it."""
    names = class_names()
    found = {}
    for target in targets():
        found.setdefault(group_of(target, names), []).append(target)
    return found


def resolve(target):
    import _kal
    import kal
    module, _, rest = target.partition(".")
    if module == "_kal":
        return getattr(_kal, rest), None
    class_name, method = rest.split(".")
    cls = getattr(kal, class_name)
    return vars(cls)[method], cls


def keyword_names():
    """Parameter names as the model headers declare them, and self."""
    names = {"self"}
    stop = {"const", "int", "bool", "float", "double", "char", "void", "long", "unsigned",
            "size_t", "true", "false", "nullptr", "override", "std", "string", "other"}
    model = os.path.join(REPO, "model")
    for header in sorted(os.listdir(model)):
        with open(os.path.join(model, header)) as text:
            declared = re.findall(r"\b([a-z][a-z0-9_]*)\s*(?:=[^,;()]*(?:\(\))?)?\s*[,)]", text.read())
            for name in declared:
                if name not in stop:
                    names.add(name)
    return sorted(names)


ERRORS = ["Error", "ObjectWasDeleted", "OperationFailed", "InvalidInput", "InvalidSize",
          "TypeError", "NotAvailable", "PermissionError", "SystemExit", "out_of_range",
          "invalid_argument"]


# Labels of the values that run Python code inside conversions: drawn more often than their
# share of the pool, since the faults they find need them in the right place.
HOSTILE = ("hostile-", "on-demand:", "slots", "claims ")


class Generator:
    def __init__(self, seed, group=None):
        self.rng = random.Random(seed)
        self.group = group
        self.targets = groups()[group] if group else targets()
        self.keywords = keyword_names()

    def round(self, pool, host_operations):
        rng = self.rng
        steps = [{"pool": self.group}]
        for operation in rng.sample(host_operations, min(4, len(host_operations))):
            error = rng.choice(ERRORS)
            steps.append({"fault": [operation, error, "7" if error == "SystemExit" else "fuzz",
                                    rng.randint(1, 3)]})
        labels = pool.labels()
        proxies = [label for label in labels if is_proxy(pool.values[label])]
        hostile = [label for label in labels if label.startswith(HOSTILE)]
        calls = []
        for target in self.targets:
            for _ in range(CALLS_PER_TARGET):
                calls.append(self.call(target, pool, labels, proxies, hostile))
        rng.shuffle(calls)
        steps.extend({"call": call} for call in calls)
        steps.append({"check": True})
        return steps

    def call(self, target, pool, labels, proxies, hostile):
        rng = self.rng
        function, cls = resolve(target)
        receiver = None
        if cls is not None:
            own = pool.instances_of(cls)
            if own and rng.random() < 0.8:
                receiver = rng.choice(own)

        def value():
            draw = rng.random()
            return rng.choice(proxies if draw < 0.3 else hostile if draw < 0.5 else labels)

        count = rng.choice((0, 1, 1, 2, 2, 2, 3, 3, 4, 5, 6))
        call = {"target": target, "self": receiver, "args": [value() for _ in range(count)]}
        if rng.random() < 0.25:
            call["kwargs"] = {rng.choice(self.keywords): value() for _ in range(rng.randint(1, 3))}
        return call


# --- running ------------------------------------------------------------------------------------

class Violation(Exception):
    pass


def describe(call):
    parts = ([call["self"]] if call.get("self") else []) + list(call["args"])
    parts += ["%s=%s" % item for item in sorted(call.get("kwargs", {}).items())]
    return "%s(%s)" % (call["target"], ", ".join(parts))


class Runner:
    def __init__(self, log=None):
        import kalhost
        self.kalhost = kalhost
        self.log = log
        self.pool = None
        self.baseline = None
        self.group = None
        self.getter_leaks = None

    def record(self, step):
        if self.log is not None:
            os.write(self.log, (json.dumps(step) + "\n").encode())

    def start_round(self, group=None):
        kalhost = self.kalhost
        self.group = group
        kalhost.reset()
        gc.collect()
        self.baseline = kalhost.liveHandles()
        kalhost.journal(True)
        self.pool = Pool()

    def pool_leak(self):
        """Host objects that building the pool leaves behind, measured once. A getter that leaks
        is a fault of its own family; the other families' rounds allow for its leak."""
        if self.getter_leaks is None:
            kalhost = self.kalhost
            kalhost.reset()
            gc.collect()
            before = kalhost.liveHandles()
            pool = Pool()
            pool.close()
            del pool
            gc.collect()
            leaked = kalhost.liveHandles() - before
            self.getter_leaks = {}
            if leaked:
                kalhost.reset()
                pool = Pool()
                self.getter_leaks = pool.leaking_getters()
                pool.close()
                del pool
                self.getter_leaks["pool"] = leaked
            kalhost.reset()
        return self.getter_leaks

    def host_operations(self):
        """The host operations the pool's construction reached: targets for faults."""
        return sorted({operation for operation, _ in self.kalhost.calls()})

    def step(self, step):
        self.record(step)
        if "pool" in step:
            self.start_round(step["pool"])
        elif "fault" in step:
            self.kalhost.fail(*step["fault"])
        elif "call" in step:
            self.call(step["call"])
        elif "check" in step:
            self.check()

    def call(self, call):
        function, cls = resolve(call["target"])
        values = self.pool.values
        args = [values[label] for label in call["args"]]
        if call.get("self"):
            args.insert(0, values[call["self"]])
        kwargs = {name: values[label] for name, label in call.get("kwargs", {}).items()}
        Victims.values = tuple(args) + tuple(kwargs.values())
        try:
            function(*args, **kwargs)
        except SystemError as error:
            raise Violation("SystemError from %s: %s" % (describe(call), error))
        except (Exception, SystemExit):
            pass
        finally:
            Victims.values = ()
            if call["target"].endswith("_swigregister"):
                self.restore_registration(call["target"])
            del args, kwargs

    @staticmethod
    def restore_registration(target):
        # Registering a class is the entry's purpose; put the proper class back afterwards.
        import _kal
        class_name = target[len("_kal."):-len("_swigregister")]
        getattr(_kal, class_name + "_swigregister")(proxy_classes()[class_name])

    def check(self):
        kalhost = self.kalhost
        kalhost.journal(False)
        kalhost.clearFaults()
        self.pool.close()
        self.pool = None
        gc.collect()
        left = kalhost.liveHandles() - self.baseline
        if left:
            leaks = self.pool_leak()
            own = {label: count for label, count in leaks.items() if label != "pool" and
                   (not self.group or group_of(label, class_names()) == self.group)}
            if own:
                raise Violation("argument-free calls leave host objects alive: %s" % ", ".join(
                    "%s (%d)" % item for item in sorted(own.items())))
            if left != leaks.get("pool", 0):
                raise Violation("the round left %d host objects alive" % left)
        kalhost.reset()
        gc.collect()
        settled = kalhost.liveHandles()
        import kal
        obj = kal.node("/obj")
        if obj is None or obj.path() != "/obj" or kal.node("/obj/fuzz_geo") is not None:
            raise Violation("the scene does not answer after reset")
        del obj
        gc.collect()
        if kalhost.liveHandles() != settled:
            raise Violation("the scene check left host objects alive")


def run_batch(seed, rounds, group=None, log=None):
    """Runs `rounds` generated rounds of one group's targets (all when None); raises Violation
    at the first broken invariant."""
    generator = Generator(seed, group)
    runner = Runner(log)
    for _ in range(rounds):
        runner.start_round()
        steps = generator.round(runner.pool, runner.host_operations())
        runner.pool.close()
        for step in steps:
            runner.step(step)


def replay(steps):
    runner = Runner()
    for step in steps:
        runner.step(step)
    if runner.pool is not None:
        runner.check()


# --- subprocesses, minimising, saving -----------------------------------------------------------

def _child(arguments, timeout):
    """Runs this file in a fresh interpreter: (None, "") on success, else (outcome, detail).
    It works in a new temporary folder, which is also its HOME and TMPDIR, so that the families
    that write files (scene files, asset libraries, shelves, generated code) write nowhere else,
    even when the child does not live to clean up."""
    folder = tempfile.mkdtemp(prefix="kalfuzz-")
    # Freed memory is overwritten, so that a use after free fails here as well, not only under
    # AddressSanitizer.
    environment = dict(os.environ, HOME=folder, TMPDIR=folder, MALLOC_PERTURB_="165")
    # Paths the child is given relative to this folder would not be found from its own.
    environment["PYTHONPATH"] = os.pathsep.join(
        os.path.abspath(path) for path in os.environ.get("PYTHONPATH", "").split(os.pathsep) if path)
    try:
        done = subprocess.run([sys.executable, os.path.abspath(__file__)] + arguments,
                              capture_output=True, text=True, timeout=timeout, cwd=folder,
                              env=environment)
    except subprocess.TimeoutExpired:
        return "hang", "no answer within %d s" % timeout
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    if done.returncode == 0:
        return None, ""
    if done.returncode < 0:
        return "crash", "signal %d\n%s" % (-done.returncode, done.stderr[-2000:])
    if done.returncode == VIOLATION:
        return "violation", done.stderr.strip().splitlines()[-1]
    # A sanitizer's report starts at its ERROR line; the stack that follows names the fault.
    report = done.stderr.find("ERROR:")
    return "error", done.stderr[report:report + 3000] if report >= 0 else done.stderr[-2000:]


def run_steps_in_child(steps, timeout):
    path = os.path.join(os.environ.get("TMPDIR", "/tmp"), "kalfuzz-%d.json" % os.getpid())
    with open(path, "w") as out:
        json.dump(steps, out)
    try:
        return _child(["replay", path], timeout)
    finally:
        os.unlink(path)


def read_log(path):
    with open(path) as log:
        return [json.loads(line) for line in log if line.strip()]


def last_round(steps):
    start = max(i for i, step in enumerate(steps) if "pool" in step)
    return steps[start:]


def minimise(steps, outcome, timeout, budget=40):
    """Drops calls while the same outcome still happens (a few subprocess runs at most)."""
    head = [s for s in steps if "call" not in s and "check" not in s]
    calls = [s for s in steps if "call" in s]

    def fails(candidate):
        nonlocal budget
        budget -= 1
        return run_steps_in_child(head + candidate, timeout)[0] == outcome

    if outcome != "violation" and calls and fails(calls[-1:]):
        return head + calls[-1:]
    chunks = 2
    while len(calls) > 1 and budget > 0:
        size = max(1, len(calls) // chunks)
        for start in range(0, len(calls), size):
            rest = calls[:start] + calls[start + size:]
            if budget > 0 and rest and fails(rest):
                calls, chunks = rest, max(chunks - 1, 2)
                break
        else:
            if size == 1:
                break
            chunks = min(len(calls), chunks * 2)
    return head + calls


def operation_of(target):
    """The operation a target names, without its class: the containers share their code."""
    module, _, name = target.partition(".")
    if module == "kal":
        return name.split(".")[-1]
    if name.startswith(("new_", "delete_")):
        return name.split("_", 1)[0]
    if name[:1] == "_" and name[1:2].isupper():
        name = name[1:]
    return name.split("_", 1)[-1]


def case_key(case):
    """Cases that end in the same operation with the same outcome are taken as one fault."""
    last = [step["call"]["target"] for step in case["steps"] if "call" in step][-1:]
    return case["found"], tuple(operation_of(target) for target in last)


def load_cases():
    if not os.path.exists(REGRESSIONS):
        return []
    with open(REGRESSIONS) as known:
        return json.load(known)


def save_case(steps, outcome, detail):
    """Adds the case unless a case of the same fault is known. Returns whether it was new."""
    case = {"found": outcome, "detail": detail,
            "calls": [describe(step["call"]) for step in steps if "call" in step], "steps": steps}
    cases = load_cases()
    if any(case_key(known) == case_key(case) for known in cases):
        return False
    cases.append(case)
    with open(REGRESSIONS, "w") as out:
        json.dump(cases, out, indent=1)
        out.write("\n")
    return True


def run_for(seconds, seed, rounds_per_batch=3):
    """Batches of one group each, with fresh seeds, in subprocesses until `seconds` have passed.
    Returns the number of failed batches."""
    deadline = time.monotonic() + seconds
    rng = random.Random(seed)
    names = sorted(groups())
    failures = 0
    batches = 0
    log_path = os.path.join(os.environ.get("TMPDIR", "/tmp"), "kalfuzz-log-%d.jsonl" % os.getpid())
    while time.monotonic() < deadline:
        rng.shuffle(names)
        for group in names:
            if time.monotonic() >= deadline:
                break
            batch_seed = rng.getrandbits(32)
            outcome, detail = _child(["batch", str(batch_seed), str(rounds_per_batch), "--group",
                                      group, "--log", log_path], BATCH_TIMEOUT)
            batches += 1
            if not outcome:
                continue
            failures += 1
            steps = minimise(last_round(read_log(log_path)), outcome, min(BATCH_TIMEOUT, 30))
            known = not save_case(steps, outcome, detail)
            print("%s (seed %d): %s %s\n  %s" % (group, batch_seed, outcome, detail,
                                                 "known" if known else "saved to " + REGRESSIONS),
                  flush=True)
    if os.path.exists(log_path):
        os.unlink(log_path)
    print("kalfuzz: %d batches, %d failed" % (batches, failures), flush=True)
    return failures


def under_address_sanitizer():
    with open("/proc/self/maps") as maps:
        return "libasan" in maps.read()


# Counts that ask a container for gigabytes. Legal, and under the memory limit they fail as
# bad_alloc; but AddressSanitizer reports a failed allocation and ends the process instead of
# throwing, so its runs leave them out (the plain runs keep them).
GIGABYTE_COUNTS = ("2**31-1", "2**31", "2**32-1")


def limit_memory():
    """Asking for a vector of 2**32-1 elements is legal; with this limit it fails as bad_alloc
    instead of taking the machine's memory. AddressSanitizer reserves its shadow memory as
    address space, so under it the limit stays off."""
    import resource
    if under_address_sanitizer():
        return
    hard = resource.getrlimit(resource.RLIMIT_AS)[1]
    soft = min(MEMORY_LIMIT, hard) if hard > 0 else MEMORY_LIMIT
    resource.setrlimit(resource.RLIMIT_AS, (soft, hard))


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    batch = commands.add_parser("batch")
    batch.add_argument("seed", type=int)
    batch.add_argument("rounds", type=int)
    batch.add_argument("--group")
    batch.add_argument("--log")
    replay_case = commands.add_parser("replay")
    replay_case.add_argument("file")
    run = commands.add_parser("run")
    run.add_argument("--seconds", type=float, required=True)
    run.add_argument("--seed", type=int, default=None)
    options = parser.parse_args()

    if options.command == "run":
        seed = options.seed if options.seed is not None else int.from_bytes(os.urandom(4), "little")
        print("kalfuzz: %g s from seed %d" % (options.seconds, seed), flush=True)
        sys.exit(1 if run_for(options.seconds, seed) else 0)
    limit_memory()
    # Scene files, backups and libraries the calls name may be absolute paths anywhere: the
    # host writes only inside this batch's own folder.
    import kalhost
    kalhost.writableFolder(os.getcwd())
    try:
        if options.command == "batch":
            log = None
            if options.log:
                log = os.open(options.log, os.O_WRONLY | os.O_CREAT | os.O_TRUNC)
            run_batch(options.seed, options.rounds, options.group, log)
        else:
            with open(options.file) as case:
                replay(json.load(case))
    except Violation as violation:
        print("violation: %s" % violation, file=sys.stderr)
        sys.exit(VIOLATION)


if __name__ == "__main__":
    main()
