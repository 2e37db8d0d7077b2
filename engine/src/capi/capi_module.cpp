// The drawkit_capi._capi module: the capsule of the C table (drawkit.h) for C, C++ and
// Cython, and for ctypes and Numba the same functions as addresses, with borrow and release
// callable from Python (drawkit_capi.borrowed wraps them in a context manager).
//
// It imports drawkit for its two types and works on their objects' layout directly, so
// drawkit itself is unchanged by it and its methods' per-call path is untouched.
#include "capi_table.hpp"

namespace drawkit::capi {
namespace {

// borrow(generator) -> int: the address of a new borrow of the generator.
PyObject* py_borrow(PyObject*, PyObject* obj) {
    DrawkitGenerator* g = table.borrow(obj);
    return g == nullptr ? nullptr : PyLong_FromVoidPtr(g);
}

// release(address): ends a borrow made by borrow(); raises the error the draws recorded.
PyObject* py_release(PyObject*, PyObject* address) {
    void* g = PyLong_AsVoidPtr(address);
    if (g == nullptr) {
        if (!PyErr_Occurred()) PyErr_SetString(PyExc_ValueError, "release() of address 0");
        return nullptr;
    }
    if (table.release(static_cast<DrawkitGenerator*>(g)) < 0) return nullptr;
    Py_RETURN_NONE;
}

// table(categorical) -> int: the address of a Categorical's table, valid while it lives.
PyObject* py_table(PyObject*, PyObject* obj) {
    const DrawkitTable* t = table.table(obj);
    return t == nullptr ? nullptr : PyLong_FromVoidPtr(const_cast<DrawkitTable*>(t));
}

int exec_module(PyObject* module) {
    PyObject* drawkit = PyImport_ImportModule("drawkit");
    const bool found = drawkit != nullptr && find_types(drawkit);
    Py_XDECREF(drawkit);
    if (!found) return -1;
    PyObject* capsule =
        PyCapsule_New(const_cast<DrawkitCAPI*>(&table), DRAWKIT_CAPSULE_NAME, nullptr);
    PyObject* addresses = capsule == nullptr ? nullptr : PyDict_New();
    bool ok = addresses != nullptr;
    for (std::size_t i = 0; ok && i < draw_count; ++i) {
        PyObject* address = PyLong_FromVoidPtr(draw_addresses[i].second);
        ok = address != nullptr &&
             PyDict_SetItemString(addresses, draw_addresses[i].first, address) == 0;
        Py_XDECREF(address);
    }
    ok = ok && PyModule_AddObjectRef(module, "_C_API", capsule) == 0 &&
         PyModule_AddObjectRef(module, "addresses", addresses) == 0;
    Py_XDECREF(capsule);
    Py_XDECREF(addresses);
    return ok ? 0 : -1;
}

PyMethodDef methods[] = {
    {"borrow", py_borrow, METH_O, "borrow(generator) -> int: a new borrow's address."},
    {"release", py_release, METH_O, "release(address): ends the borrow at address."},
    {"table", py_table, METH_O, "table(categorical) -> int: the address of its table."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef_Slot slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(exec_module)},
#if PY_VERSION_HEX >= 0x030C0000
    {Py_mod_multiple_interpreters, Py_MOD_MULTIPLE_INTERPRETERS_NOT_SUPPORTED},
#endif
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "drawkit_capi._capi", "", 0, methods, slots, nullptr, nullptr, nullptr,
};

}  // namespace
}  // namespace drawkit::capi

PyMODINIT_FUNC PyInit__capi() { return PyModuleDef_Init(&drawkit::capi::module_def); }
