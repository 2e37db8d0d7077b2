// The Generator type: construction, state export and restore, and stream splitting.
#include <cmath>
#include <vector>

#include "binding.hpp"
#include "methods.hpp"

namespace drawkit::py {

namespace {

constexpr MethodDecl kGeneratorNew{
    "Generator",
    "__new__",
    {"seed"},
    Access::none,
    "A random number generator whose methods each return a single value (a float, an int,\n"
    "a bool or one drawn element), never an array. Every method allocates nothing beyond\n"
    "its own return value, for fast, low-overhead generation inside ordinary Python loops\n"
    "that draw one value at a time.\n\n"
    "The stream is xoshiro256++ seeded from `seed` (an int in [0, 2**64)) by SplitMix64;\n"
    "the same seed and the same calls give the same bits on every platform.\n\n"
    "Use one generator per thread. A call never waits for a generator that a call in\n"
    "another thread holds (also while that call runs Python code, such as a sequence's\n"
    "__getitem__): it raises RuntimeError(\"Already borrowed\"). Give each thread its own\n"
    "generator from split()."};

PyObject* generator_new(PyTypeObject*, std::uint64_t seed) {
    return new_generator(Generator::from_seed(seed));
}

PyObject* new_from_type(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return construct<kGeneratorNew, generator_new>(type, args, kwargs);
}

void generator_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    type->tp_free(self);
    Py_DECREF(type);
}

// --- state -------------------------------------------------------------------------------

constexpr MethodDecl kState{
    "Generator",
    "state",
    {},
    Access::shared,
    "Returns the current state as a 5-element tuple (s0, s1, s2, s3, cached_normal):\n"
    "four plain integers, the engine words, and a float or None. The tuple can be written\n"
    "to JSON unchanged (None as null) and passed to from_state() later.\n\n"
    "The fifth element is the second Gaussian value that normal() computed as part of its\n"
    "last pair and has not returned yet; a checkpoint without it would skip that value."};

PyObject* state(GeneratorObject* self) {
    const Generator& g = self->gen;
    PyObject* tuple = PyTuple_New(5);
    if (tuple == nullptr) return nullptr;
    const std::uint64_t words[4] = {g.engine.s0, g.engine.s1, g.engine.s2, g.engine.s3};
    for (Py_ssize_t i = 0; i < 4; ++i) {
        PyObject* word = PyLong_FromUnsignedLongLong(words[i]);
        if (word == nullptr) {
            Py_DECREF(tuple);
            return nullptr;
        }
        PyTuple_SET_ITEM(tuple, i, word);
    }
    PyObject* cached =
        g.has_cached_normal ? PyFloat_FromDouble(g.cached_normal) : Py_NewRef(Py_None);
    if (cached == nullptr) {
        Py_DECREF(tuple);
        return nullptr;
    }
    PyTuple_SET_ITEM(tuple, 4, cached);
    return tuple;
}

// --- from_state --------------------------------------------------------------------------

constexpr MethodDecl kFromState{
    "Generator",
    "from_state",
    {"state"},
    Access::none,
    "Creates a generator that resumes from a tuple returned by state(): it produces\n"
    "exactly the values the saved generator would have produced from that point on,\n"
    "including a pending normal value. The argument must be a tuple (a list read back\n"
    "from JSON must be converted with tuple() first).\n\n"
    "The all-zero state (0, 0, 0, 0, None), which no seed produces, is accepted but never\n"
    "leaves itself: every engine output is 0, so the draws repeat for ever.",
    true};

PyObject* from_state(PyObject*, TupleArg state) {
    PyObject* t = state.obj;
    const Py_ssize_t len = PyTuple_GET_SIZE(t);
    if (len != 5) {
        PyErr_Format(PyExc_ValueError, "expected tuple of length 5, but got tuple of length %zd",
                     len);
        add_note("state");
        return nullptr;
    }
    Generator g;
    std::uint64_t* words[4] = {&g.engine.s0, &g.engine.s1, &g.engine.s2, &g.engine.s3};
    for (int i = 0; i < 4; ++i) {
        if (!Kind<std::uint64_t>::convert(PyTuple_GET_ITEM(t, i), *words[i])) {
            add_note("state");
            return nullptr;
        }
    }
    PyObject* cached = PyTuple_GET_ITEM(t, 4);
    if (cached != Py_None) {
        if (!Kind<double>::convert(cached, g.cached_normal)) {
            add_note("state");
            return nullptr;
        }
        if (!std::isfinite(g.cached_normal))
            return raise_value_error(
                "from_state()'s cached-normal value must be finite (not NaN or infinite)");
        g.has_cached_normal = true;
    }
    return new_generator(g);
}

// --- jump, split, spawn -------------------------------------------------------------------

constexpr MethodDecl kJump{
    "Generator",
    "jump",
    {},
    Access::exclusive,
    "Advances the state by 2**128 steps, so that the stream afterwards never overlaps the\n"
    "stream before. A pending normal value is kept. Mainly used through split() and\n"
    "spawn()."};

PyObject* jump(GeneratorObject* self) {
    self->gen.engine.jump();
    Py_RETURN_NONE;
}

constexpr MethodDecl kSplit{
    "Generator",
    "split",
    {"n"},
    Access::exclusive,
    "Returns a list of n new independent generators for parallel work (one per worker),\n"
    "none overlapping each other or this generator, which is advanced past all of them:\n"
    "the element at index i starts (i + 1) * 2**128 steps ahead (split(3)[0] is one jump()\n"
    "ahead), and this generator ends (n + 1) * 2**128 steps ahead. The children have no\n"
    "pending normal value; this generator keeps its own."};

PyObject* split(GeneratorObject* self, std::uint64_t n) {
    // Reserve room for every child before touching the parent, so that an impossible n
    // fails with the parent unchanged. A failure or an interruption (a child costs a
    // jump, so the poll comes every thousand children) also leaves the parent as it was:
    // the children made so far are dropped with the list.
    constexpr std::uint64_t kChildrenPerPoll = 1024;
    ResultList children;
    if (!children.allocate(n, n > kChildrenPerPoll)) return nullptr;
    Xoshiro256PlusPlus w = self->gen.engine;
    const bool complete =
        in_blocks(n, kChildrenPerPoll, kSignalPoll, [&](std::uint64_t begin, std::uint64_t end) {
            for (std::uint64_t i = begin; i < end; ++i) {
                w.jump();
                PyObject* child = new_generator(Generator{false, 0.0, w});
                if (child == nullptr) return false;
                children.set(i, child);
            }
            return true;
        });
    if (!complete) return nullptr;
    w.jump();
    self->gen.engine = w;
    return children.release();
}

constexpr MethodDecl kSpawn{
    "Generator",
    "spawn",
    {},
    Access::exclusive,
    "Returns one new independent generator, like split(1)[0], for handing out child\n"
    "streams one at a time; this generator is advanced past the child (two jumps)."};

PyObject* spawn(GeneratorObject* self) {
    Xoshiro256PlusPlus w = self->gen.engine;
    w.jump();
    PyObject* child = new_generator(Generator{false, 0.0, w});
    if (child == nullptr) return nullptr;
    w.jump();
    self->gen.engine = w;
    return child;
}

}  // namespace

