// The committed golden vectors (golden/golden.txt) against the documented worked values.
//
// drawkit_golden --check proves that a build reproduces the golden file bit for bit; this
// suite proves that the file itself is right where the documented values say what they
// must be, so that a wrong value cannot be frozen into it unnoticed. Draw counts are pinned
// by comparing the state the file records after a case with an engine advanced by the
// expected number of outputs.
#include <gtest/gtest.h>

#include <bit>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "xoshiro256pp.hpp"

namespace drawkit {
namespace {

std::string hex(std::uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%016" PRIX64, v);
    return buf;
}

std::string bits(double x) { return hex(std::bit_cast<std::uint64_t>(x)); }

std::vector<std::string> tokens(const std::string& s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    std::string t;
    while (in >> t) out.push_back(t);
    return out;
}

// The file as two maps: a case ("normal(5, 2) @seed0 x1") to its results and final state,
// and a math line's left-hand side ("ln(0.7)") to the tokens after " = " or " -> ".
struct Golden {
    struct Case {
        std::vector<std::string> values;
        std::vector<std::string> state;  // s0 s1 s2 s3 pending
    };
    std::map<std::string, Case> cases;
    std::map<std::string, std::string> lines;
    bool loaded = false;

    static const Golden& get() {
        static const Golden g = load();
        return g;
    }

