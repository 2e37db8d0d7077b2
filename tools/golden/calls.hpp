// The core's routines behind one text interface, shared by the golden transcript, the
// reference test and the fuzz target. A call is text, "poisson(25)", "dirichlet([1, 2, 3])",
// numbers as their shortest round-trip decimal ("nan:0x..." for a NaN and its pattern).
// run() validates it as the Python method does, then runs it on a generator; each call answers
// with tokens (doubles as 64-bit patterns, integers in decimal) or the message refusing it. A
// NaN made by arithmetic is written "nan*": its sign and payload differ between processors;
// the NaN portable_math returns as a constant keeps its pattern, 0x7FF8000000000000.
#pragma once

#include <algorithm>
#include <bit>
#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "distributions.hpp"
#include "number_format.hpp"

namespace golden {

using namespace drawkit;
namespace pm = drawkit::portable_math;
using Tokens = std::vector<std::string>;

inline double from_bits(std::uint64_t b) { return std::bit_cast<double>(b); }
inline std::uint64_t bits_of(double x) { return std::bit_cast<std::uint64_t>(x); }

inline std::string hex(std::uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%016" PRIX64, v);
    return buf;
}

inline std::string fbits(double x) {
    return x != x && bits_of(x) != 0x7FF8000000000000ULL ? "nan*" : hex(bits_of(x));
}

inline std::string arg(double x) {
    if (x != x) return "nan:" + hex(bits_of(x));
    char buf[64];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, x).ptr);
}

template <typename T>
T parse(std::string_view t, int base = 10) {
    t.remove_prefix(std::min(t.find_first_not_of(' '), t.size()));
    T v{};
    if constexpr (std::is_floating_point_v<T>) {
        if (t.starts_with("nan:0x")) return from_bits(parse<std::uint64_t>(t.substr(6), 16));
        if (std::from_chars(t.data(), t.data() + t.size(), v).ptr == t.data() + t.size()) return v;
    } else if (std::from_chars(t.data(), t.data() + t.size(), v, base).ptr == t.data() + t.size()) {
        return v;
    }
    throw std::invalid_argument("not a number: '" + std::string(t) + "'");
}

// "op(a, b, [c, d])": the name and the arguments as text.
struct Call {
    std::string op;
    std::vector<std::string> args;

    explicit Call(std::string_view text) : op(text.substr(0, text.find('('))) {
        if (op.size() == text.size()) return;
        std::string cur;
        int depth = 0;
        for (const char c : text.substr(op.size() + 1, text.size() - op.size() - 2)) {
            depth += (c == '[') - (c == ']');
            if (c == ',' && depth == 0)
                args.push_back(std::exchange(cur, ""));
            else
                cur += c;
        }
        args.push_back(cur);
    }
    double f(std::size_t i) const { return parse<double>(args.at(i)); }
    std::int64_t i(std::size_t i) const { return parse<std::int64_t>(args.at(i)); }
    std::uint64_t u(std::size_t i) const { return parse<std::uint64_t>(args.at(i)); }
    std::vector<double> list(std::size_t i) const {  // "[1, 2]"
        std::vector<double> v;
        const std::string_view s = std::string_view(args.at(i)).substr(args[i].find('[') + 1);
        for (std::size_t at = 0, end; s.size() > 1 && at < s.size(); at = end + 1)
            v.push_back(parse<double>(s.substr(at, (end = s.find_first_of(",]", at)) - at)));
        return v;
    }
};

// The answer of one call: its tokens, or the message of the validation that refused it.
struct Out {
    Tokens t;
    Invalid error;

    bool fails(Invalid invalid) { return (error = std::move(invalid)).has_value(); }
    template <typename T>
    Out& operator<<(const T& x) {  // a double, an integer, a text or a vector of them
        if constexpr (std::is_floating_point_v<T>)
            t.push_back(fbits(x));
        else if constexpr (std::is_integral_v<T>)
            t.push_back(std::to_string(x));
        else if constexpr (std::is_convertible_v<T, std::string>)
            t.push_back(x);
        else
            for (const auto& y : x) *this << y;
        return *this;
    }
};

// s0 s1 s2 s3 and the pending normal.
inline Tokens state_tokens(const Generator& g) {
    const auto& e = g.engine;
    return {hex(e.s0), hex(e.s1), hex(e.s2), hex(e.s3),
            g.has_cached_normal ? fbits(g.cached_normal) : "none"};
}

// An alias table as Categorical builds it: weights whose sum overflows are scaled first.
inline bool alias_table(std::vector<double> w, Out& o, std::vector<double>& prob,
                        std::vector<std::uint64_t>& alias, double& total) {
    if (o.fails(check_categorical(w, total))) return false;
    total = rescale_overflowed_weights(w, total);
    prob.resize(w.size());
    alias.resize(w.size());
    build_alias_table(w, total, prob.data(), alias.data());
    return true;
}

using Op = void (*)(Generator&, const Call&, Out&);

#define OP(name, ...)                                                 \
    {name, [](Generator& g, [[maybe_unused]] const Call& a, Out& o) { \
         [[maybe_unused]] auto& e = g.engine;                         \
         __VA_ARGS__;                                                 \
     }}

