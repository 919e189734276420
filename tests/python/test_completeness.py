"""Every entry of the method table with its calling flags, and every class with its base.

The list lives in completeness.txt beside this file. A failure names what is missing or wrong,
grouped by the class that owns it, so that one run shows what a family still lacks."""
import ctypes
import os
import types

import pytest

import _kal
import kal

METH_VARARGS, METH_KEYWORDS, METH_NOARGS, METH_O = 0x1, 0x2, 0x4, 0x8
SINGLETONS = {"kmath", "kda", "kipFile", "ui", "shelves", "galleries"}


def load():
    """(entries, classes): {class: [(name, flags)]} and [(class, base or None)], in file order."""
    entries, classes, section = {}, [], None
    with open(os.path.join(os.path.dirname(__file__), "completeness.txt")) as lines:
        for line in lines:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            if line.startswith("["):
                section = line[1:-1]
                continue
            first, second = line.split()
            if section == "classes":
                classes.append((first, None if second == "-" else second))
            else:
                entries.setdefault(section, []).append((second, int(first)))
    return entries, classes


class _MethodDef(ctypes.Structure):
    _fields_ = [("ml_name", ctypes.c_char_p), ("ml_meth", ctypes.c_void_p),
                ("ml_flags", ctypes.c_int), ("ml_doc", ctypes.c_char_p)]


def calling_flags(function):
    """The flags of a built-in function's method record: the record pointer follows the object
    header in CPython's function object."""
    assert isinstance(function, types.BuiltinFunctionType)
    record = ctypes.c_void_p.from_address(id(function) + object.__basicsize__).value
    return _MethodDef.from_address(record).ml_flags


def report(problems):
    return "\n".join("%s: %s" % (owner, ", ".join(found)) for owner, found in problems.items())


def test_the_flags_are_read_from_the_method_records():
    # Known conventions: a module function without arguments, one of one argument, the
    # keyword entry and a registration entry.
    assert calling_flags(_kal.root) == METH_NOARGS
    assert calling_flags(_kal.node) == METH_O
    assert calling_flags(_kal.exit) == METH_VARARGS | METH_KEYWORDS
    assert calling_flags(_kal.Node_swigregister) == METH_VARARGS


def test_every_entry_exists_with_its_calling_flags():
    entries, _ = load()
    missing, wrong = {}, {}
    for owner, records in entries.items():
        for name, flags in records:
            function = getattr(_kal, name, None)
            if not isinstance(function, types.BuiltinFunctionType):
                missing.setdefault(owner, []).append(name)
            elif calling_flags(function) != flags:
                wrong.setdefault(owner, []).append("%s has %d, not %d" % (name, calling_flags(function), flags))
    if missing or wrong:
        count = sum(len(found) for found in missing.values())
        pytest.fail("%d entries missing, by class:\n%s\nwrong flags:\n%s"
                    % (count, report(missing), report(wrong)), pytrace=False)


def test_every_class_exists_with_its_base():
    _, classes = load()
    problems = {}
    for name, base in classes:
        cls = getattr(kal, name, None)
        if name in SINGLETONS and cls is not None:  # published as the one instance
            cls = type(cls)
        if not isinstance(cls, type):
            problems.setdefault(name, []).append("missing")
            continue
        expected = getattr(kal, base, None) if base else (Exception if name == "Error" else object)
        if cls.__bases__ != (expected,):
            problems.setdefault(name, []).append("derives from %s, not %s" % (
                [b.__name__ for b in cls.__bases__], base or expected.__name__))
    if problems:
        pytest.fail("classes missing or misplaced:\n" + report(problems), pytrace=False)
