"""Rewrites the generated wrapper where the stock runtime's texts and flags differ from kal's,
and the generated proxy module into one that makes each class the first time it is needed.

Usage: finish_wrapper.py GENERATED OUTPUT PROXY (the proxy module is rewritten in place)
"""
import re
import sys


# The name of the proxy class of each type that has one (the wrappers around it are C functions).
CLASS_NAMES = """extern "C++" char const *kal::proxyClassName(swig_type_info *type)
{
  static struct { swig_type_info *const *type; char const *name; } const classes[] = {
%s
  };
  for (auto const &cls : classes)
    if (*cls.type == type)
      return cls.name;
  return nullptr;
}

"""

# The delete entry of each type that has one, and the deletion it does (kal::OwnDeletion).
OWN_DELETIONS = """extern "C++" kal::OwnDeletion kal::ownDeletionOf(swig_type_info *type)
{
  static struct { swig_type_info *const *type; kal::OwnDeletion deletion; } const deletions[] = {
%s
  };
  for (auto const &deletion : deletions)
    if (*deletion.type == type)
      return deletion.deletion;
  return kal::OwnDeletion{nullptr, nullptr};
}

"""


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

    # The proxy module makes each class the first time it is needed; a result of a type whose
    # class is not made yet asks for it by name (kal::classDataOf).
    classes = re.findall(r'SWIGINTERN PyObject \*(\w+)_swigregister\(PyObject \*SWIGUNUSEDPARM\(self\), '
                         r'PyObject \*args\) \{\n.*\n.*\n  if \(!kal::registerClass\((SWIGTYPE_\w+), obj\)\)', text)
    assert len(classes) == count, "registration entries not found"
    stock = "static PyMethodDef SwigMethods[] = {"
    assert text.count(stock) == 1, "method table not found"
    text = text.replace(stock, CLASS_NAMES % "\n".join('    {&%s, "%s"},' % (type, name) for name, type in classes)
                        + stock)
    stock = "  clientdata = type ? (SwigPyClientData *)(type->clientdata) : 0;\n"
    assert text.count(stock) == 1, "proxy creation's class look-up not found"
    text = text.replace(stock, "  if (!kal::classDataOf(type, &clientdata))\n    return NULL;\n")
    stock = "SWIGRUNTIME PyObject *\nSWIG_Python_NewPointerObj("
    assert text.count(stock) == 1, "proxy creation not found"
    text = text.replace(stock, "extern \"C++\" {\nnamespace kal { inline bool classDataOf(swig_type_info *, SwigPyClientData **); }\n}\n\n"
                        + stock)
    stock = "  md = d = PyModule_GetDict(m);\n"
    assert text.count(stock) == 1, "module dictionary not found"
    text = text.replace(stock, "  if (!kal::findsProxyModuleBeside(m) || !kal::addFunctions(m, SwigMethods))\n"
                               "    return NULL;\n" + stock)

    # The module loads once per process, in the main interpreter: its initialisation runs
    # again for every interpreter that imports it (a size of 0, not -1, which would copy the
    # first module's dict instead), so that it can refuse the others.
    stock = "    PyModuleDef_HEAD_INIT,\n    SWIG_name,\n    NULL,\n    -1,\n"
    assert stock in text, "module definition not found"
    text = text.replace(stock, stock.replace("-1,", "0,"))
    # Its functions are added by kal::addFunctions.
    stock = "    0,\n    SwigMethods,\n"
    assert text.count(stock) == 1, "module definition's method table not found"
    text = text.replace(stock, "    0,\n    NULL,\n")
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
    # ... but no C global variable is named like Python's own attributes (`__class__`, `__doc__`):
    # those are the object's, so that isinstance, help and the like work on it.
    stock = """  if (res == NULL && !PyErr_Occurred()) {
    PyErr_SetString(PyExc_NameError, "Unknown C global variable");"""
    assert text.count(stock) == 1, "cvar read not found"
    text = text.replace(stock, """  if (res == NULL && !PyErr_Occurred() && strncmp(n, "__", 2) == 0) {
    PyObject *name = PyUnicode_FromString(n);
    res = name ? PyObject_GenericGetAttr(o, name) : NULL;
    Py_XDECREF(name);
    return res;
  }
""" + stock)
    # The cvar object lives as long as the process. The runtime's capsule may go while the
    # module's dict still holds it, and dropping the runtime's reference then would leave the
    # object with an owner nobody can reach.
    text, count = re.subn(r'\n  Py_DECREF\(SWIG_globals\(\)\);\n  Swig_Globals_global = NULL;', '', text)
    assert count == 1, "cvar release not found"

    # New proxies: SWIG 4.1 invalidates the class's attribute cache (PyType_Modified) and builds
    # throw-away argument objects for every instance it creates. Allocate the instance directly
    # and put the pointer object in its slot (kal::newProxy, convert/objects.h, defined later).
    stock = re.search(r'#if PY_VERSION_HEX >= 0x03000000\n    PyObject \*empty_args = PyTuple_New\(0\);.*?\n#else\n',
                      text, flags=re.S)
    assert stock, "proxy creation not found"
    text = text.replace(stock.group(0), """#if PY_VERSION_HEX >= 0x03000000
    inst = kal::newProxy((PyTypeObject *)data->newargs, swig_this);
#else
""")
    stock = "SWIGRUNTIME PyObject* \nSWIG_Python_NewShadowInstance("
    assert stock in text, "proxy creation not found"
    text = text.replace(stock, """namespace kal {
inline PyObject *newProxy(PyTypeObject *cls, PyObject *pointerObject);
inline int attachPointerObject(PyObject *proxy, PyObject *pointerObject);
inline PyObject *newProxyHolding(SwigPyClientData *data, void *pointer, swig_type_info *type, int own);
}

""" + stock)

    # A result made of kept objects is made before anything else (kal::newProxyFromKept); the
    # runtime's function, which saves every register for its rarer cases, makes any other.
    stock = "SWIGRUNTIME PyObject *\nSWIG_Python_NewPointerObj(PyObject *self, void *ptr, swig_type_info *type, int flags) {\n"
    assert text.count(stock) == 1, "result creation not found"
    text = text.replace(stock, """SWIGRUNTIME PyObject *
SWIG_Python_NewPointerObjGenerally(PyObject *self, void *ptr, swig_type_info *type, int flags);

namespace kal {
inline PyObject *newProxyFromKept(SwigPyClientData *data, void *pointer, swig_type_info *type, int own);
}

SWIGRUNTIME PyObject *
SWIG_Python_NewPointerObj(PyObject *self, void *ptr, swig_type_info *type, int flags) {
  SwigPyClientData *const data = ptr && type ? (SwigPyClientData *)type->clientdata : 0;
  if (data && !data->pytype && !(flags & (SWIG_POINTER_NOSHADOW | SWIG_BUILTIN_TP_INIT)))
    if (PyObject *const made = kal::newProxyFromKept(data, ptr, type, (flags & SWIG_POINTER_OWN) ? SWIG_POINTER_OWN : 0))
      return made;
  return SWIG_Python_NewPointerObjGenerally(self, ptr, type, flags);
}

__attribute__((noinline)) SWIGRUNTIME PyObject *
SWIG_Python_NewPointerObjGenerally(PyObject *self, void *ptr, swig_type_info *type, int flags) {
""")

    # A result's proxy and its pointer object are made together (kal::newProxyHolding).
    stock = """  robj = SwigPyObject_New(ptr, type, own);
  if (robj && clientdata && !(flags & SWIG_POINTER_NOSHADOW)) {
    PyObject *inst = SWIG_Python_NewShadowInstance(clientdata, robj);
    Py_DECREF(robj);
    robj = inst;
  }
  return robj;
"""
    assert text.count(stock) == 1, "result proxy creation not found"
    text = text.replace(stock, """  if (clientdata && !(flags & SWIG_POINTER_NOSHADOW))
    return kal::newProxyHolding(clientdata, ptr, type, own);
  return SwigPyObject_New(ptr, type, own);
""")

    # Collecting an owning pointer object calls its class's delete entry; the stock code sets
    # aside the pending exception around that call even when there is none.
    stock = """      PyObject *type = NULL, *value = NULL, *traceback = NULL;
      PyErr_Fetch(&type, &value, &traceback);
"""
    assert stock in text, "pointer object collection not found"
    text = text.replace(stock, """      PyObject *type = NULL, *value = NULL, *traceback = NULL;
      int const pending = PyErr_Occurred() != NULL;
      if (pending)
        PyErr_Fetch(&type, &value, &traceback);
""")
    stock = """      PyErr_Restore(type, value, traceback);

      Py_XDECREF(res);"""
    assert stock in text, "pointer object collection not found"
    text = text.replace(stock, """      if (pending)
        PyErr_Restore(type, value, traceback);
      else if (PyErr_Occurred())
        PyErr_Clear();

      Py_XDECREF(res);""")

    # Pointer objects come from and go back to kal's free list, and an owning one deletes its
    # object directly where its class's record allows (convert/objects.h); the generated delete
    # entries are listed by type for that (kal::ownDeletionOf).
    stock = "SWIGRUNTIME void\nSwigPyObject_dealloc(PyObject *v)\n"
    assert text.count(stock) == 1, "pointer object deallocation not found"
    text = text.replace(stock, """extern "C++" {
namespace kal {
inline bool releasedDirectly(PyObject *collected);
inline PyObject *newPointerObjectHolding(void *pointer, swig_type_info *type, int own);
inline void freePointerObject(PyObject *pointerObject);
}
}

""" + stock)
    stock = "SwigPyObject_dealloc(PyObject *v)\n{\n"
    assert text.count(stock) == 1, "pointer object collection not found"
    text = text.replace(stock, stock + "  if (kal::releasedDirectly(v))\n    return;\n")
    stock = re.search(r'SwigPyObject_dealloc\(PyObject \*v\)\n\{\n.*?\n(  PyObject_DEL\(v\);\n)\}\n', text, flags=re.S)
    assert stock, "pointer object deallocation not found"
    text = text.replace(stock.group(0), stock.group(0).replace(stock.group(1), "  kal::freePointerObject(v);\n"))
    stock = re.search(r'SwigPyObject_New\(void \*ptr, swig_type_info \*ty, int own\)\n\{\n.*?\n\}\n', text, flags=re.S)
    assert stock, "pointer object creation not found"
    text = text.replace(stock.group(0), "SwigPyObject_New(void *ptr, swig_type_info *ty, int own)\n{\n"
                                        "  return kal::newPointerObjectHolding(ptr, ty, own);\n}\n")
    deletions = re.findall(r'SWIGINTERN PyObject \*(_wrap_delete_\w+)\(PyObject \*self, PyObject \*args\) \{\n'
                           r'  PyObject \*resultobj = 0;\n  ([\w:<>, *]+?) \*arg1 = .*\n(?:.*\n){1,12}?'
                           r'.*kal::convertSelf\(swig_obj\[0\], &argp1, (SWIGTYPE_\w+), SWIG_POINTER_DISOWN', text)
    assert len(deletions) == text.count("SWIGINTERN PyObject *_wrap_delete_"), "delete entries not found"
    # (each deletes its object and does nothing else, or the deletion would not stand for it)
    actions = re.findall(r'SWIGINTERN PyObject \*_wrap_delete_\w+\(PyObject \*self, PyObject \*args\) \{\n.*?'
                         r'\n    try \{\n(.*?)\n    \} catch', text, flags=re.S)
    assert actions == ["      delete arg1;"] * len(deletions), "a delete entry does more than delete"
    stock = "static PyMethodDef SwigMethods[] = {"
    text = text.replace(stock, OWN_DELETIONS % "\n".join(
        "    {&%s, {%s, kal::deleteAs<%s >}}," % (type, entry, cls) for entry, cls, type in deletions) + stock)

    # Attaching a pointer object to a proxy (the proxies' __init__) takes nothing else: the stock
    # code releases a null result when given another object, and stores it as "this". Nor does it
    # attach one to anything but an instance of a kal class: stored on a class, a module or a
    # function, "this" would replace what that object had and keep the native object for good.
    stock = """    SwigPyObject *sthis = SWIG_Python_GetSwigThis(obj[0]);
    if (sthis) {"""
    assert stock in text, "proxy initialisation not found"
    text = text.replace(stock, """    SwigPyObject *sthis;
    if (!SwigPyObject_Check(obj[1])) {
      PyErr_SetString(PyExc_TypeError, "swiginit expects a pointer object");
      return NULL;
    }
    if (!kal::isProxyClass(Py_TYPE(obj[0]))) {
      PyErr_SetString(PyExc_TypeError, "swiginit expects an instance of a kal class");
      return NULL;
    }
    sthis = SWIG_Python_GetSwigThis(obj[0]);
    if (sthis) {""")
    stock = "SWIGINTERN PyObject *\nSWIG_Python_InitShadowInstance("
    assert text.count(stock) == 1, "proxy initialisation not found"
    text = text.replace(stock, "extern \"C++\" {\nnamespace kal { inline bool isProxyClass(PyTypeObject *); }\n}\n\n" + stock)

    # Attaching a pointer object stores "this" in the proxies' slot for it, or as an attribute.
    stock = re.search(r'(SWIGRUNTIME int\nSWIG_Python_SetSwigThis\(PyObject \*inst, PyObject \*swig_this\)\n\{\n).*?\n\} \n',
                      text, flags=re.S)
    assert stock, "pointer object attachment not found"
    text = text.replace(stock.group(0), stock.group(1) + "  return kal::attachPointerObject(inst, swig_this);\n}\n")

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

    text = arguments_entries(text)
    text = string_results(text)

    # Template type names as messages and pointer reprs show them: no space after '<'.
    text = re.sub(r'"[^"\n]*\w< [^"\n]*>[^"\n]*"', lambda literal: literal.group(0).replace('< ', '<'), text)
    return text


