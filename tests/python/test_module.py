"""Module entry, class registry, cvar, build tag, exit and the kalvane application."""
import ctypes
import os
import platform
import pydoc
import re
import subprocess

import pytest

import _kal
import kal
import kalhost
from conftest import host_calls, raised_by_fault, run_python
from test_completeness import load as load_completeness

# Every class with its base (None for none), as the completeness list names them.
CLASS_TREE = dict(load_completeness()[1])

ENUMERATION_SIZES = {
    "attribData": 3, "attribType": 4, "primType": 16, "parmData": 3, "parmTemplateType": 12,
    "parmLook": 6, "parmNamingScheme": 10, "exprLanguage": 2, "scriptLanguage": 2,
    "paneTabType": 22, "geometryViewportType": 8, "geometryType": 7, "connectivityType": 3,
    "severityType": 4, "positionType": 3, "shaderType": 24, "nodeTypeSource": 5,
    "fieldType": 13, "codingLanguage": 1,
}


def test_registration_entries_come_bases_first_and_take_an_argument_tuple():
    entries = [name[:-len("_swigregister")] for name in vars(_kal) if name.endswith("_swigregister")]
    assert sorted(entries) == sorted(CLASS_TREE)
    for name, base in CLASS_TREE.items():
        if base:
            assert entries.index(base) < entries.index(name)
    with pytest.raises(TypeError, match=r"^swigregister expected 1 arguments, got 2$"):
        _kal.Node_swigregister(kal.Node, kal.Node)
    with pytest.raises(TypeError):  # results are made by calling what was registered
        _kal.Node_swigregister(kal.node("/obj"))
    assert type(kal.node("/obj")) is kal.Node


@pytest.fixture
def registration():
    """Registers the proper class again after the test, whatever it registered."""
    yield
    for name in ("ObjNode", "OperationFailed"):
        getattr(_kal, name + "_swigregister")(getattr(kal, name))


class PythonDestroy(kal.ObjNode):
    def __swig_destroy__(self):
        pass


class NotAnException(object):
    __swig_destroy__ = _kal.delete_OperationFailed


@pytest.mark.parametrize("entry, cls, refusal", [
    ("ObjNode", PythonDestroy, "__swig_destroy__ to be a built-in delete entry"),
    ("ObjNode", type(len), "a class that can make instances"),
    ("OperationFailed", NotAnException, "an exception class for an error type"),
    ("OperationFailed", int, "an exception class for an error type"),
])
def test_registration_refuses_what_results_could_not_use_and_keeps_the_earlier_class(
        registration, entry, cls, refusal):
    with pytest.raises(TypeError, match="swigregister expects " + re.escape(refusal)):
        getattr(_kal, entry + "_swigregister")(cls)
    geo = kal.node("/obj").createNode("geo")
    assert type(geo) is kal.ObjNode
    del geo
    kalhost.fail("Node.createNode", "OperationFailed", "kept")
    with pytest.raises(kal.OperationFailed, match="kept"):
        kal.node("/obj").createNode("geo")


def test_a_second_interpreter_cannot_import_kal_and_leaves_the_first_ones_classes():
    process = run_python(
        "import _testcapi, kal, kalhost\n"
        "status = _testcapi.run_in_subinterp('import kal')\n"
        "kalhost.fail('Node.createNode', 'OperationFailed', 'x')\n"
        "try:\n    kal.node('/obj').createNode('geo')\n"
        "except kal.Error as error:\n    print(status, type(error).__name__)\n"
        "print(type(kal.node('/obj').createNode('geo')).__name__)\n")
    assert process.stdout.split() == ["-1", "OperationFailed", "ObjNode"], process.stderr
    assert "ImportError: _kal can be imported only in the main interpreter" in process.stderr


