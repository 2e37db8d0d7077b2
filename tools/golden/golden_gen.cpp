// drawkit_golden: the golden transcript of the core, written (--write FILE, or to standard
// output) or recomputed and compared with FILE (--check FILE: prints the differing lines, exits
// 1): the same values for the same seed and calls on every platform and compiler. It holds the
// pure functions over hand-picked and generated arguments, and every draw from a list of
// states, followed by the state it leaves or by the message refusing it and the untouched
// state (calls as calls.hpp describes). Written on x86-64, checked elsewhere by tools/cross_check.
#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "calls.hpp"

namespace {

using namespace golden;

// Draws, "CALL[ @STATE][ xN]": N calls (16 when not given) from every starting state, or a
// single call (N when given) from the named one. "f(a|b)" stands for the rows f(a) and f(b).
const char* const kDraws[] = {
    "next_u64 x48",
    "jump x3",
    "next_below(1|2|3|10|6700417|68719476751|9223372036854775809|18446744073709551615)",
    "fixed_remainder(1|3|10|1000003|9223372036854775809|18446744073709551615)",
    "next_f64 x48",
    "next_f64_complement x32",
    "next_f64_floored",
    "uniform(0, 10|1, 2|-1e+308, 1e+308|-3.5, 7.25|1e-300, 2e-300) x24",
    "integers(0, 10|7, 8|-5, 5|-9223372036854775808, 9223372036854775807|-4611686018427387904, "
    "4611686018427400249) x24",
    "bernoulli(0.5|0.3|0|1|-0|5e-324|0.9999999999999999) x32",
    "fill(0|1|7|8|10|33) x3",
    "standard_normal x48",
    "normal(5, 2|-1e+300, 1e+300|1e-300, 1e-310) x24",
    "lognormal(0, 1|1000, 1|-1000, 1|0.5, 3|700, 5) x24",
    "exponential(1|2.5|1e+308|5e-324) x32",
    "laplace(0, 1|-3, 0.5) x24",
    "cauchy(0, 1|-3, 2) x32",
    "standard_gamma(1|2.5|0.5) x24",
    "standard_gamma(0.999|1.999|0.01|1e-300|7.4e-301|1e-310|5e-324|7.5|100|1e+06) x8",
    "gamma(0.5, 2)",
    "beta(2, 3|0.5, 0.5|3, 2|0.001, 0.001)",
    "chisquare(3|2|0.1)",
    "student_t(5|0.5|1e+06)",
    "poisson(0.001|3|9.5|9.999999999999998|10|25|1000|1e+06|1e+20)",
    "geometric(0.1|0.01|0.25|0.5|1|1e-10|5.551115123125783e-17|5.551115123125784e-17|"
    "1.1102230246251565e-16|5e-324|0.9999999999999999)",
    "binomial(10, 0.3|100, 0.5|1000, 0.001|7, 1|7, 0|0, 0.5|65, 5e-324) x8",
    "multivariate_normal([1, -1], [2, 0, 0.5, 1]|[0, 10, -2.5], [1.5, 99, 99, -0.3, 0.7, 99, 0.25, "
    "0.001, 2]|[], []|[3], [0.1]) x3",
    "dirichlet([1, 2, 3]|[0.5]|[0.1, 0.2, 0.3, 10]|[0.001, 0.001]|[5e-324, 1]) x3",
    "multinomial(10, [0.2, 0.3, 0.5]|50, [0.5, 0.4999995, 0]|20, [1]|0, [0.5, 0.5]|10, [0.5, "
    "0.4999995]) x3",
    "permutation(0|1|2|5|17) x3",
    "shuffle([0.5, 1.5, 2.5, 3.5, 4.5, 5.5, 6.5, 7.5, 8.5]) x3",
    "bootstrap_indices(1|5|37) x2",
    "partial_fisher_yates(10, 4|5, 5|1099511627776, 12|1, 1|7, 0|3, 3) x3",
    "systematic_resample([1, 2, 3, 4], 8|[0, 1, 0], 5|[0.1, 3, 0, 7.25, 0.001, 2, 2, 0.5, 9, 0, "
    "4.75, 1.1, 6], 40|[1, 2], 0|[1e+308, 1e+308, 1e+307, 5e-324, 0, 3e+307], 12|[0.2, 2, 0.1, 0], "
    "1|[-0, 1], 4|[1, 3], 2) x3",
    "alias_draw([1, 2, 3, 4]|[5]|[0, 1]|[1, 1, 1, 1, 1, 1, 1]|[0.1, 3, 0, 7.25, 0.001, 2, 2, 0.5, "
    "9, 0, 4.75, 1.1, 6, 0.3, 8.5, 1e-09, 5, 2.2, 0.05, 3.3]|[1e+308, 1e+308, 1e+307, 5e-324, 0]) "
    "x32",
    // Single calls: the state one leaves (the reference test pins the draw counts of the
    // others), and an element read that fails.
    "multivariate_normal([0, 0, 0], [1, 0, 0, 0, 1, 0, 0, 0, 1]) @seed0",
    "partial_fisher_yates(10, 4, 3) @seed0",
    // Every validation message, and a few calls that pass on the edge.
    "poisson(10|1e+300|0|9.999999999999998) @zero",
    "poisson(inf) @seed0",
    "exponential(0|-inf|nan:0x7FF8000000000000|-0|-2.5|-1e-07) @seed0",
    "bernoulli(1.0000000000000002|nan:0x7FF8000000000000|-1e-300|inf) @seed0",
    "uniform(0, inf|1, 0|nan:0x7FF8000000000000, 1|0.1, 0.1|0, 1) @seed0",
    "integers(5, 5|9223372036854775807, -9223372036854775808) @seed0",
    "normal(inf, -1|nan:0x7FF8000000000000, 1|0, 5e-324) @seed0",
    "lognormal(-inf, 1|inf, 0) @seed0",
    "laplace(nan:0x7FF8000000000000, 1|inf, -1) @seed0",
    "cauchy(inf, -1|-inf, 1) @seed0",
    "gamma(1, -2.5|0, -2.5) @seed0",
    "beta(0, 1|1, inf) @seed0",
    "chisquare(-0) @seed0",
    "student_t(inf) @seed0",
    "geometric(0|-0|1.5|nan:0x7FF8000000000000) @seed0",
    "binomial(5, -0.5) @seed0",
    "multivariate_normal([0, 0], [1, 2, 3]|[], [1]) @seed0",
    "dirichlet([]|[1, 0, 2]|[1, -0]|[0.5, nan:0x7FF8000000000000]|[1, 2, 3, -inf]) @seed0",
    "multinomial(5, []|5, [1.5, -0.5]|5, [0.3, 0.3]|5, [0.5, inf]|5, [0.7, 0.299999]) @seed0",
    "systematic_resample([], 3|[1, -1], 3|[0, 0], 3|[nan:0x7FF8000000000000], 3|[-1, 0], 3|[1, "
    "0.5, -inf], 3) @seed0",
    "choice(0) @seed0",
    "choices(0) @seed0",
    "partial_fisher_yates(0, 1|3, 18446744073709551615|0, 0) @seed0",
    "bootstrap_indices(0) @seed0",
};

// Pure functions: each argument (pairs joined by ',') gives one line "CALL = TOKENS".
const std::pair<const char*, const char*> kFunctions[] = {
    {"round_ties_even",
     "0 -0 0.5 1.5 2.5 -0.5 -1.5 -2.5 0.49999999999999994 -0.49999999999999994 4503599627370495.5 "
     "-4503599627370495.5 4503599627370496 -4503599627370497 9007199254740992 1e+300 -1e+300 "
     "5e-324 -5e-324 1234.5 -1234.5 1235.5 1000000000000000.5 0.7 -0.7 3.4999999999999996 "
     "3.5000000000000004"},
    {"scale_by_pow2",
     "1,0 1,1023 1,1024 1.5,1023 1,2046 1,3000 1,-1022 1,-1023 1,-1074 1,-1075 1.5,-1075 "
     "1.2345,-1060 0.999999999,-1074 1,-2100 1.7976931348623157e+308,-2046 5e-324,2097 0,5 "
     "-0,-5000 inf,-3000 -inf,3000 nan:0x7FF8000000000000,1 -1.75,-1050 1.1805916207174112,-1025 "
     "0.9802265331868324,-1025"},
    {"ln",
     "0 -0 inf -inf nan:0x7FF8000000000000 nan:0xFFF8000000000000 nan:0x7FF0000000000001 "
     "nan:0x7FFFFFFFFFFFFFFF -1 -5e-324 5e-324 1e-323 1e-310 2.225073858507201e-308 "
     "2.2250738585072014e-308 1.7976931348623157e+308 1 0.9999999999999999 1.0000000000000002 2 10 "
     "0.1 0.7 0.5 1.4142135623730951 1.4142135623730954 1.414213562373095 0.7071067811865475 "
     "2.718281828459045 1.1102230246251565e-16"},
    {"exp",
     "nan:0x7FF8000000000000 nan:0xFFF8000000000001 inf -inf 0 -0 1e-20 -1e-20 5e-324 1 -1 0.25 "
     "0.34657359027997264 10 100 -740 -710.513801076869 709.782712893384 709.7827128933841 "
     "-745.1332191019411 -745.1332191019412 -708.3964185322641 -708.4 -709 -720 -744 709 512 "
     "511.99999999999994 -512 0.6931471805599453 -0.6931471805599453"},
    {"sin,cos,tan",
     "0 -0 5e-324 -5e-324 inf -inf nan:0x7FF8000000000000 nan:0x7FF4000000000000 1e+06 -1e+06 "
     "999999.9999999999 -999999.9999999999 1e+300 1 -2 3 100 999999 3.141592653589793 "
     "1.5707963267948966 -1.5707963267948966 1e-300 0.5 0.7853981633974483 6.283185307179586 "
     "6.283185307179585"},
    {"powf",
     "nan:0x7FF8000000000000,0 1,nan:0x7FF8000000000000 nan:0xFFF8000000000000,2 2,0 -2,-0 inf,0 "
     "-inf,0 0,2 -0,2 0,-1 0,inf 0,-inf -1,2 -8,0.3333333333333333 -inf,2 1,inf 1,-inf 1,1e+300 "
     "2,1024 2,-1074 2,-1075 2,1e+301 0.5,inf inf,1 2,0.5 0.3,0.3333333333333333 0.25,0.1 7,-2 "
     "10,2 10,-1 10,300 10,-320 2,1023 2,1023.5 2,-1022 3,646 3,-647 0.5,1074.5 5e-324,0.5 "
     "2.2250738585072014e-308,1e+200 2.2250738585072014e-308,0.001 0.9999999999999999,1e+16 "
     "1.0000000000000002,-1e+16 1.0000000000000002,1.3393857490036325e+300 "
     "1.0000000000000002,1.3393857490036326e+300"},
    {"floor_f64",
     "0 -0 0.5 -0.5 0.9999999999999999 -0.9999999999999999 1 -1 2.5 -2.5 3.5 -3.5 "
     "1000000000000000.5 -1000000000000000.5 4503599627370495.5 -4503599627370495.5 "
     "4503599627370497 1e+300 -1e+300 5e-324 -5e-324 -1e-300 2.999999999999999"},
    {"count_from_f64",
     "nan:0x7FF8000000000000 -inf -1 -0 0 0.9 1 7.9 9007199254740992 18446744073709549568 "
     "18446744073709551616 1e+20 1e+300 inf"},
    {"ln_gamma", "150 171 1000 12345 1e+06 1e+15 9007199254740992 1e+20 1e+300"},
    {"ptrs_setup", "10 25 1000 1e+06 1e+20 1e+300"},
    {"bernoulli_threshold",
     "0 -0 1 0.5 0.1 0.3 1e-300 5e-324 1.1102230246251565e-16 1.1102230246251564e-16 "
     "1.1102230246251568e-16 2.220446049250313e-16 2.2204460492503128e-16 2.2204460492503136e-16 "
     "8.626432901337466e-14 8.626432901337465e-14 8.626432901337468e-14 0.5000000000000001 "
     "0.5000000000000002 0.9999999999999999 0.9999999999999998"},
    {"remainder",
     "1 2 3 7 10 1000003 4294967295 4294967296 4294967297 9223372036854775807 9223372036854775808 "
     "9223372036854775809 18446744073709551614 18446744073709551615"},
    {"format_float",
     "1 0.5 -0 0.1 -1.5 1e-07 0.30000000000000004 123.456 1e+22 1e+23 123456789012345683968 "
     "9007199254740992 9007199254740994 65969810451635500 1e+20 1.5e+300 5e-324 "
     "2.2250738585072014e-308 1.7976931348623157e+308 nan:0x7FF8000000000000 "
     "nan:0xFFF8000000000000 inf -inf 1.0000000000000002 0.9999999999999999"},
    {"alias_table",
     "[1,2,3,4] [0,1] [5] [1,-0] [1,1,1,1,1,1,1] "
     "[0.1,3,0,7.25,0.001,2,2,0.5,9,0,4.75,1.1,6,0.3,8.5,1e-09,5,2.2,0.05,3.3] [1e-300,1,1e+300] "
     "[1e+308,1e+308,1e+307,5e-324,0] [] [1,-1] [0,0] [nan:0x7FF8000000000000] [-1,0] [-0,1] "
     "[0,-0.5] [inf]"},
    {"check_multivariate_normal", "2,3 0,1 0,0 3,9 3,6 65536,0"},
};

// Generated arguments after the hand-picked ones: random binades, and k / scale for random
// integers k, each list from its own engine so that one list can grow without moving another.
std::string spread(std::string_view fn) {
    const std::uint64_t seed = fn == "ln"     ? 0x106
                               : fn == "exp"  ? 0xE4
                               : fn == "powf" ? 0x90F
                                              : 0x719;
    Xoshiro256PlusPlus e = Xoshiro256PlusPlus::from_seed(seed);
    const auto binade = [&e](std::uint64_t lo, std::uint64_t hi) {
        const std::uint64_t exponent = lo + (e.next_u64() >> 52) % (hi - lo + 1);
        return from_bits(exponent << 52 | (e.next_u64() & 0x000FFFFFFFFFFFFFULL));
    };
    const auto ratio = [&e](std::int64_t lo, std::int64_t hi, double scale) {
        const auto k =
            lo + static_cast<std::int64_t>(e.next_u64() % static_cast<std::uint64_t>(hi - lo + 1));
        return static_cast<double>(k) / scale;
    };
    const auto either_sign = [&](double x) { return e.next_u64() >> 63 ? -x : x; };
    std::string s;
    const auto add = [&s](double x) { s += ' ' + arg(x); };
    const auto pair = [&s](double x, double y) { s += ' ' + arg(x) + ',' + arg(y); };
    if (fn == "ln")
        for (int i = 0; i < 216; ++i)
            add(i < 24    ? binade(0, 0)
                : i < 144 ? binade(1, 2046)
                : i < 184 ? binade(1022, 1023)
                          : binade(970, 1022));
    if (fn == "exp") {
        for (int k = -40; k <= 40; k += 5)
            add((2 * k + 1) * 0.5 / from_bits(0x3FF71547652B82FEULL));  // ties of k
        for (int i = 0; i < 176; ++i)
            add(i >= 160  ? either_sign(binade(900, 1000))
                : i < 120 ? ratio(-745133219, 709782712, 1e6)
                          : ratio(-1e6, 1e6, 1e6));
    }
    if (fn == "sin,cos,tan") {
        // k pi/2, and 1 ulp off it.
        for (const double k : {1.0, 2.0, 3.0, 4.0, 5.0, 10.0, 100.0, 1000.0, 12345.0, 636619.0})
            for (const std::uint64_t d : {0ULL, 1ULL, ~0ULL})
                add(from_bits(bits_of(k * 1.5707963267948966) + d));
        for (int i = 0; i < 168; ++i)
            add(i < 80    ? ratio(-8e9, 8e9, 1e9)
                : i < 120 ? ratio(0, 6283185307, 1e9)
                          : either_sign(binade(1000, 1042)));
    }
    if (fn == "powf") {
        for (int j = -8; j <= 8; ++j)
            pair(2, 1023 + j / 8.0), pair(2, -1074 + j / 8.0), pair(10, 307 + j / 4.0);
        // The last 60: the gamma boost, a uniform raised to 1/shape.
        for (int i = 0; i < 200; ++i) {
            const double x = i < 100   ? ratio(1, 8e6, 1e6)
                             : i < 140 ? binade(1, 1022)
                                       : ratio(1, 0x1p53 - 1, 0x1p53);
            pair(x, i < 100   ? ratio(-6e7, 6e7, 1e6)
                    : i < 140 ? ratio(1, 1e6, 1e3)
                              : 1.0 / ratio(1, 999999, 1e6));
        }
    }
    if (fn == "ln_gamma")
        for (int k = 1; k <= 120; ++k) add(k);
    return s;
}

std::string join(const Tokens& t, std::string s = "") {
    for (const auto& x : t) s += (s.empty() ? "" : " ") + x;
    return s;
}

void draw_case(std::string& out, const std::string& call, const std::string& state, int n) {
    Generator g = golden::state(state);
    const Result r = run(call, g, n);
    out += "case " + call + " @" + state + " x" + std::to_string(n) + "\n";
    const bool scalars =
        std::all_of(r.calls.begin(), r.calls.end(), [](const Tokens& t) { return t.size() == 1; });
    // Scalars eight to a line, vectors one to a line.
    for (std::size_t i = 0; i < r.calls.size(); ++i) {
        const std::string s = r.calls[i].empty() ? "-" : join(r.calls[i]);
        const bool end = !scalars || i % 8 == 7 || i + 1 == r.calls.size();
        out += (scalars && i % 8 ? " " : "  ") + s + (end ? "\n" : "");
    }
    if (r.error) out += "  error " + *r.error + "\n";
    out += "  state " + join(state_tokens(g)) + "\n";
}

std::string generate() {
    std::string out =
        "# drawkit golden transcript: the same bits on every platform and compiler. Written by\n"
        "# tools/golden/golden_gen.cpp (drawkit_golden --write FILE) on x86-64; never edit by\n"
        "# hand. Doubles are 64-bit patterns; \"nan*\" is a NaN made by arithmetic (any NaN\n"
        "# matches it). \"case CALL @STATE xN\": N calls from STATE, their results (or the\n"
        "# message refusing the call), then the state left behind: s0 s1 s2 s3 and the\n"
        "# pending normal.\n\n## starting states\n";
    for (const auto& [name, g] : run_states())
        out += "state " + name + " " + join(state_tokens(g)) + "\n";
    out += "\n## functions\n";
    for (const auto& [fn, hand] : kFunctions) {
        std::istringstream args(hand + spread(fn));
        for (std::string a, call = fn; args >> a; call = fn) {
            for (const char c : "(" + a + ")") call += c == ',' ? ", " : std::string(1, c);
            Generator none;
            const Result r = run(call, none);
            out += call + " = " + (r.error ? "error " + *r.error : join(r.calls.at(0))) + "\n";
        }
    }
    std::vector<std::array<std::string, 3>> rows;  // call, state ("" for every one), count
    for (std::string row : kDraws) {
        std::string state, n;
        if (const auto x = row.rfind(" x"); x != std::string::npos)
            n = row.substr(x + 2), row.resize(x);
        if (const auto at = row.rfind(" @"); at != std::string::npos)
            state = row.substr(at + 2), row.resize(at);
        if (n.empty()) n = state.empty() ? "16" : "1";
        const auto open = row.find('(');
        if (open == std::string::npos) rows.push_back({row, state, n});
        std::istringstream alternatives(
            open == std::string::npos ? "" : row.substr(open + 1, row.size() - open - 2));
        for (std::string alt; std::getline(alternatives, alt, '|');)
            rows.push_back({row.substr(0, open + 1) + alt + ")", state, n});
    }
    out += "\n## single draws\n";
    for (const auto& [call, state, n] : rows)
        if (!state.empty()) draw_case(out, call, state, std::stoi(n));
    for (const auto& [name, start] : run_states()) {
        out += "\n## draws @" + name + "\n";
        for (const auto& [call, state, n] : rows)
            if (state.empty()) draw_case(out, call, name, std::stoi(n));
    }
    return out;
}

// A token of the committed copy against the recomputed one: equal, or "nan*" against any NaN.
bool matches(const std::string& want, const std::string& got) {
    return want == got ||
           (want == "nan*" && got.starts_with("0x") && std::isnan(parse<double>("nan:" + got)));
}

Tokens split(const std::string& line) {
    std::istringstream in(line);
    return Tokens(std::istream_iterator<std::string>(in), {});
}

int check(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::cerr << "drawkit_golden: cannot read " << path << "\n", 2;
    std::istringstream fresh(generate());
    int bad = 0, line = 0;
    std::string want, got, context;
    for (;;) {
        // Both files advance on every line, so that the shorter one shows as the missing lines.
        const bool w = static_cast<bool>(std::getline(in, want));
        const bool g = static_cast<bool>(std::getline(fresh, got));
        if (!w && !g) break;
        ++line;
        if (w && want.starts_with("case ")) context = " in " + want;
        const Tokens a = split(w ? want : ""), b = split(g ? got : "");
        if (w && g && a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), matches))
            continue;
        if (++bad <= 20)
            std::cout << path << ":" << line << ": MISMATCH" << context
                      << "\n  expected: " << (w ? want : "<end of file>")
                      << "\n  got:      " << (g ? got : "<end of transcript>") << "\n";
    }
    std::cout << "golden transcript: "
              << (bad ? std::to_string(bad) + " lines differ from " : "all lines match ") << path
              << "\n";
    return bad ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 3 ? argv[1] : argc == 1 ? "--print" : "";
    if (mode == "--check" || mode == "--print")
        return mode == "--check" ? check(argv[2]) : std::cout << generate() ? 0 : 1;
    if (mode != "--write")
        return std::cerr << "usage: drawkit_golden [--write FILE | --check FILE]\n", 2;
    std::ofstream out(argv[2], std::ios::binary);
    return out << generate() ? 0
                             : (std::cerr << "drawkit_golden: cannot write " << argv[2] << "\n", 1);
}
