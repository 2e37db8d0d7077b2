#include "binding.hpp"

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "number_format.hpp"
#include "ref.hpp"

namespace drawkit::py {

PyTypeObject* generator_type = nullptr;

// ---------------------------------------------------------------------------------------
// Errors
// ---------------------------------------------------------------------------------------

void raise_already_borrowed() { PyErr_SetString(PyExc_RuntimeError, "Already borrowed"); }

void raise_already_mutably_borrowed() {
    PyErr_SetString(PyExc_RuntimeError, "Already mutably borrowed");
}

namespace {

// Takes the exception being raised, normalised, out of the thread state.
PyObject* take_exception() {
#if PY_VERSION_HEX >= 0x030C0000
    return PyErr_GetRaisedException();
#else
    PyObject *type, *value, *tb;
    PyErr_Fetch(&type, &value, &tb);
    PyErr_NormalizeException(&type, &value, &tb);
    if (tb != nullptr && value != nullptr) PyException_SetTraceback(value, tb);
    Py_XDECREF(type);
    Py_XDECREF(tb);
    return value;
#endif
}

void restore_exception(PyObject* exc) {
#if PY_VERSION_HEX >= 0x030C0000
    PyErr_SetRaisedException(exc);
#else
    PyErr_Restore(Py_NewRef(reinterpret_cast<PyObject*>(Py_TYPE(exc))), exc,
                  PyException_GetTraceback(exc));
#endif
}

}  // namespace

void add_note(const char* param) noexcept {
    PyObject* exc = take_exception();
    if (exc == nullptr) return;
    PyObject* note = PyUnicode_FromFormat("while processing '%s'", param);
    PyObject* result = note == nullptr ? nullptr : PyObject_CallMethod(exc, "add_note", "O", note);
    if (result == nullptr) {
        // The note could not be made or attached (no memory, a broken exception type);
        // keep the original error.
        PyErr_Clear();
    }
    Py_XDECREF(note);
    Py_XDECREF(result);
    restore_exception(exc);
}

PyObject* raise_current_exception() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return PyErr_NoMemory();
    } catch (const std::length_error&) {
        return PyErr_NoMemory();
    } catch (const std::exception& e) {
        PyErr_SetString(PyExc_RuntimeError, e.what());
    } catch (...) {
        PyErr_SetString(PyExc_RuntimeError, "unexpected C++ exception");
    }
    return nullptr;
}

void raise_no_room(std::uint64_t n) noexcept {
    PyErr_Format(PyExc_MemoryError, "cannot allocate a result of %llu elements",
                 static_cast<unsigned long long>(n));
}

PyObject* raise_value_error(const std::string& message) {
    PyErr_SetString(PyExc_ValueError, message.c_str());
    return nullptr;
}

void raise_not_instance(PyObject* obj, const char* target) {
    if (obj == nullptr) {  // from C, through the C API
        PyErr_Format(PyExc_TypeError, "'NULL' is not an instance of '%s'", target);
        return;
    }
    if (obj == Py_None) {
        PyErr_Format(PyExc_TypeError, "'None' is not an instance of '%s'", target);
        return;
    }
    PyObject* qualname = PyType_GetQualName(Py_TYPE(obj));
    if (qualname == nullptr) return;
    PyErr_Format(PyExc_TypeError, "'%U' object is not an instance of '%s'", qualname, target);
    Py_DECREF(qualname);
}

// ---------------------------------------------------------------------------------------
// Conversion kinds
// ---------------------------------------------------------------------------------------

bool Kind<std::uint64_t>::convert(PyObject* o, std::uint64_t& out) noexcept {
    unsigned long long v;
    if (PyLong_Check(o)) [[likely]] {
        v = PyLong_AsUnsignedLongLong(o);
    } else {
        PyObject* index = PyNumber_Index(o);
        if (index == nullptr) return false;
        v = PyLong_AsUnsignedLongLong(index);
        Py_DECREF(index);
    }
    if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return false;
    out = v;
    return true;
}

namespace {

// collections.abc.Sequence, imported on first need and kept for the life of the process.
PyObject* abc_sequence() {
    static PyObject* cls = nullptr;
    if (cls == nullptr) {
        PyObject* mod = PyImport_ImportModule("collections.abc");
        if (mod == nullptr) return nullptr;
        cls = PyObject_GetAttrString(mod, "Sequence");
        Py_DECREF(mod);
    }
    return cls;
}

// isinstance(o, Sequence); an error raised by the test itself goes to the unraisable hook
// and the object counts as not a sequence.
bool is_abc_sequence(PyObject* o) {
    PyObject* cls = abc_sequence();
    int r = cls == nullptr ? -1 : PyObject_IsInstance(o, cls);
    if (r < 0) {
        PyErr_WriteUnraisable(o);
        return false;
    }
    return r == 1;
}

}  // namespace

