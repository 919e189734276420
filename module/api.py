"""What Python sees of kal, read from SWIG's own parse tree of the wrapper.

The wrapper's SWIG run writes its parse tree (`-xmlout`) after the Python module has processed
it: names, renames, keyword features, defaults, overload forms and catch lists there are exactly
those of the wrapper. This reads it, with the one-line description written above each operation
in its `model/` header (or `interface/` file), and writes one JSON description that the stub and
reference generators share:

    api.py <parse tree .xml> <source root> <output .json>
"""

import json
import re
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

# --- reading the parse tree ---------------------------------------------------------------

# Subtrees SWIG keeps for its own code generation; dropping them while reading keeps memory flat.
SKIPPED_TAGS = {"typemap", "typemapcopy", "fragment", "insert", "types", "apply", "kwargs"}


def attributes(node):
    found = node.find("attributelist")
    if found is None:
        return {}
    return {a.get("name"): a.get("value") for a in found.findall("attribute")}


def parameters(node):
    found = node.find("attributelist/parmlist")
    if found is None:
        return []
    return [{a.get("name"): a.get("value") for a in parm.iter("attribute")} for parm in found.findall("parm")]


def catch_list(node):
    found = node.find("attributelist/catchlist")
    if found is None:
        return []
    return [{a.get("name"): a.get("value") for a in parm.iter("attribute")}["type"] for parm in found.findall("parm")]


def read_tree(path):
    parser = ET.XMLPullParser(events=("start", "end"))
    root = None
    with open(path, "rb") as stream:
        for chunk in iter(lambda: stream.read(1 << 20), b""):
            parser.feed(chunk)
            for event, element in parser.read_events():
                if root is None:
                    root = element
                if event == "end" and element.tag in SKIPPED_TAGS:
                    element.clear()
    parser.close()
    return root


# --- SWIG type strings --------------------------------------------------------------------

# In-place operators: x += y and the like.
INPLACE = re.compile(r"__i(add|sub|mul|matmul|truediv|floordiv|div|mod|pow|lshift|rshift|and|xor|or)__")

PREFIX = re.compile(r"^(p\.|r\.|q\([^)]*\)\.|a\([^)]*\)\.)")


def split_type(swig_type):
    """('p.q(const).char') -> (['p', 'q(const)'], 'char')"""
    prefixes = []
    while True:
        match = PREFIX.match(swig_type)
        if not match:
            return prefixes, swig_type
        prefixes.append(match.group(1)[:-1])
        swig_type = swig_type[match.end():]


def template_arguments(text):
    """'std::map<(std::string,p.KOM_Node)>' -> ('std::map', ['std::string', 'p.KOM_Node'])"""
    start = text.index("<")
    name, inner = text[:start], text[start + 1:text.rindex(">")]
    if inner.startswith("(") and inner.endswith(")"):
        inner = inner[1:-1]
    arguments, depth, current = [], 0, ""
    for char in inner:
        if char in "<(":
            depth += 1
        elif char in ">)":
            depth -= 1
        if char == "," and depth == 0:
            arguments.append(current.strip())
            current = ""
        else:
            current += char
    arguments.append(current.strip())
    return name.strip(), [a for a in arguments if not a.startswith("std::allocator")]


def cpp_spelling(swig_type):
    """How C++ writes a SWIG type string, for the reference."""
    prefixes, base = split_type(swig_type)
    if "<" in base:
        name, arguments = template_arguments(base)
        base = "%s<%s>" % (name, ", ".join(cpp_spelling(a) for a in arguments))
    text = base
    for prefix in reversed(prefixes):
        if prefix == "p":
            text += " *"
        elif prefix == "r":
            text += " &"
        elif prefix.startswith("q("):
            text += " " + prefix[2:-1]
    return text


INTEGERS = {"int", "unsigned int", "long", "unsigned long", "short", "unsigned short", "size_t",
            "std::size_t", "long long", "unsigned long long", "ptrdiff_t", "std::ptrdiff_t"}
FLOATS = {"float", "double"}


