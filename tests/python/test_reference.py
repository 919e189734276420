"""The API reference: an entry for every class and operation the module has, with the errors
each one translates."""

import json
import os
import re
from html.parser import HTMLParser
from pathlib import Path

import pytest

import kal
from conftest import raised_by_fault
from test_stubs import classes, operations

API = json.loads(Path(os.environ["KAL_API"]).read_text(encoding="utf-8"))


class Anchors(HTMLParser):
    def __init__(self):
        super().__init__()
        self.ids = set()

    def handle_starttag(self, tag, attrs):
        self.ids.update(value for name, value in attrs if name == "id")


@pytest.fixture(scope="module")
def reference(tmp_path_factory):
    import sys
    sys.path.insert(0, str(Path(__file__).parents[2] / "module"))
    try:
        import reference as generator
    finally:
        sys.path.pop(0)
    output = tmp_path_factory.mktemp("docs")
    missing = generator.Reference(API, output).write()
    anchors = Anchors()
    for page in output.glob("*.html"):
        anchors.feed(page.read_text(encoding="utf-8"))
    return output, anchors.ids, missing


def test_every_class_and_operation_has_its_entry(reference):
    _, ids, _ = reference
    wanted = set(classes()) | {"%s.%s" % (owner, entry[len(owner) + 1:]) if owner else entry
                               for owner, entry in operations()}
    assert sorted(wanted - ids) == []


def test_the_index_searches_every_page(reference):
    output, _, _ = reference
    index = (output / "index.html").read_text(encoding="utf-8")
    entries = json.loads(re.search(r"const INDEX = (\[.*?\]);", index, re.S).group(1))
    pages = {href.split("#")[0] for _, href, _, _ in entries}
    assert pages == {page.name for page in output.glob("*.html")} - {"index.html"}
    assert ["kal.Node.createNode", "nodes.html#Node.createNode"] in [e[:2] for e in entries]


def test_operations_without_a_description_are_reported(reference, capsys):
    _, _, missing = reference
    described = [o for c in API["classes"] for o in c["operations"] if o["description"]]
    assert described and all(o["description"].strip() for o in described)
    with capsys.disabled():
        print("\nreference: %d operations without a description" % len(missing))


def create_node_raises(reference):
    output, _, _ = reference
    page = (output / "nodes.html").read_text(encoding="utf-8")
    block = page.split('id="Node.createNode"', 1)[1].split("</div>", 1)[0]
    return re.search(r'<p class="raises">(.*?)</p>', block).group(1)


@pytest.mark.parametrize("error, raised", [("InvalidNodeName", kal.InvalidNodeName), ("LoadWarning", kal.Error)])
def test_the_errors_listed_are_those_a_call_raises(reference, error, raised):
    text = create_node_raises(reference)
    listed = "<code>kal.%s</code>" % error in text
    assert listed == (raised is not kal.Error)
    assert "any other error of the object model as <code>kal.Error</code>" in text
    assert type(raised_by_fault("Node.createNode", error, lambda: kal.node("/obj").createNode("geo"))) is raised
