"""Writes kal.pyi, the type stubs editors and type checkers read, from the description api.py made.

    stubs.py <api .json> <output .pyi> [<stubtest allowlist of the classes without a constructor>]
"""

import json
import keyword
import re
import sys
from pathlib import Path

from api import INPLACE

HEADER = '''\
# Type stubs of kal, generated from the wrapper's interface by module/stubs.py; do not edit.
# Arguments of methods without keyword names are positional only. A result that may be None
# is Optional; collections come back as tuples, maps as dicts.
from typing import Any, ClassVar, Dict, Iterator, Mapping, Optional, Sequence, Tuple, overload


class ProxyClassType(type):
    """The class of kal's classes."""
'''

# Names the annotations use, which a method of the same name would hide inside its class.
ANNOTATION_NAMES = {"ProxyClassType", "Any", "ClassVar", "Dict", "Iterator", "Mapping", "Optional", "Sequence", "Tuple", "overload",
                    "int", "float", "str", "bool", "None"}


def number_rank(annotation):
    return 0 if re.search(r"\bbool\b", annotation) else 1 if re.search(r"\bint\b", annotation) else 2


def parameter_name(name):
    return name + "_" if keyword.iskeyword(name) else name


class StubWriter:
    def __init__(self, api):
        self.api = api
        # A namespace class is published under its own name as its one instance, so the class
        # itself goes by a private name here.
        self.renamed = {name: "_" + name for name in api["namespaces"]}
        self.lines = [HEADER]
        self.classes = {cls["name"] for cls in api["classes"]}

    def type_name(self, text):
        for name, private in self.renamed.items():
            text = re.sub(r"(?<![\w.])%s(?!\w)" % re.escape(name), private, text)
        return text

    def signature(self, operation, form, method):
        names = [parameter_name(p["name"]) for p in form["params"]]
        parts = ["self"] if method and not form["static"] else []
        for p, name in zip(form["params"], names):
            text = "%s: %s" % (name, self.type_name(p["type"]))
            if p["has_default"]:
                default = p["default"]
                text += " = %s" % (default if default in ("None", "True", "False") or
                                   re.fullmatch(r"[-+]?[\d.eE+-]+|'.*'|\"[^\"]*\"", default or "") else "...")
            parts.append(text)
        # The proxy's own __init__ names the arguments of a constructor with one form.
        keywords = form["keywords"] or (operation["name"] == "__init__" and len(operation["forms"]) == 1)
        if not keywords and len(parts) > (1 if method and not form["static"] else 0):
            parts.append("/")
        result = "None" if operation["name"] == "__init__" else self.type_name(form["result"])
        text = "def %s(%s) -> %s: ..." % (operation["name"], ", ".join(parts), result)
        # Comparing with another class raises TypeError, which the narrower argument says.
        if operation["name"] in ("__eq__", "__ne__") and method:
            text += "  # type: ignore[override]"
        # An in-place operator may take fewer types than its binary form does.
        elif re.fullmatch(INPLACE, operation["name"]) and method:
            text += "  # type: ignore[misc]"
        return text

    def operation(self, operation, indent, method):
        # Narrower numbers first: a type checker takes a bool where an int is asked for and an int
        # where a float is, so such a form after the wider one would never be chosen.
        forms = sorted(operation["forms"], key=lambda form: [number_rank(p["type"]) for p in form["params"]])
        for form in forms:
            if form["static"] and method:
                self.lines.append(indent + "@staticmethod")
            if len(forms) > 1:
                self.lines.append(indent + "@overload")
            self.lines.append(indent + self.signature(operation, form, method))

    def klass(self, cls):
        name = self.renamed.get(cls["name"], cls["name"])
        bases = [self.type_name(b) for b in cls["bases"]]
        if not any(base in self.classes for base in cls["bases"]):
            bases.append("metaclass=ProxyClassType")
        bases = ", ".join(bases)
        self.lines.append("")
        self.lines.append("class %s%s:" % (name, "(%s)" % bases if bases else ""))
        body = len(self.lines)
        for value in cls["values"]:
            self.lines.append("    %s: ClassVar[EnumValue]" % value)
        names = {operation["name"]: operation for operation in cls["operations"]}
        for operation in cls["operations"]:
            if operation["name"] in ANNOTATION_NAMES:
                raise SystemExit("stubs: %s.%s hides a name the annotations use" % (cls["name"], operation["name"]))
            self.operation(operation, "    ", method=True)
        # Python iterates these through __getitem__ and its IndexError at the end; type checkers
        # only follow __iter__, which the stubs therefore state.
        if "__len__" in names and "__getitem__" in names and "__iter__" not in names:
            items = [form["result"] for form in names["__getitem__"]["forms"]
                     if [p["type"] for p in form["params"]] == ["int"]]
            if items:
                self.lines.append("    def __iter__(self) -> Iterator[%s]: ..." % self.type_name(items[0]))
        # An iterator is its own iterator.
        if "__next__" in names and "__iter__" not in names:
            self.lines.append("    def __iter__(self) -> %s: ..." % self.renamed.get(cls["name"], cls["name"]))
        if len(self.lines) == body:
            self.lines.append("    ...")

    def write(self):
        for cls in self.api["classes"]:
            self.klass(cls)
        self.lines.append("")
        for function in self.api["functions"]:
            self.operation(function, "", method=False)
        self.lines.append("")
        self.lines.append("cvar: Any")
        for name in self.api["namespaces"]:
            # None where the application does not offer the namespace.
            self.lines.append("%s: Optional[%s]" % (name, self.renamed[name]))
        return "\n".join(self.lines) + "\n"


def main():
    api_path, output = sys.argv[1:3]
    api = json.loads(Path(api_path).read_text(encoding="utf-8"))
    Path(output).write_text(StubWriter(api).write(), encoding="utf-8")
    if len(sys.argv) > 3:
        abstract = [c["name"] for c in api["classes"] if c["name"] not in api["namespaces"]
                    and not any(o["name"] == "__init__" for o in c["operations"])]
        Path(sys.argv[3]).write_text(
            "# Generated by module/stubs.py: classes whose proxy __init__ only raises; the stubs leave it out.\n"
            + "".join("kal.%s.__init__\n" % name for name in abstract), encoding="utf-8")


if __name__ == "__main__":
    main()
