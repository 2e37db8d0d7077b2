// Module entry: multi-phase initialisation with one execution step that registers the two
// types (created once per process), lists them in __all__ and sets __version__ (the package
// version, DRAWKIT_VERSION from the build).
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
    if (add_type(module, get_generator_type(), "Generator") < 0) return -1;
    if (add_type(module, get_categorical_type(), "Categorical") < 0) return -1;
    return PyModule_AddStringConstant(module, "__version__", DRAWKIT_VERSION);
}

PyModuleDef_Slot slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(exec_module)},
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "drawkit", "", 0, nullptr, slots, nullptr, nullptr, nullptr,
};

}  // namespace
}  // namespace drawkit::py

PyMODINIT_FUNC PyInit_drawkit() { return PyModuleDef_Init(&drawkit::py::module_def); }
