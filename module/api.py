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


def catchList(node):
    found = node.find("attributelist/catchlist")
    if found is None:
        return []
    return [{a.get("name"): a.get("value") for a in parm.iter("attribute")}["type"] for parm in found.findall("parm")]


def readTree(path):
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

PREFIX = re.compile(r"^(p\.|r\.|q\([^)]*\)\.|a\([^)]*\)\.)")


def splitType(swigType):
    """('p.q(const).char') -> (['p', 'q(const)'], 'char')"""
    prefixes = []
    while True:
        match = PREFIX.match(swigType)
        if not match:
            return prefixes, swigType
        prefixes.append(match.group(1)[:-1])
        swigType = swigType[match.end():]


def templateArguments(text):
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


def cppSpelling(swigType):
    """How C++ writes a SWIG type string, for the reference."""
    prefixes, base = splitType(swigType)
    if "<" in base:
        name, arguments = templateArguments(base)
        base = "%s<%s>" % (name, ", ".join(cppSpelling(a) for a in arguments))
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

    def __init__(self, classNames):
        self.classNames = classNames          # C++ class name -> Python class name

    def python(self, swigType, result, inContainer=False, maybeNone=True):
        prefixes, base = splitType(swigType)
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
                return self.python(templateArguments(member.group(1))[1][0], result, inContainer=True)
            return "Any"
        if base == "PySliceObject":
            return "slice"
        if "<" in base:
            name, arguments = templateArguments(base)
            if name in ("std::vector", "std::list", "std::set"):
                item = self.python(arguments[0], result, inContainer=True)
                return "Tuple[%s, ...]" % item if result else "Sequence[%s]" % item
            if name == "std::map":
                key = self.python(arguments[0], result, inContainer=True)
                value = self.python(arguments[1], result, inContainer=True)
                return "Dict[%s, %s]" % (key, value) if result else "Mapping[%s, %s]" % (key, value)
            if name == "std::pair":
                return "Tuple[%s]" % ", ".join(self.python(a, result, inContainer=True) for a in arguments)
            if name == "KOM_ElemPtr":
                return self.python(arguments[0], result, inContainer=True)
        pythonName = self.classNames.get(normalise(base))
        if pythonName is None:
            return "Any"
        # A pointer argument takes None; a pointer result is None only where the operation
        # says so (kal:maybenone), and elements of containers never are.
        if pointer and not inContainer and (not result or maybeNone):
            return "Optional[%s]" % pythonName
        return pythonName


def normalise(cppName):
    return re.sub(r"\s+", "", cppName).replace("<(", "<").replace(")>", ">")


