"""kal.ShellIO: the shell's queued input, its output, and kalvane's prompt in a real terminal."""
import fcntl
import os
import pty
import select
import signal
import subprocess
import termios
import time

import pytest

import kal
import kalhost
from conftest import host_calls, raised_by_fault


@pytest.fixture
def shell():
    return kal.ui.shellIO()


def test_readline_returns_queued_lines_then_fails_with_the_hosts_eof_error(shell):
    shell.addDataForReading("first line\nsecond")
    shell.addDataForReading(" half\nrest")
    shell.addEOFForReading()
    shell.addDataForReading("after\n")
    assert shell.readline() == "first line\n"
    assert shell.readline(size=3) == "sec"
    assert shell.readline(-1) == "ond half\n"
    assert shell.readline() == "rest"  # the end of the input closes the last line
    with pytest.raises(EOFError, match="End of the shell's input"):
        shell.readline()
    assert shell.readline() == "after\n"  # each end mark ends one read
    # Nothing queued and nothing feeding the shell: waiting would never end.
    with pytest.raises(EOFError):
        shell.readline()


def test_a_long_paste_reads_back_in_order_while_more_is_queued(shell):
    lines = ["line %d\n" % i for i in range(1000)]
    shell.addDataForReading("".join(lines[:600]))
    read = [shell.readline() for _ in range(500)]  # most of the queued text is read
    shell.addDataForReading("".join(lines[600:]))  # joins what is left of it
    read += [shell.readline(3), shell.readline(0)]
    read += [shell.readline() for _ in range(500)]
    assert read[:500] == lines[:500] and read[500:502] == ["lin", ""] and read[502] == "e 500\n"
    assert "".join(read) == "".join(lines)
    with pytest.raises(EOFError):
        shell.readline()


@pytest.mark.parametrize("call, size", [
    (lambda s: s.readline(), -1), (lambda s: s.readline(-1), -1), (lambda s: s.readline(size=5), 5),
    (lambda s: s.readline(0), 0)])
def test_readline_passes_its_size_to_the_host(shell, call, size):
    shell.addDataForReading("x\n")
    kalhost.clearCalls()
    call(shell)
    assert host_calls("ShellIO.readLine") == [("ShellIO.readLine", (size,))]


def test_readline_keywords_and_argument_errors(shell):
    shell.addDataForReading("abc\n")
    assert kal.ShellIO.readline(self=shell, size=2) == "ab"
    with pytest.raises(TypeError, match=r"^in method 'ShellIO_readline', argument 2 of type 'int'$"):
        shell.readline("2")
    with pytest.raises(TypeError):
        shell.readline(count=2)


def test_host_errors_in_readline_are_translated(shell):
    assert type(raised_by_fault("ShellIO.readLine", "OperationFailed", shell.readline)) is kal.Error


def test_written_data_comes_back_once_and_unchanged(shell):
    shell.write("a\0b\n")
    shell.write("\udc80 é")
    assert shell.getAndClearWrittenData() == "a\0b\n\udc80 é"
    assert shell.getAndClearWrittenData() == ""


def test_flags_and_the_proxy_is_not_owned(shell):
    assert not shell.isWaitingForCommand() and not shell.isatty()
    shell.setIsWaitingForCommand(True)
    assert kal.ui.shellIO().isWaitingForCommand()
    shell.interruptShellThread()  # no read waits: nothing happens
    assert not shell.this.own() and not kal.ui.this.own()
    assert type(raised_by_fault("ui.shellIO", "ObjectWasDeleted", kal.ui.shellIO)) is kal.Error


KALVANE = os.environ.get("KALVANE")


def read_until(fd, wanted, seconds=20):
    """What the terminal shows until `wanted` appears; fails after `seconds`."""
    seen = b""
    deadline = time.monotonic() + seconds
    while wanted not in seen:
        left = deadline - time.monotonic()
        assert left > 0, "waited for %r, saw %r" % (wanted, seen)
        ready, _, _ = select.select([fd], [], [], left)
        if ready:
            try:
                chunk = os.read(fd, 4096)
            except OSError:  # the other end closed
                break
            if not chunk:
                break
            seen += chunk
    assert wanted in seen, "waited for %r, saw %r" % (wanted, seen)
    return seen


@pytest.mark.skipif(not KALVANE, reason="KALVANE names the built application")
def test_kalvane_prompt_runs_through_the_shell_in_a_terminal():
    leader, follower = pty.openpty()

    def controlled_by_the_terminal():
        # A session of its own, with the terminal as its controlling one, so that Ctrl-C
        # becomes SIGINT as it would for a user.
        os.setsid()
        fcntl.ioctl(0, termios.TIOCSCTTY, 0)

    process = subprocess.Popen([KALVANE], stdin=follower, stdout=follower, stderr=follower,
                               close_fds=True, preexec_fn=controlled_by_the_terminal)
    os.close(follower)
    try:
        read_until(leader, b">>> ")
        os.write(leader, b"import sys; print(6 * 7, sys.stdin.isatty(), kal.node('/obj').path())\n")
        read_until(leader, b"42 True /obj")
        os.write(leader, b"for i in (1, 2):\n")
        read_until(leader, b"... ")
        os.write(leader, b"  print('line', i)\n\n")
        read_until(leader, b"line 2")
        # The prompt waits for input without the interpreter lock: other threads run meanwhile.
        os.write(leader, b"import threading; threading.Timer(0.2, print, ('from', 'a thread')).start()\n")
        read_until(leader, b"from a thread")
        # Ctrl-C while the prompt waits reaches the reading thread.
        os.write(leader, b"\x03")
        read_until(leader, b"KeyboardInterrupt")
        os.write(leader, b"print('still', 'here')\n")
        read_until(leader, b"still here")
        os.write(leader, b"\x04")  # Ctrl-D ends the prompt and the application
        assert process.wait(timeout=20) == 0
    finally:
        if process.poll() is None:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
        os.close(leader)
