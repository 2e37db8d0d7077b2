// libFuzzer target of the core (scripts/fuzz-core): an input is a generator state (seeded or
// arbitrary words, zero among them, a pending normal or not) and a few calls of calls.hpp with
// decoded arguments. A call is refused exactly when its arguments break the rules, and then
// leaves the state as it was; an accepted one gives results in range and consumes the engine
// outputs its rule counts; every loop ends (-timeout); the sanitizers watch the rest. The
// simple draws and the messages, pinned by the golden transcript, are left out here.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numeric>

#include "calls.hpp"

namespace {

using namespace golden;
using G = Generator;
using Reals = std::vector<double>;

struct Args {  // in signature order
    Reals r;
    std::vector<std::uint64_t> u;
    std::vector<Reals> l;
};

bool fin(double x) { return std::isfinite(x); }
bool pos(double x) { return x > 0 && fin(x); }
bool prob(double x) { return x >= 0 && x <= 1; }
// The double of a pattern token.
double num(const std::string& t) { return t == "nan*" ? NAN : parse<double>("nan:" + t); }
std::uint64_t cnt(const std::string& t) { return parse<std::uint64_t>(t); }
bool each(const auto& v, auto f) { return std::all_of(v.begin(), v.end(), f); }
std::uint64_t sum(const Tokens& t) {
    return std::accumulate(t.begin(), t.end(), 0ULL, [](auto s, auto& x) { return s + cnt(x); });
}
// b is a advanced by k outputs (any k on the zero state).
bool took(const G& a, const G& b, std::uint64_t k) {
    Xoshiro256PlusPlus e = a.engine;
    while (k-- > 0) e.next_u64();
    return e == b.engine;
}
bool weights(const Reals& w) {
    return each(w, [](double x) { return x >= 0 && fin(x); }) &&
           std::accumulate(w.begin(), w.end(), 0.0) > 0;
}

// The rule that accepts a call (t empty, g1 = g0), or the property of its answer t.
using Rule = bool (*)(const Args& a, const Tokens& t, const G& g0, const G& g1);
#define F(...)                                                     \
    [](const Args& a, const Tokens& t, const G& g0, const G& g1) { \
        return (void)a, (void)t, (void)g0, (void)g1, __VA_ARGS__;  \
    }

// Signature: r real, p probability, u unsigned, m unsigned >= 1, i signed, k count <= 512, l list,
// w weights, d list often summing to 1, q list of n * n entries for the previous list's n.
const struct {
    const char* call;
    const char* sig;
    Rule valid, holds;
} kEntries[] = {
    {"next_below", "m", F(true),
     F(cnt(t[0]) == Xoshiro256PlusPlus(g0.engine).next_u64() % a.u[0] && took(g0, g1, 1))},
    {"uniform", "rr", F(fin(a.r[0]) && fin(a.r[1]) && a.r[1] > a.r[0]),
     F(!fin(a.r[1] - a.r[0]) || (num(t[0]) >= a.r[0] && num(t[0]) <= a.r[0] + (a.r[1] - a.r[0])))},
    {"integers", "ii", F(std::int64_t(a.u[1]) > std::int64_t(a.u[0])),
     F(parse<std::int64_t>(t[0]) >= std::int64_t(a.u[0]) &&
       parse<std::int64_t>(t[0]) < std::int64_t(a.u[1]))},
    {"bernoulli", "r", F(prob(a.r[0])),
     F((a.r[0] != 0 || t[0] == "0") && (a.r[0] != 1 || t[0] == "1") && took(g0, g1, 1))},
    {"standard_normal", "", F(true),
     F(g0.has_cached_normal ? t[0] == fbits(g0.cached_normal) && took(g0, g1, 0)
                            : std::fabs(num(t[0])) <= 37.64030867387419 && took(g0, g1, 2))},
    {"exponential", "r", F(pos(a.r[0])),  // -scale ln w, w in [2^-53, 1]
     F(num(t[0]) >= 0 && num(t[0]) <= a.r[0] * 36.7368005696771 && took(g0, g1, 1))},
    // Shapes below 1e-300 reach powf's open operand range. beta and dirichlet never give NaN,
    // also when every gamma draw underflows to 0.
    {"gamma", "rr", F(pos(a.r[0]) && pos(a.r[1])), F(a.r[0] < 1e-300 || num(t[0]) >= 0)},
    {"beta", "rr", F(pos(a.r[0]) && pos(a.r[1])), F(prob(num(t[0])))},
    {"poisson", "r",
     F(pos(a.r[0]) && !(a.r[0] >= 10 && g0.engine.is_zero())),  // c + 1 outputs below 10
     F(a.r[0] >= 10 || cnt(t[0]) > 1u << 16 || took(g0, g1, cnt(t[0]) + 1))},
    {"geometric", "r", F(prob(a.r[0]) && a.r[0] != 0),
     F(cnt(t[0]) >= 1 && took(g0, g1, a.r[0] == 1 ? 0 : 1))},
    {"binomial", "kp", F(true), F(cnt(t[0]) <= a.u[0] && took(g0, g1, a.u[0]))},
    {"multinomial", "kd",
     F(!a.l[0].empty() && each(a.l[0], prob) &&
       std::fabs(std::accumulate(a.l[0].begin(), a.l[0].end(), -0.0) - 1) <= 1e-6),
     F(t.size() == a.l[0].size() && sum(t) == a.u[0])},
    {"multivariate_normal", "lq", F(a.l[1].size() == a.l[0].size() * a.l[0].size()),
     F(t.size() == a.l[0].size())},
    {"dirichlet", "l", F(!a.l[0].empty() && each(a.l[0], pos)),
     F(each(t, [](auto& x) { return prob(num(x)); }))},
    {"permutation", "k", F(true),  // n - 1 outputs
     F(t.size() == a.u[0] && sum(t) == a.u[0] * (a.u[0] - (a.u[0] > 0)) / 2 &&
       took(g0, g1, a.u[0] - (a.u[0] > 0)))},
    {"bootstrap_indices", "k", F(a.u[0] != 0),
     F(each(t, [&](auto& x) { return cnt(x) < a.u[0]; }) && took(g0, g1, a.u[0]))},
    {"partial_fisher_yates", "ukk",
     F(a.u[1] <= a.u[0]),  // positions below n; k outputs unless a read failed
     F(each(t, [&](auto& x) { return !std::isdigit(x[0]) || cnt(x) < a.u[0]; }) &&
       (t[a.u[1]] != "reads" || took(g0, g1, a.u[1])))},
    {"systematic_resample", "wk", F(weights(a.l[0])),
     F(took(g0, g1, 1) &&
       std::is_sorted(t.begin(), t.end(), [](auto& x, auto& y) { return cnt(x) < cnt(y); }) &&
       each(t, [&](auto& x) { return cnt(x) < a.l[0].size(); }))},
    {"alias_table", "w", F(weights(a.l[0])),
     F([&] {  // each index's chance is its share of the weights
         const std::size_t n = a.l[0].size();
         // (unchecked when the total overflows)
         const double total = std::accumulate(a.l[0].begin(), a.l[0].end(), 0.0);
         Reals mass(n);
         for (std::size_t c = 0; c < n; ++c)
             mass[c] += num(t[1 + c]), mass.at(cnt(t[1 + n + c])) += 1 - num(t[1 + c]);
         for (std::size_t i = 0; i < n; ++i)
             if (!prob(num(t[1 + i])) ||
                 (fin(total) && std::fabs(mass[i] / n - a.l[0][i] / total) > 1e-9))
                 return false;
         return true;
     }())},
    {"alias_draw", "w", F(weights(a.l[0])), F(cnt(t[0]) < a.l[0].size() && took(g0, g1, 2))},
    {"round_ties_even", "r", F(true), F(!fin(a.r[0]) || num(t[0]) == std::nearbyint(a.r[0]))},
    {"floor_f64", "r", F(true), F(!fin(a.r[0]) || num(t[0]) == std::floor(a.r[0]))},
    {"bernoulli_threshold", "p", F(true),  // k < t exactly when k * 2^-53 < p
     F(cnt(t[0]) <= 1ULL << 53 && (cnt(t[0]) == 0 || (cnt(t[0]) - 1) * 0x1p-53 < a.r[0]) &&
       !(cnt(t[0]) * 0x1p-53 < a.r[0]))},
    {"format_float", "r", F(true),  // positional, and it reads back
     F(std::isnan(a.r[0]) ? t[0] == "NaN"
                          : t[0].find('e') == std::string::npos &&
                                bits_of(std::strtod(t[0].c_str(), nullptr)) == bits_of(a.r[0]))},
};
#undef F

// Edges of the arguments' rules and of the routines' paths.
constexpr double kEdges[] = {0.0,
                             -0.0,
                             1.0,
                             -1.0,
                             0.5,
                             2.0,
                             10.0,
                             9.999999999999998,
                             1e20,
                             1e300,
                             1e-300,
                             7.5e-301,
                             5e-324,
                             0x1p-1022,
                             1.7976931348623157e308,
                             INFINITY,
                             -INFINITY,
                             NAN,
                             1e6,
                             1.5707963267948966,
                             709.782712893384,
                             -745.1332191019411,
                             5.551115123125783e-17,
                             0x1p52,
                             0x1p64,
                             0.4999995};

// Raw bits, an edge, one step off an edge, or a small value.
double real(FuzzedDataProvider& in) {
    const double edge = kEdges[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kEdges) - 1)];
    const int kind = in.ConsumeIntegralInRange(0, 3);
    return kind == 0   ? from_bits(in.ConsumeIntegral<std::uint64_t>())
           : kind == 1 ? edge
           : kind == 2 ? std::nextafter(edge, in.ConsumeBool() ? INFINITY : -INFINITY)
                       : in.ConsumeFloatingPointInRange(-64.0, 64.0);
}