def pythonDefault(value, swigType, enumerationValues):
    """A C++ default as Python writes it, or None when there is no such literal."""
    if value is None:
        return None
    text = value.strip()
    if text in ("nullptr", "NULL") or (text == "0" and splitType(swigType)[0][:1] == ["p"]):
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
    if qualified and qualified.group(1) in enumerationValues:
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

    def scopeLines(self, kind, name):
        key = (kind, name)
        if key not in self.scopes:
            if kind == "define":
                regions = [self.defineBody(lines, index) for lines in self.files.values()
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
    def defineBody(lines, start):
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
        for region in self.scopeLines(kind, scope):
            for index, line in enumerate(region):
                stripped = line.strip()
                if stripped.startswith("//") or stripped.startswith("return ") or not declaration.search(line):
                    continue
                if "operator" in line.split(name)[0] and name.startswith("__"):
                    continue
                comment = region[index - 1].strip() if index else ""
                if comment.startswith("//"):
                    return comment[2:].strip()
        return None

    def findFree(self, name):
        declaration = re.compile(r"^\w[\w:<>\s*&]*[\s*&]%s\s*\(" % re.escape(name))
        for lines in self.files.values():
            for index, line in enumerate(lines):
                if declaration.match(line) and index and lines[index - 1].strip().startswith("//"):
                    return lines[index - 1].strip()[2:].strip()
        return None

    def classComment(self, cppName):
        """The comment block above a class's declaration, joined into one text."""
        opener = re.compile(r"^\s*(class|struct)\s+%s\b(?!\s*;)" % re.escape(re.sub(r"<.*", "", cppName)))
        for lines in self.files.values():
            for index, line in enumerate(lines):
                if opener.match(line):
                    block = []
                    while index > 0 and lines[index - 1].strip().startswith("//"):
                        index -= 1
                        block.insert(0, lines[index].strip()[2:].strip())
                    if block:
                        return " ".join(block)
        return None


# --- the description ----------------------------------------------------------------------

def describe(tree, sourceRoot):
    descriptions = Descriptions(sourceRoot)

    # Which family each node belongs to: the interface file its declaration sits under.
    families, familyOfNode = [], {}

    def walk(node, family):
        if node.tag == "include":
            name = attributes(node).get("name", "")
            if Path(name).parent.name == "interface":
                family = Path(name).stem
                if family not in families:
                    families.append(family)
        if node.tag in ("class", "cdecl", "constant"):
            familyOfNode[node] = family
        for child in node:
            if child.tag not in SKIPPED_TAGS:
                walk(child, family)

    walk(tree, None)

    classNodes = [node for node in familyOfNode if node.tag == "class" and attributes(node).get("sym_name")]
    # SWIG's own classes the module registers (its iterator) go with the containers.
    for node in classNodes:
        if familyOfNode[node] is None and attributes(node).get("python_proxy"):
            familyOfNode[node] = "containers"
    classNames, cppOf = {}, {}
    for node in classNodes:
        a = attributes(node)
        if familyOfNode[node] is None:
            continue
        classNames[normalise(a["name"])] = a["sym_name"]
        cppOf[a["sym_name"]] = a["name"]
    namer = TypeNamer(classNames)

    enumerationValues = {}
    for node in classNodes:
        a = attributes(node)
        values = [attributes(c)["sym_name"] for c in node.findall("cdecl")
                  if attributes(c).get("storage") == "static" and attributes(c).get("kind") == "variable"
                  and attributes(c).get("type") == "KOM_EnumValue"]
        if values:
            enumerationValues[a["sym_name"]] = values

    def operationsOf(members, owner, pythonOwner, isModule=False):
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
                    "cpp": cppSpelling(p["type"]),
                    "default": pythonDefault(p.get("value"), p["type"], enumerationValues),
                    "hasDefault": p.get("value") is not None,
                })
            decl = a.get("decl", "")
            resultType = ""
            if member.tag != "constructor":
                resultType = decl[decl.rindex(")") + 2:] + a.get("type", "void") if ")" in decl else a.get("type", "void")
                if resultType.startswith("."):
                    resultType = resultType[1:]
            maybeNone = bool(a.get("feature_kal_maybenone") or a.get("feature_kal:maybenone"))
            result = (namer.python(resultType, result=True, maybeNone=maybeNone)
                      if member.tag != "constructor" else "None")
            # An in-place operator hands back the object itself.
            if result == "Any" and re.fullmatch(r"__i\w+__", name) and pythonOwner:
                result = pythonOwner
            if (result == "Any" and name == "__getitem__" and "<" in owner
                    and normalise(owner).startswith("KOM_IterableList<")):
                result = namer.python(templateArguments(normalise(owner))[1][0], result=True, inContainer=True)
            grouped.setdefault(name, []).append({
                "params": params,
                "result": result,
                "resultCpp": cppSpelling(resultType) if resultType else "",
                "catches": catchList(member),
                "keywords": bool(a.get("feature_kwargs")),
                "static": a.get("storage") == "static",
            })
        operations = []
        for name, forms in grouped.items():
            scopeKind, scopeName = ("namespace", "kom") if isModule else ("class", re.sub(r"<.*", "", owner))
            found = descriptions.find(scopeKind, scopeName, name if name != "__init__" else scopeName)
            if found is None and isModule:
                found = descriptions.find("class", "KOM_Module", name)
            if found is None and not isModule:
                # An operation written for the binding: the free function KOM_<Class>_<operation>.
                found = descriptions.findFree("%s_%s" % (scopeName, name))
            if found is None and not isModule:
                # Operations that an interface file's macro adds to several classes.
                found = descriptions.find("define", None, name)
            operations.append({"name": name, "forms": forms, "description": found})
        return operations

    classes = []
    for node in classNodes:
        a = attributes(node)
        name = a["sym_name"]
        if name not in cppOf:
            continue
        members = []
        for child in node:
            if child.tag in ("cdecl", "constructor"):
                members.append(child)
            elif child.tag == "extend":
                members.extend(c for c in child if c.tag in ("cdecl", "constructor"))
        baseList = node.find("attributelist/baselist")
        bases = [classNames.get(normalise(b.get("name")), None) for b in baseList] if baseList is not None else []
        bases = [b for b in bases if b]
        if a.get("feature_exceptionclass") and not bases:
            bases = ["Exception"]
        isError = name == "SystemExit" or a.get("feature_exceptionclass") == "1"
        kind = ("enumeration" if name in enumerationValues and name != "EnumValue" else
                "error" if isError else
                "sequence" if normalise(a["name"]).startswith("KOM_IterableList<") else
                "container" if normalise(a["name"]).startswith("std::") or name == "PySwigIterator" else
                "class")
        operations = operationsOf(members, a["name"], name)
        classes.append({
            "name": name, "cpp": cppSpelling(a["name"]), "family": familyOfNode[node], "kind": kind,
            "bases": bases, "values": enumerationValues.get(name, []) if kind == "enumeration" else [],
            "operations": operations,
            "description": descriptions.classComment(a["name"]),
        })

    # A method without a description of its own takes its base's.
    byName = {c["name"]: c for c in classes}
    for cls in classes:
        for operation in cls["operations"]:
            base = cls
            while operation["description"] is None and base["bases"] and base["bases"][0] in byName:
                base = byName[base["bases"][0]]
                inherited = [o for o in base["operations"] if o["name"] == operation["name"]]
                if inherited:
                    operation["description"] = inherited[0]["description"]

    functions = []
    byFamily = {}
    for node, family in familyOfNode.items():
        if node.tag == "cdecl" and attributes(node).get("view") == "globalfunctionHandler":
            byFamily.setdefault(family, []).append(node)
    for family, members in byFamily.items():
        for operation in operationsOf(members, "kom", None, isModule=True):
            operation["family"] = family
            functions.append(operation)

    errorDescriptions = errorTexts(sourceRoot / "model" / "errors.h")
    for cls in classes:
        if cls["kind"] == "error" and cls["description"] is None:
            cls["description"] = errorDescriptions.get(cls["name"])

    # Module functions `__<name>` that return the singleton class `<name>` are published as kal.<name>.
    published = [f["name"][2:] for f in functions
                 if f["name"].startswith("__") and f["forms"][0]["result"] in
                 ("Optional[%s]" % f["name"][2:], f["name"][2:])]
    return {"families": families, "classes": classes, "functions": functions, "namespaces": published}


def errorTexts(path):
    text = path.read_text(encoding="utf-8")
    return {name: description for name, description in
            re.findall(r"X\(\s*(\w+)\s*,\s*\"((?:[^\"\\]|\\.)*)\"\s*\)", text)}


def main():
    xmlPath, sourceRoot, output = sys.argv[1:4]
    api = describe(readTree(xmlPath), Path(sourceRoot))
    Path(output).write_text(json.dumps(api, indent=1), encoding="utf-8")


if __name__ == "__main__":
    main()
