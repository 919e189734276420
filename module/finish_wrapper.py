"""Rewrites the generated wrapper where the stock runtime's texts and flags differ from kal's,
and the generated proxy module where it repeats itself.

Usage: finish_wrapper.py GENERATED OUTPUT PROXY (the proxy module is rewritten in place)
"""
import re
import sys


def finish(text):
    # Registration takes an argument tuple, so a wrong count gets the count message.
    text, count = re.subn(r'(\{ "\w+_swigregister", \w+_swigregister, )METH_O(, NULL\})',
                          r'\1METH_VARARGS\2', text)
    assert count, "no registration entries found"

    # --- reliability: registration, loading and pointer look-up -------------------------------
    # Registration admits only classes every later conversion can use (module/registry.h).
    text, count = re.subn(r'SWIG_TypeNewClientData\((SWIGTYPE_\w+), SWIG_NewClientData\(obj\)\);',
                          r'if (!kal::registerClass(\1, obj)) return NULL;', text)
    assert count, "registration bodies not found"

    # The module loads once per process, in the main interpreter: its initialisation runs
    # again for every interpreter that imports it (a size of 0, not -1, which would copy the
    # first module's dict instead), so that it can refuse the others.
    stock = "    PyModuleDef_HEAD_INIT,\n    SWIG_name,\n    NULL,\n    -1,\n"
    assert stock in text, "module definition not found"
    text = text.replace(stock, stock.replace("-1,", "0,"))
    stock = "SWIG_init(void) {\n  PyObject *m, *d, *md, *globals;\n"
    assert stock in text, "module initialisation not found"
    text = text.replace(stock, stock + "  if (!kal::loadingInMainInterpreter()) return NULL;\n")

    # A proxy holds one pointer object: initialising it again (or with its own pointer object,
    # which would chain it to itself and never be freed) is refused.
    stock = """      Py_DECREF(SwigPyObject_append((PyObject*) sthis, obj[1]));"""
    assert stock in text, "proxy chaining not found"
    text = text.replace(stock, """      PyErr_SetString(PyExc_TypeError, "swiginit: the proxy already holds its object");
      return NULL;""")

    # "this" read through a property or __getattr__ may be a temporary that dies with the
    # reference the look-up drops; such a pointer object is taken as none. (kal's conversions
    # look it up owning what they read: kal::pointerObjectOf.)
    # Both forms of the look-up: Python 3 builds the slow one.
    text, count = re.subn(
        r'( *)obj = PyObject_GetAttr\(pyobj,SWIG_This\(\)\);\n( *)if \(obj\) \{\n(\s*)Py_DECREF\(obj\);\n',
        r'\1obj = PyObject_GetAttr(pyobj,SWIG_This());\n\2if (obj) {\n\3if (Py_REFCNT(obj) == 1) {\n'
        r'\3  Py_DECREF(obj);\n\3  return 0;\n\3}\n\3Py_DECREF(obj);\n', text)
    assert count == 2, "pointer look-up through attributes not found"

    # Appending to an error's message keeps its type and releases what the error held: its
    # traceback keeps frames, and everything they refer to, alive.
    stock = re.search(r'SWIG_Python_AddErrorMsg\(const char\* mesg\)\n\{\n.*?\n\}\n', text, flags=re.S)
    assert stock, "error message helper not found"
    text = text.replace(stock.group(0), """SWIG_Python_AddErrorMsg(const char* mesg)
{
  PyObject *type = 0, *value = 0, *traceback = 0;
  PyErr_Fetch(&type, &value, &traceback);
  PyObject *text = value ? PyObject_Str(value) : 0;
  const char *before = text ? PyUnicode_AsUTF8(text) : 0;
  PyErr_Clear();
  if (before)
    PyErr_Format(type, "%s %s", before, mesg);
  else
    PyErr_SetString(type ? type : PyExc_RuntimeError, mesg);
  Py_XDECREF(text);
  Py_XDECREF(type);
  Py_XDECREF(value);
  Py_XDECREF(traceback);
}
""")
    # --- end of reliability ---------------------------------------------------------------

    # cvar: a name it does not carry is a NameError with a fixed text.
    text, count = re.subn(r'PyErr_Format\(PyExc_AttributeError, "Unknown C global variable \'%s\'", n\)',
                          'PyErr_SetString(PyExc_NameError, "Unknown C global variable")', text)
    assert count == 2, "cvar look-up not found"
    # The cvar object lives as long as the process. The runtime's capsule may go while the
    # module's dict still holds it, and dropping the runtime's reference then would leave the
    # object with an owner nobody can reach.
    text, count = re.subn(r'\n  Py_DECREF\(SWIG_globals\(\)\);\n  Swig_Globals_global = NULL;', '', text)
    assert count == 1, "cvar release not found"

    # New proxies: SWIG 4.1 invalidates the class's attribute cache (PyType_Modified) and builds
    # throw-away argument objects for every instance it creates. Allocate the instance directly.
    stock = re.search(r'#if PY_VERSION_HEX >= 0x03000000\n    PyObject \*empty_args = PyTuple_New\(0\);.*?\n#else\n',
                      text, flags=re.S)
    assert stock, "proxy creation not found"
    text = text.replace(stock.group(0), """#if PY_VERSION_HEX >= 0x03000000
    static PyObject *const noArguments = PyTuple_New(0);
    PyTypeObject *const cls = (PyTypeObject *)data->newargs;
    inst = noArguments ? cls->tp_new(cls, noArguments, NULL) : 0;
    if (inst && PyObject_GenericSetAttr(inst, SWIG_This(), swig_this) == -1) {
      Py_DECREF(inst);
      inst = 0;
    }
#else
""")

    # Attaching a pointer object to a proxy (the proxies' __init__) takes nothing else: the stock
    # code releases a null result when given another object, and stores it as "this".
    stock = """    SwigPyObject *sthis = SWIG_Python_GetSwigThis(obj[0]);
    if (sthis) {"""
    assert stock in text, "proxy initialisation not found"
    text = text.replace(stock, """    SwigPyObject *sthis;
    if (!SwigPyObject_Check(obj[1])) {
      PyErr_SetString(PyExc_TypeError, "swiginit expects a pointer object");
      return NULL;
    }
    sthis = SWIG_Python_GetSwigThis(obj[0]);
    if (sthis) {""")

    # Attaching a pointer object stores "this" as an attribute, in the proxies' slot for it.
    stock = re.search(r'(SWIGRUNTIME int\nSWIG_Python_SetSwigThis\(PyObject \*inst, PyObject \*swig_this\)\n\{\n).*?\n\} \n',
                      text, flags=re.S)
    assert stock, "pointer object attachment not found"
    text = text.replace(stock.group(0), stock.group(1) + "  return PyObject_GenericSetAttr(inst, SWIG_This(), swig_this);\n}\n")

    # A "this" that is not a pointer object is no pointer: following it could recurse forever.
    stock = """    /* a PyObject is called 'this', try to get the 'real this'
       SwigPyObject from it */ 
    return SWIG_Python_GetSwigThis(obj);"""
    assert stock in text, "pointer look-up not found"
    text = text.replace(stock, "    return 0;")

    # A pointer object shows the native pointer it holds, not its own address: two proxies of
    # one object read alike.
    stock = """PyObject *repr = SWIG_Python_str_FromFormat("<Swig Object of type '%s' at %p>", (name ? name : "unknown"), (void *)v);"""
    assert stock in text, "pointer object repr not found"
    text = text.replace(stock, """char address[2 * sizeof(void *) + 1];
  PyObject *repr;
  snprintf(address, sizeof address, "%" PRIxPTR, (uintptr_t)v->ptr);
  repr = PyUnicode_FromFormat("<Swig Object of type '%s' at 0x%s>", (name ? name : "unknown"), address);""")

    # Records carry no documentation, so proxies need no documented copies: the stock look-up
    # scans the whole method table for each of the proxies' methods at import.
    stock = re.search(r'(SWIGINTERN PyMethodDef \*SWIG_PythonGetProxyDoc\(const char \*name\) \{\n).*?\n  \}\n',
                      text, flags=re.S)
    assert stock, "documentation look-up not found"
    text = text.replace(stock.group(0), stock.group(1) + "    (void)name;\n    return NULL;\n  }\n")

    # Proxy methods are called without binding them first (module/methods.h).
    stock = "    return PyInstanceMethod_New(func);"
    assert stock in text, "instance method creation not found"
    text = text.replace(stock, "    return kal::newProxyMethod(func);")

    # The math values' arithmetic operators: a wrong number of operands answers NotImplemented.
    operator = r'(?:Vector[234]|Quaternion|BoundingBox|Matrix[34]|Color)___(?:add|sub|mul)__'
    text, count = re.subn(r'(if \(!SWIG_Python_UnpackTuple\(args, "' + operator + r'", 2, 2, swig_obj\)\)) SWIG_fail;',
                          r'\1 return kal_wrongOperandCount();', text)
    assert count, "single-form arithmetic operators not found"
    text, count = re.subn(r'(fail:\n  )SWIG_Python_RaiseOrModifyTypeError(\("Wrong number or type of arguments for '
                          r"overloaded function '" + operator + r"'[^;]*;)\n  return 0;",
                          r'\1return kal_operatorOverloadFailure\2', text)
    assert count, "overloaded arithmetic operators not found"

    # Overload failures list unqualified prototypes.
    text = text.replace('"Wrong number or type of arguments for overloaded function',
                        '"Wrong number of arguments for overloaded function')
    text = re.sub(r'^(    "    )(?:[\w:]+::)(~?\w+\(|operator)', r'\1\2', text, flags=re.M)

    # Template type names as messages and pointer reprs show them: no space after '<'.
    text = re.sub(r'"[^"\n]*\w< [^"\n]*>[^"\n]*"', lambda literal: literal.group(0).replace('< ', '<'), text)
    return text


