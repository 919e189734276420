import ast
import builtins
import contextlib
import functools
import gc
import os
import subprocess
import sys
from pathlib import Path

import pytest

import kal
import kalhost


@pytest.fixture(autouse=True)
def host():
    """Every test starts from the baseline scene with the journal on."""
    kalhost.reset()
    kalhost.journal(True)
    yield
    kalhost.journal(False)
    kalhost.clearFaults()


@pytest.fixture
def obj():
    return kal.node("/obj")


@pytest.fixture
def geo(obj):
    """An object-level geometry network, /obj/g."""
    return obj.createNode("geo", "g")


# Every test module must leave as many host objects alive as it found. Measured around the
# whole module, after pytest has let go of the last test's arguments.
_handles_at_module_start = {}
_leaks = []


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_protocol(item, nextitem):
    module = item.module
    if module not in _handles_at_module_start:
        gc.collect()
        _handles_at_module_start[module] = kalhost.liveHandles()
    yield
    if nextitem is None or nextitem.module is not module:
        gc.collect()
        leaked = kalhost.liveHandles() - _handles_at_module_start.pop(module)
        if leaked:
            _leaks.append("%s left %d host objects alive" % (module.__name__, leaked))


def pytest_terminal_summary(terminalreporter):
    for leak in _leaks:
        terminalreporter.write_line("LEAK: " + leak, red=True)


def pytest_sessionfinish(session):
    if _leaks:
        session.exitstatus = pytest.ExitCode.TESTS_FAILED


def host_calls(operation=None):
    """The (operation, args) the host received, optionally of one operation only."""
    return [call for call in kalhost.calls() if operation is None or call[0] == operation]


@contextlib.contextmanager
def live_handles_kept():
    """Checks that the block leaves as many host objects alive as it found; gives that number."""
    gc.collect()
    before = kalhost.liveHandles()
    yield before
    gc.collect()
    assert kalhost.liveHandles() == before


def host_args(operation):
    """The arguments of each call of `operation` the host received, in order."""
    return [args for _, args in host_calls(operation)]


def only_call(operation):
    """The arguments of the one call of `operation` the host received."""
    calls = host_calls(operation)
    assert len(calls) == 1, calls
    return calls[0][1]


def raised_by_fault(operation, error, call, message="from the host"):
    """Makes the next `operation` throw `error` with `message`, then runs `call`: the kal.Error
    it raised, once that carries the host's message."""
    kalhost.fail(operation, error, message)
    with pytest.raises(kal.Error) as raised:
        call()
    assert raised.value.instanceMessage() == message
    return raised.value


def geometry_selection(*nodes):
    """The scene viewer's geometry selection of `nodes` (a new box by default), as if picked."""
    nodes = nodes or (kal.node("/obj").createNode("geo").createNode("box"),)
    kalhost.answer("SceneViewer.selectGeometry", tuple(node.path() for node in nodes))
    return kal.ui.curDesktop().paneTabOfType(kal.paneTabType.SceneViewer).selectGeometry()


def run_tool_collecting(name):
    """Runs the shelf tool `name`, whose script appends to `collected`; returns what it appended."""
    builtins.collected = []
    try:
        kalhost.runTool(name)
        return builtins.collected
    finally:
        del builtins.collected


def run_python(code, *args):
    """Runs code in a fresh interpreter that finds kal; returns the finished process."""
    return subprocess.run([sys.executable, "-c", code, *args], capture_output=True, text=True,
                          env=dict(os.environ), timeout=60)


def run_example(name):
    """Runs examples/<name> in a fresh interpreter; returns what it printed, once it succeeded."""
    finished = run_python((Path(__file__).parents[2] / "examples" / name).read_text())
    assert finished.returncode == 0, finished.stderr
    return finished.stdout


@functools.lru_cache(maxsize=None)
def _stub():
    return ast.parse((Path(kal.__file__).parent / "kal.pyi").read_text(encoding="utf-8"))


def stub_result(owner, method):
    """The result annotation kal.pyi gives `owner.method` (a class or a class name), as written."""
    name = owner if isinstance(owner, str) else owner.__name__
    for node in _stub().body:
        if isinstance(node, ast.ClassDef) and node.name in (name, "_" + name):
            for member in node.body:
                if isinstance(member, ast.FunctionDef) and member.name == method:
                    return ast.unparse(member.returns)
    raise LookupError("%s.%s is not in kal.pyi" % (name, method))
