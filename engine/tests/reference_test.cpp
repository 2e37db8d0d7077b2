// The values the library promises, typed from its documentation: an independent oracle for
// the golden transcript, which the code writes itself. Each row is a call of
// tools/golden/calls.hpp, "CALL" or "CALL @STATE xN", and the tokens it must give: a number
// with a point or an exponent (or inf) stands for the bits of the double it reads as, a plain
// integer or "0x..." for an integer or a pattern, "_" for a token left unchecked; then the
// engine outputs consumed and the normal left pending, where documented. Last, what a
// transcript cannot pin: accuracy against the host's math library over sweeps of arguments.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <sstream>

#include "calls.hpp"

namespace {

using namespace golden;

struct Row {
    std::string call, want;
    int outputs = -1;
    const char* pending = nullptr;  // "none" or a decimal
};

bool same(const std::string& want, const std::string& got) {
    if (want == "_" || want == got) return true;
    if (!got.starts_with("0x") || want.starts_with("0x")) return false;
    if (want.find_first_of(".eni") != std::string::npos)
        return got == hex(bits_of(parse<double>(want)));
    // An integer, such as an engine word.
    return parse<std::uint64_t>(got.substr(2), 16) == parse<std::uint64_t>(want);
}

void check(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        std::string call = row.call, state;
        int n = 1;
        if (const auto x = call.rfind(" x"); x != std::string::npos)
            n = std::stoi(call.substr(x + 2)), call.resize(x);
        if (const auto at = call.rfind(" @"); at != std::string::npos)
            state = call.substr(at + 2), call.resize(at);
        Generator g = state.empty() ? Generator{} : golden::state(state), advanced = g;
        const Result r = run(call, g, n);
        ASSERT_FALSE(r.error) << row.call << ": " << *r.error;
        std::istringstream in(row.want);
        const Tokens want(std::istream_iterator<std::string>(in), {});
        Tokens got;
        for (const Tokens& t : r.calls) got.insert(got.end(), t.begin(), t.end());
        EXPECT_TRUE(want.size() == got.size() &&
                    std::equal(want.begin(), want.end(), got.begin(), same))
            << row.call << "\n  want " << row.want << "\n  got  " << testing::PrintToString(got);
        for (int k = 0; k < row.outputs; ++k) advanced.engine.next_u64();
        EXPECT_TRUE(row.outputs < 0 || g.engine == advanced.engine)
            << row.call << ": not " << row.outputs << " steps";
        EXPECT_TRUE(!row.pending || same(row.pending, state_tokens(g)[4]))
            << row.call << ": " << state_tokens(g)[4];
    }
}

