// Nanoseconds per call of each portable_math function beside the host library's.
//
// Arguments are what the draws pass: uniforms in (0, 1) for ln, angles in [0, 2pi) for
// sin and cos (Box-Muller), [-pi/2, pi/2) for tan (Cauchy), moderate exponents for exp,
// and u^(1/shape) with shape in (0.05, 1) for powf (gamma boost). Each measurement sums the
// results of independent calls over a small argument array (resident in L1), so it reports
// throughput; the sum goes to a volatile sink so that no call can be dropped. The best of
// many short trials is reported, timed by the thread's CPU clock where there is one so that
// time spent descheduled on a busy machine does not count.
//
// "inline" is the function as callers see it (ln, exp, sin, cos are defined in the header);
// "call" goes through a function pointer the compiler cannot see through, i.e. the cost if
// they were ordinary out-of-line functions, comparable with the host's library calls.
#include "portable_math.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#if defined(__unix__) || defined(__APPLE__)
#include <time.h>
#endif

namespace pm = drawkit::portable_math;

namespace {

volatile double g_sink;

constexpr std::size_t kArgs = std::size_t{1} << 20;
constexpr int kRounds = 1;  // a million calls per trial
constexpr int kTrials = 31;

// Nanoseconds of this thread's CPU time (wall time where no such clock exists).
double now_ns() {
#if defined(CLOCK_THREAD_CPUTIME_ID)
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
#else
    return std::chrono::duration<double, std::nano>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
#endif
}

struct Args {
    std::uint64_t state = 0x243F6A8885A308D3ULL;
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    double unit() {  // next_f64 floored at the smallest normal, as the draws feed ln
        const double u = static_cast<double>(next() >> 11) * 0x1p-53;
        return u < 0x1p-1022 ? 0x1p-1022 : u;
    }
    std::vector<double> uniform(double lo, double hi) {
        std::vector<double> v(kArgs);
        for (double& x : v) x = lo + (hi - lo) * unit();
        return v;
    }
};

template <class F>
double ns_per_call(const std::vector<double>& a, F f) {
    double best = 1e300;
    for (int t = 0; t < kTrials; ++t) {
        double acc = 0.0;
        const double start = now_ns();
        for (int r = 0; r < kRounds; ++r) {
            for (std::size_t i = 0; i < kArgs; ++i) acc += f(a[i]);
        }
        const double ns = now_ns() - start;
        g_sink = acc;
        best = std::min(best, ns / (static_cast<double>(kRounds) * kArgs));
    }
    return best;
}

template <class F>
double ns_per_call2(const std::vector<double>& a, const std::vector<double>& b, F f) {
    double best = 1e300;
    for (int t = 0; t < kTrials; ++t) {
        double acc = 0.0;
        const double start = now_ns();
        for (int r = 0; r < kRounds; ++r) {
            for (std::size_t i = 0; i < kArgs; ++i) acc += f(a[i], b[i]);
        }
        const double ns = now_ns() - start;
        g_sink = acc;
        best = std::min(best, ns / (static_cast<double>(kRounds) * kArgs));
    }
    return best;
}

using Fn1 = double (*)(double);
using Fn2 = double (*)(double, double);

// Opaque function pointers: the loads from volatile keep the compiler from inlining.
Fn1 opaque(Fn1 f) {
    Fn1 volatile p = f;
    return p;
}
Fn2 opaque(Fn2 f) {
    Fn2 volatile p = f;
    return p;
}

void row(const char* name, double inl, double call, double host) {
    std::printf("%-14s %10.2f %10.2f %10.2f %9.2fx %9.2fx\n", name, inl, call, host, inl / host,
                call / host);
}

}  // namespace

int main() {
    Args g;
    const std::vector<double> units = g.uniform(0.0, 1.0);
    const std::vector<double> expo = g.uniform(-20.0, 20.0);
    const std::vector<double> angles = g.uniform(0.0, 6.283185307179586);
    const std::vector<double> halfturn = g.uniform(-1.5707963267948966, 1.5707963267948966);
    std::vector<double> inv_shape = g.uniform(0.05, 1.0);
    for (double& s : inv_shape) s = 1.0 / s;

    std::printf("%-14s %10s %10s %10s %10s %10s\n", "ns/call", "inline", "call", "host",
                "inline/host", "call/host");

    {
        const Fn1 p = opaque(pm::ln);
        row("ln", ns_per_call(units, [](double x) { return pm::ln(x); }),
            ns_per_call(units, [p](double x) { return p(x); }),
            ns_per_call(units, [](double x) { return std::log(x); }));
    }
    {
        const Fn1 p = opaque(pm::exp);
        row("exp", ns_per_call(expo, [](double x) { return pm::exp(x); }),
            ns_per_call(expo, [p](double x) { return p(x); }),
            ns_per_call(expo, [](double x) { return std::exp(x); }));
    }
    {
        const Fn1 p = opaque(pm::sin);
        row("sin", ns_per_call(angles, [](double x) { return pm::sin(x); }),
            ns_per_call(angles, [p](double x) { return p(x); }),
            ns_per_call(angles, [](double x) { return std::sin(x); }));
    }
    {
        const Fn1 p = opaque(pm::cos);
        row("cos", ns_per_call(angles, [](double x) { return pm::cos(x); }),
            ns_per_call(angles, [p](double x) { return p(x); }),
            ns_per_call(angles, [](double x) { return std::cos(x); }));
    }
    {
        // The Box-Muller pair: a sine and a cosine of the same angle. Inlined, the shared
        // reduction is computed once.
        const Fn1 ps = opaque(pm::sin);
        const Fn1 pc = opaque(pm::cos);
        row("sin+cos pair", ns_per_call(angles, [](double x) { return pm::sin(x) * pm::cos(x); }),
            ns_per_call(angles, [ps, pc](double x) { return ps(x) * pc(x); }),
            ns_per_call(angles, [](double x) { return std::sin(x) * std::cos(x); }));
    }
    {
        const Fn1 p = opaque(pm::tan);
        row("tan", ns_per_call(halfturn, [](double x) { return pm::tan(x); }),
            ns_per_call(halfturn, [p](double x) { return p(x); }),
            ns_per_call(halfturn, [](double x) { return std::tan(x); }));
    }
    {
        const Fn2 p = opaque(pm::powf);
        row("powf",
            ns_per_call2(units, inv_shape, [](double x, double y) { return pm::powf(x, y); }),
            ns_per_call2(units, inv_shape, [p](double x, double y) { return p(x, y); }),
            ns_per_call2(units, inv_shape, [](double x, double y) { return std::pow(x, y); }));
    }
    return 0;
}
