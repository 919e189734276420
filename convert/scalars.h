// Conversions of Python values to scalar and string arguments. Each returns a conversion
// status (0 or more succeeds; negative codes name the Python exception) and, given a null
// destination, only tests whether the value would convert, as overload dispatch needs.
// Included in the generated wrapper after the runtime that defines the status codes.
#pragma once

#include <climits>
#include <cfloat>
#include <new>
#include <string>

namespace kal
{

inline int asInt(PyObject *obj, int *value)
{
    if (!PyLong_Check(obj))
        return SWIG_TypeError;
    int overflow = 0;
    long const number = PyLong_AsLongAndOverflow(obj, &overflow);
    // Outside 32 bits an int fails as a type error, as a long always has here.
    if (overflow || number < INT_MIN || number > INT_MAX)
        return SWIG_TypeError;
    if (value)
        *value = static_cast<int>(number);
    return SWIG_OK;
}

inline int asLong(PyObject *obj, long *value)
{
    int number = 0;
    int const status = asInt(obj, &number);
    if (SWIG_IsOK(status) && value)
        *value = number;
    return status;
}

inline int asUnsignedLong(PyObject *obj, unsigned long *value)
{
    if (!PyLong_Check(obj))
        return SWIG_TypeError;
    int overflow = 0;
    long const number = PyLong_AsLongAndOverflow(obj, &overflow);
    // A negative value is out of range; one beyond 32 bits fails as a type error.
    if (overflow < 0 || (!overflow && number < 0))
        return SWIG_OverflowError;
    if (overflow > 0 || static_cast<unsigned long>(number) > UINT_MAX)
        return SWIG_TypeError;
    if (value)
        *value = static_cast<unsigned long>(number);
    return SWIG_OK;
}

inline int asBool(PyObject *obj, bool *value)
{
    bool flag;
    if (obj == Py_True || obj == Py_False)
        flag = (obj == Py_True);
    else if (PyLong_Check(obj))
    {
        int overflow = 0;
        flag = PyLong_AsLongAndOverflow(obj, &overflow) != 0 || overflow != 0;
    }
    else
        return SWIG_TypeError;
    if (value)
        *value = flag;
    return SWIG_OK;
}

inline int asDouble(PyObject *obj, double *value)
{
    double number;
    if (PyFloat_Check(obj))
        number = PyFloat_AS_DOUBLE(obj);
    else if (PyLong_Check(obj))
    {
        number = PyLong_AsDouble(obj);
        if (number == -1.0 && PyErr_Occurred())
        {
            PyErr_Clear();
            return SWIG_TypeError;
        }
    }
    else
        return SWIG_TypeError;
    if (value)
        *value = number;
    return SWIG_OK;
}

inline int asFloat(PyObject *obj, float *value)
{
    double number = 0.0;
    int const status = asDouble(obj, &number);
    if (!SWIG_IsOK(status))
        return status;
    // NaN compares false both ways and passes.
    if (number < -FLT_MAX || number > FLT_MAX)
        return SWIG_OverflowError;
    if (value)
        *value = static_cast<float>(number);
    return SWIG_OK;
}

// The UTF-8 text of a str. Lone surrogates from undecodable bytes encode back to those
// bytes; that needs a bytes object, which `*keep` receives and the caller releases.
inline int utf8Of(PyObject *obj, char const **text, Py_ssize_t *size, PyObject **keep)
{
    char const *data = PyUnicode_AsUTF8AndSize(obj, size);
    if (data)
    {
        *text = data;
        return SWIG_OK;
    }
    PyErr_Clear();
    PyObject *bytes = PyUnicode_AsEncodedString(obj, "utf-8", "surrogateescape");
    if (!bytes)
    {
        PyErr_Clear();
        return SWIG_TypeError;
    }
    *text = PyBytes_AS_STRING(bytes);
    *size = PyBytes_GET_SIZE(bytes);
    *keep = bytes;
    return SWIG_OK;
}

// Points into the str's own buffer: no copy, nothing to free unless `*keep` is set.
inline int asCharPtr(PyObject *obj, char const **value, PyObject **keep)
{
    if (obj == Py_None)
    {
        if (value)
            *value = nullptr;
        return SWIG_OK;
    }
    if (PyUnicode_Check(obj))
    {
        char const *text = nullptr;
        Py_ssize_t size = 0;
        PyObject *held = nullptr;
        int const status = utf8Of(obj, &text, &size, &held);
        if (!SWIG_IsOK(status))
            return status;
        if (value)
        {
            *value = text;
            *keep = held;
        }
        else
            Py_XDECREF(held);
        return SWIG_OK;
    }
    static swig_type_info *const charPointer = SWIG_TypeQuery("char *");
    void *pointer = nullptr;
    if (charPointer && SWIG_IsOK(SWIG_ConvertPtr(obj, &pointer, charPointer, 0)))
    {
        if (value)
            *value = static_cast<char const *>(pointer);
        return SWIG_OK;
    }
    return SWIG_TypeError;
}

// Every byte of the str, embedded NUL bytes included.
inline int asString(PyObject *obj, std::string *value)
{
    if (!PyUnicode_Check(obj))
        return SWIG_ERROR;
    char const *text = nullptr;
    Py_ssize_t size = 0;
    PyObject *held = nullptr;
    int const status = utf8Of(obj, &text, &size, &held);
    int result = status;
    if (SWIG_IsOK(status) && value)
    {
        try
        {
            value->assign(text, static_cast<std::size_t>(size));
        }
        catch (std::bad_alloc const &)
        {
            result = SWIG_MemoryError;
        }
    }
    Py_XDECREF(held);
    return result;
}

inline PyObject *fromString(std::string const &text)
{
    return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()),
                                "surrogateescape");
}

// A wrapper's string result, made in place from the string its call returns: assigned to a
// string declared before, a short one (held in the string's own buffer) would be copied again.
// Empty until made; a call that throws leaves it empty.
class StringResult
{
public:
    StringResult() = default;
    StringResult(StringResult const &) = delete;
    StringResult &operator=(StringResult const &) = delete;
    ~StringResult() { clear(); }

    template <class Call>
    void make(Call call)
    {
        clear();
        new (myStorage) std::string(call());
        myMade = true;
    }

    std::string const &text() const
    {
        static std::string const empty;
        return myMade ? *std::launder(reinterpret_cast<std::string const *>(myStorage)) : empty;
    }

private:
    void clear()
    {
        if (myMade)
            std::launder(reinterpret_cast<std::string *>(myStorage))->~basic_string();
        myMade = false;
    }

    alignas(std::string) unsigned char myStorage[sizeof(std::string)];
    bool myMade = false;
};

inline PyObject *fromString(StringResult const &result) { return fromString(result.text()); }

inline PyObject *fromCharPtr(char const *text)
{
    if (!text)
        Py_RETURN_NONE;
    return PyUnicode_DecodeUTF8(text, static_cast<Py_ssize_t>(std::char_traits<char>::length(text)),
                                "surrogateescape");
}

} // namespace kal