# Classes are made when first needed, so these run in a fresh interpreter where no script has
# touched them yet; one run answers every question.
FIRST_USE = r"""
import json, sys, threading
import kal, kalhost
classes = json.loads(sys.argv[1])
namespaces = ("kmath", "kda", "kipFile", "ui", "shelves", "galleries")
answers = {"made at import": sorted((set(classes) | set(namespaces)) & set(vars(kal))),
           "listed": sorted(set(classes + list(namespaces)) - set(dir(kal)))}
# A namespace is asked for once, when first read, and is then the module's attribute.
kalhost.journal(True)
kalhost.fail("Module.__kda", "NotAvailable")
ui = kal.ui
answers["namespaces"] = [type(ui).__name__, kal.ui is ui, kal.kda, kal.kda,
                         [call[0] for call in kalhost.calls()].count("Module.__ui"),
                         vars(kal)["ui"] is ui, "kda" in vars(kal)]
kalhost.journal(False)
obj = kal.node("/obj")
network = obj.createNode("dopnet")
answers["result"] = [type(obj).__name__, type(network).__name__, [c.__name__ for c in type(network).__mro__]]
answers["same classes"] = type(network) is kal.DopNetNode and type(obj) is kal.Node \
    and kal.DopNetNode.__bases__ == (kal.ObjNode,) and isinstance(network, kal.Node)
kalhost.fail("Node.createNode", "InvalidNodeName", "raised first")
try:
    obj.createNode("geo")
except kal.Error as error:
    answers["error"] = [type(error).__name__, str(error), type(error) is kal.InvalidNodeName]
class Bouncy(kal.Keyframe):
    def doubled(self):
        return 2 * self.value()
answers["subclass"] = [Bouncy(1.5).doubled(), issubclass(Bouncy, kal.BaseKeyframe)]
answers["enumeration"] = [type(kal.parmData.Float).__name__, kal.parmData.Float.name()]
namespace = {}
exec("from kal import *", namespace)
answers["import *"] = sorted(set(classes) - set(namespace))
answers["import * namespaces"] = [type(namespace[name]).__name__ for name in namespaces]
made = []
workers = [threading.Thread(target=lambda: made.append(kal.SopNodeType)) for _ in range(4)]
for worker in workers:
    worker.start()
for worker in workers:
    worker.join()
answers["threads"] = len(made) == 4 and all(cls is kal.SopNodeType for cls in made) \
    and type(obj.createNode("geo").createNode("box").type()) is kal.SopNodeType
print(json.dumps(answers))
"""


@pytest.fixture(scope="module")
def first_use():
    import json
    process = run_python(FIRST_USE, json.dumps(sorted(CLASS_TREE)))
    assert process.returncode == 0, process.stderr
    return json.loads(process.stdout)


FIRST_USE_ANSWERS = [
    # Import makes no class or namespace scripts have not named yet, and lists every one.
    ("made at import", []), ("listed", []),
    ("import *", sorted(name for name in CLASS_TREE if name.startswith("_"))),
    # A namespace is published when first read, once; kda was not available then: None, for good.
    ("namespaces", ["ui", True, None, None, 1, True, True]),
    ("import * namespaces", ["kmath", "NoneType", "kipFile", "ui", "shelves", "galleries"]),
    # A result of a class never named comes as that class, with its bases.
    ("result", ["Node", "DopNetNode", ["DopNetNode", "ObjNode", "Node", "object"]]),
    ("same classes", True),
    ("error", ["InvalidNodeName", "The node name is invalid.\nraised first", True]),
    ("enumeration", ["EnumValue", "Float"]),
    ("subclass", [3.0, True]),  # a script subclasses a class it names first
    ("threads", True),  # threads naming a class at once get one class
]


@pytest.mark.parametrize("question, answer", FIRST_USE_ANSWERS, ids=[row[0] for row in FIRST_USE_ANSWERS])
def test_classes_and_namespaces_are_made_when_first_used(first_use, question, answer):
    assert first_use[question] == answer


