"""Digital assets: definitions made from subnets, their library files and sections, kal.kda, and
the script module whose attributes KDAModule.__getattr__ finds under the host lock."""
import json
import os
import subprocess
import sys

import pytest

import kal
import kalhost
from conftest import host_args, host_calls, raised_by_fault, run_example

SCRIPT = "def double(x):\n    return 2 * x\n\nkal = 'shadowed'\n"


@pytest.fixture
def library(tmp_path):
    return str(tmp_path / "tools.kda")


def make_asset(library, name="tool", script=SCRIPT, **options):
    """An object-level asset whose contents are a geo holding a box, stored in `library`."""
    subnet = kal.node("/obj").createNode("subnet")
    subnet.createNode("geo", "shape").createNode("box", "cube")
    asset = subnet.createDigitalAsset(name, library, **options)
    if script is not None:
        asset.type().definition().addSection("PythonModule", script)
    return asset


def test_a_subnet_becomes_the_first_instance_of_a_type_stored_in_its_library(library):
    asset = make_asset(library, description="A tool", min_num_inputs=1, max_num_inputs=3,
                       comment="made here", version="1.2")
    assert asset.name() == "subnet1" and asset.type().name() == "tool"
    definition = asset.type().definition()
    assert (definition.nodeTypeName(), definition.libraryFilePath()) == ("tool", library)
    assert (definition.minNumInputs(), definition.maxNumInputs()) == (1, 3)
    assert (definition.comment(), definition.version()) == ("made here", "1.2")
    assert definition.nodeTypeCategory() == kal.objNodeTypeCategory()
    assert definition.nodeType() == asset.type() and asset.type().description() == "A tool"
    assert asset.type().source() == kal.nodeTypeSource.Subnet and asset.type().sourcePath() == library
    assert "tool" in kal.objNodeTypeCategory().nodeTypes()
    assert kal.kda.loadedFiles() == (library,)
    assert definition.installed() and definition.isCurrent() and definition.current()
    assert asset.isInsideLockedKDA() is False and asset.node("shape").isInsideLockedKDA()
    with open(library, "rb") as stored:
        assert stored.read().startswith(b"kalvane-asset-library 1\ndefinition Object tool\n")


def test_instances_build_their_contents_from_the_definition_unless_told_not_to(library):
    make_asset(library)
    obj = kal.node("/obj")
    instance = obj.createNode("tool", "copy")
    assert [n.name() for n in instance.children()] == ["shape"]
    assert [n.name() for n in instance.node("shape").children()] == ["cube"]
    with pytest.raises(kal.PermissionError):
        instance.createNode("null")
    assert obj.createNode("tool", "bare", load_contents=False).children() == ()
    assert len(instance.type().instances()) == 3


def test_instances_have_the_parameters_of_the_subnet_the_asset_was_made_from(library):
    asset = make_asset(library)
    instance = kal.node("/obj").createNode("tool")
    names = [tuple_.name() for tuple_ in asset.parmTuples()]
    assert [tuple_.name() for tuple_ in instance.parmTuples()] == names
    assert {"t", "r", "s"} <= set(names)
    assert isinstance(instance, kal.ObjNode)
    instance.parmTuple("t").set((1.0, 2.0, 3.0))
    assert list(instance.worldTransform().extractTranslates()) == [1.0, 2.0, 3.0]


def test_damaged_contents_refuse_the_instance_and_leave_nothing(library):
    definition = make_asset(library).type().definition()
    definition.sections()["Contents"].setContents("kalvane-contents 1\nnode x nosuchtype\n")
    obj = kal.node("/obj")
    before = [n.name() for n in obj.children()]
    with pytest.raises(kal.OperationFailed):
        obj.createNode("tool", "broken")
    assert [n.name() for n in obj.children()] == before


SETTERS = [
    ("setIcon", "icon", "OBJ_tool"),
    ("setMinNumInputs", "minNumInputs", 2),
    ("setMaxNumInputs", "maxNumInputs", 7),
    ("setExtraInfo", "extraInfo", "line one\nline\\two"),
    ("setComment", "comment", "it \"works\"\x01"),
    ("setVersion", "version", "2.0b"),
    ("setIsPreferred", "isPreferred", True),
    ("setPreferred", "preferred", True),
]