TEST(Reference, Draws) {
    check({
        // The engine and the uniform primitives.
        {"state @seed0",
         "0xE220A8397B1DCDAF 0x6E789E6AA1B965F4 0x06C45D188009454F 0xF88BB8A8724C81EC none"},
        {"next_u64 @seed0 x3", "0x53175D61490B23DF 0x61DA6F3DC380D507 0x5C0FDF91EC9A7BFC", 3},
        {"next_u64 @seedmax", "0x56CCF8CE948E27B2", 1},
        // Three jumps: the children of split(2), then the parent's words after it.
        {"jump @seed0 x3",
         "0xFEE4F58CD4A88D82 0xEB57CB7870F7D5A3 0x076F2D192BD2720F 0xB0A71CB77110D77B "
         "0xB202109A7B981EBD 0x30B21883A48916DC 0xAF7233564CC4F636 0x97E12CBEEA73160B "
         "2637193870743929500 17766951321934472812 17745616981276139505 11704268411617192928"},
        {"next_below(10) @seed0 x5", "3 5 0 0 4", 5},
        {"next_f64 @seed0 x3", "0.3245752680314067 0.38223929651167343 0.3596172076473553", 3},
        {"uniform(0, 10) @seed0", "3.245752680314067", 1},
        {"integers(-5, 5) @seed0", "-2", 1},
        {"bernoulli(0.5) @seed0", "1", 1},
        {"integers(-9223372036854775808, 9223372036854775807) @seed0", "-3236015134823734305", 1},
        {"fill(10) @seed0", "DF230B49615D175307D5", 2},
        // Distributions.
        {"standard_normal @seed0 x2", "-1.1079085986338315 1.0114416320093498", 2, "none"},
        {"normal(5, 2) @seed0", "2.784182802732337", 2, "1.0114416320093498"},
        {"normal(5, 2) @seed42+pending", "3.5", 0, "none"},
        {"standard_normal @s2only x2", "37.64030867387419 0.0", 2},
        {"exponential(1) @seed0 x3", "0x3FD91D4DBCA40FAA 0x3FDED36BC021E789 0x3FDC862BDC96BBB6", 3},
        {"laplace(0, 1) @seed0 x3", "0xBFB6D8780DF75F7C 0x3FDBC966A5F3C711 0x3FE536E7647FDD59", 6},
        {"cauchy(0, 1) @seed0 x3", "0xBFE3AB1CAF91CB79 0xBFD8D1EC7A635F3E 0xBFDE35CE0181B285", 3},
        {"cauchy(0, 1) @zero", "0xC34D02967C38F825"},
        {"cauchy(2, 3) @half", "2.0", 1},
        {"gamma(2.5, 1) @seed0", "0.9108053946816232", 3, "1.0114416320093498"},
        {"gamma(0.5, 1) @seed0", "0.04741673199200492", 4, "1.0707271825228197"},
        {"beta(2, 3) @seed0", "0.11466549111208471", 4, "none"},
        // Finite draws whose sum overflows: the draws are scaled by 2^-64 before the division.
        // beta makes its two draws twice and ends where the first pass did. The third share is
        // the gamma(1) draw 2.1608681371476766 over 2e308 (each scaled first).
        {"beta(1e+308, 1e+308) @seed0", "0.5", 4, "none"},
        {"dirichlet([1e+308, 1e+308, 1]) @seed0", "0.5 0.5 1.080434068573838e-308"},
        {"chisquare(3) @seed0", "0.6650228792907993", 3, "1.0114416320093498"},
        {"student_t(5) @seed0", "-0.8734246688339767", 3, "none"},
        // The sampler's paths: accepted by the log test; rejected by it, then the squeeze; s <= 0,
        // then the cached sine member; rejected and accepted by the log test.
        {"gamma(1, 1) @seed3", "0.04427623104224786", 3, "-1.9518851161400188"},
        {"gamma(1, 1) @seed25", "0.34309886905110204", 4, "none"},
        {"gamma(1, 1) @seed140", "0.4128876234239435", 3, "none"},
        {"gamma(1, 1) @seed239", "4.546925100823645", 4, "none"},
        {"standard_gamma(1e-200) @seed0", "0.0"},
        {"poisson(25) @seed0 x5", "22 23 25 22 22", 12},
        {"poisson(9.5) @seed0 x5", "5 6 5 5 7", 33},
        {"poisson(0.001) @seed0 x5", "0 0 0 0 0", 5},
        {"poisson(1e+20) @seed0 x2", "18446744073709551615 18446744073709551615", 4},
        {"ln_gamma(3)", "0.6931471805599458"},
        {"ln_gamma(100)", "359.1342053695754"},
        {"ptrs_setup(10)",
         "_ _ 8.931562480225999 0.16277069638401157 1.3286884307642708 0.40510498475866097 _ _"},
        {"geometric(0.1) @seed0 x5", "4 5 5 1 7", 5},
        {"binomial(100, 0.5) @seed0 x3", "57 51 53", 300},
        {"dirichlet([5]) @seed0", "1.0"},
        {"dirichlet([1, 2, 3]) @seed0",
         "0.012830738190140585 0.39162565342605204 0.5955436083838075", 7, "0.15275294544413673"},
        {"multivariate_normal([1, -1], [2, 0, 0.5, 1]) @seed0",
         "-1.215817197267663 -0.542512667307566", 2, "none"},
        {"multinomial(10, [0.2, 0.3, 0.5]) @seed0", "3 5 2", 10},
        // Sampling and the alias table.
        {"partial_fisher_yates(10, 4) @seed0", "3 5 6 9 reads 3 0 5 1 6 2 9", 4},
        {"permutation(5) @seed0", "2 0 1 4 3", 4},
        {"bootstrap_indices(5) @seed0", "3 0 0 0 4", 5},
        {"systematic_resample([7], 3) @seed0", "0 0 0", 1},
        {"systematic_resample([1, 2, 3, 4], 8) @seed0", "0 1 1 2 2 3 3 3", 1},
        {"systematic_resample([1, 0, 0], 4) @seed0", "0 0 0 0", 1},
        {"alias_table([1, 2, 3, 4])", "10.0 0.4 0.8 1.0 0.8000000000000002 3 3 0 2"},
        {"alias_draw([1, 2, 3, 4]) @seed0 x8", "3 0 2 2 3 0 1 2", 16},
        {"alias_table([0, 1])", "_ 0.0 1.0 1 0"},
        {"alias_draw([0, 1]) @seed0 x4", "1 1 1 1"},
        {"alias_table([1, -0])", "1.0 1.0 -0.0 0 0"},
    });
    // n * n wraps to 0 in 64 bits: an empty factor is still refused.
    if constexpr (sizeof(std::size_t) == 8) {
        EXPECT_TRUE(check_multivariate_normal(std::size_t{1} << 32, 0));
    }
}