def test_classes_the_host_makes_have_no_constructor():
    # completeness.txt lists the constructors there are; these classes must have none.
    constructible = {name[len("new_"):] for name in vars(_kal) if name.startswith("new_")}
    assert not constructible & {"Node", "EnumValue", "attribData", "NodeTypeCategory", "ui"}


def test_cvar_holds_every_enumeration_value_and_no_other_name():
    names = re.findall(r"\w+", str(_kal.cvar))
    assert len(names) == 148
    for enumeration, size in ENUMERATION_SIZES.items():
        assert len([n for n in names if n.startswith(enumeration + "_")]) == size
    assert repr(_kal.cvar) == "<Swig global variables>"
    with pytest.raises(NameError, match=r"^Unknown C global variable$"):
        _kal.cvar.noSuchValue
    with pytest.raises(NameError, match=r"^Unknown C global variable$"):
        _kal.cvar.noSuchValue = 1
    # Python's own attributes are the object's: generic code (isinstance, help) works on it.
    assert not isinstance(_kal.cvar, type) and _kal.cvar.__class__.__name__ == "swigvarlink"
    with pytest.raises(AttributeError):
        _kal.cvar.__wrapped__


def test_before_registration_cvar_gives_bare_pointer_objects():
    process = run_python("import _kal; print(type(_kal.cvar.attribData_Int).__name__)")
    assert process.stdout.strip() == "SwigPyObject", process.stderr


def build_tag():
    library = ctypes.CDLL(_kal.__file__)
    library.KalvaneGetTagInfo.restype = ctypes.c_void_p
    tag = ctypes.c_char_p()
    returned = library.KalvaneGetTagInfo(ctypes.byref(tag))
    assert returned == ctypes.addressof(tag)
    return tag.value.decode()


def test_build_tag_is_446_hex_digits_at_the_returned_address():
    assert re.fullmatch(r"[0-9a-f]{446}", build_tag())


@pytest.mark.parametrize("args, kwargs, received", [
    ((), {}, (0, False)),
    ((), {"suppress_save_prompt": True}, (0, True)),
    ((7, 1), {}, (7, True)),
    ((), {"exit_code": -2, "suppress_save_prompt": 0}, (-2, False)),
])
def test_exit_passes_code_and_prompt_flag_and_raises_builtin_system_exit(args, kwargs, received):
    with pytest.raises(SystemExit) as raised:
        kal.exit(*args, **kwargs)
    assert type(raised.value) is SystemExit
    assert raised.value.code == received[0]
    assert host_calls("Module.exit") == [("Module.exit", received)]


@pytest.mark.parametrize("args, kwargs, message", [
    # The exit code's refusals are test_conversion.py's int cases.
    ((0, None), {}, "in method 'exit', argument 2 of type 'bool'"),
    ((0, 1.0), {}, "in method 'exit', argument 2 of type 'bool'"),
    ((), {"code": 1}, None),  # only its own keywords
])
def test_exit_refuses_bad_arguments_before_calling_the_host(args, kwargs, message):
    with pytest.raises(TypeError) as raised:
        kal.exit(*args, **kwargs)
    assert message is None or str(raised.value) == message
    assert host_calls() == []


def test_is_exiting_reports_the_host_and_translates_errors():
    assert kal._isExiting() is False
    with pytest.raises(SystemExit):
        kal.exit()
    assert kal._isExiting() is True
    assert type(raised_by_fault("Module._isExiting", "NotAvailable", kal._isExiting)) is kal.Error


def test_uncaught_system_exit_from_the_host_ends_the_interpreter_with_its_code():
    assert run_python("import kal; kal.exit(3)").returncode == 3


def test_plain_interpreter_starts_the_host_on_import():
    process = run_python("import kal; kal.__ensureKalvaneInternalsExist(); "
                         "print(kal._isExiting(), kal.node('/obj').path())")
    assert process.stdout.split() == ["False", "/obj"], process.stderr


KALVANE = os.environ.get("KALVANE")
needs_kalvane = pytest.mark.skipif(not KALVANE, reason="KALVANE names the built application")