VARARGS_WRAPPER = re.compile(r'^SWIGINTERN PyObject \*_wrap_(\w+)\(PyObject \*self, PyObject \*args\) \{\n(.*?)^\}\n',
                             flags=re.M | re.S)
UNPACK = "SWIG_Python_UnpackTuple(args, "

# The entries that have an arguments form, each with it (kal::argumentsFormOf, module/methods.h).
ARGUMENTS_FORMS = """extern "C++" kal::ArgumentsEntry kal::argumentsFormOf(PyCFunction entry)
{
  static std::vector<std::pair<PyCFunction, kal::ArgumentsEntry>> const forms = [] {
    std::vector<std::pair<PyCFunction, kal::ArgumentsEntry>> listed{
%s
    };
    std::sort(listed.begin(), listed.end(), [](auto const &a, auto const &b) {
      return std::less<void (*)()>()(reinterpret_cast<void (*)()>(a.first), reinterpret_cast<void (*)()>(b.first));
    });
    return listed;
  }();
  auto const found = std::lower_bound(forms.begin(), forms.end(), entry, [](auto const &form, PyCFunction wanted) {
    return std::less<void (*)()>()(reinterpret_cast<void (*)()>(form.first), reinterpret_cast<void (*)()>(wanted));
  });
  return found != forms.end() && found->first == entry ? found->second : nullptr;
}

"""


