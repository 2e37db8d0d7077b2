// drawkit_golden: the golden vectors of the core, written or checked bit for bit.
//
// The library promises the same values for the same seed and calls on every platform and
// with every compiler. This program computes a transcript of the core - the portable math
// functions over a spread of arguments, the alias tables, the validators' messages, and a
// run of every draw from a fixed list of engine states (a pending normal, the all-zero
// state and a state whose first outputs are zero among them), each run followed by the
// engine state it leaves - and either writes it or compares it with a committed copy:
//
//   drawkit_golden                  write the transcript to standard output
//   drawkit_golden --write FILE     write it to FILE
//   drawkit_golden --check FILE     recompute it and compare with FILE; on any difference
//                                   print the differing lines and fields and exit 1
//
// The committed copy is made once on x86-64 and checked everywhere else (other
// processors, byte orders, compilers and optimisation levels), so everything written here
// is either an integer or the 64-bit pattern of a double (decimals appear only as a
// reading aid next to a pattern, or as arguments in their shortest round-trip form, both
// exact functions of the bits). The one thing that legitimately differs between
// processors is the sign and payload of a NaN produced by arithmetic (x86 makes
// 0xFFF8000000000000, ARM and s390x 0x7FF8000000000000): such a NaN is written "nan*"
// and matches any NaN. The NaN that portable_math returns as a constant keeps its
// pattern, 0x7FF8000000000000, and must match exactly.
//
// Arguments are made from integers (bit patterns, or one exact conversion and one
// rounded division), so that they do not depend on the arithmetic under test.
#include <algorithm>
#include <bit>
#include <charconv>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "distributions.hpp"
#include "number_format.hpp"
#include "portable_math.hpp"
#include "sampling.hpp"

namespace {

using namespace drawkit;
namespace pm = drawkit::portable_math;

constexpr std::uint64_t kCanonicalNaN = 0x7FF8000000000000ULL;
constexpr std::size_t kPerRow = 8;

double from_bits(std::uint64_t b) { return std::bit_cast<double>(b); }
std::uint64_t bits_of(double x) { return std::bit_cast<std::uint64_t>(x); }
bool is_nan(double x) { return x != x; }

const double kInf = from_bits(0x7FF0000000000000ULL);
const double kNaN = from_bits(kCanonicalNaN);
const double kDenormMin = from_bits(1);                        // 5e-324
const double kMinNormalD = from_bits(0x0010000000000000ULL);   // 2.2250738585072014e-308
const double kMaxDouble = from_bits(0x7FEFFFFFFFFFFFFFULL);    // 1.7976931348622157e+308
const double kPio2 = from_bits(0x3FF921FB54442D18ULL);         // 1.5707963267948966
const double kPi = from_bits(0x400921FB54442D18ULL);           // 3.141592653589793
const double kLn2 = from_bits(0x3FE62E42FEFA39EFULL);          // 0.6931471805599453

double next_up(double x) { return from_bits(bits_of(x) + (x >= 0.0 ? 1 : -1)); }      // finite x != -0
double next_down(double x) { return from_bits(bits_of(x) + (x > 0.0 ? -1 : 1)); }     // finite x != +0

std::string hex(std::uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%016" PRIX64, v);
    return buf;
}

// A result double: its pattern, or "nan*" for a NaN made by arithmetic (see above).
std::string fbits(double x) {
    if (is_nan(x) && bits_of(x) != kCanonicalNaN) return "nan*";
    return hex(bits_of(x));
}

// The shortest decimal that reads back as x (fixed or exponent form, whichever is
// shorter): a reading aid and the spelling of arguments. NaN is "nan" whatever its bits.
std::string dec(double x) {
    if (is_nan(x)) return "nan";
    if (x == kInf) return "inf";
    if (x == -kInf) return "-inf";
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, x);
    return std::string(buf, r.ptr);
}

// An argument: its shortest decimal, or a NaN with its pattern (payloads are arguments
// too: the functions must answer every NaN with the same constant).
std::string arg(double x) {
    if (is_nan(x)) return "nan:" + hex(bits_of(x));
    return dec(x);
}

std::string u64(std::uint64_t v) { return std::to_string(v); }
std::string i64(std::int64_t v) { return std::to_string(v); }

std::string list(const std::vector<double>& xs) {
    std::string s = "[";
    for (std::size_t i = 0; i < xs.size(); ++i) s += (i ? ", " : "") + arg(xs[i]);
    return s + "]";
}

std::string call(std::string_view name, std::initializer_list<double> args) {
    std::string s(name);
    s += '(';
    bool first = true;
    for (const double a : args) {
        s += first ? "" : ", ";
        s += arg(a);
        first = false;
    }
    return s + ')';
}

// --- the transcript ---------------------------------------------------------------------

class Transcript {
public:
    void line(std::string s) {
        text_ += s;
        text_ += '\n';
    }
    void blank() { text_ += '\n'; }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

// The results of one case: scalar results packed kPerRow to a line, each vector result
// on a line (or lines) of its own.
class Values {
public:
    void add(std::string token) {
        if (rows_.empty() || rows_.back().size() == kPerRow || closed_) {
            rows_.emplace_back();
            closed_ = false;
        }
        rows_.back().push_back(std::move(token));
    }
    void add_group(const std::vector<std::string>& tokens) {
        closed_ = true;
        if (tokens.empty()) {
            add("-");
        } else {
            for (const auto& t : tokens) add(t);
        }
        closed_ = true;
    }
    void write(Transcript& out) const {
        for (const auto& row : rows_) {
            std::string s = " ";
            for (const auto& t : row) s += " " + t;
            out.line(std::move(s));
        }
    }

private:
    std::vector<std::vector<std::string>> rows_;
    bool closed_ = false;
};

std::string state_line(const Generator& g) {
    const auto& e = g.engine;
    return "  state " + hex(e.s0) + " " + hex(e.s1) + " " + hex(e.s2) + " " + hex(e.s3) + " " +
           (g.has_cached_normal ? fbits(g.cached_normal) : std::string("none"));
}

// --- draws -----------------------------------------------------------------------------

struct Case {
    std::string op;
    int calls;
    std::function<Invalid(const Generator&)> check;  // empty: always valid
    std::function<void(Generator&, Values&)> draw;   // one call
};

struct NamedState {
    std::string name;
    Generator g;
};

Generator with_pending(Generator g, double value) {
    g.has_cached_normal = true;
    g.cached_normal = value;
    return g;
}

// The starting states of the long runs.
std::vector<NamedState> run_states() {
    return {
        {"seed0", Generator::from_seed(0)},
        {"seedmax", Generator::from_seed(0xFFFFFFFFFFFFFFFFULL)},
        {"seed42+pending", with_pending(Generator::from_seed(42), from_bits(0xBFE8000000000000ULL))},  // -0.75
        {"seed25+pending-0", with_pending(Generator::from_seed(25), from_bits(0x8000000000000000ULL))},  // -0.0
        {"zero", Generator{false, 0.0, {0, 0, 0, 0}}},
        // s0 = s1 = s3 = 0: the first two outputs are 0, then the stream leaves zero.
        {"s2only", Generator{false, 0.0, {0, 0, 0x0123456789ABCDEFULL, 0}}},
    };
}

void run_case(Transcript& out, const std::string& state_name, Generator g, const Case& c) {
    out.line("case " + c.op + " @" + state_name + " x" + std::to_string(c.calls));
    Values v;
    if (c.check) {
        if (auto invalid = c.check(g)) {
            out.line("  error " + *invalid);
            out.line(state_line(g));
            return;
        }
    }
    for (int i = 0; i < c.calls; ++i) c.draw(g, v);
    v.write(out);
    out.line(state_line(g));
}

std::string bool_token(bool b) { return b ? "1" : "0"; }

std::string bytes_token(const std::vector<unsigned char>& bytes) {
    if (bytes.empty()) return "-";
    std::string s;
    char buf[4];
    for (const unsigned char b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(b));
        s += buf;
    }
    return s;
}

