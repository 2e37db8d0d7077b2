// The binding layer: one declarative road from a Python call to a core draw.
//
// A method is declared once, as a MethodDecl (owner, name, parameter names, access, prose)
// plus a typed implementation function, for example
//
//     constexpr MethodDecl kUniform{"Generator", "uniform", {"low", "high"}, Access::exclusive,
//                                   "Returns a random float in [low, high)."};
//     PyObject* uniform(GeneratorObject* self, double low, double high);
//     const PyMethodDef kUniformMethod = method_def<kUniform, uniform>();
//
// and method_def derives everything else from that pair: the calling convention, the
// text-signature line of the docstring, binding of positional and keyword arguments with
// their messages, the access to the object, and the conversion of each argument by the
// kind that its C++ parameter type selects (double, int64, uint64, a sequence, ...).
// The fast path (all arguments positional, exact floats) does no work beyond the checks.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

#include "float_buffer.hpp"
#include "generator.hpp"
#include "poll.hpp"

namespace drawkit::py {

// ---------------------------------------------------------------------------------------
// Objects and their access state
// ---------------------------------------------------------------------------------------

// Every instance carries an access state: 0 free, n > 0 shared by n holders, -1 held
// exclusively. It is the only guard against re-entrance (Python code run by a method,
// such as a sequence's __getitem__, calling back into the same object).
struct Borrowable {
    PyObject_HEAD Py_ssize_t borrow;
};

struct GeneratorObject : Borrowable {
    Generator gen;
};

extern PyTypeObject* generator_type;  // created once per process

inline bool is_generator(PyObject* o) noexcept { return Py_IS_TYPE(o, generator_type); }

enum class Access { none, shared, exclusive };

[[gnu::cold]] void raise_already_borrowed();          // exclusive access refused
[[gnu::cold]] void raise_already_mutably_borrowed();  // shared access refused

class ExclusiveAccess {
public:
    ExclusiveAccess() = default;
    explicit ExclusiveAccess(PyObject* o) noexcept { acquire(o); }
    ExclusiveAccess(const ExclusiveAccess&) = delete;
    ExclusiveAccess& operator=(const ExclusiveAccess&) = delete;
    ~ExclusiveAccess() {
        if (obj_) obj_->borrow = 0;
    }
    bool acquire(PyObject* o) noexcept {
        auto* b = reinterpret_cast<Borrowable*>(o);
        if (b->borrow != 0) [[unlikely]] {
            raise_already_borrowed();
            return false;
        }
        b->borrow = -1;
        obj_ = b;
        return true;
    }
    explicit operator bool() const noexcept { return obj_ != nullptr; }

private:
    Borrowable* obj_ = nullptr;
};

class SharedAccess {
public:
    explicit SharedAccess(PyObject* o) noexcept {
        auto* b = reinterpret_cast<Borrowable*>(o);
        if (b->borrow < 0) [[unlikely]] {
            raise_already_mutably_borrowed();
            return;
        }
        ++b->borrow;
        obj_ = b;
    }
    SharedAccess(const SharedAccess&) = delete;
    SharedAccess& operator=(const SharedAccess&) = delete;
    ~SharedAccess() {
        if (obj_) --obj_->borrow;
    }
    explicit operator bool() const noexcept { return obj_ != nullptr; }

private:
    Borrowable* obj_ = nullptr;
};

// ---------------------------------------------------------------------------------------
// Errors
// ---------------------------------------------------------------------------------------

// Adds the note "while processing '{param}'" to the exception being raised.
void add_note(const char* param) noexcept;

// No C++ exception may leave the module: the interpreter's frames cannot carry one, and
// it would end the process in std::terminate. Every entry point (the methods, the
// constructors, the binding messages, the type creation at import) catches whatever the
// C++ side throws and calls this from its handler: std::bad_alloc and std::length_error
// (an impossible size) become MemoryError, anything else RuntimeError with the
// exception's text. Returns nullptr, for `return raise_current_exception();`.
[[gnu::cold]] PyObject* raise_current_exception() noexcept;

// Raises ValueError with `message`; returns nullptr for `return raise_value_error(...)`.
[[gnu::cold]] PyObject* raise_value_error(const std::string& message);

// "'{type}' object is not an instance of '{target}'" ("'None' is not ..." for None).
[[gnu::cold]] void raise_not_instance(PyObject* obj, const char* target);

// True unless a pending signal's handler raised. Runs the pending signal handlers (and,
// from 3.12 on, a collection the interpreter has scheduled); Ctrl-C's handler raises
// KeyboardInterrupt.
inline bool no_signal_raised() noexcept { return PyErr_CheckSignals() == 0; }

// The poll of the core's long loops. When a handler raises, the loop stops at once and the
// method returns with that exception: the engine outputs drawn so far stay consumed, as
// when an item method fails after drawing has begun, and the working buffers and the
// access are released as on any other error. Python code runs here, so whatever a loop
// reads from a Python object must be read afresh after a poll. A loop of one block never
// polls, so only a call longer than that can have stopped this way.
inline constexpr Poll kSignalPoll = Poll::of<no_signal_raised>();

// ---------------------------------------------------------------------------------------
// Conversion kinds, selected by the C++ parameter type of the implementation
// ---------------------------------------------------------------------------------------

template <typename T>
struct Kind;  // each kind: static bool convert(PyObject* o, T& out), error set on false

// float: exact floats are read directly; anything else through the host's float conversion
// (ints, objects with __float__ or __index__).
template <>
struct Kind<double> {
    static bool convert(PyObject* o, double& out) noexcept {
        if (PyFloat_CheckExact(o)) [[likely]] {
            out = PyFloat_AS_DOUBLE(o);
            return true;
        }
        out = PyFloat_AsDouble(o);
        return !(out == -1.0 && PyErr_Occurred());
    }
};

// signed 64-bit: the host's conversion (int, bool, __index__); OverflowError outside range.
template <>
struct Kind<std::int64_t> {
    static bool convert(PyObject* o, std::int64_t& out) noexcept {
        const long long v = PyLong_AsLongLong(o);
        if (v == -1 && PyErr_Occurred()) return false;
        out = v;
        return true;
    }
};

// unsigned 64-bit: an int or bool, or an object with __index__ converted to int first.
template <>
struct Kind<std::uint64_t> {
    static bool convert(PyObject* o, std::uint64_t& out) noexcept;
};

// A sequence argument, not copied: list, tuple and their subclasses (decided from the
// type flags, no Python code runs), else anything registered as collections.abc.Sequence.
struct SequenceArg {
    PyObject* obj = nullptr;  // borrowed from the call's argument vector
};
template <>
struct Kind<SequenceArg> {
    static bool convert(PyObject* o, SequenceArg& out) noexcept;
};

// A list of floats: any sequence but str, taken by iteration, each item a float argument.
struct FloatSeq {
    FloatBuffer values;
};
template <>
struct Kind<FloatSeq> {
    static bool convert(PyObject* o, FloatSeq& out);
};

// A list (or subclass), a tuple (or subclass), a bytearray (or subclass).
struct ListArg {
    PyObject* obj = nullptr;
};
struct TupleArg {
    PyObject* obj = nullptr;
};
struct ByteArrayArg {
    PyObject* obj = nullptr;
};
template <>
struct Kind<ListArg> {
    static bool convert(PyObject* o, ListArg& out) noexcept;
};
template <>
struct Kind<TupleArg> {
    static bool convert(PyObject* o, TupleArg& out) noexcept;
};
template <>
struct Kind<ByteArrayArg> {
    static bool convert(PyObject* o, ByteArrayArg& out) noexcept;
};

// A Generator argument, held exclusively from its conversion to the end of the call.
struct GeneratorArg {
    GeneratorObject* obj = nullptr;
    ExclusiveAccess access;
};
template <>
struct Kind<GeneratorArg> {
    static bool convert(PyObject* o, GeneratorArg& out) noexcept;
};

// ---------------------------------------------------------------------------------------
// Results
// ---------------------------------------------------------------------------------------

inline PyObject* to_py(double v) noexcept { return PyFloat_FromDouble(v); }
inline PyObject* to_py(bool v) noexcept { return Py_NewRef(v ? Py_True : Py_False); }
inline PyObject* to_py(std::int64_t v) noexcept { return PyLong_FromLongLong(v); }
inline PyObject* to_py(std::uint64_t v) noexcept { return PyLong_FromUnsignedLongLong(v); }

// MemoryError "cannot allocate a result of {n} elements": a result (or its working
// buffer) that cannot be had, reported before any engine output is taken.
[[gnu::cold]] void raise_no_room(std::uint64_t n) noexcept;

// The result list of a call, allocated at full length before the first engine output
// (so that an impossible length is a MemoryError naming it, the generator untouched) and
// released on every path unless handed out. While Python code may run during the fill
// (an item method, or a poll of a long loop), the list can be kept away from the garbage
// collector, whose introspection could otherwise hand a list with empty slots to that
// code.
class ResultList {
public:
    ResultList() = default;
    ResultList(const ResultList&) = delete;
    ResultList& operator=(const ResultList&) = delete;
    ~ResultList() { Py_XDECREF(list_); }