def arguments_entries(text):
    """Each METH_VARARGS entry that only unpacks its tuple gets a form taking an array of
    arguments, which the tuple form calls and a proxy method calls without making a tuple."""
    forms = []

    def split(found):
        name, body = found.groups()
        # (an entry without arguments is METH_NOARGS, and gets no tuple)
        if body.count(UNPACK) != 1 or re.search(r'\bargs\b', body.replace(UNPACK, "")) or \
                not re.search(re.escape(UNPACK) + r'"\w+", \d+, [1-9]\d*, swig_obj\)', body):
            return found.group(0)
        forms.append(name)
        body = body.replace(UNPACK, "kal::unpackArguments(arguments, count, ")
        return ("SWIGINTERN PyObject *_wrap_%s_arguments(PyObject *self, PyObject *const *arguments, Py_ssize_t count) {\n"
                "%s}\n\n"
                "SWIGINTERN PyObject *_wrap_%s(PyObject *self, PyObject *args) {\n"
                "  return _wrap_%s_arguments(self, &PyTuple_GET_ITEM(args, 0), PyTuple_GET_SIZE(args));\n"
                "}\n") % (name, body, name, name)
    text = VARARGS_WRAPPER.sub(split, text)
    assert forms, "entries with an argument tuple not found"
    stock = "static PyMethodDef SwigMethods[] = {"
    return text.replace(stock, ARGUMENTS_FORMS % "\n".join("      {_wrap_%s, _wrap_%s_arguments}," % (name, name)
                                                            for name in forms) + stock)


