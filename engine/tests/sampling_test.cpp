// Index draws, the partial Fisher-Yates position stream, systematic resampling and the
// alias table against their reference values and draw counts.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "sampling.hpp"

namespace drawkit {
namespace {

using E = Xoshiro256PlusPlus;

// The engine of seed `seed` after `outputs` outputs.
E advanced(std::uint64_t seed, int outputs) {
    E e = E::from_seed(seed);
    for (int i = 0; i < outputs; ++i) e.next_u64();
    return e;
}

std::uint64_t bits(double x) { return std::bit_cast<std::uint64_t>(x); }

// --- permutation, shuffle, bootstrap -----------------------------------------------------

TEST(SamplingPermutation, SeedZeroOfFive) {
    E e = E::from_seed(0);
    std::vector<std::uint64_t> v(5);
    permutation(e, v.data(), v.size());
    EXPECT_EQ(v, (std::vector<std::uint64_t>{2, 0, 1, 4, 3}));
    EXPECT_EQ(e, advanced(0, 4));
}

TEST(SamplingPermutation, ShortInputsTouchNothing) {
    E e = E::from_seed(0);
    std::uint64_t one = 7;
    permutation(e, nullptr, 0);
    permutation(e, &one, 1);
    EXPECT_EQ(one, 0U);
    EXPECT_EQ(e, E::from_seed(0));
}

TEST(SamplingPermutation, ShuffleMatchesPermutationAndSwapsPairsOnEvenOutputs) {
    E e = E::from_seed(0);
    int items[5] = {0, 1, 2, 3, 4};
    shuffle_in_place(e, items, 5);
    EXPECT_EQ(std::vector<int>(items, items + 5), (std::vector<int>{2, 0, 1, 4, 3}));

    for (std::uint64_t seed = 0; seed < 8; ++seed) {
        E probe = E::from_seed(seed);
        const bool even = probe.next_u64() % 2 == 0;
        E walk = E::from_seed(seed);
        int pair[2] = {10, 20};
        shuffle_in_place(walk, pair, 2);
        EXPECT_EQ(pair[0], even ? 20 : 10) << "seed " << seed;
        EXPECT_EQ(walk, probe);
    }
}

TEST(SamplingBootstrap, SeedZeroAndTheEmptyCheck) {
    E e = E::from_seed(0);
    std::vector<std::uint64_t> v(5);
    bootstrap_indices(e, v.data(), v.size());
    EXPECT_EQ(v, (std::vector<std::uint64_t>{3, 0, 0, 0, 4}));
    EXPECT_EQ(e, advanced(0, 5));
    EXPECT_EQ(check_bootstrap_indices(0), "bootstrap_indices(0) has no valid indices to draw");
    EXPECT_FALSE(check_bootstrap_indices(1));
}

// --- element-selection checks -----------------------------------------------------------

TEST(SamplingChecks, Messages) {
    EXPECT_EQ(check_choice(0), "choice() called on an empty sequence");
    EXPECT_FALSE(check_choice(1));
    EXPECT_EQ(check_choices(0), "choices() called on an empty sequence");
    EXPECT_FALSE(check_choices(1));
    EXPECT_EQ(check_sample(0, 1), "sample() cannot draw more elements than the sequence contains");
    EXPECT_EQ(check_sample(3, UINT64_MAX), "sample() cannot draw more elements than the sequence contains");
    EXPECT_FALSE(check_sample(0, 0));
    EXPECT_FALSE(check_sample(3, 3));
}

// --- partial Fisher-Yates -------------------------------------------------------------

// Runs the partial walk over the virtual sequence 0..n-1, recording every item read.
struct Walk {
    std::vector<std::uint64_t> result;
    std::vector<std::uint64_t> reads;
    bool complete = false;
};

Walk walk(E& e, std::uint64_t n, std::uint64_t k, std::uint64_t fail_at_read = UINT64_MAX) {
    Walk w;
    w.complete = partial_fisher_yates<std::uint64_t>(
        e, n, k,
        [&](std::uint64_t pos, std::uint64_t& out) {
            if (w.reads.size() == fail_at_read) return false;
            w.reads.push_back(pos);
            out = pos;
            return true;
        },
        [&](std::uint64_t i, std::uint64_t&& v) {
            EXPECT_EQ(i, w.result.size());
            w.result.push_back(v);
        });
    return w;
}

TEST(SamplingPartialFisherYates, SeedZeroReferenceDraws) {
    E e = E::from_seed(0);
    Walk w = walk(e, 10, 4);
    EXPECT_TRUE(w.complete);
    EXPECT_EQ(w.result, (std::vector<std::uint64_t>{3, 5, 6, 9}));
    // Each step reads A[j] then A[i]; none of these positions was mapped yet.
    EXPECT_EQ(w.reads, (std::vector<std::uint64_t>{3, 0, 5, 1, 6, 2, 9}));
    EXPECT_EQ(e, advanced(0, 4));

    E full = E::from_seed(0);
    Walk all = walk(full, 5, 5);
    EXPECT_EQ(all.result, (std::vector<std::uint64_t>{3, 4, 0, 2, 1}));
    EXPECT_EQ(all.reads, (std::vector<std::uint64_t>{3, 0, 4, 1, 2}));
    EXPECT_EQ(full, advanced(0, 5));  // the last step (n - i = 1) still takes its output
}

TEST(SamplingPartialFisherYates, DiagonalReadsTwiceUnlessMapped) {
    // Seed 3 draws j = i at every step of a full walk over three items: each position is
    // read twice. Seed 7 draws j = 2, 1, 2: step 1 is an unmapped diagonal (read twice),
    // step 2 a mapped one (no read at all; the 0 stored at position 2 is emitted).
    E a = E::from_seed(3);
    Walk diag = walk(a, 3, 3);
    EXPECT_EQ(diag.result, (std::vector<std::uint64_t>{0, 1, 2}));
    EXPECT_EQ(diag.reads, (std::vector<std::uint64_t>{0, 0, 1, 1, 2, 2}));

    E b = E::from_seed(7);
    Walk mixed = walk(b, 3, 3);
    EXPECT_EQ(mixed.result, (std::vector<std::uint64_t>{2, 1, 0}));
    EXPECT_EQ(mixed.reads, (std::vector<std::uint64_t>{2, 0, 1, 1}));
}

TEST(SamplingPartialFisherYates, FailedReadStopsAfterTheOutputsDrawn) {
    // Reads of seed 0 over ten items: 3, 0 | 5, 1 | 6, 2 | 9. Failing the fourth read
    // (position 1, in step 1) leaves two outputs consumed and one element emitted.
    E e = E::from_seed(0);
    Walk w = walk(e, 10, 4, 3);
    EXPECT_FALSE(w.complete);
    EXPECT_EQ(w.result, (std::vector<std::uint64_t>{3}));
    EXPECT_EQ(e, advanced(0, 2));
}

TEST(SamplingPartialFisherYates, EveryHeldElementIsReleased) {
    // Owning handles: after the walk, each element is held by its source and by the
    // result only, on success and on failure alike.
    constexpr std::uint64_t n = 50;
    for (const std::uint64_t fail_at : {UINT64_MAX, std::uint64_t{17}}) {
        std::vector<std::shared_ptr<int>> source;
        for (std::uint64_t i = 0; i < n; ++i) source.push_back(std::make_shared<int>(static_cast<int>(i)));
        std::vector<std::shared_ptr<int>> result;
        std::uint64_t reads = 0;
        E e = E::from_seed(11);
        const bool complete = partial_fisher_yates<std::shared_ptr<int>>(
            e, n, 30,
            [&](std::uint64_t pos, std::shared_ptr<int>& out) {
                if (reads++ == fail_at) return false;
                out = source[pos];
                return true;
            },
            [&](std::uint64_t, std::shared_ptr<int>&& v) { result.push_back(std::move(v)); });
        EXPECT_EQ(complete, fail_at == UINT64_MAX);
        std::vector<int> seen(n, 0);
        for (const auto& r : result) ++seen[static_cast<std::size_t>(*r)];
        for (std::uint64_t i = 0; i < n; ++i) {
            EXPECT_LE(seen[i], 1) << "element " << i << " drawn twice";
            EXPECT_EQ(source[i].use_count(), 1 + seen[i]) << "element " << i;
        }
        if (complete) {
            EXPECT_EQ(result.size(), 30U);
        }
    }
}

TEST(SamplingPartialFisherYates, FullWalkIsAPermutationForManySeeds) {
    for (std::uint64_t seed = 0; seed < 200; ++seed) {
        E e = E::from_seed(seed);
        Walk w = walk(e, 9, 9);
        std::vector<int> seen(9, 0);
        for (const auto v : w.result) ++seen[v];
        EXPECT_EQ(seen, std::vector<int>(9, 1)) << "seed " << seed;
        EXPECT_LE(w.reads.size(), 18U);
    }
}

// --- systematic resampling ----------------------------------------------------------------

std::vector<std::uint64_t> resample(double u, const std::vector<double>& w, std::uint64_t n) {
    double total = 0.0;
    EXPECT_FALSE(check_systematic_resample(w, total));
    std::vector<std::uint64_t> out(n);
    systematic_resample(u, w, total, n, out.data());
    return out;
}

TEST(SamplingSystematic, SeedZeroReference) {
    E e = E::from_seed(0);
    const double u = next_f64(e);
    EXPECT_EQ(bits(u), bits(0.3245752680314067));
    EXPECT_EQ(resample(u, {1, 2, 3, 4}, 8), (std::vector<std::uint64_t>{0, 1, 1, 2, 2, 3, 3, 3}));
}

TEST(SamplingSystematic, BoundaryRules) {
    const double top = std::bit_cast<double>(0x3FEFFFFFFFFFFFFFULL);  // 1 - 2^-53, the largest u
    EXPECT_EQ(resample(0.5, {7}, 4), (std::vector<std::uint64_t>{0, 0, 0, 0}));
    EXPECT_EQ(resample(top, {1, 0, 0}, 3), (std::vector<std::uint64_t>{0, 0, 0}));
    // A first point of exactly 0 stays at index 0 even with a zero weight there.
    EXPECT_EQ(resample(0.0, {0, 1, 0}, 3), (std::vector<std::uint64_t>{0, 1, 1}));
    EXPECT_EQ(resample(top / 3, {0, 1, 0}, 3), (std::vector<std::uint64_t>{1, 1, 1}));
    // The shares of [0.2, 2, 0.1] add up to 1 - 2^-52 only; the point 1 - 2^-53 lies past
    // them and goes to the last index, whose weight is zero.
    EXPECT_EQ(resample(top, {0.2, 2, 0.1, 0}, 1), (std::vector<std::uint64_t>{3}));
    // A point equal to the running sum stays: 0.25 against the share 0.25 of index 0.
    EXPECT_EQ(resample(0.5, {1, 3}, 2), (std::vector<std::uint64_t>{0, 1}));
    EXPECT_EQ(resample(0.3, {1, 3}, 0), (std::vector<std::uint64_t>{}));
}

TEST(SamplingSystematic, ValidationOrderAndMessages) {
    double total = 0.0;
    EXPECT_EQ(check_systematic_resample({}, total), "systematic_resample([], n): weights must have at least one entry");
    const std::vector<double> bad_first{-1, std::bit_cast<double>(0x7FF8000000000000ULL), 0};
    EXPECT_EQ(check_systematic_resample(bad_first, total),
              "systematic_resample(): weights[0]=-1 must be non-negative and finite");
    const std::vector<double> bad_inf{1, 0.5, -std::bit_cast<double>(0x7FF0000000000000ULL)};
    EXPECT_EQ(check_systematic_resample(bad_inf, total),
              "systematic_resample(): weights[2]=-inf must be non-negative and finite");
    const std::vector<double> zeros{0, -0.0};
    EXPECT_EQ(check_systematic_resample(zeros, total), "systematic_resample(): weights must sum to a positive number");
    const std::vector<double> ok{-0.0, 0.25, 0.5};
    EXPECT_FALSE(check_systematic_resample(ok, total));
    EXPECT_EQ(bits(total), bits(0.75));
}

TEST(SamplingAlias, FixedRemainderIsTheExactRemainder) {
    // Divisors at the edges of the range (1, powers of two and their neighbours, the
    // largest) and a spread of others, against numerators at the edges and from a stream.
    std::vector<std::uint64_t> divisors{1, 2, 3, 4, 5, 7, 10, 1000003, 0xFFFFFFFFULL, 0x100000000ULL,
                                        0x100000001ULL, 0x7FFFFFFFFFFFFFFFULL, 0x8000000000000000ULL,
                                        0x8000000000000001ULL, 0xFFFFFFFFFFFFFFFEULL, 0xFFFFFFFFFFFFFFFFULL};
    E source = E::from_seed(5);
    for (int i = 0; i < 64; ++i) divisors.push_back(source.next_u64() >> source.next_below(64) | 1);
    for (const std::uint64_t d : divisors) {
        const FixedRemainder r(d);
        std::vector<std::uint64_t> xs{0, 1, d - 1, d, d + 1, 2 * d - 1, UINT64_MAX, UINT64_MAX - 1, UINT64_MAX - d};
        for (int i = 0; i < 500; ++i) xs.push_back(source.next_u64());
        for (const std::uint64_t x : xs) ASSERT_EQ(r.of(x), x % d) << x << " mod " << d;
    }
}

// --- alias table ------------------------------------------------------------------------

struct Table {
    std::vector<double> prob;
    std::vector<std::uint64_t> alias;
};

Table build(const std::vector<double>& w) {
    double total = 0.0;
    EXPECT_FALSE(check_categorical(w, total));
    Table t{std::vector<double>(w.size()), std::vector<std::uint64_t>(w.size())};
    build_alias_table(w, total, t.prob.data(), t.alias.data());
    return t;
}

std::vector<std::uint64_t> prob_bits(const Table& t) {
    std::vector<std::uint64_t> out;
    for (const double p : t.prob) out.push_back(bits(p));
    return out;
}

TEST(SamplingAlias, OneToFourTable) {
    const Table t = build({1, 2, 3, 4});
    // 0.4, 0.8, 1.0, 0.8000000000000002
    EXPECT_EQ(prob_bits(t), (std::vector<std::uint64_t>{0x3FD999999999999AULL, 0x3FE999999999999AULL,
                                                          0x3FF0000000000000ULL, 0x3FE999999999999BULL}));
    EXPECT_EQ(t.alias, (std::vector<std::uint64_t>{3, 3, 0, 2}));
}

TEST(SamplingAlias, OneToFourDrawsFromSeedZero) {
    const Table t = build({1, 2, 3, 4});
    E e = E::from_seed(0);
    std::vector<std::uint64_t> draws;
    const FixedRemainder columns(4);
    for (int i = 0; i < 8; ++i) draws.push_back(alias_draw(e, t.prob.data(), t.alias.data(), columns));
    EXPECT_EQ(draws, (std::vector<std::uint64_t>{3, 0, 2, 2, 3, 0, 1, 2}));
    EXPECT_EQ(e, advanced(0, 16));
}

TEST(SamplingAlias, SmallTables) {
    const Table one = build({2.5});
    EXPECT_EQ(prob_bits(one), (std::vector<std::uint64_t>{bits(1.0)}));
    E e = E::from_seed(0);
    EXPECT_EQ(alias_draw(e, one.prob.data(), one.alias.data(), FixedRemainder(1)), 0U);
    EXPECT_EQ(e, advanced(0, 2));  // two outputs also for a single column

    const Table zero_one = build({0, 1});
    EXPECT_EQ(prob_bits(zero_one), (std::vector<std::uint64_t>{bits(0.0), bits(1.0)}));
    EXPECT_EQ(zero_one.alias, (std::vector<std::uint64_t>{1, 0}));

    const Table neg_zero = build({1, -0.0});
    // -0.0 scales to -0.0, which its column keeps (u < -0.0 never holds).
    EXPECT_EQ(prob_bits(neg_zero), (std::vector<std::uint64_t>{bits(1.0), 0x8000000000000000ULL}));
    EXPECT_EQ(neg_zero.alias, (std::vector<std::uint64_t>{0, 0}));
}

// The construction exactly as stated, with two separate growing stacks: the shared
// buffer of build_alias_table must pair the same entries in the same order.
Table build_reference(const std::vector<double>& w) {
    double total = 0.0;
    EXPECT_FALSE(check_categorical(w, total));
    const std::size_t n = w.size();
    Table t{std::vector<double>(n), std::vector<std::uint64_t>(n, 0)};
    std::vector<std::uint64_t> small, large;
    for (std::size_t i = 0; i < n; ++i) {
        const double share = w[i] / total;
        t.prob[i] = share * static_cast<double>(n);
        (t.prob[i] < 1.0 ? small : large).push_back(i);
    }
    while (!small.empty() && !large.empty()) {
        const std::uint64_t s = small.back();
        small.pop_back();
        const std::uint64_t l = large.back();
        large.pop_back();
        t.alias[s] = l;
        const double d = 1.0 - t.prob[s];
        t.prob[l] = t.prob[l] - d;
        (t.prob[l] < 1.0 ? small : large).push_back(l);
    }
    for (const auto i : small) t.prob[i] = 1.0;
    for (const auto i : large) t.prob[i] = 1.0;
    return t;
}

TEST(SamplingAlias, MatchesTheTwoStackConstructionAndKeepsTheMass) {
    E source = E::from_seed(42);
    for (int round = 0; round < 300; ++round) {
        const std::size_t n = 1 + static_cast<std::size_t>(source.next_below(40));
        std::vector<double> w(n);
        for (auto& x : w) x = source.next_below(4) == 0 ? 0.0 : next_f64(source) * 10.0;
        w[source.next_below(n)] = 1.0;  // never all zero
        const Table got = build(w);
        const Table want = build_reference(w);
        ASSERT_EQ(prob_bits(got), prob_bits(want)) << "round " << round;
        ASSERT_EQ(got.alias, want.alias) << "round " << round;

        // Column c returns c with chance prob[c] / n and alias[c] with the rest, so the
        // chances rebuild the normalised weights up to rounding.
        double total = 0.0;
        for (const double x : w) total += x;
        std::vector<double> mass(n, 0.0);
        for (std::size_t c = 0; c < n; ++c) {
            ASSERT_GE(got.prob[c], 0.0);
            ASSERT_LE(got.prob[c], 1.0);
            ASSERT_LT(got.alias[c], n);
            mass[c] += got.prob[c] / static_cast<double>(n);
            mass[got.alias[c]] += (1.0 - got.prob[c]) / static_cast<double>(n);
        }
        for (std::size_t i = 0; i < n; ++i) EXPECT_NEAR(mass[i], w[i] / total, 1e-12) << "round " << round;
    }
}

TEST(SamplingAlias, ValidationOrderAndMessages) {
    double total = 0.0;
    EXPECT_EQ(check_categorical({}, total), "Categorical([]): weights must have at least one entry");
    const std::vector<double> neg{1, -1};
    EXPECT_EQ(check_categorical(neg, total), "Categorical(): weights[1]=-1 must be non-negative and finite");
    const std::vector<double> half{-0.5, 0};
    EXPECT_EQ(check_categorical(half, total), "Categorical(): weights[0]=-0.5 must be non-negative and finite");
    const std::vector<double> nan{0, std::bit_cast<double>(0x7FF8000000000000ULL)};
    EXPECT_EQ(check_categorical(nan, total), "Categorical(): weights[1]=NaN must be non-negative and finite");
    const std::vector<double> inf{std::bit_cast<double>(0x7FF0000000000000ULL)};
    EXPECT_EQ(check_categorical(inf, total), "Categorical(): weights[0]=inf must be non-negative and finite");
    // The first bad weight is reported before the sum is examined.
    const std::vector<double> first{-1, 0};
    EXPECT_EQ(check_categorical(first, total), "Categorical(): weights[0]=-1 must be non-negative and finite");
    const std::vector<double> zeros{0, 0};
    EXPECT_EQ(check_categorical(zeros, total), "Categorical(): weights must sum to a positive number");
}

}  // namespace
}  // namespace drawkit

namespace drawkit {
namespace {

TEST(SamplingOverflow, WeightsWhoseSumOverflowsKeepTheirProportions) {
    std::vector<double> w = {1e308, 1e307, 1e308};
    double total = 0.0;
    ASSERT_FALSE(check_categorical(w, total));
    ASSERT_TRUE(std::isinf(total));
    total = rescale_overflowed_weights(w, total);
    ASSERT_TRUE(std::isfinite(total));
    EXPECT_EQ(w[0], 1e308 * 0x1p-64);  // exact scaling
    std::vector<double> prob(3);
    std::vector<std::uint64_t> alias(3);
    build_alias_table(w, total, prob.data(), alias.data());
    // Column 1 holds 3 * 1/21 of the mass on its own; the others are full.
    EXPECT_NEAR(prob[1], 3.0 / 21.0, 1e-12);

    // A finite total leaves weights and total untouched.
    std::vector<double> ordinary = {1.0, 2.0};
    EXPECT_EQ(rescale_overflowed_weights(ordinary, 3.0), 3.0);
    EXPECT_EQ(ordinary, (std::vector<double>{1.0, 2.0}));
}

}  // namespace
}  // namespace drawkit
