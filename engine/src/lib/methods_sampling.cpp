// Placeholder until this family lands.
#include "methods.hpp"
namespace drawkit::py {
namespace { PyObject* not_yet(PyObject*, PyObject*) { PyErr_SetString(PyExc_NotImplementedError, "not yet"); return nullptr; } }
PyMethodDef choice_method() { return {"choice", not_yet, METH_VARARGS, nullptr}; }
PyMethodDef choices_method() { return {"choices", not_yet, METH_VARARGS, nullptr}; }
PyMethodDef bootstrap_indices_method() { return {"bootstrap_indices", not_yet, METH_VARARGS, nullptr}; }
PyMethodDef systematic_resample_method() { return {"systematic_resample", not_yet, METH_VARARGS, nullptr}; }
PyMethodDef shuffle_method() { return {"shuffle", not_yet, METH_VARARGS, nullptr}; }
PyMethodDef permutation_method() { return {"permutation", not_yet, METH_VARARGS, nullptr}; }
PyMethodDef sample_method() { return {"sample", not_yet, METH_VARARGS, nullptr}; }
}
