"""Writes the dynamic list the host library links with: dynamic_list.py NM LIST OBJECT...

The library binds its references to its own functions and type descriptions when it is linked,
so that loading it looks up only what it takes from other libraries. Its variables stay open to
another definition: an executable that uses one may hold a copy of it, which is then the one in
use everywhere. Type descriptions may be bound early, as the C++ runtime compares them by name.
"""
import subprocess
import sys

# nm's letters for defined variables (initialised, read-only, zeroed, small, weak, unique).
VARIABLES = set("BDGRSVu")
# Type descriptions and their names.
TYPE_DESCRIPTIONS = ("_ZTI", "_ZTS")


def variables(nm, objects):
    listing = subprocess.run([nm, "--defined-only", "--extern-only", "--portability", *objects],
                             check=True, capture_output=True, text=True).stdout
    for line in listing.splitlines():
        fields = line.split()
        # "name letter value size"; a line naming an object file ends with a colon.
        if len(fields) >= 2 and fields[1] in VARIABLES and not fields[0].startswith(TYPE_DESCRIPTIONS):
            yield fields[0]


def main(nm, output, *objects):
    names = sorted(set(variables(nm, objects)))
    with open(output, "w") as listing:
        listing.write("{\n" + "".join("  %s;\n" % name for name in names) + "};\n")


if __name__ == "__main__":
    main(*sys.argv[1:])