// Builtin types registered with collections.abc.Sequence (or MutableSequence) by the
// standard library. A registration is never withdrawn, so for these exact types the
// instance test is known to be true without running it (it costs more than a draw).
static bool is_registered_builtin_sequence(PyObject* o) noexcept {
    return PyRange_Check(o) || PyUnicode_CheckExact(o) || PyBytes_CheckExact(o) ||
           PyByteArray_CheckExact(o) || PyMemoryView_Check(o);
}

bool Kind<SequenceArg>::convert(PyObject* o, SequenceArg& out) noexcept {
    if (PyList_Check(o) || PyTuple_Check(o) || is_registered_builtin_sequence(o) ||
        is_abc_sequence(o)) {
        out.obj = o;
        return true;
    }
    raise_not_instance(o, "Sequence");
    return false;
}

namespace {

// Appends the float value of each item next(0), next(1), ..., next(n - 1) to v; next
// gives a new reference, or null where the items end sooner (or where reading one
// failed, an error the caller looks for). False at an item that does not convert. A long
// sequence takes a while to convert, so the loop polls between blocks of items: Ctrl-C
// stops it, and the call returns with KeyboardInterrupt before any draw.
template <typename Next>
bool convert_floats(FloatBuffer& v, std::uint64_t n, Next&& next) {
    bool ended = false;
    const bool converted =
        in_blocks(n, kPollBlock, kSignalPoll, [&](std::uint64_t begin, std::uint64_t end) {
            for (std::uint64_t i = begin; i < end; ++i) {
                PyObject* item = next(i);
                if (item == nullptr) {
                    ended = true;
                    return false;
                }
                double d;
                const bool ok = Kind<double>::convert(item, d);
                Py_DECREF(item);
                if (!ok) return false;
                v.push_back(d);  // within the reservation where there is one
            }
            return true;
        });
    return converted || ended;
}

}  // namespace

bool Kind<FloatSeq>::convert(PyObject* o, FloatSeq& out) {
    if (PyUnicode_Check(o)) {
        PyErr_SetString(PyExc_TypeError, "Can't extract `str` to `Vec`");
        return false;
    }
    if (!PySequence_Check(o)) {
        raise_not_instance(o, "Sequence");
        return false;
    }
    FloatBuffer& v = out.values;
    if (PyList_CheckExact(o) || PyTuple_CheckExact(o)) {
        // Exact lists and tuples iterate over their own storage; read it directly: the
        // items present when the conversion starts. Item conversions, and a poll, may run
        // Python code that resizes a list, so an item is read only while the list still
        // reaches it; a list that has shrunk ends the conversion there.
        const auto n = static_cast<std::uint64_t>(PySequence_Fast_GET_SIZE(o));
        v.reserve(n);
        return convert_floats(v, n, [o](std::uint64_t i) {
            const auto at = static_cast<Py_ssize_t>(i);
            return at < PySequence_Fast_GET_SIZE(o) ? Py_NewRef(PySequence_Fast_GET_ITEM(o, at))
                                                    : nullptr;
        });
    }
    // The length is only a size hint: a failing length is ignored, and the hint is capped
    // so that a lying __len__ cannot force a huge reservation.
    const Py_ssize_t hint = PyObject_Size(o);
    if (hint < 0) {
        PyErr_Clear();
    } else {
        v.reserve(static_cast<std::size_t>(hint < (1 << 20) ? hint : (1 << 20)));
    }
    const Ref it(PyObject_GetIter(o));
    if (!it) return false;
    return convert_floats(v, UINT64_MAX, [&it](std::uint64_t) { return PyIter_Next(it.get()); }) &&
           !PyErr_Occurred();
}

bool Kind<ListArg>::convert(PyObject* o, ListArg& out) noexcept {
    if (PyList_Check(o)) {
        out.obj = o;
        return true;
    }
    raise_not_instance(o, "list");
    return false;
}

bool Kind<TupleArg>::convert(PyObject* o, TupleArg& out) noexcept {
    if (PyTuple_Check(o)) {
        out.obj = o;
        return true;
    }
    raise_not_instance(o, "tuple");
    return false;
}

bool Kind<ByteArrayArg>::convert(PyObject* o, ByteArrayArg& out) noexcept {
    if (PyByteArray_Check(o)) {
        out.obj = o;
        return true;
    }
    raise_not_instance(o, "bytearray");
    return false;
}

bool Kind<GeneratorArg>::convert(PyObject* o, GeneratorArg& out) noexcept {
    if (!is_generator(o)) {
        raise_not_instance(o, "Generator");
        return false;
    }
    if (!out.access.acquire(o)) return false;
    out.obj = reinterpret_cast<GeneratorObject*>(o);
    return true;
}

// ---------------------------------------------------------------------------------------
// Binding
// ---------------------------------------------------------------------------------------

namespace {

std::string function_name(const MethodDecl& decl) {
    return std::string(decl.owner) + "." + decl.name + "()";
}

// 'a' / 'a' and 'b' / 'a', 'b', and 'c'
std::string quoted_list(const std::vector<const char*>& names) {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out += names.size() == 2 ? " and " : (i + 1 == names.size() ? ", and " : ", ");
        out += "'";
        out += names[i];
        out += "'";
    }
    return out;
}

}  // namespace