@pytest.mark.parametrize("setter, getter, value", SETTERS, ids=[s[0] for s in SETTERS])
def test_setters_round_trip_through_getters_and_the_library_file(library, setter, getter, value):
    definition = make_asset(library, max_num_inputs=5).type().definition()
    getattr(definition, setter)(value)
    assert getattr(definition, getter)() == value
    if "Preferred" in setter:
        return  # a choice of this session, not part of the file
    kal.kda.uninstallFile(library)
    stored, = kal.kda.definitionsInFile(library)
    assert getattr(stored, getter)() == value and not stored.isInstalled()


@pytest.mark.parametrize("call, error", [
    (lambda d: d.setMinNumInputs(-1), kal.OperationFailed), (lambda d: d.setMinNumInputs(9), kal.OperationFailed),
    (lambda d: d.setMaxNumInputs(0), kal.OperationFailed), (lambda d: d.setIcon(None), kal.OperationFailed),
    (lambda d: d.addSection(""), kal.OperationFailed),
    (lambda d: d.setComment(None), kal.TypeError), (lambda d: d.setVersion(None), kal.TypeError),
], ids=["negative", "above max", "below min", "no icon", "unnamed section", "no comment", "no version"])
def test_invalid_changes_fail_and_change_nothing(library, call, error):
    definition = make_asset(library, min_num_inputs=1, max_num_inputs=5).type().definition()
    with open(library, "rb") as stored:
        before = stored.read()
    with pytest.raises(error):
        call(definition)
    with open(library, "rb") as stored:
        assert stored.read() == before
    assert (definition.minNumInputs(), definition.maxNumInputs()) == (1, 5)


def test_a_change_the_file_cannot_take_is_not_kept(tmp_path):
    folder = tmp_path / "gone"
    folder.mkdir()
    definition = make_asset(str(folder / "tools.kda"), comment="before").type().definition()
    folder.rename(tmp_path / "moved")
    with pytest.raises(kal.OperationFailed, match="Cannot save"):
        definition.setIcon("after")
    # setComment lists TypeError only: the host's OperationFailed arrives as plain Error.
    with pytest.raises(kal.Error, match="Cannot save") as raised:
        definition.setComment("after")
    assert type(raised.value) is kal.Error
    assert (definition.icon(), definition.comment()) == ("", "before")


def test_sections_hold_any_bytes_and_size_counts_them(library):
    definition = make_asset(library, script=None).type().definition()
    contents = "caf\u00e9\x00\n\udcff end\n"
    section = definition.addSection("notes", contents)
    assert section.contents() == contents and section.name() == "notes"
    assert section.size() == len(contents.encode("utf-8", "surrogateescape")) == 13
    assert section.definition() == definition and section == definition.sections()["notes"]
    kal.kda.reloadFile(library)
    assert definition.sections()["notes"].contents() == contents
    section.setContents("")
    assert section.size() == 0
    section.destroy()
    assert sorted(definition.sections()) == ["Contents"]
    with pytest.raises(kal.ObjectWasDeleted):
        section.contents()


def test_add_section_with_only_a_name_passes_an_empty_text(library):
    definition = make_asset(library, script=None).type().definition()
    kalhost.clearCalls()
    assert definition.addSection("empty").contents() == ""
    assert host_args("KDADefinition.addSection") == [("empty", "")]


def test_the_short_forms_of_kda_reach_the_host_with_their_defaults(library, tmp_path):
    make_asset(library)
    kalhost.clearCalls()
    kal.kda.uninstallFile(library)
    kal.kda.installFile(library)
    kal.kda.uninstallFile(library, str(tmp_path / "libraries"))
    kal.kda.installFile(library, str(tmp_path / "libraries"), False)
    with pytest.raises(kal.OperationFailed):
        kal.kda.renameSource(library)
    assert host_args("kda.uninstallFile") == [(library, None, True), (library, str(tmp_path / "libraries"), True)]
    assert host_args("kda.installFile") == [(library, None, True), (library, str(tmp_path / "libraries"), False)]
    assert host_args("kda.renameSource") == [(library, None)]
    # The libraries file lost the path when told to change, and did not get it back.
    assert (tmp_path / "libraries").read_text() == ""


def test_two_names_call_one_host_operation(library):
    definition = make_asset(library).type().definition()
    kalhost.clearCalls()
    definition.installed(), definition.isInstalled(), definition.setPreferred(True), definition.setIsPreferred(False)
    assert [op for op, _ in host_calls() if op.startswith("KDADefinition")] == [
        "KDADefinition.isInstalled", "KDADefinition.isInstalled",
        "KDADefinition.setIsPreferred", "KDADefinition.setIsPreferred"]