template <typename T>
std::vector<std::string> uint_tokens(const std::vector<T>& xs) {
    std::vector<std::string> t;
    for (const auto x : xs) t.push_back(u64(static_cast<std::uint64_t>(x)));
    return t;
}

std::vector<std::string> double_tokens(const std::vector<double>& xs) {
    std::vector<std::string> t;
    for (const double x : xs) t.push_back(fbits(x));
    return t;
}

// An alias table built once, as a Categorical holds it.
struct Table {
    std::vector<double> weights;
    double total = 0.0;
    Invalid invalid;
    std::vector<double> prob;
    std::vector<std::uint64_t> alias;
};

Table make_table(std::vector<double> weights) {
    Table t;
    t.weights = std::move(weights);
    t.invalid = check_categorical(t.weights, t.total);
    if (!t.invalid) {
        // As a Categorical is built: weights whose sum overflows are scaled down first (the
        // table keeps the scaled copy; the header line shows the weights as given).
        std::vector<double> scaled = t.weights;
        t.total = rescale_overflowed_weights(scaled, t.total);
        t.prob.resize(t.weights.size());
        t.alias.resize(t.weights.size());
        build_alias_table(scaled, t.total, t.prob.data(), t.alias.data());
    }
    return t;
}

std::vector<Table> tables() {
    std::vector<Table> ts;
    ts.push_back(make_table({1, 2, 3, 4}));
    ts.push_back(make_table({0, 1}));
    ts.push_back(make_table({5}));
    ts.push_back(make_table({1, from_bits(0x8000000000000000ULL)}));
    ts.push_back(make_table({1, 1, 1, 1, 1, 1, 1}));
    ts.push_back(make_table({0.1, 3, 0, 7.25, 1e-3, 2, 2, 0.5, 9, 0, 4.75, 1.1, 6, 0.3, 8.5, 1e-9, 5, 2.2, 0.05, 3.3}));
    ts.push_back(make_table({1e-300, 1, 1e300}));
    ts.push_back(make_table({1e308, 1e308, 1e307, kDenormMin, 0}));  // the sum overflows
    return ts;
}