class TypeNamer:
    """Python types of C++ types, as the conversions of convert/ make them."""

    def __init__(self, class_names):
        self.class_names = class_names          # C++ class name -> Python class name

    def python(self, swig_type, result, in_container=False, maybe_none=True):
        prefixes, base = split_type(swig_type)
        pointer = bool(prefixes) and prefixes[0] == "p"
        if base == "void":
            return "None" if not prefixes else "Any"
        if base == "PyObject":
            return "Any"
        if base == "bool":
            return "bool"
        if base in INTEGERS:
            return "int"
        if base in FLOATS:
            return "float"
        if base == "char" and pointer:
            return "str" if result else "Optional[str]"
        if base in ("std::string", "std::string const"):
            return "str"
        member = re.fullmatch(r"(.*>)::(\w+)", base)
        if member:
            # A container's member type, such as std::vector<int>::size_type.
            if member.group(2) in ("size_type", "difference_type"):
                return "int"
            if member.group(2) in ("value_type", "const_reference", "reference"):
                return self.python(template_arguments(member.group(1))[1][0], result, in_container=True)
            return "Any"
        if base == "PySliceObject":
            return "slice"
        if "<" in base:
            name, arguments = template_arguments(base)
            if name in ("std::vector", "std::list", "std::set"):
                item = self.python(arguments[0], result, in_container=True)
                return "Tuple[%s, ...]" % item if result else "Sequence[%s]" % item
            if name == "std::map":
                key = self.python(arguments[0], result, in_container=True)
                value = self.python(arguments[1], result, in_container=True)
                return "Dict[%s, %s]" % (key, value) if result else "Mapping[%s, %s]" % (key, value)
            if name == "std::pair":
                return "Tuple[%s]" % ", ".join(self.python(a, result, in_container=True) for a in arguments)
            if name == "KOM_ElemPtr":
                return self.python(arguments[0], result, in_container=True)
        python_name = self.class_names.get(normalise(base))
        if python_name is None:
            return "Any"
        # A pointer argument takes None; a pointer result is None only where the operation
        # says so (kal:maybenone), and elements of containers never are.
        if pointer and not in_container and (not result or maybe_none):
            return "Optional[%s]" % python_name
        return python_name


def normalise(cpp_name):
    return re.sub(r"\s+", "", cpp_name).replace("<(", "<").replace(")>", ">")


def python_default(value, swig_type, enumeration_values):
    """A C++ default as Python writes it, or None when there is no such literal."""
    if value is None:
        return None
    text = value.strip()
    if text in ("nullptr", "NULL") or (text == "0" and split_type(swig_type)[0][:1] == ["p"]):
        return "None"
    if text in ("true", "false"):
        return text.capitalize()
    number = re.fullmatch(r"([-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?)[fFlLuU]*", text)
    if number:
        return number.group(1)
    if re.fullmatch(r'"(?:[^"\\]|\\.)*"', text):
        return repr(bytes(text[1:-1], "utf-8").decode("unicode_escape"))
    if re.fullmatch(r"std::(vector|list)<.*>\(\)", text):
        return "()"
    if re.fullmatch(r"std::map<.*>\(\)", text):
        return "{}"
    qualified = re.fullmatch(r"KOM_(\w+)::(\w+)", text)
    if qualified and qualified.group(1) in enumeration_values:
        return "kal.%s.%s" % qualified.groups()
    return None


# --- descriptions in the sources ----------------------------------------------------------

class Descriptions:
    """The `//` comment line directly above each declaration, found within its class or namespace."""

    def __init__(self, root):
        self.files = {}
        for folder in ("model", "interface"):
            for path in sorted((root / folder).glob("*.[hi]")):
                self.files[path] = path.read_text(encoding="utf-8").splitlines()
        self.scopes = {}

    def scope_lines(self, kind, name):
        key = (kind, name)
        if key not in self.scopes:
            if kind == "define":
                regions = [self.define_body(lines, index) for lines in self.files.values()
                           for index, line in enumerate(lines) if line.startswith("%define")]
                self.scopes[key] = regions
                return regions
            if kind == "class":
                opener = re.compile(r"^\s*(class|struct)\s+%s\b(?!\s*;)" % re.escape(name))
                extender = re.compile(r"^\s*%%extend\s+%s\b" % re.escape(name))
            else:
                opener = re.compile(r"^\s*namespace\s+%s\b" % re.escape(name))
                extender = None
            regions = []
            for lines in self.files.values():
                for index, line in enumerate(lines):
                    if opener.match(line) or (extender and extender.match(line)):
                        regions.append(self.body(lines, index))
            self.scopes[key] = regions
        return self.scopes[key]

    @staticmethod
    def define_body(lines, start):
        end = next((i for i in range(start, len(lines)) if lines[i].startswith("%enddef")), len(lines))
        return lines[start:end]

    @staticmethod
    def body(lines, start):
        depth, seen = 0, False
        for index in range(start, len(lines)):
            code = lines[index].split("//")[0]
            depth += code.count("{") - code.count("}")
            seen = seen or "{" in code
            if seen and depth <= 0:
                return lines[start:index + 1]
            if not seen and code.rstrip().endswith(";"):
                break
        return lines[start:start + 1]

    def find(self, kind, scope, name):
        declaration = re.compile(r"(?<![\w.>~])%s\s*\(" % re.escape(name))
        for region in self.scope_lines(kind, scope):
            for index, line in enumerate(region):
                stripped = line.strip()
                if stripped.startswith("//") or stripped.startswith("return ") or not declaration.search(line):
                    continue
                if "operator" in line.split(name)[0] and name.startswith("__"):
                    continue
                # A declaration whose result type takes a line of its own starts a line higher.
                above = index - 1
                while above > 0 and region[above].strip() and \
                        not region[above].strip().startswith("//") and \
                        not region[above].rstrip().endswith((";", "{", "}", ":")):
                    above -= 1
                comment = region[above].strip() if above >= 0 else ""
                if comment.startswith("//"):
                    return comment[2:].strip()
        return None

    def find_free(self, name):
        declaration = re.compile(r"^\w[\w:<>\s*&]*[\s*&]%s\s*\(" % re.escape(name))
        for lines in self.files.values():
            for index, line in enumerate(lines):
                if declaration.match(line) and index and lines[index - 1].strip().startswith("//"):
                    return lines[index - 1].strip()[2:].strip()
        return None

    def class_comment(self, cpp_name):
        """The first sentence of the comment block above a class's declaration."""
        opener = re.compile(r"^\s*(class|struct)\s+%s\b(?!\s*;)" % re.escape(re.sub(r"<.*", "", cpp_name)))
        for lines in self.files.values():
            for index, line in enumerate(lines):
                if opener.match(line):
                    block = []
                    while index > 0 and lines[index - 1].strip().startswith("//"):
                        index -= 1
                        block.insert(0, lines[index].strip()[2:].strip())
                    if block:
                        # Its first sentence: what the class is; the rest speaks to implementers.
                        return re.split(r"(?<=\.)\s", " ".join(block), maxsplit=1)[0]
        return None