WRAPPER = re.compile(r'^SWIGINTERN PyObject \*_wrap_\w+\(PyObject \*self, [^)]*\) \{\n.*?^\}\n', flags=re.M | re.S)
STRING_RESULT = "\n  std::string result;\n"


def string_results(text):
    """A wrapper's string result is made in place by the call that returns it
    (kal::StringResult, convert/scalars.h)."""
    made = 0

    def in_place(found):
        nonlocal made
        wrapper = found.group(0)
        if STRING_RESULT not in wrapper:
            return wrapper
        wrapper, calls = re.subn(r'^(\s+)result = (.+);$', r'\1result.make([&] { return \2; });', wrapper, flags=re.M)
        assert calls == 1 and wrapper.count("kal::fromString(result)") == 1, "a string result used otherwise"
        made += 1
        return wrapper.replace(STRING_RESULT, "\n  kal::StringResult result;\n")
    text = WRAPPER.sub(in_place, text)
    assert made, "string results not found"
    return text


# The members every proxy class repeats, defined once.
SHARED_MEMBERS = '''
_swig_thisown = property(lambda x: x.this.own(), lambda x, v: x.this.own(v), doc="The membership flag")

# A class without a base keeps "this" in a slot of its own beside the instance dict, which its
# subclasses inherit: the binding finds a proxy's pointer object at a fixed place instead of
# searching its attributes on every call (kal::pointerObjectOf).
_swig_slots = ("this", "__dict__", "__weakref__")


def _swig_abstract_init(self, *args, **kwargs):
    raise AttributeError("No constructor defined - class is abstract")


def _swig_no_init(self, *args, **kwargs):
    raise AttributeError("No constructor defined")


def _swig_iter(self):
    return self


def _swig_iterator(self):
    return self.iterator()


def _swig_constructor(name, keywords):
    # The constructor of class `name`: its object from new_<name>, attached to the proxy.
    attach, new = getattr(_kal, name + "_swiginit"), getattr(_kal, "new_" + name)
    if keywords:
        def __init__(self, *args, **kwargs):
            attach(self, new(*args, **kwargs))
    else:
        def __init__(self, *args):
            attach(self, new(*args))
    __init__.__qualname__ = name + ".__init__"
    return __init__
'''