// The decoded arguments of a signature, as call text.
std::string decode(FuzzedDataProvider& in, const char* sig, Args& a) {
    std::string text;
    for (const char* s = sig; *s; ++s, text += ", ") {
        if (std::strchr("lwdq", *s)) {
            const std::size_t n = *s == 'q' ? a.l.back().size() * a.l.back().size()
                                            : in.ConsumeIntegralInRange(0, 16);
            Reals& v = a.l.emplace_back(n);
            // Shares: the last one completes the sum to 1.
            const bool shares = *s == 'd' && in.ConsumeBool();
            for (std::size_t i = 0; i < n; ++i) {
                const double x = real(in), total = std::accumulate(v.begin(), v.begin() + i, -0.0);
                v[i] = *s == 'w' && in.ConsumeBool() ? std::fabs(std::fmod(x, 10))
                       : !shares                     ? x
                       : i + 1 == n ? 1 - total
                                    : std::fmax(std::fmod(std::fabs(x), 1.0 / n), 0);
                text += (i ? ", " : "[") + arg(v[i]);
            }
            text += n ? "]" : "[]";
        } else if (*s == 'r' || *s == 'p') {
            const double x = real(in), p = std::fmod(std::fabs(x), 1.0000001);
            text += arg(a.r.emplace_back(*s == 'r' ? x : p <= 1 ? p : 1));
        } else {
            const std::uint64_t v = *s == 'k'          ? in.ConsumeIntegralInRange(0, 512)
                                    : in.ConsumeBool() ? in.ConsumeIntegral<std::uint64_t>()
                                    : a.u.empty()      ? in.ConsumeIntegralInRange(0, 64)
                                                       : a.u.back() * a.u.back();
            // The engine's callers refuse an empty range first.
            a.u.push_back(v + (*s == 'm' && v == 0));
            text +=
                *s == 'i' ? std::to_string(std::int64_t(a.u.back())) : std::to_string(a.u.back());
        }
    }
    return text.empty() ? text : "(" + text.substr(0, text.size() - 2) + ")";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const auto word = [&] { return in.ConsumeBool() ? in.ConsumeIntegral<std::uint64_t>() : 0; };
    G g = in.ConsumeBool() ? G::from_seed(in.ConsumeIntegral<std::uint64_t>())
                           : G{false, 0.0, {word(), word(), word(), word()}};
    if (const double z = real(in); in.ConsumeBool() && fin(z))
        g.has_cached_normal = true, g.cached_normal = z;
    for (int step = 0; step < 8 && in.remaining_bytes() > 0; ++step) {
        const auto& e =
            kEntries[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kEntries) - 1)];
        Args a;
        const std::string call = e.call + decode(in, e.sig, a);
        const G before = g;
        const Result r = run(call, g);
        if (r.error.has_value() == e.valid(a, {}, before, before) ||
            !(r.error ? state_tokens(g) == state_tokens(before)
                      : e.holds(a, r.calls.at(0), before, g))) {
            std::fprintf(stderr, "\n*** property failed: %s -> %s\n", call.c_str(),
                         r.error ? r.error->c_str() : "ok");
            std::abort();
        }
    }
    return 0;
}