    static Golden load() {
        Golden g;
        const auto path = std::filesystem::path(__FILE__).parent_path() / "golden" / "golden.txt";
        std::ifstream in(path);
        if (!in) return g;
        g.loaded = true;
        std::string line, current;
        while (std::getline(in, line)) {
            if (line.rfind("case ", 0) == 0) {
                current = line.substr(5);
                if (g.cases.count(current)) current.clear();  // repeated cases hold the same values
                else g.cases[current];
                continue;
            }
            if (line.rfind("  state ", 0) == 0) {
                if (!current.empty()) g.cases[current].state = tokens(line.substr(8));
                current.clear();
                continue;
            }
            if (line.rfind("  ", 0) == 0) {
                if (!current.empty()) {
                    for (auto& t : tokens(line)) g.cases[current].values.push_back(t);
                }
                continue;
            }
            for (const char* sep : {" = ", " -> "}) {
                const auto at = line.find(sep);
                if (at != std::string::npos) {
                    g.lines.emplace(line.substr(0, at), line.substr(at + std::string(sep).size()));
                    break;
                }
            }
        }
        return g;
    }
};

const Golden::Case& case_of(const std::string& key) {
    static const Golden::Case missing{{"<missing case>"}, {}};
    const auto& g = Golden::get();
    const auto it = g.cases.find(key);
    if (it == g.cases.end()) ADD_FAILURE() << "no case \"" << key << "\" in the golden file";
    return it == g.cases.end() ? missing : it->second;
}

std::vector<std::string> values(const std::string& key) { return case_of(key).values; }

// The first token after "lhs = ".
std::string result(const std::string& lhs) {
    const auto& g = Golden::get();
    const auto it = g.lines.find(lhs);
    if (it == g.lines.end()) ADD_FAILURE() << "no line \"" << lhs << " = ...\" in the golden file";
    return it == g.lines.end() ? "<missing line>" : tokens(it->second).front();
}

std::vector<std::string> result_tokens(const std::string& lhs) {
    const auto& g = Golden::get();
    const auto it = g.lines.find(lhs);
    if (it == g.lines.end()) ADD_FAILURE() << "no line \"" << lhs << " = ...\" in the golden file";
    return it == g.lines.end() ? std::vector<std::string>{} : tokens(it->second);
}

std::vector<std::string> words(const Xoshiro256PlusPlus& e) { return {hex(e.s0), hex(e.s1), hex(e.s2), hex(e.s3)}; }

// The recorded state after a case: its four words, compared with seed 0's engine after
// `outputs` steps, and the pending normal ("none" or a pattern).
void expect_state(const std::string& key, std::uint64_t outputs, const std::string& pending) {
    Xoshiro256PlusPlus e = Xoshiro256PlusPlus::from_seed(0);
    for (std::uint64_t i = 0; i < outputs; ++i) e.next_u64();
    const auto& s = case_of(key).state;
    ASSERT_EQ(s.size(), 5U) << key;
    EXPECT_EQ(std::vector<std::string>(s.begin(), s.begin() + 4), words(e))
        << key << ": after " << outputs << " outputs";
    EXPECT_EQ(s[4], pending) << key;
}

using V = std::vector<std::string>;

TEST(GoldenFile, IsPresent) {
    ASSERT_TRUE(Golden::get().loaded) << "golden/golden.txt not found beside " << __FILE__;
    EXPECT_GT(Golden::get().cases.size(), 500U);
}

TEST(GoldenFile, EngineSeedingStepAndJump) {
    EXPECT_EQ(values("next_u64 @seed0 x3"), (V{"0x53175D61490B23DF", "0x61DA6F3DC380D507", "0x5C0FDF91EC9A7BFC"}));
    EXPECT_EQ(values("next_u64 @seedmax x1"), (V{"0x56CCF8CE948E27B2"}));
    // split(2) from seed 0: the children at one and two jumps, the parent at three.
    EXPECT_EQ(values("jump @seed0 x3"),
              (V{"0xFEE4F58CD4A88D82", "0xEB57CB7870F7D5A3", "0x076F2D192BD2720F", "0xB0A71CB77110D77B",
                 hex(12826832944389168829ULL), hex(3508894013355267804ULL), hex(12642223549730584118ULL),
                 hex(10944077767975835147ULL), hex(2637193870743929500ULL), hex(17766951321934472812ULL),
                 hex(17745616981276139505ULL), hex(11704268411617192928ULL)}));
    EXPECT_EQ(values("next_u64 @zero x3"), (V{"0x0000000000000000", "0x0000000000000000", "0x0000000000000000"}));
    EXPECT_EQ(case_of("jump @zero x1").state, (V{"0x0000000000000000", "0x0000000000000000", "0x0000000000000000",
                                                 "0x0000000000000000", "none"}));
    EXPECT_EQ(values("next_below(10) @seed0 x3"), (V{"3", "5", "0"}));
    EXPECT_EQ(values("next_below(1) @seed0 x1"), (V{"0"}));
    expect_state("next_below(1) @seed0 x1", 1, "none");
}

TEST(GoldenFile, GeneratorStateWords) {
    // Generator(0).state(), and the state after one random().
    const auto& g = Golden::get();
    ASSERT_TRUE(g.loaded);
    EXPECT_EQ(case_of("uniform(0, 10) @seed0 x1").state,
              (V{hex(8418229340007311799ULL), hex(9987976044988984596ULL), hex(15578433054471653600ULL),
                 hex(13583721647463488126ULL), "none"}));
    expect_state("next_u64 @seed0 x48", 48, "none");
}

TEST(GoldenFile, UniformPrimitives) {
    EXPECT_EQ(values("next_f64 @seed0 x3"),
              (V{bits(0.3245752680314067), bits(0.38223929651167343), bits(0.3596172076473553)}));
    EXPECT_EQ(values("uniform(0, 10) @seed0 x1"), (V{bits(3.245752680314067)}));
    EXPECT_EQ(values("uniform(1, 2) @ones x1"), (V{bits(2.0)}));
    EXPECT_EQ(values("integers(0, 10) @seed0 x1"), (V{"3"}));
    EXPECT_EQ(values("integers(-5, 5) @seed0 x1"), (V{"-2"}));
    EXPECT_EQ(values("integers(-9223372036854775808, 9223372036854775807) @seed0 x1"), (V{"-3236015134823734305"}));
    EXPECT_EQ(values("bernoulli(0.5) @seed0 x1"), (V{"1"}));
    EXPECT_EQ(values("fill(10), next_f64 @seed0 x1"), (V{"DF230B49615D175307D5", bits(0.3596172076473553)}));
    expect_state("fill(10), next_f64 @seed0 x1", 3, "none");
}

TEST(GoldenFile, NormalFamily) {
    EXPECT_EQ(values("standard_normal @seed0 x2"), (V{bits(-1.1079085986338315), bits(1.0114416320093498)}));
    expect_state("standard_normal @seed0 x2", 2, "none");
    EXPECT_EQ(values("normal(5, 2) @seed0 x1"), (V{bits(2.784182802732337)}));
    expect_state("normal(5, 2) @seed0 x1", 2, bits(1.0114416320093498));
    EXPECT_EQ(values("lognormal(0, 1) @seed0 x1"), (V{bits(0.330248922378132)}));
    EXPECT_EQ(values("standard_normal @s2only x2"), (V{bits(37.64030867387419), bits(0.0)}));
    EXPECT_EQ(values("lognormal(1000, 1), lognormal(-1000, 1) @seed0 x1"), (V{"0x7FF0000000000000", bits(0.0)}));
}

TEST(GoldenFile, ExponentialLaplaceCauchy) {
    EXPECT_EQ(values("exponential(1) @seed0 x3"),
              (V{"0x3FD91D4DBCA40FAA", "0x3FDED36BC021E789", "0x3FDC862BDC96BBB6"}));
    expect_state("exponential(1) @seed0 x3", 3, "none");
    EXPECT_EQ(values("exponential(1) @zero x1"), (V{bits(-0.0)}));
    EXPECT_EQ(values("exponential(1) @ones x1"), (V{"0x40425E4F7B2737FA"}));  // 36.7368005696771
    EXPECT_EQ(values("laplace(0, 1) @seed0 x3"), (V{"0xBFB6D8780DF75F7C", "0x3FDBC966A5F3C711", "0x3FE536E7647FDD59"}));
    expect_state("laplace(0, 1) @seed0 x3", 6, "none");
    EXPECT_EQ(values("cauchy(0, 1) @seed0 x3"), (V{"0xBFE3AB1CAF91CB79", "0xBFD8D1EC7A635F3E", "0xBFDE35CE0181B285"}));
    EXPECT_EQ(values("cauchy(-3, 2) @seed0 x1"), (V{bits(-4.229275403803255)}));
    EXPECT_EQ(values("cauchy(0, 1) @zero x1"), (V{"0xC34D02967C38F825"}));
}

TEST(GoldenFile, GammaFamily) {
    EXPECT_EQ(values("gamma(2.5, 1) @seed0 x1"), (V{bits(0.9108053946816232)}));
    EXPECT_EQ(case_of("gamma(2.5, 1) @seed0 x1").state.back(), bits(1.0114416320093498));
    EXPECT_EQ(values("gamma(0.5, 1) @seed0 x1"), (V{bits(0.04741673199200492)}));
    EXPECT_EQ(case_of("gamma(0.5, 1) @seed0 x1").state.back(), bits(1.0707271825228197));
    EXPECT_EQ(values("gamma(1, 1) @seed0 x1"), (V{bits(0.10952990281789315)}));
    EXPECT_EQ(values("beta(2, 3) @seed0 x1"), (V{bits(0.11466549111208471)}));
    EXPECT_EQ(values("chisquare(3) @seed0 x1"), (V{bits(0.6650228792907993)}));
    EXPECT_EQ(values("student_t(5) @seed0 x1"), (V{bits(-0.8734246688339767)}));
    EXPECT_EQ(values("gamma(1, 1) @seed3 x1"), (V{bits(0.04427623104224786)}));
    EXPECT_EQ(case_of("gamma(1, 1) @seed3 x1").state.back(), bits(-1.9518851161400188));
    EXPECT_EQ(values("gamma(1, 1) @seed25 x1"), (V{bits(0.34309886905110204)}));
    EXPECT_EQ(case_of("gamma(1, 1) @seed25 x1").state.back(), "none");
    EXPECT_EQ(values("gamma(1, 1) @seed140 x1"), (V{bits(0.4128876234239435)}));
    EXPECT_EQ(case_of("gamma(1, 1) @seed140 x1").state.back(), "none");
    EXPECT_EQ(values("gamma(1, 1) @seed239 x1"), (V{bits(4.546925100823645)}));
}

TEST(GoldenFile, CountingDistributionsAndTheirOutputCounts) {
    EXPECT_EQ(values("poisson(25) @seed0 x5"), (V{"22", "23", "25", "22", "22"}));
    expect_state("poisson(25) @seed0 x5", 12, "none");
    EXPECT_EQ(values("poisson(9.5) @seed0 x5"), (V{"5", "6", "5", "5", "7"}));
    expect_state("poisson(9.5) @seed0 x5", 33, "none");
    EXPECT_EQ(values("poisson(3) @seed0 x3"), (V{"2", "0", "1"}));
    expect_state("poisson(3) @seed0 x3", 6, "none");
    EXPECT_EQ(values("poisson(10) @seed0 x3"), (V{"8", "9", "10"}));
    expect_state("poisson(10) @seed0 x3", 6, "none");
    EXPECT_EQ(values("poisson(1000) @seed0 x3"), (V{"984", "987", "1000"}));
    expect_state("poisson(1000) @seed0 x3", 6, "none");
    EXPECT_EQ(values("poisson(0.001) @seed0 x5"), (V{"0", "0", "0", "0", "0"}));
    expect_state("poisson(0.001) @seed0 x5", 5, "none");
    EXPECT_EQ(values("poisson(1e+20) @seed0 x2"), (V{"18446744073709551615", "18446744073709551615"}));
    expect_state("poisson(1e+20) @seed0 x2", 4, "none");
    EXPECT_EQ(values("geometric(0.1) @seed0 x5"), (V{"4", "5", "5", "1", "7"}));
    EXPECT_EQ(values("geometric(0.01) @seed0 x5"), (V{"40", "48", "45", "2", "69"}));
    expect_state("geometric(0.01) @seed0 x5", 5, "none");
    EXPECT_EQ(values("geometric(0.25) @seed0 x3"), (V{"2", "2", "2"}));
    expect_state("geometric(1) @seed0 x1", 0, "none");
    EXPECT_EQ(values("binomial(10, 0.3) @seed0 x3"), (V{"4", "5", "6"}));
    expect_state("binomial(10, 0.3) @seed0 x3", 30, "none");
    EXPECT_EQ(values("binomial(100, 0.5) @seed0 x3"), (V{"57", "51", "53"}));

    EXPECT_EQ(result("ln_gamma(1)"), bits(0.0));
    EXPECT_EQ(result("ln_gamma(2)"), bits(0.0));
    EXPECT_EQ(result("ln_gamma(3)"), bits(0.6931471805599458));
    EXPECT_EQ(result("ln_gamma(4)"), bits(1.7917594692280556));
    EXPECT_EQ(result("ln_gamma(6)"), bits(4.787491742782047));
    EXPECT_EQ(result("ln_gamma(7)"), bits(6.579251212010101));
    EXPECT_EQ(result("ln_gamma(100)"), bits(359.1342053695754));
    const auto setup = result_tokens("ptrs_setup(10)");
    ASSERT_EQ(setup.size(), 8U);
    EXPECT_EQ(setup[2], bits(8.931562480225999));    // b
    EXPECT_EQ(setup[3], bits(0.16277069638401157));  // a
    EXPECT_EQ(setup[4], bits(1.3286884307642708));   // invalpha
    EXPECT_EQ(setup[5], bits(0.40510498475866097));  // vr
}

TEST(GoldenFile, VectorDraws) {
    EXPECT_EQ(values("dirichlet([1, 2, 3]) @seed0 x1"),
              (V{bits(0.012830738190140585), bits(0.39162565342605204), bits(0.5955436083838075)}));
    EXPECT_EQ(values("multivariate_normal([1, -1], [2, 0, 0.5, 1]) @seed0 x1"),
              (V{bits(-1.215817197267663), bits(-0.542512667307566)}));
    expect_state("multivariate_normal([1, -1], [2, 0, 0.5, 1]) @seed0 x1", 2, "none");
    // n = 3 takes two pairs and leaves the fourth normal pending.
    EXPECT_NE(case_of("multivariate_normal([0, 0, 0], identity) @seed0 x1").state.back(), "none");
    expect_state("multivariate_normal([0, 0, 0], identity) @seed0 x1", 4,
                 case_of("multivariate_normal([0, 0, 0], identity) @seed0 x1").state.back());
    EXPECT_EQ(values("multinomial(10, [0.2, 0.3, 0.5]) @seed0 x1"), (V{"3", "5", "2"}));
    expect_state("multinomial(10, [0.2, 0.3, 0.5]) @seed0 x1", 10, "none");
}

TEST(GoldenFile, SequenceSamplingAndAliasTable) {
    EXPECT_EQ(values("next_below(10) @seed0 x5"), (V{"3", "5", "0", "0", "4"}));  // choices(range(10), 5)
    EXPECT_EQ(values("partial_fisher_yates(10, 4) @seed0 x1"), (V{"3", "5", "6", "9"}));
    EXPECT_EQ(values("partial_fisher_yates(5, 5) @seed0 x1"), (V{"3", "4", "0", "2", "1"}));
    expect_state("partial_fisher_yates(5, 5) @seed0 x1", 5, "none");
    EXPECT_EQ(values("permutation(5) @seed0 x1"), (V{"2", "0", "1", "4", "3"}));
    expect_state("permutation(5) @seed0 x1", 4, "none");
    EXPECT_EQ(values("bootstrap_indices(5) @seed0 x1"), (V{"3", "0", "0", "0", "4"}));
    EXPECT_EQ(values("systematic_resample([1, 2, 3, 4], 8) @seed0 x1"), (V{"0", "1", "1", "2", "2", "3", "3", "3"}));
    expect_state("systematic_resample([1, 2, 3, 4], 8) @seed0 x1", 1, "none");
    EXPECT_EQ(values("alias_draw([1, 2, 3, 4]) @seed0 x8"), (V{"3", "0", "2", "2", "3", "0", "1", "2"}));
    expect_state("alias_draw([1, 2, 3, 4]) @seed0 x8", 16, "none");

    // The table of weights [1, 2, 3, 4]: prob, then alias, as written after "table [1, 2, 3, 4]".
    const auto path = std::filesystem::path(__FILE__).parent_path() / "golden" / "golden.txt";
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line) && line != "table [1, 2, 3, 4]") {
    }
    std::vector<std::string> block;
    for (int i = 0; i < 5 && std::getline(in, line); ++i) block.push_back(line);
    ASSERT_EQ(block.size(), 5U);
    EXPECT_EQ(tokens(block[2]), (V{bits(0.4), bits(0.8), bits(1.0), bits(0.8000000000000002)}));
    EXPECT_EQ(tokens(block[4]), (V{"3", "3", "0", "2"}));
}