def test_uninstalling_hides_the_type_and_keeps_the_instances(library):
    asset = make_asset(library)
    definition = asset.type().definition()
    kal.kda.uninstallFile(library)
    assert kal.kda.loadedFiles() == () and not definition.isInstalled()
    with pytest.raises(kal.OperationFailed):
        kal.node("/obj").createNode("tool")
    with pytest.raises(kal.OperationFailed):
        definition.nodeType()
    assert asset.type().name() == "tool" and asset.type().definition() is None
    kal.kda.installFile(library)
    assert kal.node("/obj").createNode("tool").type() == asset.type()
    with pytest.raises(kal.OperationFailed, match="Not an installed asset library"):
        kal.kda.uninstallFile(library + ".other")


def test_the_preferred_definition_wins_over_the_last_installed(tmp_path):
    first, second = str(tmp_path / "a.kda"), str(tmp_path / "b.kda")
    make_asset(first, comment="first")
    make_asset(second, comment="second")
    node_type = kal.nodeType(kal.objNodeTypeCategory(), "tool")
    assert [d.libraryFilePath() for d in node_type.allInstalledDefinitions()] == [first, second]
    assert node_type.definition().comment() == "second"
    older = node_type.allInstalledDefinitions()[0]
    older.setPreferred(True)
    assert node_type.definition() == older and older.isCurrent() and node_type.sourcePath() == first
    kal.kda.uninstallFile(first)
    assert node_type.definition().comment() == "second"


LIBRARY_START = "kalvane-asset-library 1\ndefinition Object broken\n"
DAMAGED = {
    "empty": "",
    "foreign": "kalvane-contents 1\n",
    "newer": "kalvane-asset-library 2\n",
    "unknown entry": LIBRARY_START + "colour red\nend\n",
    "bad number": LIBRARY_START + "minInputs two\nend\n",
    "inputs reversed": LIBRARY_START + "minInputs 3\nmaxInputs 1\nend\n",
    "cut section": LIBRARY_START + "section 100 Contents\nshort\n",
    "no end": LIBRARY_START + "comment x\n",
    "unknown category": "kalvane-asset-library 1\ndefinition Nowhere broken\nend\n",
    "twice": LIBRARY_START + "end\ndefinition Object broken\nend\n",
    "built-in name": "kalvane-asset-library 1\ndefinition Object geo\nend\n",
    "bad escape": LIBRARY_START + "comment a\\q\nend\n",
}


@pytest.mark.parametrize("text", DAMAGED.values(), ids=DAMAGED.keys())
def test_damaged_library_files_raise_and_change_nothing(library, tmp_path, text):
    make_asset(library, comment="kept")
    damaged = tmp_path / "damaged.kda"
    damaged.write_text(text)
    with pytest.raises(kal.OperationFailed, match="damaged.kda|built-in"):
        kal.kda.installFile(str(damaged))
    assert kal.kda.loadedFiles() == (library,)
    # An installed library damaged on disk keeps what the session read when reloaded.
    definition = kal.nodeType(kal.objNodeTypeCategory(), "tool").definition()
    with open(library, "w") as stored:
        stored.write(text)
    with pytest.raises(kal.OperationFailed):
        kal.kda.reloadFile(library)
    assert definition.comment() == "kept" and kal.kda.loadedFiles() == (library,)


def test_a_missing_library_file_is_a_clear_error(tmp_path):
    with pytest.raises(kal.OperationFailed, match="nothing.kda"):
        kal.kda.installFile(str(tmp_path / "nothing.kda"))
    with pytest.raises(kal.OperationFailed):
        kal.kda.definitionsInFile(None)


def test_reload_takes_changes_made_on_disk_and_keeps_held_definitions(library, tmp_path):
    definition = make_asset(library).type().definition()
    copy = str(tmp_path / "copy.kda")
    kal.kda.renameSource(library, copy)
    assert kal.kda.loadedFiles() == (copy,) and definition.libraryFilePath() == copy
    assert not os.path.exists(library)
    with open(copy) as stored:
        text = stored.read()
    with open(copy, "w") as stored:
        stored.write(text.replace("comment \n", "comment edited elsewhere\n"))
    kal.kda.reloadFile(copy)
    assert definition.comment() == "edited elsewhere"