@needs_kalvane
def test_kalvane_runs_a_script_with_its_arguments_and_exit_code(tmp_path):
    script = tmp_path / "script.py"
    script.write_text("import sys, kal\nprint(sys.argv[1:], kal.root().path())\nkal.exit(4)\n")
    process = subprocess.run([KALVANE, str(script), "a", "b"], capture_output=True, text=True,
                             timeout=60)
    assert process.returncode == 4, process.stderr
    assert process.stdout.strip() == "['a', 'b'] /"


@needs_kalvane
def test_kalvane_runs_the_tour():
    tour = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "tour.py")
    process = subprocess.run([KALVANE, tour], capture_output=True, text=True, timeout=60)
    assert process.returncode == 0, process.stderr


@needs_kalvane
def test_kalvane_prompt_reads_commands_from_its_input():
    process = subprocess.run([KALVANE], input="import kal\nprint(kal.node('/obj').name())\n",
                             capture_output=True, text=True, timeout=60)
    assert process.returncode == 0 and "obj" in process.stdout, process.stderr


@needs_kalvane
@pytest.mark.parametrize("options", [["--version"], ["-V"], ["-I", "--version"], ["-W", "error", "-V"]])
def test_kalvane_version_names_the_application_and_its_build_tag_first(options):
    process = subprocess.run([KALVANE, *options], capture_output=True, text=True, timeout=60)
    assert process.returncode == 0, process.stderr
    assert process.stdout.splitlines() == ["Kalvane " + build_tag(), "Python " + platform.python_version()]


@needs_kalvane
@pytest.mark.parametrize("options", [["-c", "import sys; print(sys.argv[1:])", "-V"],
                                     ["-m", "platform", "--version"], ["-W", "-V", "-c", "print(1)"]])
def test_kalvane_leaves_a_version_option_meant_for_the_script_alone(options):
    process = subprocess.run([KALVANE, *options], capture_output=True, text=True, timeout=60,
                             stdin=subprocess.DEVNULL)
    assert process.returncode == 0, process.stderr
    assert "Kalvane" not in process.stdout


@needs_kalvane
@pytest.mark.parametrize("options, helped", [(["--help"], True), (["-h"], True), (["-I", "-?"], True),
                                             (["-c", "print(1)", "--help"], False)])
def test_kalvane_help_describes_the_application_before_pythons_options(options, helped):
    process = subprocess.run([KALVANE, *options], capture_output=True, text=True, timeout=60,
                             stdin=subprocess.DEVNULL)
    assert process.returncode == 0, process.stderr
    assert process.stdout.startswith("kalvane: Kalvane") == helped
    if helped:
        application, python = process.stdout.split("\nusage: ", 1)
        assert os.path.join(os.path.dirname(KALVANE), "python") in application
        assert "-c cmd" in python


def test_the_compiled_proxy_module_is_valid_for_its_source():
    # An import that cannot write a fresh compiled module (a read-only install,
    # PYTHONDONTWRITEBYTECODE) must not compile the whole proxy module again: the build compiles
    # it after the last change to the source's time, which is what the import checks.
    import importlib.util
    source = os.stat(kal.__file__)
    with open(importlib.util.cache_from_source(kal.__file__), "rb") as compiled:
        header = compiled.read(16)
    assert header[:4] == importlib.util.MAGIC_NUMBER
    assert int.from_bytes(header[4:8], "little") == 0  # checked by time
    assert int.from_bytes(header[8:12], "little") == int(source.st_mtime) & 0xFFFFFFFF
    assert int.from_bytes(header[12:16], "little") == source.st_size & 0xFFFFFFFF


def test_help_describes_the_module_with_every_class():
    text = pydoc.render_doc(kal, renderer=pydoc.plaintext)
    assert all("class %s(" % name in text for name in ("Node", "ObjNode", "Error", "ProxyClassType"))
