"""kal.pyi against the module itself: every stubbed call names the entry it stands for, and
takes keywords exactly where the entry does, with the entry's own keyword names."""

import ast
from pathlib import Path

import pytest

import _kal
import kal

STUB = ast.parse((Path(kal.__file__).parent / "kal.pyi").read_text(encoding="utf-8"))


def stubbed_calls():
    """(entry name, the stub's keyword names or None when positional only) per stubbed def."""
    calls = {}

    def add(entry, definition):
        arguments = definition.args
        keywords = None if arguments.posonlyargs else [a.arg.rstrip("_") for a in arguments.args]
        calls.setdefault(entry, []).append(keywords)

    for node in STUB.body:
        if isinstance(node, ast.FunctionDef):
            add(node.name, node)
        elif isinstance(node, ast.ClassDef):
            # A namespace class goes by a private name in the stub, its own in the module.
            name = node.name[1:] if node.name[1:] in kal.__dict__ and node.name.startswith("_") \
                and not hasattr(kal, node.name) else node.name
            for member in node.body:
                # Constructors go through the proxy's own __init__, which stubtest checks.
                if isinstance(member, ast.FunctionDef) and member.name != "__init__":
                    add("%s_%s" % (name, member.name), member)
    return calls


CALLS = stubbed_calls()
PROBE = "kal_probe_keyword"


def test_the_stub_covers_every_entry_of_the_method_table():
    classes = sorted((name for name, value in vars(kal).items() if isinstance(value, type)), key=len, reverse=True)
    classes += [type(value).__name__ for value in vars(kal).values() if type(value).__module__ == "kal"]
    wanted = set()
    for entry in dir(_kal):
        if entry.startswith(("delete_", "new_", "SWIG_")) or entry.endswith(("_swigregister", "_swiginit")):
            continue
        member = any(entry.startswith(c + "_") for c in classes)
        # Module functions whose names start with an underscore are the module's own business.
        if member or (callable(getattr(_kal, entry)) and not entry.startswith("_")):
            wanted.add(entry)
    assert sorted(wanted - set(CALLS)) == []


@pytest.mark.parametrize("entry", sorted(CALLS))
def test_keywords_are_those_of_the_entry(entry):
    forms = CALLS[entry]
    function = getattr(_kal, entry)
    stated = {tuple(names) for names in forms if names is not None}
    # Parsing fails before any conversion: the host is never called.
    if not stated:
        with pytest.raises(TypeError, match="takes no keyword arguments"):
            function(**{PROBE: 1})
        return
    assert len(stated) == 1, "an overloaded entry cannot take keywords"
    names = list(stated.pop())
    with pytest.raises(TypeError) as raised:
        function(**dict.fromkeys(names, None), **{PROBE: 1})
    assert "'%s' is an invalid keyword argument" % PROBE in str(raised.value)
