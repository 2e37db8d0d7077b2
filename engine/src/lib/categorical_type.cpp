// The Categorical type: an alias table built once from weights and sampled in O(1) with
// a Generator passed to each draw. The table holds no randomness and no reference to any
// Python object; it is immutable after construction, so sample() needs only shared
// access to it, while the generator it draws from is held exclusively for the call.
#include <memory>
#include <new>

#include "binding.hpp"
#include "categorical_object.hpp"
#include "methods.hpp"
#include "sampling.hpp"

namespace drawkit::py {

namespace {

PyTypeObject* categorical_type = nullptr;

constexpr MethodDecl kCategoricalNew{
    "Categorical",
    "__new__",
    {"weights"},
    Access::none,
    "A reusable weighted-sampling table: built once from a list of non-negative weights\n"
    "in O(n), then sampled in O(1) per draw, for repeated sampling from the same weights\n"
    "(as in particle-filter resampling). sample(rng) returns an index with probability\n"
    "proportional to its weight.\n\n"
    "Built by Vose's alias method (1991): the weights are scaled so that they average 1;\n"
    "columns below the average are paired with columns at or above it, each taking from\n"
    "its partner what it lacks, until every column holds a probability of keeping its own\n"
    "index and an alias index to return otherwise. A draw picks a column and flips that\n"
    "column's coin.\n\n"
    "Raises ValueError for empty weights, a negative or non-finite weight, or a zero sum."};

PyObject* categorical_new(PyTypeObject* type, FloatSeq& weights) {
    double total = 0.0;
    if (auto invalid = check_categorical(weights.values, total)) return raise_value_error(*invalid);
    total = rescale_overflowed_weights(weights.values, total);
    const std::size_t n = weights.values.size();
    auto prob = std::make_unique_for_overwrite<double[]>(n);
    auto alias = std::make_unique_for_overwrite<std::uint64_t[]>(n);
    if (!build_alias_table(weights.values, total, prob.get(), alias.get(), kSignalPoll))
        return nullptr;
    PyObject* obj = type->tp_alloc(type, 0);
    if (obj == nullptr) return nullptr;
    auto* table = reinterpret_cast<CategoricalObject*>(obj);
    table->borrow = 0;
    new (&table->columns) FixedRemainder(n);
    table->prob = prob.release();
    table->alias = alias.release();
    return obj;
}

PyObject* new_from_type(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return construct<kCategoricalNew, categorical_new>(type, args, kwargs);
}

void categorical_dealloc(PyObject* self) {
    auto* table = reinterpret_cast<CategoricalObject*>(self);
    delete[] table->prob;
    delete[] table->alias;
    PyTypeObject* type = Py_TYPE(self);
    type->tp_free(self);
    Py_DECREF(type);
}

constexpr MethodDecl kCategoricalSample{
    "Categorical",
    "sample",
    {"rng"},
    Access::shared,
    "Returns one index, chosen with probability proportional to its weight.\n\n"
    "Takes the Generator to draw from as an argument, so that the table's draws stay on\n"
    "that generator's seed and stream: two engine outputs, the column first, then the\n"
    "coin."};

PyObject* categorical_sample(CategoricalObject* self, GeneratorArg& rng) {
    return to_py(alias_draw(rng.obj->gen.engine, self->prob, self->alias, self->columns));
}

}  // namespace

PyTypeObject* get_categorical_type() noexcept {
    if (categorical_type != nullptr) return categorical_type;
    try {  // the tables and docstrings are built here, on first use
        static PyMethodDef methods[] = {
            method_def<kCategoricalSample, categorical_sample>(),
            {nullptr, nullptr, 0, nullptr},
        };
        static PyType_Slot slots[] = {
            {Py_tp_new, reinterpret_cast<void*>(new_from_type)},
            {Py_tp_dealloc, reinterpret_cast<void*>(categorical_dealloc)},
            {Py_tp_doc, const_cast<char*>(make_docstring(kCategoricalNew))},
            {Py_tp_methods, methods},
            {0, nullptr},
        };
        static PyType_Spec spec = {
            "builtins.Categorical",
            sizeof(CategoricalObject),
            0,
            Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE,
            slots,
        };
        categorical_type = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&spec));
    } catch (...) {
        raise_current_exception();
    }
    return categorical_type;
}

}  // namespace drawkit::py