PROXY_CLASS = re.compile(r'^class (\w+)\((\w+)\):\n((?:(?:    .*)?\n)*?)\n# Register \1 in _kal:\n'
                         r'_kal\.\1_swigregister\(\1\)\n', flags=re.M)
MEMBER = re.compile(r'    (\w+) = (.*)\n')
DEFINITION = re.compile(r'    def (\w+)\(.*\n(?:        .*\n)+')
# The generator's own methods, each as the token of the shared helper or constructor that does the same.
STOCK_DEFINITIONS = [
    ('    def __init__(self, *args, **kwargs):\n'
     '        raise AttributeError("No constructor defined - class is abstract")\n', '__init__=_swig_abstract_init'),
    ('    def __init__(self, *args, **kwargs):\n'
     '        raise AttributeError("No constructor defined")\n', '__init__=_swig_no_init'),
    ('    def __iter__(self):\n        return self\n', '__iter__=_swig_iter'),
    ('    def __iter__(self):\n        return self.iterator()\n', '__iter__=_swig_iterator'),
    ('    def __init__(self, *args):\n        _kal.{0}_swiginit(self, _kal.new_{0}(*args))\n', '__init__=new(*args)'),
    ('    def __init__(self, *args, **kwargs):\n        _kal.{0}_swiginit(self, _kal.new_{0}(*args, **kwargs))\n',
     '__init__=new(*args,**kwargs)'),
]
STOCK_VALUES = {
    'property(lambda x: x.this.own(), lambda x, v: x.this.own(v), doc="The membership flag")': '_swig_thisown',
    '_swig_repr': '_swig_repr',
}