TEST(GoldenFile, PortableMathReferenceRows) {
    const std::vector<std::pair<std::string, std::uint64_t>> rows = {
        {"ln(2)", 0x3FE62E42FEFA39EFULL},
        {"ln(10)", 0x40026BB1BBB55516ULL},
        {"ln(0.1)", 0xC0026BB1BBB55515ULL},
        {"ln(0.7)", 0xBFD6D3C324E13F50ULL},
        {"ln(1e-310)", 0xC0864E69394D9508ULL},
        {"ln(5e-324)", 0xC0874385446D71C3ULL},
        {"ln(1)", 0x0000000000000000ULL},
        {"ln(1.4142135623730951)", 0x3FD62E42FEFA39F0ULL},
        {"ln(1.4142135623730954)", 0x3FD62E42FEFA39F3ULL},
        {"ln(0.7071067811865475)", 0xBFD62E42FEFA39F0ULL},
        {"ln(-0)", 0xFFF0000000000000ULL},
        {"ln(-1)", 0x7FF8000000000000ULL},
        {"ln(nan:0xFFF8000000000000)", 0x7FF8000000000000ULL},
        {"exp(1)", 0x4005BF0A8B14576AULL},
        {"exp(-1)", 0x3FD78B56362CEF38ULL},
        {"exp(0.25)", 0x3FF48B5E3C3E8186ULL},
        {"exp(0.34657359027997264)", 0x3FF6A09E667F3BCCULL},
        {"exp(10)", 0x40D5829DCF950560ULL},
        {"exp(100)", 0x48F3494A9B171BF5ULL},
        {"exp(-740)", 0x0000000000000055ULL},
        {"exp(-710.513801076869)", 0x0001ECF027C4293EULL},
        {"exp(709.782712893384)", 0x7FEFFFFFFFFFFF2AULL},
        {"exp(709.7827128933841)", 0x7FF0000000000000ULL},
        {"exp(-745.1332191019411)", 0x0000000000000001ULL},
        {"exp(-745.1332191019412)", 0x0000000000000000ULL},
        {"exp(-0)", 0x3FF0000000000000ULL},
        {"exp(1e-20)", 0x3FF0000000000000ULL},
        {"powf(2, 0.5)", 0x3FF6A09E667F3BCCULL},
        {"powf(0.3, 0.3333333333333333)", 0x3FE56BFEA66EF78EULL},
        {"powf(0.25, 0.1)", 0x3FEBDB8CDADBE121ULL},
        {"powf(7, -2)", 0x3F94E5E0A72F053AULL},
        {"powf(10, 2)", 0x4059000000000000ULL},
        {"powf(10, -1)", 0x3FB9999999999999ULL},
        {"powf(10, 300)", 0x7E37E43C880075AEULL},
        {"powf(10, -320)", 0x00000000000007E8ULL},
        {"powf(2, 1023)", 0x7FE0000000000035ULL},
        {"powf(2, 1023.5)", 0x7FE6A09E667F3C18ULL},
        {"powf(2, -1022)", 0x000FFFFFFFFFFFCAULL},
        {"powf(3, 646)", 0x7FED906A378B5A76ULL},
        {"powf(3, -647)", 0x00017174F38DF4C9ULL},
        {"powf(0.5, 1074.5)", 0x0000000000000001ULL},
        {"powf(5e-324, 0.5)", 0x1E5FFFFFFFFFFFFFULL},
        {"powf(nan:0x7FF8000000000000, 0)", 0x7FF8000000000000ULL},
        {"powf(1, nan:0x7FF8000000000000)", 0x7FF8000000000000ULL},
        {"powf(2, 1024)", 0x7FF0000000000000ULL},
        {"powf(2, -1074)", 0x0000000000000001ULL},
        {"powf(2, -1075)", 0x0000000000000000ULL},
        {"powf(-1, 2)", 0x7FF8000000000000ULL},
        {"powf(0, -1)", 0x7FF0000000000000ULL},
    };
    for (const auto& [lhs, expected] : rows) EXPECT_EQ(result(lhs), hex(expected)) << lhs;
    // powf's operands beyond the exact splitting meet inf - inf: an arithmetic NaN.
    EXPECT_EQ(result("powf(2, 1e+301)"), "nan*");

    const std::vector<std::pair<std::string, std::vector<std::uint64_t>>> trig = {
        {"sin,cos,tan(1)", {0x3FEAED548F090CEEULL, 0x3FE14A280FB5068CULL, 0x3FF8EB245CBEE3A5ULL}},
        {"sin,cos,tan(-2)", {0xBFED18F6EAD1B445ULL, 0xBFDAA22657537205ULL, 0x40017AF62E0950F7ULL}},
        {"sin,cos,tan(3)", {0x3FC210386DB6D55BULL, 0xBFEFAE04BE85E5D2ULL, 0xBFC23EF71254B86FULL}},
        {"sin,cos,tan(100)", {0xBFE03425B78C4DB8ULL, 0x3FEB981DBF665FDFULL, 0xBFE2CA74D62B5D38ULL}},
        {"sin,cos,tan(999999)", {0xBFEF4677C48458B5ULL, 0x3FCB165CDE80DDD4ULL, 0xC0127945CD39B0E8ULL}},
        {"sin,cos,tan(-0)", {0x0000000000000000ULL, 0x3FF0000000000000ULL, 0x0000000000000000ULL}},
        {"sin,cos,tan(1e+06)", {0x7FF8000000000000ULL, 0x7FF8000000000000ULL, 0x7FF8000000000000ULL}},
        {"sin,cos,tan(-inf)", {0x7FF8000000000000ULL, 0x7FF8000000000000ULL, 0x7FF8000000000000ULL}},
    };
    for (const auto& [lhs, expected] : trig) {
        const auto got = result_tokens(lhs);
        ASSERT_GE(got.size(), 3U) << lhs;
        for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(got[i], hex(expected[i])) << lhs << " #" << i;
    }
    EXPECT_EQ(result("sin,cos,tan(999999.9999999999)"), hex(0xBFD6664B2586D246ULL));
    EXPECT_EQ(result("sin,cos,tan(3.141592653589793)"), hex(0x3CA1A62633100000ULL));
    EXPECT_EQ(result_tokens("sin,cos,tan(1.5707963267948966)").at(1), hex(0x3C91A62633100000ULL));
    EXPECT_EQ(result_tokens("sin,cos,tan(1.5707963267948966)").at(2), hex(0x434D02967C38F825ULL));
    EXPECT_EQ(result_tokens("sin,cos,tan(1e-300)").at(0), hex(0x01A56E1FC2F8F359ULL));
    EXPECT_EQ(result_tokens("sin,cos,tan(1e-300)").at(1), hex(0x3FF0000000000000ULL));
    EXPECT_EQ(result("sin,cos,tan(-5e-324)"), hex(0x8000000000000001ULL));
}