// Every routine of the core that draws, with arguments that reach its branches.
std::vector<Case> draw_cases(const std::vector<Table>& tbl) {
    std::vector<Case> cs;
    const auto scalar = [&cs](std::string op, int calls, std::function<Invalid(const Generator&)> check,
                              std::function<void(Generator&, Values&)> draw) {
        cs.push_back({std::move(op), calls, std::move(check), std::move(draw)});
    };

    // Engine.
    scalar("next_u64", 48, {}, [](Generator& g, Values& v) { v.add(hex(g.engine.next_u64())); });
    for (const std::uint64_t m : {1ULL, 2ULL, 3ULL, 10ULL, 6700417ULL, 0x100000000FULL, 0x8000000000000001ULL,
                                  0xFFFFFFFFFFFFFFFFULL}) {
        scalar("next_below(" + u64(m) + ")", 16, {},
               [m = m](Generator& g, Values& v) { v.add(u64(g.engine.next_below(m))); });
    }
    for (const std::uint64_t d : {1ULL, 3ULL, 10ULL, 1000003ULL, 0x8000000000000001ULL, 0xFFFFFFFFFFFFFFFFULL}) {
        scalar("FixedRemainder(" + u64(d) + ").of(next_u64)", 16, {}, [d = d](Generator& g, Values& v) {
            const FixedRemainder r(d);
            v.add(u64(r.of(g.engine.next_u64())));
        });
    }
    scalar("jump", 3, {}, [](Generator& g, Values& v) {
        g.engine.jump();
        v.add_group({hex(g.engine.s0), hex(g.engine.s1), hex(g.engine.s2), hex(g.engine.s3)});
    });

    // Uniform primitives.
    scalar("next_f64", 48, {}, [](Generator& g, Values& v) { v.add(fbits(next_f64(g.engine))); });
    scalar("next_f64_complement", 32, {}, [](Generator& g, Values& v) { v.add(fbits(next_f64_complement(g.engine))); });
    scalar("next_f64_floored", 16, {}, [](Generator& g, Values& v) { v.add(fbits(next_f64_floored(g.engine))); });
    for (const auto& [lo, hi, n] : std::vector<std::tuple<double, double, int>>{
             {0, 10, 24}, {1, 2, 16}, {-1e308, 1e308, 16}, {-3.5, 7.25, 16}, {1e-300, 2e-300, 8}}) {
        scalar(call("uniform", {lo, hi}), n, [lo = lo, hi = hi](const Generator&) { return check_uniform(lo, hi); },
               [lo = lo, hi = hi](Generator& g, Values& v) { v.add(fbits(uniform(g.engine, lo, hi))); });
    }
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    for (const auto& [lo, hi, n] : std::vector<std::tuple<std::int64_t, std::int64_t, int>>{
             {0, 10, 24}, {-5, 5, 16}, {kMin, kMax, 16}, {7, 8, 8}, {-(1LL << 62), (1LL << 62) + 12345, 16}}) {
        scalar("integers(" + i64(lo) + ", " + i64(hi) + ")", n,
               [lo = lo, hi = hi](const Generator&) { return check_integers(lo, hi); },
               [lo = lo, hi = hi](Generator& g, Values& v) { v.add(i64(integers(g.engine, lo, hi))); });
    }
    for (const auto& [p, n] : std::vector<std::pair<double, int>>{{0.5, 32},
                                                                  {0.0, 8},
                                                                  {1.0, 8},
                                                                  {0.3, 24},
                                                                  {from_bits(0x8000000000000000ULL), 8},
                                                                  {kDenormMin, 8},
                                                                  {next_down(1.0), 8}}) {
        scalar(call("bernoulli", {p}), n, [p = p](const Generator&) { return require_probability(p); },
               [p = p](Generator& g, Values& v) { v.add(bool_token(bernoulli(g.engine, p))); });
    }
    for (const std::size_t n : {0, 1, 7, 8, 10, 33}) {
        scalar("fill(" + u64(n) + ")", 3, {}, [n = n](Generator& g, Values& v) {
            std::vector<unsigned char> buf(n, 0xAA);
            fill(g.engine, buf.data(), buf.size());
            v.add_group({bytes_token(buf)});
        });
    }

    // Normal family.
    scalar("standard_normal", 48, {}, [](Generator& g, Values& v) { v.add(fbits(standard_normal(g))); });
    for (const auto& [loc, scale, n] : std::vector<std::tuple<double, double, int>>{
             {5, 2, 24}, {-1e300, 1e300, 16}, {1e-300, 1e-310, 8}}) {
        scalar(call("normal", {loc, scale}), n,
               [loc = loc, scale = scale](const Generator&) { return check_normal(loc, scale); },
               [loc = loc, scale = scale](Generator& g, Values& v) { v.add(fbits(normal(g, loc, scale))); });
    }
    for (const auto& [mean, sigma, n] : std::vector<std::tuple<double, double, int>>{
             {0, 1, 24}, {1000, 1, 8}, {-1000, 1, 8}, {0.5, 3, 16}, {700, 5, 16}}) {
        scalar(call("lognormal", {mean, sigma}), n,
               [mean = mean, sigma = sigma](const Generator&) { return check_lognormal(mean, sigma); },
               [mean = mean, sigma = sigma](Generator& g, Values& v) { v.add(fbits(lognormal(g, mean, sigma))); });
    }

    // Exponential, Laplace, Cauchy.
    for (const auto& [scale, n] :
         std::vector<std::pair<double, int>>{{1, 32}, {2.5, 16}, {1e308, 16}, {kDenormMin, 8}}) {
        scalar(call("exponential", {scale}), n, [scale = scale](const Generator&) { return check_exponential(scale); },
               [scale = scale](Generator& g, Values& v) { v.add(fbits(exponential(g.engine, scale))); });
    }
    for (const auto& [loc, scale, n] : std::vector<std::tuple<double, double, int>>{{0, 1, 24}, {-3, 0.5, 16}}) {
        scalar(call("laplace", {loc, scale}), n,
               [loc = loc, scale = scale](const Generator&) { return check_laplace(loc, scale); },
               [loc = loc, scale = scale](Generator& g, Values& v) { v.add(fbits(laplace(g.engine, loc, scale))); });
    }
    for (const auto& [loc, scale, n] : std::vector<std::tuple<double, double, int>>{{0, 1, 32}, {-3, 2, 16}}) {
        scalar(call("cauchy", {loc, scale}), n,
               [loc = loc, scale = scale](const Generator&) { return check_cauchy(loc, scale); },
               [loc = loc, scale = scale](Generator& g, Values& v) { v.add(fbits(cauchy(g.engine, loc, scale))); });
    }

    // Gamma family.
    for (const auto& [shape, n] : std::vector<std::pair<double, int>>{{1, 24},
                                                                      {2.5, 16},
                                                                      {0.5, 16},
                                                                      {0.999, 8},
                                                                      {1.999, 8},
                                                                      {0.01, 8},
                                                                      {1e-300, 8},
                                                                      {7.5, 8},
                                                                      {100, 8},
                                                                      {1e6, 8}}) {
        scalar(call("standard_gamma", {shape}), n, {},
               [shape = shape](Generator& g, Values& v) { v.add(fbits(standard_gamma(g, shape))); });
    }
    scalar(call("gamma", {0.5, 2}), 16, [](const Generator&) { return check_gamma(0.5, 2); },
           [](Generator& g, Values& v) { v.add(fbits(gamma(g, 0.5, 2))); });
    for (const auto& [a, b, n] : std::vector<std::tuple<double, double, int>>{
             {2, 3, 16}, {3, 2, 8}, {0.5, 0.5, 16}, {1e-3, 1e-3, 8}}) {
        scalar(call("beta", {a, b}), n, [a = a, b = b](const Generator&) { return check_beta(a, b); },
               [a = a, b = b](Generator& g, Values& v) { v.add(fbits(beta(g, a, b))); });
    }
    for (const auto& [df, n] : std::vector<std::pair<double, int>>{{3, 16}, {2, 8}, {0.1, 8}}) {
        scalar(call("chisquare", {df}), n, [df = df](const Generator&) { return check_chisquare(df); },
               [df = df](Generator& g, Values& v) { v.add(fbits(chisquare(g, df))); });
    }
    for (const auto& [df, n] : std::vector<std::pair<double, int>>{{5, 16}, {0.5, 16}, {1e6, 8}}) {
        scalar(call("student_t", {df}), n, [df = df](const Generator&) { return check_student_t(df); },
               [df = df](Generator& g, Values& v) { v.add(fbits(student_t(g, df))); });
    }

    // Counting distributions.
    for (const auto& [lam, n] : std::vector<std::pair<double, int>>{{0.001, 16},
                                                                    {3, 16},
                                                                    {9.5, 16},
                                                                    {next_down(10.0), 16},
                                                                    {10, 16},
                                                                    {25, 16},
                                                                    {1000, 16},
                                                                    {1e6, 16},
                                                                    {1e20, 8}}) {
        scalar(call("poisson", {lam}), n, [lam = lam](const Generator& g) { return check_poisson(g.engine, lam); },
               [lam = lam](Generator& g, Values& v) { v.add(u64(poisson(g.engine, lam))); });
    }
    for (const auto& [p, n] : std::vector<std::pair<double, int>>{{0.1, 16},
                                                                  {0.01, 16},
                                                                  {0.25, 16},
                                                                  {1.0, 4},
                                                                  {0.5, 16},
                                                                  {1e-10, 8},
                                                                  {from_bits(0x3C90000000000000ULL), 8},  // 2^-54
                                                                  {from_bits(0x3CA0000000000000ULL), 8},  // 2^-53
                                                                  {kDenormMin, 8},
                                                                  {next_down(1.0), 8}}) {
        scalar(call("geometric", {p}), n, [p = p](const Generator&) { return check_geometric(p); },
               [p = p](Generator& g, Values& v) { v.add(u64(geometric(g.engine, p))); });
    }
    for (const auto& [trials, p, n] : std::vector<std::tuple<std::uint64_t, double, int>>{{10, 0.3, 8},
                                                                                           {100, 0.5, 8},
                                                                                           {1000, 0.001, 4},
                                                                                           {7, 1.0, 4},
                                                                                           {7, 0.0, 4},
                                                                                           {0, 0.5, 4},
                                                                                           {65, kDenormMin, 4}}) {
        scalar("binomial(" + u64(trials) + ", " + arg(p) + ")", n,
               [p = p](const Generator&) { return require_probability(p); },
               [trials = trials, p = p](Generator& g, Values& v) { v.add(u64(binomial(g.engine, trials, p))); });
    }

    // Vector draws.
    const std::vector<std::pair<std::vector<double>, std::vector<double>>> mvn = {
        {{1, -1}, {2, 0, 0.5, 1}},
        {{0, 10, -2.5}, {1.5, 99, 99, -0.3, 0.7, 99, 0.25, 1e-3, 2}},
        {{}, {}},
        {{3}, {0.1}},
    };
    for (const auto& [mean, factor] : mvn) {
        scalar("multivariate_normal(" + list(mean) + ", " + list(factor) + ")", 3,
               [mean = mean, factor = factor](const Generator&) {
                   return check_multivariate_normal(mean.size(), factor.size());
               },
               [mean = mean, factor = factor](Generator& g, Values& v) {
                   std::vector<double> out(mean.size());
                   multivariate_normal(g, mean, factor, out);
                   v.add_group(double_tokens(out));
               });
    }
    for (const auto& alpha : std::vector<std::vector<double>>{{1, 2, 3}, {0.5}, {0.1, 0.2, 0.3, 10}, {1e-3, 1e-3}}) {
        scalar("dirichlet(" + list(alpha) + ")", 3,
               [alpha = alpha](const Generator&) { return check_dirichlet(alpha); },
               [alpha = alpha](Generator& g, Values& v) {
                   std::vector<double> out(alpha.size());
                   dirichlet(g, alpha, out);
                   v.add_group(double_tokens(out));
               });
    }
    for (const auto& [n, probs] : std::vector<std::pair<std::uint64_t, std::vector<double>>>{
             {10, {0.2, 0.3, 0.5}}, {50, {0.5, 0.4999995, 0.0}}, {20, {1.0}}, {0, {0.5, 0.5}}}) {
        scalar("multinomial(" + u64(n) + ", " + list(probs) + ")", 3,
               [probs = probs](const Generator&) { return check_multinomial(probs); },
               [n = n, probs = probs](Generator& g, Values& v) {
                   std::vector<std::uint64_t> counts(probs.size(), 0);
                   multinomial(g.engine, n, probs, counts.data());
                   v.add_group(uint_tokens(counts));
               });
    }

    // Sequence and index sampling.
    for (const std::size_t n : {0, 1, 2, 5, 17}) {
        scalar("permutation(" + u64(n) + ")", 3, {}, [n = n](Generator& g, Values& v) {
            std::vector<std::uint64_t> out(n);
            permutation(g.engine, out.data(), n);
            v.add_group(uint_tokens(out));
        });
    }
    scalar("shuffle_in_place(double[9])", 3, {}, [](Generator& g, Values& v) {
        std::vector<double> xs = {0.5, 1.5, 2.5, 3.5, 4.5, 5.5, 6.5, 7.5, 8.5};
        shuffle_in_place(g.engine, xs.data(), xs.size());
        v.add_group(double_tokens(xs));
    });
    for (const std::size_t n : {1, 5, 37}) {
        scalar("bootstrap_indices(" + u64(n) + ")", 2, [n = n](const Generator&) { return check_bootstrap_indices(n); },
               [n = n](Generator& g, Values& v) {
                   std::vector<std::uint64_t> out(n);
                   bootstrap_indices(g.engine, out.data(), n);
                   v.add_group(uint_tokens(out));
               });
    }
    for (const auto& [n, k] : std::vector<std::pair<std::uint64_t, std::uint64_t>>{
             {10, 4}, {5, 5}, {1ULL << 40, 12}, {1, 1}, {7, 0}}) {
        scalar("partial_fisher_yates(" + u64(n) + ", " + u64(k) + ")", 3,
               [n = n, k = k](const Generator&) { return check_sample(n, k); },
               [n = n, k = k](Generator& g, Values& v) {
                   // The elements are the positions themselves: the emitted values are the
                   // positions drawn.
                   std::vector<std::uint64_t> out(k);
                   partial_fisher_yates<std::uint64_t>(
                       g.engine, n, k,
                       [](std::uint64_t pos, std::uint64_t& element) {
                           element = pos;
                           return true;
                       },
                       [&out](std::uint64_t i, std::uint64_t&& element) { out[i] = element; });
                   v.add_group(uint_tokens(out));
               });
    }
    for (const auto& [weights, n] : std::vector<std::pair<std::vector<double>, std::uint64_t>>{
             {{1, 2, 3, 4}, 8},
             {{0, 1, 0}, 5},
             {{0.1, 3, 0, 7.25, 1e-3, 2, 2, 0.5, 9, 0, 4.75, 1.1, 6}, 40},
             {{1, 2}, 0},
             {{1e308, 1e308, 1e307, kDenormMin, 0, 3e307}, 12}}) {  // the sum overflows
        scalar("systematic_resample(" + list(weights) + ", " + u64(n) + ")", 3,
               [weights = weights](const Generator&) {
                   double total = 0.0;
                   return check_systematic_resample(weights, total);
               },
               [weights = weights, n = n](Generator& g, Values& v) {
                   double total = 0.0;
                   (void)check_systematic_resample(weights, total);
                   std::vector<double> scaled = weights;
                   total = rescale_overflowed_weights(scaled, total);
                   const double u = next_f64(g.engine);
                   std::vector<std::uint64_t> out(n);
                   systematic_resample(u, scaled, total, n, out.data());
                   v.add_group(uint_tokens(out));
               });
    }
    for (const std::size_t t : {0, 2, 4, 5, 7}) {
        const Table& table = tbl[t];
        scalar("alias_draw(" + list(table.weights) + ")", 32, {}, [&table](Generator& g, Values& v) {
            const FixedRemainder columns(table.weights.size());
            v.add(u64(alias_draw(g.engine, table.prob.data(), table.alias.data(), columns)));
        });
    }
    return cs;
}