def test_embedded_assets_move_into_a_file_by_renaming_their_source(tmp_path):
    asset = kal.node("/obj").createNode("subnet").createDigitalAsset("inside", save_as_embedded=True)
    definition = asset.type().definition()
    assert definition.libraryFilePath() == "Embedded" and kal.kda.loadedFiles() == ("Embedded",)
    target = str(tmp_path / "out.kda")
    kal.kda.renameSource("Embedded", target)
    assert definition.libraryFilePath() == target and kal.kda.loadedFiles() == (target,)
    assert [d.nodeTypeName() for d in kal.kda.definitionsInFile(target)] == ["inside"]


def test_expand_and_collapse_give_back_the_same_library(library, tmp_path):
    definition = make_asset(library, comment="c\nd").type().definition()
    definition.addSection("../odd name", "\x00bytes")
    folder = str(tmp_path / "expanded")
    kal.kda.expandToDirectory(library, folder)
    rebuilt = str(tmp_path / "rebuilt.kda")
    kal.kda.collapseFromDirectory(rebuilt, folder)
    with open(library, "rb") as original, open(rebuilt, "rb") as collapsed:
        assert original.read() == collapsed.read()
    assert os.path.exists(os.path.join(folder, "Object_tool", "sections", "%2e.%2fodd%20name"))


# --- the script module --------------------------------------------------------------------------


@pytest.mark.parametrize("script, name, found", [
    # Both dictionaries hold kal and __name__: the second, the code's own, wins.
    (SCRIPT, "kal", "shadowed"), (SCRIPT, "__name__", "kda.Object/tool"), (SCRIPT, "double", 42),
    ("value = 1\n", "value", 1), ("value = 1\n", "kal", kal),  # the first answers what the code did not define
    (SCRIPT, "nothing_here", AttributeError),
    (None, "kal", AttributeError),  # without a script section the host offers only its own dictionary
])
def test_module_attributes_come_from_the_script_section_and_the_hosts_dictionary(library, script, name, found):
    module = make_asset(library, script=script).kdaModule()
    assert type(module) is kal.KDAModule
    if found is not AttributeError:
        value = getattr(module, name)
        assert (value(21) if callable(value) else value) == found
        return
    with pytest.raises(AttributeError) as raised:
        getattr(module, name)
    assert str(raised.value) == "'module' object has no attribute '%s'" % name


def test_a_node_that_is_no_asset_has_a_module_with_no_names():
    with pytest.raises(AttributeError, match="^'module' object has no attribute '__name__'$"):
        kal.node("/obj").kdaModule().__name__


def test_the_module_follows_the_section_when_asked_for_again(library):
    asset = make_asset(library)
    old = asset.kdaModule()
    asset.type().definition().sections()["PythonModule"].setContents("def double(x):\n    return 3 * x\n")
    assert asset.kdaModule().double(2) == 6 and old.double(2) == 6


def test_errors_in_the_script_section_raise_when_the_module_is_asked_for(library):
    asset = make_asset(library, script="raise RuntimeError('bad code')\n")
    with pytest.raises(kal.Error, match="PythonModule section of Object/tool failed: RuntimeError: bad code"):
        asset.kdaModule()
    asset.type().definition().sections()["PythonModule"].setContents("fine = True\n")
    assert asset.kdaModule().fine is True


def test_code_asking_for_its_own_module_while_it_runs_fails_instead_of_recursing(library):
    make_asset(library, script="import kal\nkal.node('/obj/subnet1').kdaModule()\n")
    with pytest.raises(kal.Error, match="asks for its own module while it runs"):
        kal.node("/obj/subnet1").kdaModule()


def test_a_host_error_inside_the_lookup_is_translated_and_releases_the_lock(library):
    module = make_asset(library).kdaModule()
    for error, expected in (("ObjectWasDeleted", kal.ObjectWasDeleted), ("OperationFailed", kal.Error)):
        assert type(raised_by_fault("KDAModule.moduleDictionaries", error, lambda: module.double)) is expected
        assert module.double(1) == 2  # would wait forever on a lock left held


@pytest.mark.parametrize("call, operation", [
    (lambda: kal.kda.loadedFiles(), "kda.loadedFiles"),
    (lambda: kal.kda.reloadFile("x"), "kda.reloadFile"),
    (lambda: repr(kal.kda), "kda.__repr__"),
])
def test_kda_translates_no_object_was_deleted(call, operation):
    assert type(raised_by_fault(operation, "ObjectWasDeleted", call)) is kal.Error