    bool allocate(std::uint64_t n, bool hide_from_gc = false) noexcept {
        if (n > static_cast<std::uint64_t>(PY_SSIZE_T_MAX)) {
            raise_no_room(n);
            return false;
        }
        list_ = PyList_New(static_cast<Py_ssize_t>(n));
        if (list_ == nullptr) {
            if (PyErr_ExceptionMatches(PyExc_MemoryError)) raise_no_room(n);
            return false;
        }
        hidden_ = hide_from_gc;
        if (hidden_) PyObject_GC_UnTrack(list_);
        return true;
    }

    // Stores a new reference into slot i.
    void set(std::uint64_t i, PyObject* item) noexcept {
        PyList_SET_ITEM(list_, static_cast<Py_ssize_t>(i), item);
    }

    // The slots themselves, each to receive a new reference.
    PyObject** slots() noexcept { return PySequence_Fast_ITEMS(list_); }

    // Fills slots 0..n-1 with the Python values of machine values; false with the error set.
    template <typename T>
    bool set_all(const T* values, std::uint64_t n) noexcept {
        for (std::uint64_t i = 0; i < n; ++i) {
            PyObject* v = to_py(values[i]);
            if (v == nullptr) return false;
            set(i, v);
        }
        return true;
    }

    PyObject* release() noexcept {
        if (hidden_) PyObject_GC_Track(list_);
        return std::exchange(list_, nullptr);
    }

private:
    PyObject* list_ = nullptr;
    bool hidden_ = false;
};

// A new list of Python ints from machine integers, or of floats from doubles.
template <typename T>
PyObject* list_of(const T* values, std::size_t n) {
    ResultList result;
    if (!result.allocate(n) || !result.set_all(values, n)) return nullptr;
    return result.release();
}

// ---------------------------------------------------------------------------------------
// Declarations and binding
// ---------------------------------------------------------------------------------------

inline constexpr std::size_t kMaxParams = 3;

struct MethodDecl {
    const char* owner;                             // "Generator" or "Categorical"
    const char* name;                              // "uniform"; "__new__" for a constructor
    std::array<const char*, kMaxParams> params{};  // in signature order; unused slots null
    Access access = Access::exclusive;             // access to self for the call
    const char* doc = "";                          // prose after the signature line
    bool is_static = false;                        // no $self (from_state)