TEST(GoldenFile, MessagesAndNumberFormat) {
    const auto& g = Golden::get();
    ASSERT_TRUE(g.loaded);
    EXPECT_EQ(g.lines.at("require_positive(scale, 0)"), "error: scale must be a positive, finite number, got 0");
    EXPECT_EQ(g.lines.at("require_positive(scale, -inf)"), "error: scale must be a positive, finite number, got -inf");
    EXPECT_EQ(g.lines.at("require_positive(scale, 5e-324)"), "ok");
    EXPECT_EQ(g.lines.at("require_probability(1.0000000000000002)"),
              "error: p must be a probability between 0 and 1, got 1.0000000000000002");
    EXPECT_EQ(g.lines.at("check_uniform(0, inf)"),
              "error: uniform(0, inf): high must be greater than low, and both must be finite");
    EXPECT_EQ(g.lines.at("check_multivariate_normal(2, 3)"),
              "error: cholesky_factor must have 2*2=4 entries (a flat, row-major 2x2 matrix) for a mean of length 2, "
              "got 3");
    // n * n is formed in 64 bits, also where size_t has 32.
    EXPECT_EQ(g.lines.at("check_multivariate_normal(65536, 0)"),
              "error: cholesky_factor must have 65536*65536=4294967296 entries (a flat, row-major 65536x65536 matrix) "
              "for a mean of length 65536, got 0");
    EXPECT_EQ(g.lines.at("format_float(-0)"), "-0");
    EXPECT_EQ(g.lines.at("format_float(1e-07)"), "0.0000001");
}

}  // namespace
}  // namespace drawkit