inline const std::map<std::string, Op, std::less<>>& ops() {
    static const std::map<std::string, Op, std::less<>> table = {
        // The engine and the uniform primitives.
        OP("state", o << state_tokens(g)),
        OP("next_u64", o << hex(e.next_u64())),
        OP("next_below", o << e.next_below(a.u(0))),
        OP("fixed_remainder", o << FixedRemainder(a.u(0)).of(e.next_u64())),
        OP("jump", e.jump(); o << state_tokens(g); o.t.pop_back()),
        OP("next_f64", o << next_f64(e)),
        OP("next_f64_complement", o << next_f64_complement(e)),
        OP("next_f64_floored", o << next_f64_floored(e)),
        OP("uniform", if (!o.fails(check_uniform(a.f(0), a.f(1)))) o << uniform(e, a.f(0), a.f(1))),
        OP("integers",
           if (!o.fails(check_integers(a.i(0), a.i(1)))) o << integers(e, a.i(0), a.i(1))),
        OP("bernoulli", if (!o.fails(require_probability(a.f(0)))) o << bernoulli(e, a.f(0))),
        OP("fill", std::vector<unsigned char> b(a.u(0)); fill(e, b.data(), b.size());
           std::string s = b.empty() ? "-" : "";
           for (const unsigned c : b) s += hex(c).substr(16);  // two hex digits a byte
           o << s),
        // Distributions.
        OP("standard_normal", o << standard_normal(g)),
        OP("normal", if (!o.fails(check_normal(a.f(0), a.f(1)))) o << normal(g, a.f(0), a.f(1))),
        OP("lognormal",
           if (!o.fails(check_lognormal(a.f(0), a.f(1)))) o << lognormal(g, a.f(0), a.f(1))),
        OP("exponential", if (!o.fails(check_exponential(a.f(0)))) o << exponential(e, a.f(0))),
        OP("laplace", if (!o.fails(check_laplace(a.f(0), a.f(1)))) o << laplace(e, a.f(0), a.f(1))),
        OP("cauchy", if (!o.fails(check_cauchy(a.f(0), a.f(1)))) o << cauchy(e, a.f(0), a.f(1))),
        OP("standard_gamma", o << standard_gamma(g, a.f(0))),
        OP("gamma", if (!o.fails(check_gamma(a.f(0), a.f(1)))) o << gamma(g, a.f(0), a.f(1))),
        OP("beta", if (!o.fails(check_beta(a.f(0), a.f(1)))) o << beta(g, a.f(0), a.f(1))),
        OP("chisquare", if (!o.fails(check_chisquare(a.f(0)))) o << chisquare(g, a.f(0))),
        OP("student_t", if (!o.fails(check_student_t(a.f(0)))) o << student_t(g, a.f(0))),
        OP("poisson", if (!o.fails(check_poisson(e, a.f(0)))) o << poisson(e, a.f(0))),
        OP("geometric", if (!o.fails(check_geometric(a.f(0)))) o << geometric(e, a.f(0))),
        OP("binomial", if (!o.fails(require_probability(a.f(1)))) o << binomial(e, a.u(0), a.f(1))),
        OP("multivariate_normal", const auto mean = a.list(0); std::vector<double> out(mean.size());
           if (!o.fails(check_multivariate_normal(mean.size(), a.list(1).size())))
               multivariate_normal(g, mean, a.list(1), out),
           o << out),
        OP("check_multivariate_normal", o.fails(check_multivariate_normal(a.u(0), a.u(1)))),
        OP("dirichlet", auto alpha = a.list(0);  // in place, as the module calls it
           if (!o.fails(check_dirichlet(alpha))) dirichlet(g, alpha, alpha), o << alpha),
        OP("multinomial", const auto p = a.list(1); std::vector<std::uint64_t> counts(p.size());
           if (!o.fails(check_multinomial(p))) multinomial(e, a.u(0), p, counts.data()),
           o << counts),
        // Sequence and index sampling, the alias table.
        OP("choice", if (!o.fails(check_choice(a.u(0)))) o << e.next_below(a.u(0))),
        OP("choices", if (!o.fails(check_choices(a.u(0)))) o << e.next_below(a.u(0))),
        OP("permutation", std::vector<std::uint64_t> v(a.u(0)); permutation(e, v.data(), v.size());
           o << v),
        OP("shuffle", auto v = a.list(0); shuffle_in_place(e, v.data(), v.size()); o << v),
        OP("bootstrap_indices", std::vector<std::uint64_t> v(a.u(0));
           if (!o.fails(check_bootstrap_indices(v.size())))
               bootstrap_indices(e, v.data(), v.size()),
           o << v),
        // The elements are the positions: emitted values, then every position read, in order
        // (a third argument makes that read fail).
        OP(
            "partial_fisher_yates", const std::uint64_t k = a.u(1),
            fail = a.args.size() > 2 ? a.u(2) : ~0ULL;
            if (o.fails(check_sample(a.u(0), k))) return; std::vector<std::uint64_t> out(k), reads;
            const auto read =
                [&](std::uint64_t pos, std::uint64_t& v) {
                    return reads.size() != fail && (reads.push_back(v = pos), true);
                };
            const auto emit = [&](std::uint64_t i, std::uint64_t&& v) { out.at(i) = v; };
            const bool done = partial_fisher_yates<std::uint64_t>(e, a.u(0), k, read, emit);
            o << out << (done ? "reads" : "failed") << reads),
        OP("systematic_resample", auto w = a.list(0); double total = 0;
           std::vector<std::uint64_t> out(a.u(1));
           if (o.fails(check_systematic_resample(w, total))) return;
           total = rescale_overflowed_weights(w, total);
           systematic_resample(next_f64(e), w, total, out.size(), out.data()); o << out),
        OP("alias_table", std::vector<double> prob; std::vector<std::uint64_t> alias;
           double total = 0;
           if (alias_table(a.list(0), o, prob, alias, total)) o << total << prob << alias),
        OP("alias_draw", std::vector<double> prob; std::vector<std::uint64_t> alias;
           double total = 0; if (alias_table(a.list(0), o, prob, alias, total)) o << alias_draw(
                                 e, prob.data(), alias.data(), FixedRemainder(prob.size()))),
        // Pure functions: portable_math and its internals, the counting helpers, messages.
        OP("round_ties_even", o << pm::round_ties_even(a.f(0))),
        OP("scale_by_pow2", o << pm::scale_by_pow2(a.f(0), static_cast<std::int32_t>(a.i(1)))),
        OP("ln", const double x = a.f(0); o << pm::ln(x);
           if (x > 0 && x - x == 0) o << pm::ln_head_tail(x).head << pm::ln_head_tail(x).tail),
        OP("exp", o << pm::exp(a.f(0))),
        // The internals too, below the reduction limit.
        OP(
            "sin,cos,tan", const double x = a.f(0); o << pm::sin(x) << pm::cos(x) << pm::tan(x);
            if (std::fabs(x) < 1e6) {
                const pm::ReducedAngle r = pm::reduce_pio2(x);
                o << "|" << r.q << r.r << pm::sin_kernel(r.r) << pm::cos_kernel(r.r);
            }),
        OP("powf", o << pm::powf(a.f(0), a.f(1))),
        OP("floor_f64", o << floor_f64(a.f(0))),
        OP("count_from_f64", o << count_from_f64(a.f(0))),
        OP("ln_gamma", o << ln_gamma(a.f(0))),
        OP("ptrs_setup", const PtrsSetup s = ptrs_setup(a.f(0));
           o << s.loglam << s.slam << s.b << s.a << s.invalpha << s.vr << s.twoa << s.lninvalpha),
        OP("bernoulli_threshold", o << bernoulli_threshold(a.f(0))),
        OP("remainder", const std::uint64_t d = a.u(0); const FixedRemainder r(d);
           const std::uint64_t xs[] = {0, 1, d - 1, d, d + 1, 2 * d - 1, ~d, ~0ULL - 1, ~0ULL};
           for (const std::uint64_t x : xs) o << r.of(x)),
        OP("format_float", o << format_float(a.f(0))),
    };
    return table;
}

