// Module entry: multi-phase initialisation with one execution step that registers the two
// types (created once per process) and lists them in __all__. The module holds nothing else:
// the package version is in its metadata (importlib.metadata.version("drawkit")).
//
// The types, and the cached collections.abc.Sequence, belong to the process, so the
// module lives in the main interpreter only. From 3.12 on it says so with its slot, which
// makes an import in an isolated subinterpreter fail; a legacy subinterpreter (one that
// shares the main interpreter's lock, any version) skips that check, so the execution
// step refuses every interpreter but the main one itself.
#include "binding.hpp"
#include "methods.hpp"

namespace drawkit::py {
namespace {

int add_type(PyObject* module, PyTypeObject* type, const char* name) {
    if (type == nullptr) return -1;
    PyObject* all = PyObject_GetAttrString(module, "__all__");
    if (all == nullptr) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return -1;
        PyErr_Clear();
        all = PyList_New(0);
        if (all == nullptr || PyModule_AddObjectRef(module, "__all__", all) < 0) {
            Py_XDECREF(all);
            return -1;
        }
    }
    PyObject* pyname = PyUnicode_FromString(name);
    const int appended = pyname == nullptr ? -1 : PyList_Append(all, pyname);
    Py_XDECREF(pyname);
    Py_DECREF(all);
    if (appended < 0) return -1;
    return PyModule_AddObjectRef(module, name, reinterpret_cast<PyObject*>(type));
}

int exec_module(PyObject* module) {
    if (PyInterpreterState_Get() != PyInterpreterState_Main()) {
        PyErr_SetString(PyExc_ImportError,
                        "module drawkit does not support loading in subinterpreters");
        return -1;
    }
    if (add_type(module, get_generator_type(), "Generator") < 0) return -1;
    return add_type(module, get_categorical_type(), "Categorical");
}

PyModuleDef_Slot slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(exec_module)},
#if PY_VERSION_HEX >= 0x030C0000
    {Py_mod_multiple_interpreters, Py_MOD_MULTIPLE_INTERPRETERS_NOT_SUPPORTED},
#endif
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "drawkit", "", 0, nullptr, slots, nullptr, nullptr, nullptr,
};

}  // namespace
}  // namespace drawkit::py

PyMODINIT_FUNC PyInit_drawkit() { return PyModuleDef_Init(&drawkit::py::module_def); }
