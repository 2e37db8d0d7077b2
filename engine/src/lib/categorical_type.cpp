// Placeholder until the alias table lands.
#include "methods.hpp"
namespace drawkit::py {
namespace {
PyObject* not_yet(PyTypeObject*, PyObject*, PyObject*) { PyErr_SetString(PyExc_NotImplementedError, "not yet"); return nullptr; }
}
PyTypeObject* get_categorical_type() {
    static PyTypeObject* type = nullptr;
    if (type) return type;
    static PyType_Slot slots[] = {{Py_tp_new, reinterpret_cast<void*>(not_yet)}, {Py_tp_doc, const_cast<char*>("Categorical(weights)\n--\n\n")}, {0, nullptr}};
    static PyType_Spec spec = {"builtins.Categorical", sizeof(Borrowable), 0, Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE, slots};
    type = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&spec));
    return type;
}
}