TEST(Reference, PureFunctions) {
    const std::string trig = " _ _ _ _ _";
    const auto zeros = [](std::size_t n) { return std::string(n, '0'); };
    check({
        {"ln(2)", "0x3FE62E42FEFA39EF _ _"},
        {"ln(1e-310)", "0xC0864E69394D9508 _ _"},
        {"exp(1)", "0x4005BF0A8B14576A"},
        {"exp(709.782712893384)", "0x7FEFFFFFFFFFFF2A"},
        {"exp(-745.1332191019411)", "0x0000000000000001"},
        {"sin,cos,tan(1)", "0x3FEAED548F090CEE 0x3FE14A280FB5068C 0x3FF8EB245CBEE3A5" + trig},
        {"sin,cos,tan(3.141592653589793)", "0x3CA1A62633100000 _ _" + trig},
        {"sin,cos,tan(1.5707963267948966)", "_ 0x3C91A62633100000 0x434D02967C38F825" + trig},
        {"sin,cos,tan(1e-300)", "0x01A56E1FC2F8F359 1.0 _" + trig},
        {"powf(2, 0.5)", "0x3FF6A09E667F3BCC"},
        {"powf(10, 300)", "0x7E37E43C880075AE"},
        {"powf(3, -647)", "0x00017174F38DF4C9"},
        {"powf(0.5, 1074.5)", "0x0000000000000001"},
        {"powf(2, -1074)", "5e-324"},
        // Numbers as the messages write them.
        {"format_float(1)", "1"},
        {"format_float(1e-07)", "0.0000001"},
        {"format_float(nan:0xFFF8000000000000)", "NaN"},
        {"format_float(inf)", "inf"},
        {"format_float(1e+23)", "100000000000000000000000"},
        {"format_float(6.59698104516355e+16)", "65969810451635500"},
        {"format_float(5e-324)", "0." + zeros(323) + "5"},
        {"format_float(1.7976931348623157e+308)", "17976931348623157" + zeros(292)},
    });
}

// The array form runs the steps of the map form: the same positions from the same outputs,
// over several blocks (where the array form draws ahead) and at every fraction of n.
TEST(Reference, SamplePositionsFollowTheMap) {
    const std::pair<std::uint64_t, std::uint64_t> sizes[] = {
        {5, 5},      {10, 4},   {1000, 1000},
        {1000, 999}, {1000, 7}, {kPollBlock * 2 + 5, kPollBlock + 9}};
    for (const auto& [n, k] : sizes) {
        Generator by_map = Generator::from_seed(n + k), by_array = by_map;
        std::vector<std::uint64_t> want(k), got(n);
        partial_fisher_yates<std::uint64_t>(
            by_map.engine, n, k, [](std::uint64_t pos, std::uint64_t& v) { return v = pos, true; },
            [&](std::uint64_t i, std::uint64_t v) { want[i] = v; });
        sample_positions(by_array.engine, n, k, got.data());
        got.resize(k);
        EXPECT_EQ(got, want) << n << " " << k;
        EXPECT_TRUE(by_array.engine == by_map.engine) << n << " " << k;
    }
}

// Accuracy against the host's math library: arguments uniform in [lo, hi] (or 2^t for t
// uniform in [lo, hi]), error within one unit in the last place of max(|host|, floor).
// Floor 1 makes the error absolute: the reduction by pi/2 loses digits of results near zero.
TEST(Reference, AccuracyAgainstTheHost) {
    struct Sweep {
        double (*ours)(double), (*host)(double);
        bool binades;
        double lo, hi, floor;
    };
    const Sweep sweeps[] = {
        {pm::ln, std::log, true, -1074, 1024, 0},
        {pm::ln, std::log, false, 0, 2, 0},
        {pm::exp, std::exp, false, -745, 709.78, 0x1p-1021},
        {pm::exp, std::exp, false, -2, 2, 0},
        {pm::sin, std::sin, false, -0.785, 0.785, 0},
        {pm::cos, std::cos, false, -0.785, 0.785, 0},
        {pm::sin, std::sin, false, -1e6, 1e6, 1},
        {pm::cos, std::cos, false, 0, 6.3, 1},
    };
    Xoshiro256PlusPlus e = Xoshiro256PlusPlus::from_seed(2024);
    for (const Sweep& s : sweeps) {
        for (int i = 0; i < 20000; ++i) {
            const double t = s.lo + (s.hi - s.lo) * next_f64(e), x = s.binades ? std::exp2(t) : t;
            const double ours = s.ours(x), host = s.host(x),
                         scale = std::max(std::fabs(host), s.floor);
            ASSERT_LE(std::fabs(ours - host), std::nextafter(scale, INFINITY) - scale)
                << arg(x) << ": " << arg(ours);
        }
    }
}

}  // namespace