PyMethodDef state_method() { return method_def<kState, state>(); }
PyMethodDef from_state_method() { return method_def<kFromState, from_state>(); }
PyMethodDef jump_method() { return method_def<kJump, jump>(); }
PyMethodDef split_method() { return method_def<kSplit, split>(); }
PyMethodDef spawn_method() { return method_def<kSpawn, spawn>(); }

PyObject* new_generator(const Generator& gen) {
    PyObject* obj = generator_type->tp_alloc(generator_type, 0);
    if (obj == nullptr) return nullptr;
    auto* g = reinterpret_cast<GeneratorObject*>(obj);
    g->borrow = 0;
    g->gen = gen;
    return obj;
}

PyTypeObject* get_generator_type() noexcept {
    if (generator_type != nullptr) return generator_type;
    try {  // the tables and docstrings are built here, on first use
        // The method list, in the order the type documents it.
        static PyMethodDef methods[] = {
            state_method(),
            from_state_method(),
            random_method(),
            uniform_method(),
            normal_method(),
            exponential_method(),
            bernoulli_method(),
            integers_method(),
            fill_method(),
            choice_method(),
            choices_method(),
            bootstrap_indices_method(),
            systematic_resample_method(),
            shuffle_method(),
            permutation_method(),
            sample_method(),
            multivariate_normal_method(),
            dirichlet_method(),
            multinomial_method(),
            gamma_method(),
            beta_method(),
            chisquare_method(),
            student_t_method(),
            cauchy_method(),
            laplace_method(),
            lognormal_method(),
            geometric_method(),
            binomial_method(),
            poisson_method(),
            jump_method(),
            spawn_method(),
            split_method(),
            {nullptr, nullptr, 0, nullptr},
        };
        static PyType_Slot slots[] = {
            {Py_tp_new, reinterpret_cast<void*>(new_from_type)},
            {Py_tp_dealloc, reinterpret_cast<void*>(generator_dealloc)},
            {Py_tp_doc, const_cast<char*>(make_docstring(kGeneratorNew))},
            {Py_tp_methods, methods},
            {0, nullptr},
        };
        static PyType_Spec spec = {
            "builtins.Generator",
            sizeof(GeneratorObject),
            0,
            Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE,
            slots,
        };
        generator_type = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&spec));
    } catch (...) {
        raise_current_exception();
    }
    return generator_type;
}

}  // namespace drawkit::py