#undef OP

// n calls of `text` on g, stopping at the first one refused: the tokens of each call.
struct Result {
    std::vector<Tokens> calls;
    Invalid error;
};

inline Result run(std::string_view text, Generator& g, int n = 1) {
    const Call call(text);
    const auto op = ops().find(call.op);
    if (op == ops().end()) throw std::invalid_argument("no such call: " + std::string(text));
    Result r;
    for (Out o; n-- > 0 && !r.error; o = Out{}) {
        op->second(g, call, o);
        if (!(r.error = o.error)) r.calls.push_back(std::move(o.t));
    }
    return r;
}

// The starting states of the draws: seeded ones (the largest seed included), a pending
// normal, the all-zero fixed point, and states whose first outputs are 0, 0 (s2only), all
// ones (ones: u = 1 - 2^-53) and 2^63 (half: u = 0.5).
inline const std::vector<std::pair<std::string, Generator>>& run_states() {
    static const std::vector<std::pair<std::string, Generator>> states = {
        {"seed0", Generator::from_seed(0)},
        {"seedmax", Generator::from_seed(~0ULL)},
        {"seed42+pending", {true, -0.75, Xoshiro256PlusPlus::from_seed(42)}},
        {"seed25+pending-0", {true, -0.0, Xoshiro256PlusPlus::from_seed(25)}},
        {"zero", {}},
        {"s2only", {false, 0.0, {0, 0, 0x0123456789ABCDEFULL, 0}}},
        {"ones", {false, 0.0, {0, 0, 0, ~0ULL}}},
        {"half", {false, 0.0, {0, 0, 0, 1ULL << 40}}},
    };
    return states;
}

// A state of run_states() by name, or "seedN" for Generator::from_seed(N).
inline Generator state(std::string_view name) {
    for (const auto& [n, g] : run_states())
        if (n == name) return g;
    return Generator::from_seed(parse<std::uint64_t>(name.substr(4)));
}

}  // namespace golden
