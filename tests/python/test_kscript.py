"""kscript: expression results by type, the typed entries, string expansion, commands."""
import pytest

import kal
from conftest import host_args, raised_by_fault


@pytest.mark.parametrize("expression, expected", [
    ("1+2", 3.0), ("3.5", 3.5), ("2 * (3 - 1) / 4", 1.0), ("-2 + 7 % 4", 1.0), ("1 < 2", 1.0),
    ("\"a\" == \"b\"", 0.0), ("\"ab\" + \"c\"", "abc"), ("\"say \\\"hi\\\"\"", 'say "hi"'),
    ("\"\"", ""), ("vector(1, 2) * 2", (2.0, 4.0)), ("vector()", ()),
    ("identity(2)", ((1.0, 0.0), (0.0, 1.0))), ("matrix(vector(1), vector(2, 3))", ((1.0,), (2.0, 3.0))),
    ("$F", 1.0), ("$FPS", 24.0), ("max(abs(-4), sqrt(9))", 4.0),
    # Results held as double or int, and no result, come back as None.
    ("double(1.5)", None), ("int(2)", None), ("nothing()", None),
])
def test_expression_results_by_type(expression, expected):
    result = kal.kscriptExpression(expression)
    assert result == expected and type(result) is type(expected)


def test_expressions_read_the_clock_and_parameters():
    geo = kal.node("/obj").createNode("geo", "g")
    geo.parm("tx").set(4)
    kal.setFrame(25)
    kal.cd("/obj/g")
    assert kal.kscriptExpression('ch("tx") + $T') == 5.0
    assert kal.kscriptExpression('ch("/obj/g/sy") * 3') == 3.0
    assert kal.kscriptExpression('chs("tx")') == "4"


@pytest.mark.parametrize("entry, expression, expected", [
    (kal.kscriptFloatExpression, "1 / 4", 0.25),
    (kal.kscriptStringExpression, "\"x\" + \"y\"", "xy"),
    (kal.kscriptStringExpression, "2 * 3", "6"),
    (kal.kscriptVectorExpression, "vector(1, 2, 3)", (1.0, 2.0, 3.0)),
    (kal.kscriptMatrixExpression, "identity(1)", ((1.0,),)),
])
def test_typed_entries(entry, expression, expected):
    assert entry(expression) == expected


@pytest.mark.parametrize("entry, expression", [
    (kal.kscriptFloatExpression, "\"text\""),
    (kal.kscriptStringExpression, "vector(1)"),
    (kal.kscriptVectorExpression, "1"),
    (kal.kscriptMatrixExpression, "vector(1)"),
    (kal.kscriptExpression, "1 +"),
    (kal.kscriptExpression, "1 / 0"),
    (kal.kscriptExpression, "unknown(1)"),
    (kal.kscriptExpression, "$NOPE"),
    (kal.kscriptExpression, '"unterminated'),
    (kal.kscriptExpression, 'ch("/obj/none/tx")'),
])
def test_failures_are_operation_failed(entry, expression):
    with pytest.raises(kal.OperationFailed):
        entry(expression)


@pytest.mark.parametrize("text, expected", [
    ("plain text", "plain text"), ("frame $F of ${FPS}", "frame 1 of 24"), ("$HOME and $", "$HOME and $"),
    ("`1+2`x", "3x"), ("${F", "${F"),
])
def test_expand_string(text, expected):
    assert kal.kscriptExpandString(text) == expected


def test_chsop_resolves_a_path_parameter():
    box = kal.node("/obj").createNode("geo", "g").createNode("box", "b")
    box.parm("group").set("..")
    assert kal.chsop("/obj/g/b/group") == "/obj/g"
    box.parm("group").set("")
    assert kal.chsop("/obj/g/b/group") == ""
    with pytest.raises(kal.Error):
        kal.chsop("/obj/g/b/divisions")


def test_commands_report_through_their_results():
    out, errors = kal.kscript("cd /obj; opadd geo g; opadd geo; ls; opparm g t 1 2 3; echo \"at $F\" 'kept $F'")
    assert out == "g\ngeo1\ng\ngeo1\nat 1 kept $F\n" and errors == ""
    assert kal.node("/obj/g").parmTuple("t").eval() == (1.0, 2.0, 3.0)
    result = kal.kscript("bogus; oprm nowhere; opparm g t 1; fcur 12; fcur; pwd; oprm geo1")
    assert type(result) is tuple
    assert result[0] == "12\n/obj\n"
    assert result[1] == ("Unknown command: bogus\nNo node nowhere\nGive 3 values for t\n")
    assert kal.node("/obj/geo1") is None and kal.frame() == 12.0


def test_command_help():
    assert kal.kscriptCommandHelp("opadd").startswith("opadd type [name]")
    assert kal.kscript("help")[0].split() == ["cd", "echo", "fcur", "help", "ls", "opadd", "opparm", "oprm", "pwd"]
    with pytest.raises(kal.NotAvailable):
        kal.kscriptCommandHelp("nonesuch")


@pytest.mark.parametrize("entry, error, raised", [
    (kal.kscriptExpression, "OperationFailed", kal.OperationFailed),
    (kal.kscript, "OperationFailed", kal.Error),
    (kal.kscriptExpandString, "NotAvailable", kal.NotAvailable),
])
def test_host_errors_pass_through_as_their_class(entry, error, raised):
    operation = "Module." + entry.__name__
    assert type(raised_by_fault(operation, error, lambda: entry("1"))) is raised
    assert host_args(operation) == [("1",)]
