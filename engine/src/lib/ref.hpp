// An owned reference, released when it goes out of scope, so that every path out of a
// function (an error, a C++ exception) gives it back.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

namespace drawkit::py {

class Ref {
public:
    Ref() = default;
    explicit Ref(PyObject* p) noexcept : p_(p) {}  // takes over a new reference (or null)
    Ref(Ref&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    Ref& operator=(Ref&& other) noexcept {
        PyObject* old = std::exchange(p_, std::exchange(other.p_, nullptr));
        Py_XDECREF(old);
        return *this;
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { Py_XDECREF(p_); }

    void reset(PyObject* p) noexcept { Py_XSETREF(p_, p); }
    PyObject* get() const noexcept { return p_; }
    PyObject* release() noexcept { return std::exchange(p_, nullptr); }
    explicit operator bool() const noexcept { return p_ != nullptr; }

private:
    PyObject* p_ = nullptr;
};

}  // namespace drawkit::py