// The documented worked examples, each from the state it names, so that a
// reviewer finds them in one place (engine/tests/golden_file_test.cpp pins them).
void spot_section(Transcript& out, const std::vector<Table>& tbl) {
    const Generator seed0 = Generator::from_seed(0);
    const Generator zero{false, 0.0, {0, 0, 0, 0}};
    const Generator s2only{false, 0.0, {0, 0, 0x0123456789ABCDEFULL, 0}};
    // s0 = s1 = 0, s3 = 2^64 - 1: the first output is rotl(2^64 - 1, 23) + 0, all ones.
    const Generator ones{false, 0.0, {0, 0, 0, 0xFFFFFFFFFFFFFFFFULL}};
    const auto spot = [&out](const std::string& name, const Generator& g, std::string op, int calls,
                             std::function<void(Generator&, Values&)> draw) {
        run_case(out, name, g, Case{std::move(op), calls, {}, std::move(draw)});
    };

    spot("seed0", seed0, "next_u64", 3, [](Generator& g, Values& v) { v.add(hex(g.engine.next_u64())); });
    spot("seedmax", Generator::from_seed(0xFFFFFFFFFFFFFFFFULL), "next_u64", 1,
         [](Generator& g, Values& v) { v.add(hex(g.engine.next_u64())); });
    spot("seed0", seed0, "jump", 3, [](Generator& g, Values& v) {
        g.engine.jump();
        v.add_group({hex(g.engine.s0), hex(g.engine.s1), hex(g.engine.s2), hex(g.engine.s3)});
    });
    spot("zero", zero, "next_u64", 3, [](Generator& g, Values& v) { v.add(hex(g.engine.next_u64())); });
    spot("zero", zero, "jump", 1, [](Generator& g, Values&) { g.engine.jump(); });
    spot("seed0", seed0, "next_below(10)", 3, [](Generator& g, Values& v) { v.add(u64(g.engine.next_below(10))); });
    spot("seed0", seed0, "next_below(1)", 1, [](Generator& g, Values& v) { v.add(u64(g.engine.next_below(1))); });

    spot("seed0", seed0, "next_f64", 3, [](Generator& g, Values& v) { v.add(fbits(next_f64(g.engine))); });
    spot("seed0", seed0, "uniform(0, 10)", 1, [](Generator& g, Values& v) { v.add(fbits(uniform(g.engine, 0, 10))); });
    spot("ones", ones, "uniform(1, 2)", 1, [](Generator& g, Values& v) { v.add(fbits(uniform(g.engine, 1, 2))); });
    spot("seed0", seed0, "integers(0, 10)", 1, [](Generator& g, Values& v) { v.add(i64(integers(g.engine, 0, 10))); });
    spot("seed0", seed0, "integers(-5, 5)", 1, [](Generator& g, Values& v) { v.add(i64(integers(g.engine, -5, 5))); });
    spot("seed0", seed0, "integers(-9223372036854775808, 9223372036854775807)", 1, [](Generator& g, Values& v) {
        v.add(i64(integers(g.engine, std::numeric_limits<std::int64_t>::min(),
                           std::numeric_limits<std::int64_t>::max())));
    });
    spot("seed0", seed0, "bernoulli(0.5)", 1,
         [](Generator& g, Values& v) { v.add(bool_token(bernoulli(g.engine, 0.5))); });
    spot("seed0", seed0, "fill(10), next_f64", 1, [](Generator& g, Values& v) {
        std::vector<unsigned char> buf(10);
        fill(g.engine, buf.data(), buf.size());
        v.add(bytes_token(buf));
        v.add(fbits(next_f64(g.engine)));
    });

    spot("seed0", seed0, "standard_normal", 2, [](Generator& g, Values& v) { v.add(fbits(standard_normal(g))); });
    spot("seed0", seed0, "normal(5, 2)", 1, [](Generator& g, Values& v) { v.add(fbits(normal(g, 5, 2))); });
    spot("seed0", seed0, "lognormal(0, 1)", 1, [](Generator& g, Values& v) { v.add(fbits(lognormal(g, 0, 1))); });
    spot("seed0", seed0, "normal(0, 1), lognormal(0, 1)", 1, [](Generator& g, Values& v) {
        v.add(fbits(normal(g, 0, 1)));
        v.add(fbits(lognormal(g, 0, 1)));
    });
    spot("s2only", s2only, "standard_normal", 2, [](Generator& g, Values& v) { v.add(fbits(standard_normal(g))); });
    spot("seed0", seed0, "lognormal(1000, 1), lognormal(-1000, 1)", 1, [](Generator& g, Values& v) {
        v.add(fbits(lognormal(g, 1000, 1)));
        v.add(fbits(lognormal(g, -1000, 1)));
    });

    spot("seed0", seed0, "exponential(1)", 3, [](Generator& g, Values& v) { v.add(fbits(exponential(g.engine, 1))); });
    spot("zero", zero, "exponential(1)", 1, [](Generator& g, Values& v) { v.add(fbits(exponential(g.engine, 1))); });
    spot("ones", ones, "exponential(1)", 1, [](Generator& g, Values& v) { v.add(fbits(exponential(g.engine, 1))); });
    spot("seed0", seed0, "laplace(0, 1)", 3, [](Generator& g, Values& v) { v.add(fbits(laplace(g.engine, 0, 1))); });
    spot("seed0", seed0, "cauchy(0, 1)", 3, [](Generator& g, Values& v) { v.add(fbits(cauchy(g.engine, 0, 1))); });
    spot("seed0", seed0, "cauchy(-3, 2)", 1, [](Generator& g, Values& v) { v.add(fbits(cauchy(g.engine, -3, 2))); });
    spot("zero", zero, "cauchy(0, 1)", 1, [](Generator& g, Values& v) { v.add(fbits(cauchy(g.engine, 0, 1))); });

    spot("seed0", seed0, "gamma(2.5, 1)", 1, [](Generator& g, Values& v) { v.add(fbits(gamma(g, 2.5, 1))); });
    spot("seed0", seed0, "gamma(0.5, 1)", 1, [](Generator& g, Values& v) { v.add(fbits(gamma(g, 0.5, 1))); });
    spot("seed0", seed0, "gamma(1, 1)", 1, [](Generator& g, Values& v) { v.add(fbits(gamma(g, 1, 1))); });
    spot("seed0", seed0, "beta(2, 3)", 1, [](Generator& g, Values& v) { v.add(fbits(beta(g, 2, 3))); });
    spot("seed0", seed0, "chisquare(3)", 1, [](Generator& g, Values& v) { v.add(fbits(chisquare(g, 3))); });
    spot("seed0", seed0, "student_t(5)", 1, [](Generator& g, Values& v) { v.add(fbits(student_t(g, 5))); });
    for (const std::uint64_t seed : {3, 25, 140, 239}) {
        spot("seed" + u64(seed), Generator::from_seed(seed), "gamma(1, 1)", 1,
             [](Generator& g, Values& v) { v.add(fbits(gamma(g, 1, 1))); });
    }

    for (const auto& [lam, n] : std::vector<std::pair<double, int>>{
             {25, 5}, {9.5, 5}, {3, 3}, {10, 3}, {1000, 3}, {0.001, 5}, {1e20, 2}}) {
        spot("seed0", seed0, call("poisson", {lam}), n,
             [lam = lam](Generator& g, Values& v) { v.add(u64(poisson(g.engine, lam))); });
    }
    for (const auto& [p, n] : std::vector<std::pair<double, int>>{{0.1, 5}, {0.01, 5}, {0.25, 3}, {1.0, 1}}) {
        spot("seed0", seed0, call("geometric", {p}), n,
             [p = p](Generator& g, Values& v) { v.add(u64(geometric(g.engine, p))); });
    }
    for (const auto& [trials, p] : std::vector<std::pair<std::uint64_t, double>>{{10, 0.3}, {100, 0.5}}) {
        spot("seed0", seed0, "binomial(" + u64(trials) + ", " + arg(p) + ")", 3,
             [trials = trials, p = p](Generator& g, Values& v) { v.add(u64(binomial(g.engine, trials, p))); });
    }

    spot("seed0", seed0, "dirichlet([1, 2, 3])", 1, [](Generator& g, Values& v) {
        const std::vector<double> alpha = {1, 2, 3};
        std::vector<double> out(3);
        dirichlet(g, alpha, out);
        v.add_group(double_tokens(out));
    });
    spot("seed0", seed0, "multivariate_normal([1, -1], [2, 0, 0.5, 1])", 1, [](Generator& g, Values& v) {
        const std::vector<double> mean = {1, -1}, factor = {2, 0, 0.5, 1};
        std::vector<double> out(2);
        multivariate_normal(g, mean, factor, out);
        v.add_group(double_tokens(out));
    });
    spot("seed0", seed0, "multivariate_normal([0, 0, 0], identity)", 1, [](Generator& g, Values& v) {
        const std::vector<double> mean = {0, 0, 0}, factor = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        std::vector<double> out(3);
        multivariate_normal(g, mean, factor, out);
        v.add_group(double_tokens(out));
    });
    spot("seed0", seed0, "multinomial(10, [0.2, 0.3, 0.5])", 1, [](Generator& g, Values& v) {
        const std::vector<double> probs = {0.2, 0.3, 0.5};
        std::vector<std::uint64_t> counts(3, 0);
        multinomial(g.engine, 10, probs, counts.data());
        v.add_group(uint_tokens(counts));
    });

    spot("seed0", seed0, "next_below(10)", 5, [](Generator& g, Values& v) { v.add(u64(g.engine.next_below(10))); });
    for (const auto& [n, k] : std::vector<std::pair<std::uint64_t, std::uint64_t>>{{10, 4}, {5, 5}}) {
        spot("seed0", seed0, "partial_fisher_yates(" + u64(n) + ", " + u64(k) + ")", 1,
             [n = n, k = k](Generator& g, Values& v) {
                 std::vector<std::uint64_t> out(k);
                 partial_fisher_yates<std::uint64_t>(
                     g.engine, n, k,
                     [](std::uint64_t pos, std::uint64_t& element) {
                         element = pos;
                         return true;
                     },
                     [&out](std::uint64_t i, std::uint64_t&& element) { out[i] = element; });
                 v.add_group(uint_tokens(out));
             });
    }
    spot("seed0", seed0, "permutation(5)", 1, [](Generator& g, Values& v) {
        std::vector<std::uint64_t> out(5);
        permutation(g.engine, out.data(), out.size());
        v.add_group(uint_tokens(out));
    });
    spot("seed0", seed0, "bootstrap_indices(5)", 1, [](Generator& g, Values& v) {
        std::vector<std::uint64_t> out(5);
        bootstrap_indices(g.engine, out.data(), out.size());
        v.add_group(uint_tokens(out));
    });
    spot("seed0", seed0, "systematic_resample([1, 2, 3, 4], 8)", 1, [](Generator& g, Values& v) {
        const std::vector<double> weights = {1, 2, 3, 4};
        double total = 0.0;
        (void)check_systematic_resample(weights, total);
        std::vector<std::uint64_t> out(8);
        systematic_resample(next_f64(g.engine), weights, total, out.size(), out.data());
        v.add_group(uint_tokens(out));
    });
    const Table& t1234 = tbl[0];
    spot("seed0", seed0, "alias_draw([1, 2, 3, 4])", 8, [&t1234](Generator& g, Values& v) {
        const FixedRemainder columns(t1234.weights.size());
        v.add(u64(alias_draw(g.engine, t1234.prob.data(), t1234.alias.data(), columns)));
    });
}

