// The two vector draws: multivariate_normal, one correlated Gaussian draw from a mean and
// a precomputed lower-triangular Cholesky factor, and dirichlet, one point of the simplex
// from independent gamma draws. Both work into a caller-owned buffer of the result's
// length, which is also their only working storage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "../generator.hpp"
#include "../poll.hpp"
#include "uniform.hpp"

namespace drawkit {

// --- multivariate_normal ---------------------------------------------------------------

// The factor must hold n*n entries (a flat, row-major n x n matrix) for a mean of length
// n; the message gives n*n as a 64-bit product.
Invalid check_multivariate_normal(std::size_t n, std::size_t factor_len);

// out[i] = (sum over j <= i of L[i*n + j] * z[j], from +0.0 in increasing j) + mean[i].
//
// Draw order: all n normals z[0..n-1] are drawn through standard_normal, in index order,
// before any arithmetic; the first takes a pending normal if there is one. Only the lower
// triangle of the factor is read. Preconditions: out.size() == mean.size() == n and
// factor.size() == n*n (check_multivariate_normal passed). Returns false when `poll`,
// asked between blocks of rows, stopped it: the normals are drawn, out is of no use.
bool multivariate_normal(Generator& g, std::span<const double> mean, std::span<const double> factor,
                         std::span<double> out, const Poll& poll = kNoPoll) noexcept;

// --- dirichlet -------------------------------------------------------------------------

// Non-empty, then every entry positive and finite, the first failing entry reported under
// the name alpha[{i}]. Runs completely before any draw.
Invalid check_dirichlet(std::span<const double> alpha);

// out[i] = g[i] / total with g[i] = standard_gamma(alpha[i]) drawn in index order, each
// complete before the next, and total their left-to-right sum; when every g[i] is 0.0
// (total 0.0), the shares come from the logarithms of the same draws instead
// (gamma_shares_in_logs); when the total overflows to +inf, the draws are first scaled by
// 2^-64 (rescale_overflowed_weights) and divided by their new sum. Precondition: out.size() ==
// alpha.size() >= 1 and check_dirichlet passed. out may be alpha itself: entry i of alpha is read
// once, before out[i] is first written. Returns false when `poll`, asked between blocks of draws,
// stopped it: the draws made stay consumed, out is of no use.
bool dirichlet(Generator& g, std::span<const double> alpha, std::span<double> out,
               const Poll& poll = kNoPoll) noexcept;

}  // namespace drawkit
