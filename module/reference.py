"""Writes the HTML API reference of kal from the description api.py made: one page per family,
an index with a search box. Everything is local: no script or style comes from the network.

    reference.py <api .json> <output folder>
"""

import html
import json
import sys
from pathlib import Path

TITLES = {
    "containers": "Tuple containers", "sequences": "Lazy sequences", "enums": "Enumerations",
    "errors": "Errors", "nodes": "Nodes", "nodetypes": "Node types and categories",
    "parms": "Parameters", "parmtemplates": "Parameter templates", "keyframes": "Keyframes",
    "kscript": "kscript", "geometry": "Geometry", "mathvalues": "Math values",
    "simulation": "Simulation data", "assets": "Digital assets", "scenefile": "Scene file",
    "ui": "User interface", "shelves": "Shelves, tools and galleries", "shell": "Shell input",
    "module": "Module functions",
}

# Errors the standard library throws, as the wrapper raises them.
STANDARD_ERRORS = {"std::out_of_range": "IndexError", "std::invalid_argument": "ValueError"}

STYLE = """
:root { --ink: #1d2330; --muted: #6b7385; --line: #e3e6ee; --accent: #2f5fd0; --code: #f5f7fb; }
* { box-sizing: border-box; }
body { margin: 0; font: 15px/1.55 system-ui, -apple-system, "Segoe UI", sans-serif; color: var(--ink); }
header { background: #182235; color: #fff; padding: 14px 28px; display: flex; gap: 24px; align-items: center; }
header a { color: #fff; text-decoration: none; font-weight: 600; }
header input { flex: 1; max-width: 420px; padding: 7px 10px; border-radius: 6px; border: 0; font-size: 14px; }
nav { position: fixed; top: 56px; bottom: 0; width: 230px; overflow-y: auto; padding: 18px 16px;
      border-right: 1px solid var(--line); font-size: 14px; }
nav a { display: block; color: var(--ink); text-decoration: none; padding: 2px 0; }
nav a:hover, nav a.here { color: var(--accent); }
main { margin-left: 230px; padding: 20px 40px 60px; max-width: 1100px; }
h1 { font-size: 26px; margin: 8px 0 16px; }
h2 { font-size: 20px; margin: 36px 0 6px; padding-top: 10px; border-top: 2px solid var(--line); }
h2 .bases { color: var(--muted); font-weight: 400; font-size: 15px; }
.op { margin: 14px 0; padding: 10px 14px; border-left: 3px solid var(--line); }
.op:target { border-left-color: var(--accent); background: #f7f9ff; }
code, pre { font-family: ui-monospace, "SFMono-Regular", Menlo, monospace; font-size: 13px; }
pre.sig { background: var(--code); padding: 6px 10px; margin: 4px 0; border-radius: 4px; white-space: pre-wrap; }
.desc { margin: 4px 0; }
.none { color: var(--muted); font-style: italic; }
.raises { color: var(--muted); font-size: 13px; }
.raises code { color: #9b2c2c; }
.values code { display: inline-block; margin: 2px 6px 2px 0; padding: 1px 6px; background: var(--code); border-radius: 3px; }
#results { list-style: none; padding: 0; }
#results li { padding: 4px 0; border-bottom: 1px solid var(--line); }
#results .where { color: var(--muted); font-size: 13px; margin-left: 8px; }
table.families td { padding: 4px 16px 4px 0; }
a { color: var(--accent); }
"""

SEARCH = """
const box = document.getElementById('search');
const results = document.getElementById('results');
const overview = document.getElementById('overview');
function show() {
  const words = box.value.toLowerCase().split(/\\s+/).filter(Boolean);
  results.innerHTML = '';
  overview.style.display = words.length ? 'none' : '';
  if (!words.length) return;
  let shown = 0;
  for (const [label, href, where, text] of INDEX) {
    const haystack = (label + ' ' + text).toLowerCase();
    if (!words.every(w => haystack.includes(w))) continue;
    const item = document.createElement('li');
    item.innerHTML = '<a href="' + href + '"><code>' + label + '</code></a><span class="where">' + where +
                     '</span><div>' + text + '</div>';
    results.appendChild(item);
    if (++shown == 200) break;
  }
}
box.addEventListener('input', show);
const asked = new URLSearchParams(location.search).get('q');
if (asked) { box.value = asked; show(); }
"""


def escape(text):
    return html.escape(text or "", quote=True)


def error_name(cpp):
    if cpp in STANDARD_ERRORS:
        return STANDARD_ERRORS[cpp]
    return "kal." + (cpp[4:] if cpp.startswith("KOM_") else cpp)


def raises_text(catches):
    """The errors a call raises as their own classes, and what reaches Python as plain kal.Error."""
    if not catches:
        return "Translates no error of the object model."
    listed = [error_name(c) for c in catches if c != "KOM_Error"]
    text = "Raises " + ", ".join("<code>%s</code>" % escape(n) for n in listed) if listed else "Raises"
    if "KOM_Error" in catches:
        text += ("; any other error of the object model as <code>kal.Error</code>." if listed
                 else " every error of the object model as <code>kal.Error</code>.")
    else:
        text += "; no other error of the object model is translated."
    return text


def signature(owner, operation, form):
    name = operation["name"]
    parameters = []
    for p in form["params"]:
        text = "%s: %s" % (p["name"], p["type"])
        if p["has_default"]:
            text += " = %s" % (p["default"] or "…")
        parameters.append(text)
    if not form["keywords"] and parameters:
        parameters.append("/")
    prefix = "kal." if owner is None else "%s." % owner
    if name == "__init__":
        return "kal.%s(%s)" % (owner, ", ".join(parameters))
    return "%s%s(%s) -> %s" % (prefix, name, ", ".join(parameters), form["result"])