// --- portable math ---------------------------------------------------------------------

// A local engine for argument spreads, one per function, so that adding arguments to one
// function's spread leaves the others as they are.
struct Spread {
    Xoshiro256PlusPlus e;
    explicit Spread(std::uint64_t seed) : e(Xoshiro256PlusPlus::from_seed(seed)) {}

    // A double with the given biased-exponent range [lo, hi] and random fraction.
    double binade(std::uint64_t lo, std::uint64_t hi) {
        const std::uint64_t r = e.next_u64();
        const std::uint64_t exponent = lo + (r >> 52) % (hi - lo + 1);
        return from_bits((exponent << 52) | (e.next_u64() & 0x000FFFFFFFFFFFFFULL));
    }
    // k / scale for an integer k uniform in [lo, hi]: one exact conversion, one rounded division.
    double ratio(std::int64_t lo, std::int64_t hi, double scale) {
        const std::uint64_t span = static_cast<std::uint64_t>(hi - lo) + 1;
        const std::int64_t k = lo + static_cast<std::int64_t>(e.next_u64() % span);
        return static_cast<double>(k) / scale;
    }
    bool coin() { return (e.next_u64() >> 63) != 0; }
};

std::vector<double> ln_args() {
    std::vector<double> xs = {0.0,
                              from_bits(0x8000000000000000ULL),
                              kInf,
                              -kInf,
                              kNaN,
                              from_bits(0xFFF8000000000000ULL),
                              from_bits(0x7FF0000000000001ULL),
                              from_bits(0x7FFFFFFFFFFFFFFFULL),
                              -1.0,
                              -kDenormMin,
                              kDenormMin,
                              from_bits(2),
                              1e-310,
                              from_bits(0x000FFFFFFFFFFFFFULL),
                              kMinNormalD,
                              kMaxDouble,
                              1.0,
                              next_down(1.0),
                              next_up(1.0),
                              2.0,
                              10.0,
                              0.1,
                              0.7,
                              0.5,
                              from_bits(0x3FF6A09E667F3BCDULL),
                              from_bits(0x3FF6A09E667F3BCEULL),
                              from_bits(0x3FF6A09E667F3BCCULL),
                              1.4142135623730954,
                              0.7071067811865475,
                              2.718281828459045,
                              from_bits(0x3CA0000000000000ULL),
                              1.0 - from_bits(0x3CA0000000000000ULL)};
    Spread s(0x106);
    for (int i = 0; i < 24; ++i) xs.push_back(s.binade(0, 0));           // subnormals
    for (int i = 0; i < 120; ++i) xs.push_back(s.binade(1, 2046));      // every binade
    for (int i = 0; i < 40; ++i) xs.push_back(s.binade(1022, 1023));    // [0.5, 2)
    for (int i = 0; i < 32; ++i) xs.push_back(s.binade(970, 1022));     // uniforms' range
    return xs;
}

