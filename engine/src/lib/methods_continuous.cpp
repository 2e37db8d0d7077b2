// Placeholder until this family lands.
#include "methods.hpp"
namespace drawkit::py {
namespace { PyObject* not_yet(PyObject*, PyObject*) { PyErr_SetString(PyExc_NotImplementedError, "not yet"); return nullptr; } }
PyMethodDef normal_method() { return {"normal", not_yet, METH_VARARGS, nullptr}; }
PyMethodDef lognormal_method() { return {"lognormal", not_yet, METH_VARARGS, nullptr}; }
PyMethodDef exponential_method() { return {"exponential", not_yet, METH_VARARGS, nullptr}; }
PyMethodDef laplace_method() { return {"laplace", not_yet, METH_VARARGS, nullptr}; }
PyMethodDef cauchy_method() { return {"cauchy", not_yet, METH_VARARGS, nullptr}; }
PyMethodDef gamma_method() { return {"gamma", not_yet, METH_VARARGS, nullptr}; }
PyMethodDef beta_method() { return {"beta", not_yet, METH_VARARGS, nullptr}; }
PyMethodDef chisquare_method() { return {"chisquare", not_yet, METH_VARARGS, nullptr}; }
PyMethodDef student_t_method() { return {"student_t", not_yet, METH_VARARGS, nullptr}; }
PyMethodDef multivariate_normal_method() { return {"multivariate_normal", not_yet, METH_VARARGS, nullptr}; }
PyMethodDef dirichlet_method() { return {"dirichlet", not_yet, METH_VARARGS, nullptr}; }
}
