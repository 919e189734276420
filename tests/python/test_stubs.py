"""kal.pyi against the module itself: every entry of the method table has its stub, and each
takes keywords exactly where the entry does, with the entry's own keyword names."""

import ast
import sys
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
        names = [a.arg.rstrip("_") for a in arguments.args]
        # Without arguments beyond self there is nothing to name.
        keywords = None if arguments.posonlyargs or names in ([], ["self"]) else names
        calls.setdefault(entry, []).append(keywords)

    for node in STUB.body:
        if isinstance(node, ast.FunctionDef):
            add(node.name, node)
        elif isinstance(node, ast.ClassDef):
            # A namespace class goes by a private name in the stub, its own in the module.
            name = node.name[1:] if node.name[1:] in dir(kal) and node.name.startswith("_") \
                and not hasattr(kal, node.name) else node.name
            for member in node.body:
                # Constructors go through the proxy's own __init__, which stubtest checks, and
                # __iter__ is there for type checkers alone (Python iterates by __getitem__).
                if isinstance(member, ast.FunctionDef) and member.name not in ("__init__", "__iter__"):
                    add("%s_%s" % (name, member.name), member)
    return calls


CALLS = stubbed_calls()
PROBE = "kal_probe_keyword"


def is_enumeration_variable(entry):
    """The accessors SWIG adds for cvar's variables, <enumeration>_<Value>_get and _set."""
    enumeration, _, value = entry.rpartition("_")[0].partition("_")
    return entry.endswith(("_get", "_set")) and isinstance(getattr(kal, enumeration, None), type) \
        and hasattr(getattr(kal, enumeration), value)


def classes():
    """The classes the module publishes (the namespaces as their one instance), longest first."""
    published = (name for name in dir(kal) if hasattr(_kal, name + "_swigregister"))
    return sorted(published, key=len, reverse=True)


def operations():
    """(owning class or None, entry) for each operation of the method table."""
    owners = classes()
    for entry in dir(_kal):
        if entry.startswith(("delete_", "new_", "SWIG_")) or entry.endswith(("_swigregister", "_swiginit")) \
                or is_enumeration_variable(entry):
            continue
        owner = next((c for c in owners if entry.startswith(c + "_")), None)
        # Module functions whose names start with an underscore are the module's own business.
        if owner or (callable(getattr(_kal, entry)) and not entry.startswith("_")):
            yield owner, entry


def test_the_stub_covers_every_entry_of_the_method_table():
    assert sorted({entry for _, entry in operations()} - set(CALLS)) == []


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
    # Every argument by its stubbed keyword, each a plain object no conversion accepts: the
    # keywords parse, then the first argument's conversion fails before the host is called.
    with pytest.raises(TypeError) as raised:
        function(**{name: object() for name in stated.pop()})
    assert str(raised.value).startswith("in method '%s', argument 1 of type" % entry)


def generator():
    sys.path.insert(0, str(Path(__file__).parents[2] / "module"))
    try:
        import api
    finally:
        sys.path.pop(0)
    return api


@pytest.mark.parametrize("default, swig_type, written", [
    ("nullptr", "p.q(const).char", "None"), ("0", "p.KOM_Node", "None"), ("0", "int", "0"),
    ("-1.0f", "float", "-1.0"), ("1e-05f", "float", "1e-05"), ("true", "bool", "True"),
    ('"Select components"', "p.q(const).char", "'Select components'"), ('"a\\"b"', "p.q(const).char", "'a\"b'"),
    ("std::vector<int>()", "std::vector<(int)>", "()"), ("KOM_parmLook::Regular", "r.KOM_EnumValue", "kal.parmLook.Regular"),
    ("KOM_Vector3()", "r.q(const).KOM_Vector3", None)])
def test_defaults_are_written_as_python_writes_them(default, swig_type, written):
    assert generator().python_default(default, swig_type, {"parmLook": ["Regular"]}) == written


@pytest.mark.parametrize("swig_type, as_argument, as_result", [
    ("r.q(const).std::vector<(float,std::allocator<(float)>)>", "Sequence[float]", "Tuple[float, ...]"),
    ("std::map<(std::string,KOM_ElemPtr<(KOM_Node)>)>", "Mapping[str, Node]", "Dict[str, Node]"),
    ("std::vector<(p.KOM_Node)>", "Sequence[Node]", "Tuple[Node, ...]"),
    ("p.KOM_Node", "Optional[Node]", "Node"), ("r.KOM_Node", "Node", "Node"),
    ("p.q(const).char", "Optional[str]", "str"), ("std::vector<(int)>::size_type", "int", "int"),
    ("p.KOM_IterableList<(KOM_Node)>", "Optional[_NodeTupleGenerator]", "_NodeTupleGenerator")])
def test_types_are_named_as_the_conversions_make_them(swig_type, as_argument, as_result):
    namer = generator().TypeNamer({"KOM_Node": "Node", "KOM_IterableList<KOM_Node>": "_NodeTupleGenerator"})
    assert namer.python(swig_type, result=False) == as_argument
    assert namer.python(swig_type, result=True, maybe_none=False) == as_result