std::vector<double> exp_args() {
    std::vector<double> xs = {kNaN,
                              from_bits(0xFFF8000000000001ULL),
                              kInf,
                              -kInf,
                              0.0,
                              from_bits(0x8000000000000000ULL),
                              1e-20,
                              -1e-20,
                              kDenormMin,
                              1.0,
                              -1.0,
                              0.25,
                              0.34657359027997264,
                              10.0,
                              100.0,
                              -740.0,
                              -710.513801076869,
                              709.782712893384,
                              next_up(709.782712893384),
                              -745.1332191019411,
                              next_down(-745.1332191019411),
                              -708.3964185322641,
                              -708.4,
                              -709.0,
                              -720.0,
                              -744.0,
                              709.0,
                              512.0,
                              next_down(512.0),
                              -512.0,
                              kLn2,
                              -kLn2};
    for (int k = -40; k <= 40; k += 5) {
        // Reduction multiples at exact ties t = k + 0.5, where round_ties_even decides k.
        xs.push_back((static_cast<double>(2 * k + 1) * 0.5) / from_bits(0x3FF71547652B82FEULL));
    }
    Spread s(0xE4);
    for (int i = 0; i < 120; ++i) xs.push_back(s.ratio(-745133219, 709782712, 1e6));
    for (int i = 0; i < 40; ++i) xs.push_back(s.ratio(-1000000, 1000000, 1e6));
    for (int i = 0; i < 16; ++i) xs.push_back(s.binade(900, 1000) * (s.coin() ? -1.0 : 1.0));  // tiny
    return xs;
}

std::vector<double> trig_args() {
    std::vector<double> xs = {0.0,
                              from_bits(0x8000000000000000ULL),
                              kDenormMin,
                              -kDenormMin,
                              kInf,
                              -kInf,
                              kNaN,
                              from_bits(0x7FF4000000000000ULL),
                              1e6,
                              -1e6,
                              next_down(1e6),
                              next_up(-1e6),
                              1e300,
                              1.0,
                              -2.0,
                              3.0,
                              100.0,
                              999999.0,
                              kPi,
                              kPio2,
                              -kPio2,
                              1e-300,
                              0.5,
                              0.7853981633974483,
                              6.283185307179586,
                              next_down(6.283185307179586)};
    for (const double k : {1.0, 2.0, 3.0, 4.0, 5.0, 10.0, 100.0, 1000.0, 12345.0, 636619.0}) {
        const double x = k * kPio2;
        xs.push_back(x);
        xs.push_back(next_up(x));
        xs.push_back(next_down(x));
    }
    Spread s(0x719);
    for (int i = 0; i < 80; ++i) xs.push_back(s.ratio(-8000000000LL, 8000000000LL, 1e9));
    for (int i = 0; i < 40; ++i) xs.push_back(s.ratio(0, 6283185307LL, 1e9));       // Box-Muller angles
    for (int i = 0; i < 48; ++i) xs.push_back(s.binade(1000, 1042) * (s.coin() ? -1.0 : 1.0));  // up to 2^19
    return xs;
}

std::vector<std::pair<double, double>> powf_args() {
    std::vector<std::pair<double, double>> ps = {
        {kNaN, 0.0}, {1.0, kNaN}, {from_bits(0xFFF8000000000000ULL), 2.0}, {2.0, 0.0},
        {-2.0, from_bits(0x8000000000000000ULL)}, {kInf, 0.0}, {-kInf, 0.0}, {0.0, 2.0},
        {from_bits(0x8000000000000000ULL), 2.0}, {0.0, -1.0}, {0.0, kInf}, {0.0, -kInf}, {-1.0, 2.0},
        {-8.0, 0.3333333333333333}, {-kInf, 2.0}, {1.0, kInf}, {1.0, -kInf}, {1.0, 1e300}, {2.0, 1024.0},
        {2.0, -1074.0}, {2.0, -1075.0}, {2.0, 1e301}, {0.5, kInf}, {kInf, 1.0},
        {2.0, 0.5}, {0.3, 0.3333333333333333}, {0.25, 0.1}, {7.0, -2.0}, {10.0, 2.0}, {10.0, -1.0},
        {10.0, 300.0}, {10.0, -320.0}, {2.0, 1023.0}, {2.0, 1023.5}, {2.0, -1022.0}, {3.0, 646.0},
        {3.0, -647.0}, {0.5, 1074.5}, {kDenormMin, 0.5}, {kMinNormalD, 1e200}, {kMinNormalD, 0.001},
        {next_down(1.0), 1e16}, {next_up(1.0), -1e16}};
    for (int j = -8; j <= 8; ++j) {
        ps.push_back({2.0, 1023.0 + static_cast<double>(j) / 8.0});
        ps.push_back({2.0, -1074.0 + static_cast<double>(j) / 8.0});
        ps.push_back({10.0, 307.0 + static_cast<double>(j) / 4.0});
    }
    Spread s(0x90F);
    for (int i = 0; i < 100; ++i) ps.push_back({s.ratio(1, 8000000, 1e6), s.ratio(-60000000, 60000000, 1e6)});
    for (int i = 0; i < 40; ++i) ps.push_back({s.binade(1, 1022), s.ratio(1, 1000000, 1e3)});
    for (int i = 0; i < 60; ++i) {
        // The gamma boost: a floored uniform raised to 1/shape.
        const double u = s.ratio(1, 9007199254740991LL, 9007199254740992.0);
        const double shape = s.ratio(1, 999999, 1e6);
        ps.push_back({u, 1.0 / shape});
    }
    return ps;
}

