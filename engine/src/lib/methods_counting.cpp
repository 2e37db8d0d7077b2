// Placeholder until this family lands.
#include "methods.hpp"
namespace drawkit::py {
namespace { PyObject* not_yet(PyObject*, PyObject*) { PyErr_SetString(PyExc_NotImplementedError, "not yet"); return nullptr; } }
PyMethodDef geometric_method() { return {"geometric", not_yet, METH_VARARGS, nullptr}; }
PyMethodDef binomial_method() { return {"binomial", not_yet, METH_VARARGS, nullptr}; }
PyMethodDef poisson_method() { return {"poisson", not_yet, METH_VARARGS, nullptr}; }
PyMethodDef multinomial_method() { return {"multinomial", not_yet, METH_VARARGS, nullptr}; }
}
