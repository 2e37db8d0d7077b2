// random, uniform, integers, bernoulli and fill.
#include "binding.hpp"
#include "distributions.hpp"
#include "methods.hpp"

namespace drawkit::py {

namespace {

constexpr MethodDecl kRandom{"Generator",
                             "random",
                             {},
                             Access::exclusive,
                             "Returns a random float in [0, 1).\n\n"
                             "The top 53 bits of one engine output, scaled by 2**-53."};

PyObject* random(GeneratorObject* self) { return to_py(next_f64(self->gen.engine)); }

constexpr MethodDecl kUniform{
    "Generator",
    "uniform",
    {"low", "high"},
    Access::exclusive,
    "Returns a random float in [low, high).\n\n"
    "Computed as low + (high - low) * u from one engine output; both bounds must\n"
    "be finite and high greater than low."};

PyObject* uniform(GeneratorObject* self, double low, double high) {
    if (auto invalid = check_uniform(low, high)) [[unlikely]]
        return raise_value_error(*invalid);
    return to_py(drawkit::uniform(self->gen.engine, low, high));
}

constexpr MethodDecl kIntegers{
    "Generator",
    "integers",
    {"low", "high"},
    Access::exclusive,
    "Returns a random integer in [low, high).\n\n"
    "Both bounds are signed 64-bit integers; one engine output reduced modulo\n"
    "high - low, with no rejection step."};

PyObject* integers(GeneratorObject* self, std::int64_t low, std::int64_t high) {
    if (auto invalid = check_integers(low, high)) [[unlikely]]
        return raise_value_error(*invalid);
    return to_py(drawkit::integers(self->gen.engine, low, high));
}

constexpr MethodDecl kBernoulli{"Generator",
                                "bernoulli",
                                {"p"},
                                Access::exclusive,
                                "Returns True with probability p, and False otherwise."};

PyObject* bernoulli(GeneratorObject* self, double p) {
    if (auto invalid = require_probability(p)) [[unlikely]]
        return raise_value_error(*invalid);
    return to_py(drawkit::bernoulli(self->gen.engine, p));
}

constexpr MethodDecl kFill{
    "Generator",
    "fill",
    {"buf"},
    Access::exclusive,
    "Fills a bytearray with random bytes, in place, and returns None.\n\n"
    "An escape hatch for the occasional need of raw bytes: unlike every other\n"
    "method it produces a whole block per call. Each engine output supplies 8\n"
    "bytes, least significant first."};

PyObject* fill(GeneratorObject* self, ByteArrayArg buf) {
    auto* bytes = reinterpret_cast<unsigned char*>(PyByteArray_AS_STRING(buf.obj));
    const auto n = static_cast<std::size_t>(PyByteArray_GET_SIZE(buf.obj));
    if (n <= 8 * kPollBlock) [[likely]] {
        drawkit::fill(self->gen.engine, bytes, n);  // one block: no poll, no Python code
        Py_RETURN_NONE;
    }
    // A long fill polls, and a signal handler run there could resize the bytearray and
    // move its storage. Holding a buffer view for the call pins the storage: a resize
    // meanwhile fails with BufferError, in the handler, as for any exported bytearray.
    Py_buffer view;
    if (PyObject_GetBuffer(buf.obj, &view, PyBUF_WRITABLE) != 0) return nullptr;
    const bool complete = drawkit::fill(self->gen.engine, static_cast<unsigned char*>(view.buf),
                                        static_cast<std::size_t>(view.len), kSignalPoll);
    PyBuffer_Release(&view);
    if (!complete) return nullptr;
    Py_RETURN_NONE;
}

}  // namespace

PyMethodDef random_method() { return method_def<kRandom, random>(); }
PyMethodDef uniform_method() { return method_def<kUniform, uniform>(); }
PyMethodDef integers_method() { return method_def<kIntegers, integers>(); }
PyMethodDef bernoulli_method() { return method_def<kBernoulli, bernoulli>(); }
PyMethodDef fill_method() { return method_def<kFill, fill>(); }

}  // namespace drawkit::py
