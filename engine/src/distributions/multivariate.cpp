#include "multivariate.hpp"

#include <string>

#include "../number_format.hpp"
#include "../sampling.hpp"
#include "gamma.hpp"
#include "normal.hpp"

namespace drawkit {

Invalid check_multivariate_normal(std::size_t n, std::size_t factor_len) {
    // Compared by division, so that a length whose square wraps in 64 bits can never pass.
    const bool fits = n == 0 ? factor_len == 0 : (factor_len % n == 0 && factor_len / n == n);
    if (fits) [[likely]]
        return std::nullopt;
    const std::string ns = format_uint(n);
    const std::uint64_t nn = static_cast<std::uint64_t>(n) * static_cast<std::uint64_t>(n);
    return "cholesky_factor must have " + ns + "*" + ns + "=" + format_uint(nn) +
           " entries (a flat, row-major " + ns + "x" + ns + " matrix) for a mean of length " + ns +
           ", got " + format_uint(factor_len);
}

bool multivariate_normal(Generator& g, std::span<const double> mean, std::span<const double> factor,
                         std::span<double> out, const Poll& poll) noexcept {
    const std::size_t n = mean.size();
    double* z = out.data();
    for (std::size_t i = 0; i < n; ++i) z[i] = standard_normal(g);
    // Rows are independent sums, so they may be formed in any order with the same bits.
    // Going from the last row up lets row i overwrite z[i]: the rows still to come read
    // only z[0..i-1]. One buffer thus holds the normals and then the result. A block is
    // about kPollBlock products: that many rows of up to n entries each.
    const std::uint64_t rows_per_block = n != 0 && n < kPollBlock ? kPollBlock / n : 1;
    return in_blocks(n, rows_per_block, poll, [&](std::uint64_t begin, std::uint64_t end) {
        for (std::uint64_t r = begin; r < end; ++r) {
            const std::size_t i = n - 1 - static_cast<std::size_t>(r);
            const double* row = factor.data() + i * n;
            double acc = 0.0;
            for (std::size_t j = 0; j <= i; ++j) acc = acc + row[j] * z[j];
            z[i] = acc + mean[i];
        }
    });
}

Invalid check_dirichlet(std::span<const double> alpha) {
    if (alpha.empty()) [[unlikely]]
        return "dirichlet([]): alpha must have at least one entry";
    for (std::size_t i = 0; i < alpha.size(); ++i) {
        // The name is built only for the failing entry.
        if (!(alpha[i] > 0.0 && is_finite(alpha[i]))) [[unlikely]] {
            return positive_message("alpha[" + format_uint(i) + "]", alpha[i]);
        }
    }
    return std::nullopt;
}

bool dirichlet(Generator& g, std::span<const double> alpha, std::span<double> out,
               const Poll& poll) noexcept {
    const std::size_t k = alpha.size();
    const Generator start = g;
    // Up to the first positive draw, draws of 0.0 are not written yet, so that the shapes
    // are still at hand should every draw be 0.0 (out may be alpha itself).
    std::size_t i = 0;
    bool positive = false;
    while (i < k && !positive) {
        const double x = standard_gamma(g, alpha[i]);
        if (x > 0.0) [[likely]] {
            for (std::size_t j = 0; j < i; ++j) out[j] = 0.0;
            out[i] = x;
            positive = true;
        }
        ++i;
    }
    if (!positive) [[unlikely]] {
        // Every draw underflowed (only tiny shapes): the sum is 0.0 and each quotient as
        // written 0/0. The shares come from the logarithms of the same draws instead
        // (gamma_shares_in_logs, gamma.hpp).
        g = start;
        gamma_shares_in_logs(g, alpha, out);
        return true;
    }
    const std::size_t first = i;
    const bool drawn =
        in_blocks(k - first, kPollBlock, poll, [&](std::uint64_t begin, std::uint64_t end) {
            for (std::size_t m = first + begin; m < first + end; ++m)
                out[m] = standard_gamma(g, alpha[m]);
        });
    if (!drawn) return false;
    // Starting from -0.0 makes the first partial sum exactly out[0] (also for +0.0).
    double total = -0.0;
    for (std::size_t j = 0; j < k; ++j) total = total + out[j];
    // Finite draws can still sum to +inf (shapes near 1e308), and every share would be 0.0:
    // the draws are then scaled down as overflowing weights are. A finite total is kept.
    total = rescale_overflowed_weights(out, total);
    // One rounded division per entry, not a product with a reciprocal.
    for (std::size_t j = 0; j < k; ++j) out[j] = out[j] / total;
    return true;
}

}  // namespace drawkit
