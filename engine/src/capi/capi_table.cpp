// The C API's functions: borrowing a Generator object and every scalar draw on it.
//
// A draw here is the Python method without its binding: the same validation (the same
// check_* function, so the same message) before the first engine output, then the same core
// draw on the object's own Generator value. That the two share the core functions, and the
// object's one Generator, is what makes their bits and engine outputs the same.
#include "capi_table.hpp"

#include <cstdint>
#include <limits>
#include <new>
#include <string>

#include "binding.hpp"
#include "categorical_object.hpp"
#include "distributions.hpp"

// A borrow: the object, held by a reference and by its access flag, and the Generator the
// draws work on. That is the object's own until an error is recorded, and a throwaway copy
// afterwards, which keeps the object at the state of the failed call with no test on the
// draws' path.
struct DrawkitGenerator {
    drawkit::Generator* gen;
    drawkit::py::GeneratorObject* obj;
    drawkit::Generator scratch;
    bool failed = false;
    std::string message;
};

namespace drawkit::capi {

namespace {

PyTypeObject* generator_type = nullptr;
PyTypeObject* categorical_type = nullptr;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

DrawkitGenerator* borrow(PyObject* obj) {
    if (obj == nullptr || !Py_IS_TYPE(obj, generator_type)) {
        py::raise_not_instance(obj, "Generator");
        return nullptr;
    }
    auto* gobj = reinterpret_cast<py::GeneratorObject*>(obj);
    if (gobj->borrow != 0) {
        PyErr_SetString(PyExc_RuntimeError, "Already borrowed");
        return nullptr;
    }
    auto* g = new (std::nothrow) DrawkitGenerator{&gobj->gen, gobj, {}, false, {}};
    if (g == nullptr) {
        PyErr_NoMemory();
        return nullptr;
    }
    gobj->borrow = -1;
    Py_INCREF(obj);
    return g;
}

int release(DrawkitGenerator* g) {
    g->obj->borrow = 0;
    Py_DECREF(reinterpret_cast<PyObject*>(g->obj));
    const int result = g->failed ? -1 : 0;
    if (g->failed) PyErr_SetString(PyExc_ValueError, g->message.c_str());
    delete g;
    return result;
}

const char* error(const DrawkitGenerator* g) { return g->failed ? g->message.c_str() : nullptr; }

const DrawkitTable* table_of(PyObject* obj) {
    if (obj == nullptr || !Py_IS_TYPE(obj, categorical_type)) {
        py::raise_not_instance(obj, "Categorical");
        return nullptr;
    }
    return reinterpret_cast<const DrawkitTable*>(obj);
}

// The validation of a draw: true when `check` (a check_* call) passes. Otherwise the
// message is recorded (the first one only) and the draws turn to the throwaway copy.
template <typename Check>
inline bool passes(DrawkitGenerator* g, Check check) noexcept {
    if (g->failed) [[unlikely]]
        return true;  // already on the copy, whose draws nobody reads
    try {
        Invalid invalid = check();
        if (!invalid) [[likely]]
            return true;
        g->message = std::move(*invalid);
    } catch (...) {  // the message itself could not be built
        g->message = "out of memory";
    }
    g->scratch = *g->gen;
    g->gen = &g->scratch;
    g->failed = true;
    return false;
}

// --- the draws, in the table's order ------------------------------------------------------

double random(DrawkitGenerator* g) noexcept { return next_f64(g->gen->engine); }

double uniform(DrawkitGenerator* g, double low, double high) noexcept {
    if (!passes(g, [&] { return check_uniform(low, high); })) [[unlikely]]
        return kNaN;
    return drawkit::uniform(g->gen->engine, low, high);
}

std::int64_t integers(DrawkitGenerator* g, std::int64_t low, std::int64_t high) noexcept {
    if (!passes(g, [&] { return check_integers(low, high); })) [[unlikely]]
        return 0;
    return drawkit::integers(g->gen->engine, low, high);
}

int bernoulli(DrawkitGenerator* g, double p) noexcept {
    if (!passes(g, [&] { return require_probability(p); })) [[unlikely]]
        return 0;
    return drawkit::bernoulli(g->gen->engine, p) ? 1 : 0;
}

double normal(DrawkitGenerator* g, double loc, double scale) noexcept {
    if (!passes(g, [&] { return check_normal(loc, scale); })) [[unlikely]]
        return kNaN;
    return drawkit::normal(*g->gen, loc, scale);
}

double lognormal(DrawkitGenerator* g, double mean, double sigma) noexcept {
    if (!passes(g, [&] { return check_lognormal(mean, sigma); })) [[unlikely]]
        return kNaN;
    return drawkit::lognormal(*g->gen, mean, sigma);
}

double exponential(DrawkitGenerator* g, double scale) noexcept {
    if (!passes(g, [&] { return check_exponential(scale); })) [[unlikely]]
        return kNaN;
    return drawkit::exponential(g->gen->engine, scale);
}

double laplace(DrawkitGenerator* g, double loc, double scale) noexcept {
    if (!passes(g, [&] { return check_laplace(loc, scale); })) [[unlikely]]
        return kNaN;
    return drawkit::laplace(g->gen->engine, loc, scale);
}

double cauchy(DrawkitGenerator* g, double loc, double scale) noexcept {
    if (!passes(g, [&] { return check_cauchy(loc, scale); })) [[unlikely]]
        return kNaN;
    return drawkit::cauchy(g->gen->engine, loc, scale);
}

double gamma(DrawkitGenerator* g, double shape, double scale) noexcept {
    if (!passes(g, [&] { return check_gamma(shape, scale); })) [[unlikely]]
        return kNaN;
    return drawkit::gamma(*g->gen, shape, scale);
}

double beta(DrawkitGenerator* g, double a, double b) noexcept {
    if (!passes(g, [&] { return check_beta(a, b); })) [[unlikely]]
        return kNaN;
    return drawkit::beta(*g->gen, a, b);
}

double chisquare(DrawkitGenerator* g, double df) noexcept {
    if (!passes(g, [&] { return check_chisquare(df); })) [[unlikely]]
        return kNaN;
    return drawkit::chisquare(*g->gen, df);
}

double student_t(DrawkitGenerator* g, double df) noexcept {
    if (!passes(g, [&] { return check_student_t(df); })) [[unlikely]]
        return kNaN;
    return drawkit::student_t(*g->gen, df);
}

std::uint64_t poisson(DrawkitGenerator* g, double lam) noexcept {
    if (!passes(g, [&] { return check_poisson(g->gen->engine, lam); })) [[unlikely]]
        return 0;
    return drawkit::poisson(g->gen->engine, lam);
}

std::uint64_t geometric(DrawkitGenerator* g, double p) noexcept {
    if (!passes(g, [&] { return check_geometric(p); })) [[unlikely]]
        return 0;
    return drawkit::geometric(g->gen->engine, p);
}

// Without the GIL there is no signal to poll: a binomial draw runs its n trials to the end.
std::uint64_t binomial(DrawkitGenerator* g, std::uint64_t n, double p) noexcept {
    if (!passes(g, [&] { return require_probability(p); })) [[unlikely]]
        return 0;
    return drawkit::binomial(g->gen->engine, n, p);
}

std::uint64_t categorical(DrawkitGenerator* g, const DrawkitTable* t) noexcept {
    const auto* c = reinterpret_cast<const py::CategoricalObject*>(t);
    return alias_draw(g->gen->engine, c->prob, c->alias, c->columns);
}

}  // namespace

const DrawkitCAPI table = {
    DRAWKIT_CAPI_VERSION,
    borrow,
    release,
    error,
    table_of,
    random,
    uniform,
    integers,
    bernoulli,
    normal,
    lognormal,
    exponential,
    laplace,
    cauchy,
    gamma,
    beta,
    chisquare,
    student_t,
    poisson,
    geometric,
    binomial,
    categorical,
};

#define DRAWKIT_ENTRY(name) {#name, reinterpret_cast<void*>(name)}
const std::pair<const char*, void*> draw_addresses[] = {
    DRAWKIT_ENTRY(error),     DRAWKIT_ENTRY(random),      DRAWKIT_ENTRY(uniform),
    DRAWKIT_ENTRY(integers),  DRAWKIT_ENTRY(bernoulli),   DRAWKIT_ENTRY(normal),
    DRAWKIT_ENTRY(lognormal), DRAWKIT_ENTRY(exponential), DRAWKIT_ENTRY(laplace),
    DRAWKIT_ENTRY(cauchy),    DRAWKIT_ENTRY(gamma),       DRAWKIT_ENTRY(beta),
    DRAWKIT_ENTRY(chisquare), DRAWKIT_ENTRY(student_t),   DRAWKIT_ENTRY(poisson),
    DRAWKIT_ENTRY(geometric), DRAWKIT_ENTRY(binomial),    DRAWKIT_ENTRY(categorical),
};
#undef DRAWKIT_ENTRY
const std::size_t draw_count = std::size(draw_addresses);

bool find_types(PyObject* drawkit_module) noexcept {
    PyObject* gen = PyObject_GetAttrString(drawkit_module, "Generator");
    PyObject* cat = gen ? PyObject_GetAttrString(drawkit_module, "Categorical") : nullptr;
    if (cat == nullptr || !PyType_Check(gen) || !PyType_Check(cat)) {
        Py_XDECREF(gen);
        Py_XDECREF(cat);
        if (!PyErr_Occurred()) PyErr_SetString(PyExc_ImportError, "drawkit has no types");
        return false;
    }
    // Kept for the process, as drawkit keeps them: the references are never dropped.
    generator_type = reinterpret_cast<PyTypeObject*>(gen);
    categorical_type = reinterpret_cast<PyTypeObject*>(cat);
    return true;
}

}  // namespace drawkit::capi