def class_members(name, base, body):
    """One generated class's members as the proxy table's tokens, in the generated order, and
    the source of its methods written in Python (empty when it has none)."""
    tokens, definitions = [], ""
    stock_definitions = [(source.format(name), token) for source, token in STOCK_DEFINITIONS]
    if base == "object":
        tokens.append("__slots__=_swig_slots")
    at = 0
    while at < len(body):
        if body[at] == "\n":
            at += 1
        elif stock := next(((source, token) for source, token in stock_definitions
                            if body.startswith(source, at)), None):
            tokens.append(stock[1])
            at += len(stock[0])
        elif definition := DEFINITION.match(body, at):
            tokens.append(definition.group(1) + "=def")
            definitions += definition.group(0)
            at = definition.end()
        else:
            member = MEMBER.match(body, at)
            assert member, "unknown statement in class %s: %r" % (name, body[at:body.find("\n", at)])
            attribute, value = member.groups()
            method = re.fullmatch(r'_swig_new_instance_method\(_kal\.(\w+)\)', value)
            if method:
                assert method.group(1) == name + "_" + attribute, "%s.%s calls %s" % (name, attribute, value)
                tokens.append(attribute)
            elif value in STOCK_VALUES:
                tokens.append(attribute + "=" + STOCK_VALUES[value])
            else:
                assert re.fullmatch(r'_kal\.\w+|property\(_kal\.\w+\)', value), \
                    "unknown member %s.%s = %s" % (name, attribute, value)
                tokens.append(attribute + "=" + value)
            at = member.end()
    return tokens, definitions


def table_row(words):
    """Words joined by spaces in short lines, each but the last ending in a line continuation."""
    lines = [""]
    for word in words:
        if lines[-1] and len(lines[-1]) + len(word) > 90:
            lines.append("   ")
        lines[-1] += (" " if lines[-1] else "") + word
    return " \\\n".join(lines)


PROXY_TABLE = '''
# The methods each class writes in Python, defined when the class is made.
%s

# The proxy classes, each made the first time it is needed (_proxyClass, at the end of this
# module), a row each: name, base, the function that defines its methods written in Python (-
# for none) and its members. Members in order, separated by spaces: a bare name is the method
# calling _kal.<Class>_<name>; name=value the value the generator gives it (a helper of this
# module, an entry of _kal, a property of an entry), name=def the function of that name that the
# methods' function defines. One string, read into _proxyClasses when a class is first needed:
# the import makes no object per class.
_proxyClassTable = """
%s
"""
'''


# The interpreter loads an extension module binding at once every function it and its libraries
# call, the C++ runtime's thousand among them; bound when first called instead, a script binds
# only the few it uses (about 1.6 million instructions less at import).
LAZY_IMPORT = '''# Import the low-level C/C++ module, its functions bound when first called
from os import RTLD_LAZY as _RTLD_LAZY, RTLD_NOW as _RTLD_NOW
from sys import getdlopenflags as _getdlopenflags, setdlopenflags as _setdlopenflags
_dlopenflags = _getdlopenflags()
_setdlopenflags(_dlopenflags & ~_RTLD_NOW | _RTLD_LAZY)
try:
    if __package__ or "." in __name__:
        from . import _kal
    else:
        import _kal
finally:
    _setdlopenflags(_dlopenflags)
    del _RTLD_LAZY, _RTLD_NOW, _getdlopenflags, _setdlopenflags, _dlopenflags
'''


def finish_proxy(text):
    stock = '''# Import the low-level C/C++ module
if __package__ or "." in __name__:
    from . import _kal
else:
    import _kal
'''
    assert stock in text, "import of the extension module not found"
    text = text.replace(stock, LAZY_IMPORT)
    # The generated classes become rows of one table, made into classes on first use: an import
    # then builds no class it does not need.
    definitions, rows = [], []
    for found in PROXY_CLASS.finditer(text):
        name, base, body = found.groups()
        tokens, source = class_members(name, base, body)
        methods = "-"
        if source:
            methods = "_%s_methods" % name
            definitions.append("\ndef %s():\n%s    return locals()\n" % (methods, source))
        rows.append(table_row([name, base, methods] + tokens))
    assert rows, "proxy classes not found"
    first = PROXY_CLASS.search(text).start()
    text = text[:first] + PROXY_TABLE % ("".join(definitions), "\n".join(rows)) + PROXY_CLASS.sub("", text[first:])
    stock = "_swig_new_static_method = _kal.SWIG_PyStaticMethod_New\n"
    assert stock in text, "proxy helpers not found"
    return text.replace(stock, stock + SHARED_MEMBERS)


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