# The members every proxy class repeats, defined once: the same behaviour, and an import that
# reads and runs a third less code.
SHARED_MEMBERS = '''
_swig_thisown = property(lambda x: x.this.own(), lambda x, v: x.this.own(v), doc="The membership flag")


def _swig_abstract_init(self, *args, **kwargs):
    raise AttributeError("No constructor defined - class is abstract")
'''


def finish_proxy(text):
    text, count = re.subn(r'^( +)thisown = property\(lambda x: x\.this\.own\(\), lambda x, v: x\.this\.own\(v\), '
                          r'doc="The membership flag"\)$', r'\1thisown = _swig_thisown', text, flags=re.M)
    assert count, "membership flags not found"
    text, count = re.subn(r'^( +)def __init__\(self, \*args, \*\*kwargs\):\n +raise AttributeError\('
                          r'"No constructor defined - class is abstract"\)$', r'\1__init__ = _swig_abstract_init',
                          text, flags=re.M)
    assert count, "abstract constructors not found"
    # A class without a base keeps "this" in a slot of its own beside the instance dict, which its
    # subclasses inherit: the binding finds a proxy's pointer object at a fixed place instead of
    # searching its attributes on every call (kal::pointerObjectOf).
    text, count = re.subn(r'^(class \w+\(object\):\n)', r'\1    __slots__ = ("this", "__dict__", "__weakref__")\n',
                          text, flags=re.M)
    assert count, "proxy classes not found"
    stock = "_swig_new_static_method = _kal.SWIG_PyStaticMethod_New\n"
    assert stock in text, "proxy helpers not found"
    text = text.replace(stock, stock + SHARED_MEMBERS)
    return text


def rewrite(source, target, change):
    with open(source) as generated:
        text = change(generated.read())
    with open(target, 'w') as finished:
        finished.write(text)


def main():
    source, target, proxy = sys.argv[1:]
    rewrite(source, target, finish)
    rewrite(proxy, proxy, finish_proxy)


if __name__ == '__main__':
    main()