class Reference:
    def __init__(self, api, output):
        self.api = api
        self.output = output
        self.families = [f for f in api["families"]
                         if any(c["family"] == f for c in api["classes"])
                         or any(fn["family"] == f and not fn["name"].startswith("_") for fn in api["functions"])]
        self.index = []
        self.missing = []

    def page(self, title, body, here=None, script=""):
        links = "\n".join('<a href="%s.html"%s>%s</a>' % (f, ' class="here"' if f == here else "",
                                                           escape(TITLES.get(f, f)))
                          for f in self.families)
        return ("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                "<meta name=\"viewport\" content=\"width=device-width\">"
                "<title>%s · kal reference</title><link rel=\"stylesheet\" href=\"style.css\"></head><body>"
                "<header><a href=\"index.html\">kal reference</a>"
                "<form action=\"index.html\"><input id=\"search\" name=\"q\" type=\"search\" "
                "placeholder=\"Search classes and operations\" autocomplete=\"off\"></form></header>"
                "<nav>%s</nav><main>%s</main>%s</body></html>\n") % (escape(title), links, body, script)

    def operation(self, owner, operation, family):
        anchor = "%s.%s" % (owner, operation["name"]) if owner else operation["name"]
        parts = ['<div class="op" id="%s">' % escape(anchor)]
        for form in operation["forms"]:
            parts.append('<pre class="sig">%s</pre>' % escape(signature(owner, operation, form)))
        if operation["description"]:
            parts.append('<p class="desc">%s</p>' % escape(operation["description"]))
        else:
            parts.append('<p class="desc none">No description yet.</p>')
            self.missing.append(anchor)
        catch_lists = []
        for form in operation["forms"]:
            if form["catches"] not in catch_lists:
                catch_lists.append(form["catches"])
        for catches in catch_lists:
            parts.append('<p class="raises">%s</p>' % raises_text(catches))
        parts.append("</div>")
        self.index.append(["kal." + anchor, "%s.html#%s" % (family, anchor),
                           TITLES.get(family, family), operation["description"] or ""])
        return "\n".join(parts)

    def klass(self, cls):
        name = cls["name"]
        published = name in self.api["namespaces"]
        bases = " (%s)" % ", ".join(cls["bases"]) if cls["bases"] else ""
        parts = ['<h2 id="%s">kal.%s <span class="bases">%s%s</span></h2>' %
                 (escape(name), escape(name), escape(bases),
                  " · the module's one instance" if published else "")]
        if cls["description"]:
            parts.append("<p>%s</p>" % escape(cls["description"]))
        if cls["values"]:
            parts.append('<p class="values">%s</p>' % " ".join(
                "<code>kal.%s.%s</code>" % (escape(name), escape(v)) for v in cls["values"]))
        self.index.append(["kal." + name, "%s.html#%s" % (cls["family"], name),
                           TITLES.get(cls["family"], cls["family"]), cls["description"] or ""])
        for operation in cls["operations"]:
            parts.append(self.operation(name, operation, cls["family"]))
        return "\n".join(parts)

    def family_page(self, family):
        title = TITLES.get(family, family)
        parts = ["<h1>%s</h1>" % escape(title)]
        functions = [f for f in self.api["functions"] if f["family"] == family and not f["name"].startswith("_")]
        if functions:
            parts.append('<h2 id="functions">Module functions</h2>')
            parts.extend(self.operation(None, f, family) for f in functions)
        for cls in self.api["classes"]:
            if cls["family"] == family:
                parts.append(self.klass(cls))
        return self.page(title, "\n".join(parts), here=family)

    def index_page(self):
        rows = "\n".join(
            '<tr><td><a href="%s.html">%s</a></td><td>%s</td></tr>' % (
                f, escape(TITLES.get(f, f)),
                escape(", ".join("kal." + c["name"] for c in self.api["classes"] if c["family"] == f)[:160]))
            for f in self.families)
        body = ('<h1>kal API reference</h1><ul id="results"></ul><div id="overview">'
                "<p>Every class and module function of <code>kal</code>, the scripting interface of "
                "Kalvane, by family. Signatures give keyword names and defaults; arguments after "
                "<code>/</code> are positional only. Each operation lists the errors it raises as "
                "their own classes; wrong arguments raise <code>TypeError</code>, "
                "<code>ValueError</code> or <code>OverflowError</code> before the application is called."
                '</p><table class="families">%s</table></div>') % rows
        script = "<script>const INDEX = %s;%s</script>" % (json.dumps(self.index), SEARCH)
        return self.page("Index", body, script=script)

    def write(self):
        self.output.mkdir(parents=True, exist_ok=True)
        (self.output / "style.css").write_text(STYLE, encoding="utf-8")
        for family in self.families:
            (self.output / ("%s.html" % family)).write_text(self.family_page(family), encoding="utf-8")
        (self.output / "index.html").write_text(self.index_page(), encoding="utf-8")
        return self.missing


def main():
    api_path, output = sys.argv[1:3]
    api = json.loads(Path(api_path).read_text(encoding="utf-8"))
    missing = Reference(api, Path(output)).write()
    if missing:
        print("reference: %d operations have no description yet" % len(missing))


if __name__ == "__main__":
    main()