void math_section(Transcript& out) {
    out.line("# round_ties_even(t)");
    for (const double t : {0.0, from_bits(0x8000000000000000ULL), 0.5, 1.5, 2.5, -0.5, -1.5, -2.5, 0.49999999999999994,
                           -0.49999999999999994, 4503599627370495.5, -4503599627370495.5, 4503599627370496.0,
                           -4503599627370497.0, 9007199254740993.0, 1e300, -1e300, kDenormMin, -kDenormMin, 1234.5,
                           -1234.5, 1235.5, 1e15 + 0.5, 0.7, -0.7, 3.4999999999999996, 3.5000000000000004}) {
        out.line("round_ties_even(" + arg(t) + ") = " + fbits(pm::round_ties_even(t)));
    }

    out.line("# scale_by_pow2(y, n)");
    for (const auto& [y, n] : std::vector<std::pair<double, std::int32_t>>{
             {1.0, 0}, {1.0, 1023}, {1.0, 1024}, {1.5, 1023}, {1.0, 2046}, {1.0, 3000}, {1.0, -1022}, {1.0, -1023},
             {1.0, -1074}, {1.0, -1075}, {1.5, -1075}, {1.2345, -1060}, {0.999999999, -1074}, {1.0, -2100},
             {kMaxDouble, -2046}, {kDenormMin, 2097}, {0.0, 5}, {from_bits(0x8000000000000000ULL), -5000},
             {kInf, -3000}, {-kInf, 3000}, {kNaN, 1}, {-1.75, -1050}, {1.1805916207174113, -1025}}) {
        out.line("scale_by_pow2(" + arg(y) + ", " + std::to_string(n) + ") = " + fbits(pm::scale_by_pow2(y, n)));
    }

    out.line("# ln(x)");
    const std::vector<double> lx = ln_args();
    for (const double x : lx) {
        const double r = pm::ln(x);
        out.line("ln(" + arg(x) + ") = " + fbits(r) + " " + dec(r));
    }
    out.line("# ln_head_tail(x)");
    for (const double x : lx) {
        if (!(x > 0.0) || x == kInf) continue;
        const pm::HeadTail ht = pm::ln_head_tail(x);
        out.line("ln_head_tail(" + arg(x) + ") = " + fbits(ht.head) + " " + fbits(ht.tail));
    }

    out.line("# exp(x)");
    for (const double x : exp_args()) {
        const double r = pm::exp(x);
        out.line("exp(" + arg(x) + ") = " + fbits(r) + " " + dec(r));
    }

    out.line("# sin, cos, tan(x); reduce_pio2(x) = quadrant, reduced argument");
    for (const double x : trig_args()) {
        std::string s = "sin,cos,tan(" + arg(x) + ") = " + fbits(pm::sin(x)) + " " + fbits(pm::cos(x)) + " " +
                        fbits(pm::tan(x));
        if (is_nan(x) || (bits_of(x) & 0x7FFFFFFFFFFFFFFFULL) < 0x412E848000000000ULL) {
            if (!is_nan(x)) {
                const pm::ReducedAngle a = pm::reduce_pio2(x);
                s += " | " + std::to_string(a.q) + " " + fbits(a.r) + " " + fbits(pm::sin_kernel(a.r)) + " " +
                     fbits(pm::cos_kernel(a.r));
            }
        }
        out.line(std::move(s));
    }

    out.line("# powf(x, y)");
    for (const auto& [x, y] : powf_args()) {
        const double r = pm::powf(x, y);
        out.line("powf(" + arg(x) + ", " + arg(y) + ") = " + fbits(r) + " " + dec(r));
    }

    out.line("# floor_f64(q), count_from_f64(x)");
    for (const double q : {0.0, from_bits(0x8000000000000000ULL), 0.5, -0.5, 0.9999999999999999, -0.9999999999999999,
                           1.0,
                           -1.0, 2.5, -2.5, 3.5, -3.5, 1e15 + 0.5, -(1e15 + 0.5), 4503599627370495.5,
                           -4503599627370495.5, 4503599627370497.0, 1e300, -1e300, kDenormMin, -kDenormMin}) {
        out.line("floor_f64(" + arg(q) + ") = " + fbits(floor_f64(q)));
    }
    for (const double x : {kNaN, -kInf, -1.0, from_bits(0x8000000000000000ULL), 0.0, 0.9, 1.0, 9007199254740993.0,
                           18446744073709549568.0, 18446744073709551616.0, 1e20, 1e300, kInf}) {
        out.line("count_from_f64(" + arg(x) + ") = " + u64(count_from_f64(x)));
    }

    out.line("# ln_gamma(x)");
    std::vector<double> gx;
    for (int k = 1; k <= 120; ++k) gx.push_back(k);
    for (const double x : {150.0, 171.0, 1000.0, 12345.0, 1e6, 1e15, 9007199254740992.0, 1e20, 1e300}) gx.push_back(x);
    for (const double x : gx) {
        const double r = ln_gamma(x);
        out.line("ln_gamma(" + arg(x) + ") = " + fbits(r) + " " + dec(r));
    }

    out.line("# ptrs_setup(lam) = loglam slam b a invalpha vr twoa lninvalpha");
    for (const double lam : {10.0, 25.0, 1000.0, 1e6, 1e20, 1e300}) {
        const PtrsSetup p = ptrs_setup(lam);
        out.line("ptrs_setup(" + arg(lam) + ") = " + fbits(p.loglam) + " " + fbits(p.slam) + " " + fbits(p.b) + " " +
                 fbits(p.a) + " " + fbits(p.invalpha) + " " + fbits(p.vr) + " " + fbits(p.twoa) + " " +
                 fbits(p.lninvalpha));
    }
}

// --- alias tables, number format, messages ------------------------------------------------

void tables_section(Transcript& out, const std::vector<Table>& tbl) {
    for (const Table& t : tbl) {
        out.line("table " + list(t.weights));
        if (t.invalid) {
            out.line("  error " + *t.invalid);
            continue;
        }
        out.line("  total " + fbits(t.total));
        Values prob, alias;
        prob.add_group(double_tokens(t.prob));
        alias.add_group(uint_tokens(t.alias));
        out.line("  prob");
        prob.write(out);
        out.line("  alias");
        alias.write(out);
    }
}

std::string outcome(const Invalid& invalid) { return invalid ? "error: " + *invalid : "ok"; }

void messages_section(Transcript& out) {
    out.line("# format_float(x)");
    for (const double x : {1.0, 0.5, -0.0, 0.1, -1.5, 1e-7, 0.30000000000000004, 123.456, 1e22, 1e23,
                           1.2345678901234568e20, 9007199254740993.0, kDenormMin, kMinNormalD, kMaxDouble, kNaN,
                           from_bits(0xFFF8000000000000ULL), kInf, -kInf, 1.0000000000000002, 0.9999999999999999}) {
        out.line("format_float(" + arg(x) + ") = " + format_float(x));
    }
    out.line("# validators");
    const double nz = from_bits(0x8000000000000000ULL);
    for (const double x : {0.0, -kInf, kNaN, nz, -2.5, kDenormMin, -1e-7, 1.0}) {
        out.line("require_positive(scale, " + arg(x) + ") -> " + outcome(require_positive("scale", x)));
    }
    for (const double x : {1.0000000000000002, kNaN, -1e-300, nz, 1.0, kInf}) {
        out.line("require_probability(" + arg(x) + ") -> " + outcome(require_probability(x)));
    }
    for (const auto& [lo, hi] :
         std::vector<std::pair<double, double>>{{0, kInf}, {1, 0}, {kNaN, 1}, {0.1, 0.1}, {0, 1}}) {
        out.line(call("check_uniform", {lo, hi}) + " -> " + outcome(check_uniform(lo, hi)));
    }
    out.line("check_integers(5, 5) -> " + outcome(check_integers(5, 5)));
    out.line("check_integers(max, min) -> " + outcome(check_integers(std::numeric_limits<std::int64_t>::max(),
                                                                     std::numeric_limits<std::int64_t>::min())));
    out.line("check_normal(inf, -1) -> " + outcome(check_normal(kInf, -1)));
    out.line("check_normal(nan, 1) -> " + outcome(check_normal(kNaN, 1)));
    out.line("check_lognormal(-inf, 1) -> " + outcome(check_lognormal(-kInf, 1)));
    out.line("check_laplace(nan, 1) -> " + outcome(check_laplace(kNaN, 1)));
    out.line("check_cauchy(inf, -1) -> " + outcome(check_cauchy(kInf, -1)));
    out.line("check_gamma(1, -2.5) -> " + outcome(check_gamma(1, -2.5)));
    out.line("check_beta(0, 1) -> " + outcome(check_beta(0, 1)));
    out.line("check_chisquare(-0) -> " + outcome(check_chisquare(nz)));
    out.line("check_student_t(inf) -> " + outcome(check_student_t(kInf)));
    for (const double p : {0.0, nz, 1.5, kNaN}) {
        out.line("check_geometric(" + arg(p) + ") -> " + outcome(check_geometric(p)));
    }
    out.line("check_poisson(zero state, 10) -> " + outcome(check_poisson(Xoshiro256PlusPlus{}, 10)));
    out.line("check_poisson(zero state, 9.999999999999998) -> " +
             outcome(check_poisson(Xoshiro256PlusPlus{}, next_down(10.0))));
    out.line("check_poisson(seed 0, 0) -> " + outcome(check_poisson(Xoshiro256PlusPlus::from_seed(0), 0)));
    out.line("check_multivariate_normal(2, 3) -> " + outcome(check_multivariate_normal(2, 3)));
    out.line("check_multivariate_normal(0, 1) -> " + outcome(check_multivariate_normal(0, 1)));
    // n * n beyond 32 bits: the message forms it in 64 bits also where size_t has 32.
    out.line("check_multivariate_normal(65536, 0) -> " + outcome(check_multivariate_normal(65536, 0)));
    for (const auto& alpha : std::vector<std::vector<double>>{{}, {1, 0, 2}, {1, nz}, {0.5, kNaN}}) {
        out.line("check_dirichlet(" + list(alpha) + ") -> " + outcome(check_dirichlet(alpha)));
    }
    for (const auto& probs : std::vector<std::vector<double>>{
             {}, {1.5, -0.5}, {0.3, 0.3}, {0.5, 0.4999995}, {0.5, kInf}, {0.7, 0.2999990000000000}}) {
        out.line("check_multinomial(" + list(probs) + ") -> " + outcome(check_multinomial(probs)));
    }
    for (const auto& w : std::vector<std::vector<double>>{{}, {1, -1}, {0, 0}, {kNaN}, {-1, 0}, {nz, 1}}) {
        double total = 0.0;
        out.line("check_systematic_resample(" + list(w) + ") -> " + outcome(check_systematic_resample(w, total)));
        out.line("check_categorical(" + list(w) + ") -> " + outcome(check_categorical(w, total)));
    }
    out.line("check_choice(0) -> " + outcome(check_choice(0)));
    out.line("check_choices(0) -> " + outcome(check_choices(0)));
    out.line("check_sample(0, 1) -> " + outcome(check_sample(0, 1)));
    out.line("check_sample(0, 0) -> " + outcome(check_sample(0, 0)));
    out.line("check_bootstrap_indices(0) -> " + outcome(check_bootstrap_indices(0)));
}