# --- the description ----------------------------------------------------------------------

def describe(tree, source_root):
    descriptions = Descriptions(source_root)

    # Which family each node belongs to: the interface file its declaration sits under.
    families, family_of_node = [], {}

    def walk(node, family):
        if node.tag == "include":
            name = attributes(node).get("name", "")
            if Path(name).parent.name == "interface":
                family = Path(name).stem
                if family not in families:
                    families.append(family)
        if node.tag in ("class", "cdecl", "constant"):
            family_of_node[node] = family
        for child in node:
            if child.tag not in SKIPPED_TAGS:
                walk(child, family)

    walk(tree, None)

    class_nodes = [node for node in family_of_node if node.tag == "class" and attributes(node).get("sym_name")]
    # SWIG's own classes the module registers (its iterator) go with the containers.
    for node in class_nodes:
        if family_of_node[node] is None and attributes(node).get("python_proxy"):
            family_of_node[node] = "containers"
    class_names, cpp_of = {}, {}
    for node in class_nodes:
        a = attributes(node)
        if family_of_node[node] is None:
            continue
        class_names[normalise(a["name"])] = a["sym_name"]
        cpp_of[a["sym_name"]] = a["name"]
    namer = TypeNamer(class_names)

    enumeration_values = {}
    for node in class_nodes:
        a = attributes(node)
        values = [attributes(c)["sym_name"] for c in node.findall("cdecl")
                  if attributes(c).get("storage") == "static" and attributes(c).get("kind") == "variable"
                  and attributes(c).get("type") == "KOM_EnumValue"]
        if values:
            enumeration_values[a["sym_name"]] = values

    def operations_of(members, owner, python_owner, is_module=False):
        grouped = {}
        for member in members:
            a = attributes(member)
            name = a.get("sym_name")
            if (not name or a.get("feature_ignore") or a.get("access", "public") != "public"
                    or (member.tag != "constructor" and a.get("kind") != "function") or a.get("defaultargs")):
                continue
            if member.tag == "constructor":
                name = "__init__"
            params = []
            for index, p in enumerate(parameters(member)):
                # Filled by the wrapper itself, not given by the caller.
                if p.get("type") == "void" or p.get("name") == "PYTHON_SELF":
                    continue
                params.append({
                    "name": p.get("name") or "arg%d" % (index + 1),
                    "type": namer.python(p["type"], result=False),
                    "cpp": cpp_spelling(p["type"]),
                    "default": python_default(p.get("value"), p["type"], enumeration_values),
                    "has_default": p.get("value") is not None,
                })
            decl = a.get("decl", "")
            result_type = ""
            if member.tag != "constructor":
                result_type = decl[decl.rindex(")") + 2:] + a.get("type", "void") if ")" in decl else a.get("type", "void")
                if result_type.startswith("."):
                    result_type = result_type[1:]
            maybe_none = bool(a.get("feature_kal_maybenone") or a.get("feature_kal:maybenone"))
            result = (namer.python(result_type, result=True, maybe_none=maybe_none)
                      if member.tag != "constructor" else "None")
            # An in-place operator hands back the object itself.
            if result == "Any" and re.fullmatch(INPLACE, name) and python_owner:
                result = python_owner
            if (result == "Any" and name == "__getitem__" and "<" in owner
                    and normalise(owner).startswith("KOM_IterableList<")):
                result = namer.python(template_arguments(normalise(owner))[1][0], result=True, in_container=True)
            grouped.setdefault(name, []).append({
                "params": params,
                "result": result,
                "result_cpp": cpp_spelling(result_type) if result_type else "",
                "catches": catch_list(member),
                "keywords": bool(a.get("feature_kwargs")),
                "static": a.get("storage") == "static",
            })
        operations = []
        for name, forms in grouped.items():
            scope_kind, scope_name = ("namespace", "kom") if is_module else ("class", re.sub(r"<.*", "", owner))
            found = descriptions.find(scope_kind, scope_name, name if name != "__init__" else scope_name)
            if found is None and is_module:
                found = descriptions.find("class", "KOM_Module", name)
            if found is None and not is_module:
                # An operation written for the binding: the free function KOM_<Class>_<operation>.
                found = descriptions.find_free("%s_%s" % (scope_name, name))
            if found is None and not is_module:
                # Operations that an interface file's macro adds to several classes.
                found = descriptions.find("define", None, name)
            operations.append({"name": name, "forms": forms, "description": found})
        return operations

    classes = []
    for node in class_nodes:
        a = attributes(node)
        name = a["sym_name"]
        if name not in cpp_of:
            continue
        members = []
        for child in node:
            if child.tag in ("cdecl", "constructor"):
                members.append(child)
            elif child.tag == "extend":
                members.extend(c for c in child if c.tag in ("cdecl", "constructor"))
        base_list = node.find("attributelist/baselist")
        bases = [class_names.get(normalise(b.get("name")), None) for b in base_list] if base_list is not None else []
        bases = [b for b in bases if b]
        if a.get("feature_exceptionclass") and not bases:
            bases = ["Exception"]
        is_error = name == "SystemExit" or a.get("feature_exceptionclass") == "1"
        kind = ("enumeration" if name in enumeration_values and name != "EnumValue" else
                "error" if is_error else
                "sequence" if normalise(a["name"]).startswith("KOM_IterableList<") else
                "container" if normalise(a["name"]).startswith("std::") or name == "PySwigIterator" else
                "class")
        operations = operations_of(members, a["name"], name)
        classes.append({
            "name": name, "cpp": cpp_spelling(a["name"]), "family": family_of_node[node], "kind": kind,
            "bases": bases, "values": enumeration_values.get(name, []) if kind == "enumeration" else [],
            "operations": operations,
            "description": descriptions.class_comment(a["name"]),
        })

    # A method without a description of its own takes its base's.
    by_name = {c["name"]: c for c in classes}
    for cls in classes:
        for operation in cls["operations"]:
            base = cls
            while operation["description"] is None and base["bases"] and base["bases"][0] in by_name:
                base = by_name[base["bases"][0]]
                inherited = [o for o in base["operations"] if o["name"] == operation["name"]]
                if inherited:
                    operation["description"] = inherited[0]["description"]

    functions = []
    by_family = {}
    for node, family in family_of_node.items():
        if node.tag == "cdecl" and attributes(node).get("view") == "globalfunctionHandler":
            by_family.setdefault(family, []).append(node)
    for family, members in by_family.items():
        for operation in operations_of(members, "kom", None, is_module=True):
            operation["family"] = family
            functions.append(operation)

    error_descriptions = error_texts(source_root / "model" / "errors.h")
    for cls in classes:
        if cls["kind"] == "error" and cls["description"] is None:
            cls["description"] = error_descriptions.get(cls["name"])

    # Module functions `__<name>` that return the singleton class `<name>` are published as kal.<name>.
    published = [f["name"][2:] for f in functions
                 if f["name"].startswith("__") and f["forms"][0]["result"] in
                 ("Optional[%s]" % f["name"][2:], f["name"][2:])]
    return {"families": families, "classes": classes, "functions": functions, "namespaces": published}


def error_texts(path):
    text = path.read_text(encoding="utf-8")
    return {name: description for name, description in
            re.findall(r"X\(\s*(\w+)\s*,\s*\"((?:[^\"\\]|\\.)*)\"\s*\)", text)}


def main():
    xml_path, source_root, output = sys.argv[1:4]
    api = describe(read_tree(xml_path), Path(source_root))
    Path(output).write_text(json.dumps(api, indent=1), encoding="utf-8")


if __name__ == "__main__":
    main()