namespace {

// The binding itself; bind_slow and bind_tuple_dict turn what it throws (its messages
// and lists are C++ strings and vectors) into Python exceptions.
bool bind_vector(const MethodDecl& decl, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                 PyObject** out) {
    const std::size_t n = decl.arity();
    if (nargs > static_cast<Py_ssize_t>(n)) {
        PyErr_Format(PyExc_TypeError, "%s takes %zu positional arguments but %zd %s given",
                     function_name(decl).c_str(), n, nargs, nargs == 1 ? "was" : "were");
        return false;
    }
    for (std::size_t i = 0; i < n; ++i)
        out[i] = i < static_cast<std::size_t>(nargs) ? args[i] : nullptr;
    const Py_ssize_t nkw = kwnames == nullptr ? 0 : PyTuple_GET_SIZE(kwnames);
    for (Py_ssize_t k = 0; k < nkw; ++k) {
        PyObject* name = PyTuple_GET_ITEM(kwnames, k);
        std::size_t j = 0;
        while (j < n && PyUnicode_CompareWithASCIIString(name, decl.params[j]) != 0) ++j;
        if (j == n) {
            PyErr_Format(PyExc_TypeError, "%s got an unexpected keyword argument '%U'",
                         function_name(decl).c_str(), name);
            return false;
        }
        if (out[j] != nullptr) {
            PyErr_Format(PyExc_TypeError, "%s got multiple values for argument '%U'",
                         function_name(decl).c_str(), name);
            return false;
        }
        out[j] = args[nargs + k];
    }
    std::vector<const char*> missing;
    for (std::size_t i = 0; i < n; ++i)
        if (out[i] == nullptr) missing.push_back(decl.params[i]);
    if (!missing.empty()) {
        PyErr_Format(PyExc_TypeError, "%s missing %zu required positional argument%s: %s",
                     function_name(decl).c_str(), missing.size(), missing.size() == 1 ? "" : "s",
                     quoted_list(missing).c_str());
        return false;
    }
    return true;
}

bool bind_dict(const MethodDecl& decl, PyObject* const* positional, Py_ssize_t nargs,
               PyObject* kwargs, PyObject** out) {
    // Lay the call out as a vector plus keyword names, the fast-call form.
    const Py_ssize_t nkw = PyDict_GET_SIZE(kwargs);
    std::vector<PyObject*> stack;
    stack.reserve(static_cast<std::size_t>(nargs + nkw));
    stack.assign(positional, positional + nargs);
    // Held by a guard: bind_vector builds its messages in std::string, whose bad_alloc
    // leaves through here.
    const Ref kwnames(PyTuple_New(nkw));
    if (!kwnames) return false;
    Py_ssize_t pos = 0, k = 0;
    PyObject *key, *value;
    while (PyDict_Next(kwargs, &pos, &key, &value)) {
        PyTuple_SET_ITEM(kwnames.get(), k++, Py_NewRef(key));
        stack.push_back(value);  // within the reservation: cannot throw
    }
    return bind_vector(decl, stack.data(), nargs, kwnames.get(), out);
}

}  // namespace

bool bind_slow(const MethodDecl& decl, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
               PyObject** out) noexcept {
    try {
        return bind_vector(decl, args, nargs, kwnames, out);
    } catch (...) {
        raise_current_exception();
        return false;
    }
}

bool bind_tuple_dict(const MethodDecl& decl, PyObject* args, PyObject* kwargs,
                     PyObject** out) noexcept {
    const Py_ssize_t nargs = PyTuple_GET_SIZE(args);
    PyObject* const* positional = &PyTuple_GET_ITEM(args, 0);
    if (kwargs == nullptr || PyDict_GET_SIZE(kwargs) == 0) {
        if (nargs == static_cast<Py_ssize_t>(decl.arity())) {
            for (Py_ssize_t i = 0; i < nargs; ++i) out[i] = positional[i];
            return true;
        }
        return bind_slow(decl, positional, nargs, nullptr, out);
    }
    try {
        return bind_dict(decl, positional, nargs, kwargs, out);
    } catch (...) {
        raise_current_exception();
        return false;
    }
}

const char* make_docstring(const MethodDecl& decl) {
    // One string per declaration, kept for the life of the process (the method tables
    // and types that point at them are never freed either).
    static std::map<const MethodDecl*, std::unique_ptr<std::string>> docs;
    auto& slot = docs[&decl];
    if (!slot) {
        std::string sig =
            std::string(decl.name == std::string("__new__") ? decl.owner : decl.name) + "(";
        bool first = true;
        if (!decl.is_static && decl.name != std::string("__new__")) {
            sig += "$self";
            first = false;
        }
        for (std::size_t i = 0; i < decl.arity(); ++i) {
            if (!first) sig += ", ";
            sig += decl.params[i];
            first = false;
        }
        sig += ")\n--\n\n";
        slot = std::make_unique<std::string>(sig + decl.doc);
    }
    return slot->c_str();
}

}  // namespace drawkit::py