std::string generate() {
    Transcript out;
    out.line("# drawkit golden vectors: the same bits on every platform and compiler.");
    out.line("# Generated by tools/golden/golden_gen.cpp (drawkit_golden --write FILE) on x86-64; never edit by hand.");
    out.line("# Doubles are 64-bit patterns; \"nan*\" is a NaN made by arithmetic, whose sign and payload");
    out.line("# may differ between processors (any NaN matches it). A decimal after a pattern is a reading aid.");
    out.line("# \"case OP @STATE xN\": N calls of OP from STATE, the results, then the state left behind");
    out.line("# (s0 s1 s2 s3 and the pending normal).");
    out.blank();

    const std::vector<Table> tbl = tables();

    out.line("## worked examples");
    spot_section(out, tbl);
    out.blank();

    out.line("## portable math");
    math_section(out);
    out.blank();

    out.line("## alias tables");
    tables_section(out, tbl);
    out.blank();

    out.line("## number format and validators");
    messages_section(out);
    out.blank();

    out.line("## draws");
    const std::vector<NamedState> states = run_states();
    out.line("# starting states");
    for (const auto& s : states) out.line("state " + s.name + state_line(s.g).substr(7));
    const std::vector<Case> cases = draw_cases(tbl);
    for (const auto& s : states) {
        out.blank();
        for (const auto& c : cases) run_case(out, s.name, s.g, c);
    }
    return out.text();
}

// --- check -------------------------------------------------------------------------------

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::vector<std::string> split_tokens(const std::string& line) {
    std::vector<std::string> tokens;
    std::istringstream in(line);
    std::string t;
    while (in >> t) tokens.push_back(t);
    return tokens;
}

bool parse_hex(const std::string& t, std::uint64_t& v) {
    if (t.size() != 18 || t[0] != '0' || t[1] != 'x') return false;
    const auto r = std::from_chars(t.data() + 2, t.data() + t.size(), v, 16);
    return r.ec == std::errc() && r.ptr == t.data() + t.size();
}

// One token of the committed copy against the recomputed one: equal text, or "nan*"
// against any NaN.
bool token_matches(const std::string& expected, const std::string& got) {
    if (expected == got) return true;
    if (expected != "nan*") return false;
    std::uint64_t v = 0;
    return parse_hex(got, v) && is_nan(from_bits(v));
}

std::string describe_token(const std::string& t) {
    std::uint64_t v = 0;
    if (!parse_hex(t, v)) return t;
    return t + " (as binary64: " + arg(from_bits(v)) + ")";
}

int check(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << "drawkit_golden: cannot read " << path << "\n";
        return 2;
    }
    std::ostringstream buf;
    buf << in.rdbuf();
    const std::vector<std::string> expected = split_lines(buf.str());
    const std::vector<std::string> got = split_lines(generate());

    constexpr int kShown = 20;
    int mismatches = 0;
    std::string context;  // the last case or section header seen
    std::size_t context_line = 0;
    const std::size_t n = std::min(expected.size(), got.size());
    for (std::size_t i = 0; i < n; ++i) {
        const std::string& e = expected[i];
        if (e.rfind("case ", 0) == 0 || e.rfind("table ", 0) == 0 || e.rfind("#", 0) == 0) {
            context = e;
            context_line = i + 1;
        }
        const auto et = split_tokens(e);
        const auto gt = split_tokens(got[i]);
        bool same = et.size() == gt.size();
        for (std::size_t k = 0; same && k < et.size(); ++k) same = token_matches(et[k], gt[k]);
        if (same) continue;
        if (++mismatches > kShown) continue;
        std::cout << "MISMATCH at " << path << ":" << i + 1;
        if (!context.empty() && context_line != i + 1) {
            std::cout << "  (in \"" << context << "\", line " << context_line << ")";
        }
        std::cout << "\n  expected: " << e << "\n  got:      " << got[i] << "\n";
        // Field by field where the lines have the same shape (a row of results); a line of
        // text that changed shape is shown whole above.
        for (std::size_t k = 0; et.size() == gt.size() && k < et.size(); ++k) {
            const std::string& a = et[k];
            const std::string& b = gt[k];
            if (token_matches(a, b)) continue;
            std::cout << "    field " << k + 1 << ": expected " << describe_token(a) << ", got " << describe_token(b);
            std::uint64_t va = 0, vb = 0;
            if (parse_hex(a, va) && parse_hex(b, vb) && (va >> 63) == (vb >> 63)) {
                const std::int64_t d = static_cast<std::int64_t>(vb - va);
                std::cout << " [" << (d > 0 ? "+" : "") << d << " in the last place]";
            }
            std::cout << "\n";
        }
    }
    if (expected.size() != got.size()) {
        ++mismatches;
        std::cout << "MISMATCH: " << path << " has " << expected.size() << " lines, the recomputed transcript "
                  << got.size() << "\n";
    }
    if (mismatches == 0) {
        std::cout << "golden vectors: " << expected.size() << " lines match " << path << "\n";
        return 0;
    }
    if (mismatches > kShown) std::cout << "... and " << mismatches - kShown << " more differing lines\n";
    std::cout << "golden vectors: " << mismatches << " of " << expected.size() << " lines differ from " << path << "\n";
    return 1;
}

int usage() {
    std::cerr << "usage: drawkit_golden [--write FILE | --check FILE]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 1) {
        std::cout << generate();
        return std::cout ? 0 : 1;
    }
    if (argc != 3) return usage();
    const std::string mode = argv[1];
    if (mode == "--check") return check(argv[2]);
    if (mode == "--write") {
        std::ofstream out(argv[2], std::ios::binary);
        out << generate();
        out.close();
        if (!out) {
            std::cerr << "drawkit_golden: cannot write " << argv[2] << "\n";
            return 1;
        }
        return 0;
    }
    return usage();
}
