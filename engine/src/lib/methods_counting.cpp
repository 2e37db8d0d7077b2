// geometric, binomial, poisson and multinomial.
#include <cstdint>
#include <span>
#include <vector>

#include "binding.hpp"
#include "distributions.hpp"
#include "methods.hpp"

namespace drawkit::py {

namespace {

constexpr MethodDecl kGeometric{
    "Generator",
    "geometric",
    {"p"},
    Access::exclusive,
    "Returns the number of trials up to and including the first success, each trial\n"
    "succeeding with probability p, so the smallest result is 1; discrete waiting times.\n\n"
    "One engine output, inverted through two logarithms; p = 1 returns 1 and consumes\n"
    "nothing, and p = 0 (a trial that never succeeds) is rejected. A count that does not\n"
    "fit in 64 bits (possible only for p below about 2e-18) is returned as 2**64 - 1."};

PyObject* geometric(GeneratorObject* self, double p) {
    if (auto invalid = check_geometric(p)) [[unlikely]]
        return raise_value_error(*invalid);
    return to_py(drawkit::geometric(self->gen.engine, p));
}

constexpr MethodDecl kBinomial{
    "Generator",
    "binomial",
    {"n", "p"},
    Access::exclusive,
    "Returns the number of successes in n independent trials, each succeeding with\n"
    "probability p.\n\n"
    "Implemented as n Bernoulli trials summed, one engine output each, so it is exact for\n"
    "every n and p and its cost is linear in n: roughly 2-3 nanoseconds per trial (about\n"
    "0.8 microseconds at n=100, 28 microseconds at n=10,000, 2 milliseconds at\n"
    "n=1,000,000). Callers with n above about 10,000 in a tight loop are better served by a\n"
    "bulk generator with a rejection algorithm such as BTPE; the linear method serves\n"
    "scalar draws with small n, where the per-call overhead dominates."};

PyObject* binomial(GeneratorObject* self, std::uint64_t n, double p) {
    if (auto invalid = require_probability(p)) [[unlikely]]
        return raise_value_error(*invalid);
    const std::uint64_t count = drawkit::binomial(self->gen.engine, n, p, kSignalPoll);
    // Only a call of more than one block can have polled, and stopped with an exception.
    if (n > kPollBlock && PyErr_Occurred()) [[unlikely]]
        return nullptr;
    return to_py(count);
}

constexpr MethodDecl kPoisson{
    "Generator",
    "poisson",
    {"lam"},
    Access::exclusive,
    "Returns a non-negative integer from a Poisson distribution with rate lam; event\n"
    "counts in a fixed interval.\n\n"
    "Below lam = 10 the multiplication method (about lam + 1 engine outputs); from 10 on,\n"
    "transformed rejection with squeeze (Hoermann 1993), two engine outputs per attempt.\n"
    "Results too large for 64 bits saturate at 2**64 - 1."};

PyObject* poisson(GeneratorObject* self, double lam) {
    if (auto invalid = check_poisson(self->gen.engine, lam)) [[unlikely]]
        return raise_value_error(*invalid);
    return to_py(drawkit::poisson(self->gen.engine, lam));
}

constexpr MethodDecl kMultinomial{
    "Generator",
    "multinomial",
    {"n", "probs"},
    Access::exclusive,
    "Returns the counts of n independent trials over the categories as a new list, one\n"
    "count per category, summing to n.\n\n"
    "Computed as n categorical draws, each the cumulative-probability scan of a single\n"
    "weighted choice (one engine output per trial). probs must be non-empty, each value in\n"
    "[0, 1], their sum within 1e-6 of 1; a draw beyond the rounded sum counts for the last\n"
    "category."};

PyObject* multinomial(GeneratorObject* self, std::uint64_t n, FloatSeq& probs) {
    const std::span<const double> p(probs.values);
    if (auto invalid = check_multinomial(p)) [[unlikely]]
        return raise_value_error(*invalid);
    std::vector<std::uint64_t> counts(p.size(), 0);
    if (!drawkit::multinomial(self->gen.engine, n, p, counts.data(), kSignalPoll)) return nullptr;
    return list_of(counts.data(), counts.size());
}

}  // namespace

PyMethodDef geometric_method() { return method_def<kGeometric, geometric>(); }
PyMethodDef binomial_method() { return method_def<kBinomial, binomial>(); }
PyMethodDef poisson_method() { return method_def<kPoisson, poisson>(); }
PyMethodDef multinomial_method() { return method_def<kMultinomial, multinomial>(); }

}  // namespace drawkit::py