    constexpr std::size_t arity() const {
        std::size_t n = 0;
        while (n < params.size() && params[n] != nullptr) ++n;
        return n;
    }
};

// Slow path of binding: keywords, missing or surplus arguments. Fills `out` (borrowed
// references) or raises TypeError with the binding messages.
bool bind_slow(const MethodDecl& decl, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
               PyObject** out) noexcept;

// Binding for constructors, which receive the host's argument tuple and keyword dict.
bool bind_tuple_dict(const MethodDecl& decl, PyObject* args, PyObject* kwargs,
                     PyObject** out) noexcept;

// The docstring "{sig}\n--\n\n{prose}", built once per declaration and kept for the process.
// May throw std::bad_alloc: it runs while a type is created, inside that guard.
const char* make_docstring(const MethodDecl& decl);

namespace detail {

template <typename F>
struct ImplTraits;
template <typename Self, typename... A>
struct ImplTraits<PyObject* (*)(Self*, A...)> {
    using SelfType = Self;
    using Values = std::tuple<std::remove_cvref_t<A>...>;
    static constexpr std::size_t arity = sizeof...(A);
};

template <typename T>
inline bool convert_one(PyObject* o, const char* param, T& out) {
    if (Kind<T>::convert(o, out)) [[likely]]
        return true;
    add_note(param);
    return false;
}

// Converts each bound argument in signature order, then calls the implementation.
template <const MethodDecl& D, auto Impl, typename Self>
inline PyObject* convert_and_call(Self* self, PyObject* const* argv) {
    using Tr = ImplTraits<decltype(Impl)>;
    typename Tr::Values values{};
    return [&]<std::size_t... I>(std::index_sequence<I...>) -> PyObject* {
        if (!(convert_one(argv[I], D.params[I], std::get<I>(values)) && ...)) return nullptr;
        return Impl(self, std::get<I>(values)...);
    }(std::make_index_sequence<Tr::arity>{});
}

template <const MethodDecl& D, auto Impl, typename Self>
inline PyObject* with_access(Self* self, PyObject* const* argv) {
    try {
        if constexpr (D.access == Access::exclusive) {
            ExclusiveAccess access(reinterpret_cast<PyObject*>(self));
            if (!access) return nullptr;
            return convert_and_call<D, Impl>(self, argv);
        } else if constexpr (D.access == Access::shared) {
            SharedAccess access(reinterpret_cast<PyObject*>(self));
            if (!access) return nullptr;
            return convert_and_call<D, Impl>(self, argv);
        } else {
            return convert_and_call<D, Impl>(self, argv);
        }
    } catch (...) {
        return raise_current_exception();
    }
}

template <const MethodDecl& D, auto Impl>
PyObject* fastcall(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    using Tr = ImplTraits<decltype(Impl)>;
    using Self = typename Tr::SelfType;
    static_assert(Tr::arity == D.arity(), "parameter names and implementation disagree");
    constexpr std::size_t n = Tr::arity;
    PyObject* bound[n > 0 ? n : 1];
    PyObject* const* argv = args;
    if (kwnames != nullptr || nargs != static_cast<Py_ssize_t>(n)) [[unlikely]] {
        if (!bind_slow(D, args, nargs, kwnames, bound)) return nullptr;
        argv = bound;
    }
    return with_access<D, Impl>(reinterpret_cast<Self*>(self), argv);
}

template <const MethodDecl& D, auto Impl>
PyObject* noargs(PyObject* self, PyObject*) {
    using Self = typename ImplTraits<decltype(Impl)>::SelfType;
    return with_access<D, Impl>(reinterpret_cast<Self*>(self), nullptr);
}

}  // namespace detail

// The method-table entry of a declared method.
template <const MethodDecl& D, auto Impl>
PyMethodDef method_def() {
    constexpr std::size_t n = detail::ImplTraits<decltype(Impl)>::arity;
    const int static_flag = D.is_static ? METH_STATIC : 0;
    if constexpr (n == 0 && !D.is_static) {
        return {D.name, reinterpret_cast<PyCFunction>(detail::noargs<D, Impl>), METH_NOARGS,
                make_docstring(D)};
    } else {
        return {
            D.name,
            reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(detail::fastcall<D, Impl>)),
            METH_FASTCALL | METH_KEYWORDS | static_flag, make_docstring(D)};
    }
}

// Runs a constructor declaration from the host's tuple and dict. `Impl` takes the type
// in place of self.
template <const MethodDecl& D, auto Impl>
PyObject* construct(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    using Tr = detail::ImplTraits<decltype(Impl)>;
    PyObject* bound[Tr::arity > 0 ? Tr::arity : 1];
    if (!bind_tuple_dict(D, args, kwargs, bound)) return nullptr;
    return detail::with_access<D, Impl>(type, bound);
}

}  // namespace drawkit::py