# The host lock held by another thread: the lookup waits without the interpreter lock, and
# each lookup, found or not, lets the lock go. Run in a child interpreter with a time limit, so
# that a deadlock fails the test instead of hanging it.
LOCKED_LOOKUP = r"""
import ctypes, glob, json, os, sys, tempfile, threading, time
import kal, kalhost
library = glob.glob(os.path.join(os.path.dirname(kalhost.__file__), "libkalvanehost.so*"))[0]
lock = ctypes.byref(ctypes.c_byte.in_dll(ctypes.CDLL(library), "KOM_theKOMLock"))
libc = ctypes.CDLL(None)
subnet = kal.node("/obj").createNode("subnet")
asset = subnet.createDigitalAsset("locked", os.path.join(tempfile.mkdtemp(), "l.kda"))
asset.type().definition().addSection("PythonModule", "value = 7\n")
module = asset.kdaModule()
found = []
assert libc.pthread_mutex_lock(lock) == 0
waiter = threading.Thread(target=lambda: found.append(module.value), daemon=True)
waiter.start()
ticks = 0
started = time.monotonic()
while ticks < 2000 and time.monotonic() - started < 10:
    ticks += 1  # runs only while the waiter does not hold the interpreter lock
    time.sleep(0)
waited = not found
libc.pthread_mutex_unlock(lock)
waiter.join(10)
try:
    module.missing
except AttributeError:
    pass
free_after_failure = libc.pthread_mutex_trylock(lock) == 0
libc.pthread_mutex_unlock(lock)
second = []
thread = threading.Thread(target=lambda: second.append(module.value), daemon=True)
thread.start()
thread.join(10)
print(json.dumps({"ticks": ticks, "waited": waited, "found": found, "free": free_after_failure,
                  "second": second}))
"""


def test_a_lookup_waits_for_the_host_lock_without_blocking_python_and_lets_it_go():
    child = subprocess.run([sys.executable, "-c", LOCKED_LOOKUP], capture_output=True, text=True,
                           timeout=60, env=dict(os.environ))
    assert child.returncode == 0, child.stderr[-3000:]
    observed = json.loads(child.stdout.splitlines()[-1])
    assert observed == {"ticks": 2000, "waited": True, "found": [7], "free": True, "second": [7]}


@pytest.fixture
def fenced(tmp_path):
    root, outside = tmp_path / "root", tmp_path / "outside"
    root.mkdir()
    outside.mkdir()
    kalhost.writableFolder(str(root))
    yield root, outside
    kalhost.writableFolder(None)


def test_asset_libraries_are_written_only_inside_the_writable_folder(fenced):
    root, outside = fenced
    subnet = kal.node("/obj").createNode("subnet")
    for path in (str(outside / "a.kda"), str(root / ".." / "outside" / "a.kda"), "/a.kda"):
        with pytest.raises(kal.OperationFailed, match="outside the folder"):
            subnet.createDigitalAsset("fenced", path)
    assert list(outside.iterdir()) == [] and subnet.type().name() == "subnet"
    subnet.createDigitalAsset("fenced", str(root / "a.kda"))
    for call in (lambda: kal.kda.expandToDirectory(str(root / "a.kda"), str(outside / "x")),
                 lambda: kal.kda.renameSource(str(root / "a.kda"), str(outside / "b.kda"))):
        with pytest.raises(kal.OperationFailed, match="outside the folder"):
            call()
    assert list(outside.iterdir()) == [] and kal.kda.loadedFiles() == (str(root / "a.kda"),)


def test_the_assets_example_runs():
    printed = run_example("assets.py")
    assert "/obj/crate_copy holds a box of 3 divisions" in printed
    assert "AttributeError: 'module' object has no attribute 'missing'" in printed


def test_definitions_sections_and_modules_are_owned_and_kda_and_categories_are_not(library):
    asset = make_asset(library)
    definition = asset.type().definition()
    owned = (definition, definition.sections()["Contents"], asset.kdaModule(),
             definition.addSection("more"), kal.kda.definitionsInFile(library)[0])
    assert all(item.this.own() for item in owned)
    assert not kal.kda.this.own() and not definition.nodeTypeCategory().this.own()
