// normal, lognormal, exponential, laplace, cauchy, gamma, beta, chisquare, student_t,
// multivariate_normal and dirichlet.
//
// Each method validates completely before its first draw, so a rejected call consumes no
// engine output and leaves the cached normal as it was.
#include <span>
#include <vector>

#include "binding.hpp"
#include "distributions.hpp"
#include "methods.hpp"

namespace drawkit::py {

namespace {

// --- normal family ---------------------------------------------------------------------

constexpr MethodDecl kNormal{
    "Generator",
    "normal",
    {"loc", "scale"},
    Access::exclusive,
    "Returns a float from a normal distribution with mean loc and standard\n"
    "deviation scale.\n\n"
    "Box-Muller pairs: one pair costs two engine outputs and its second value is\n"
    "kept for the next normal draw of any method (state() reports it)."};

PyObject* normal_impl(GeneratorObject* self, double loc, double scale) {
    if (auto invalid = check_normal(loc, scale)) [[unlikely]]
        return raise_value_error(*invalid);
    return to_py(drawkit::normal(self->gen, loc, scale));
}

constexpr MethodDecl kLognormal{
    "Generator",
    "lognormal",
    {"mean", "sigma"},
    Access::exclusive,
    "Returns a float whose natural logarithm is normal with the given mean and\n"
    "standard deviation sigma: positive multiplicative quantities."};

PyObject* lognormal_impl(GeneratorObject* self, double mean, double sigma) {
    if (auto invalid = check_lognormal(mean, sigma)) [[unlikely]]
        return raise_value_error(*invalid);
    return to_py(drawkit::lognormal(self->gen, mean, sigma));
}

// --- exponential, laplace, cauchy ------------------------------------------------------

constexpr MethodDecl kExponential{
    "Generator",
    "exponential",
    {"scale"},
    Access::exclusive,
    "Returns a float from an exponential distribution whose scale is its mean:\n"
    "waiting times between independent events."};

PyObject* exponential_impl(GeneratorObject* self, double scale) {
    if (auto invalid = check_exponential(scale)) [[unlikely]]
        return raise_value_error(*invalid);
    return to_py(drawkit::exponential(self->gen.engine, scale));
}

constexpr MethodDecl kLaplace{
    "Generator",
    "laplace",
    {"loc", "scale"},
    Access::exclusive,
    "Returns a float from a Laplace distribution: two mirrored exponential tails\n"
    "around loc, with scale scale; a sparsity-inducing prior (Bayesian lasso)."};

PyObject* laplace_impl(GeneratorObject* self, double loc, double scale) {
    if (auto invalid = check_laplace(loc, scale)) [[unlikely]]
        return raise_value_error(*invalid);
    return to_py(drawkit::laplace(self->gen.engine, loc, scale));
}

constexpr MethodDecl kCauchy{
    "Generator",
    "cauchy",
    {"loc", "scale"},
    Access::exclusive,
    "Returns a float from a Cauchy distribution with location loc and scale\n"
    "scale: heavy-tailed, with no defined mean or variance; robust proposals."};

PyObject* cauchy_impl(GeneratorObject* self, double loc, double scale) {
    if (auto invalid = check_cauchy(loc, scale)) [[unlikely]]
        return raise_value_error(*invalid);
    return to_py(drawkit::cauchy(self->gen.engine, loc, scale));
}

// --- gamma family ----------------------------------------------------------------------

constexpr MethodDecl kGamma{
    "Generator",
    "gamma",
    {"shape", "scale"},
    Access::exclusive,
    "Returns a float from a gamma distribution with the given shape and scale:\n"
    "sums of exponential waiting times, and Bayesian priors.\n\n"
    "The density is x**(shape-1) * exp(-x/scale) / (Gamma(shape) * scale**shape)\n"
    "for x >= 0; the mean is shape*scale and the variance shape*scale**2. Both\n"
    "parameters must be positive and finite (ValueError otherwise, shape checked\n"
    "first).\n\n"
    "Drawn by Marsaglia and Tsang's squeeze-and-reject method (2000); shapes below 1\n"
    "draw Gamma(shape + 1) and multiply by U**(1/shape). Its Gaussian values come\n"
    "from the same pairs as normal(), so a second value may be left pending."};

PyObject* gamma_impl(GeneratorObject* self, double shape, double scale) {
    if (auto invalid = check_gamma(shape, scale)) [[unlikely]]
        return raise_value_error(*invalid);
    return to_py(drawkit::gamma(self->gen, shape, scale));
}

constexpr MethodDecl kBeta{
    "Generator",
    "beta",
    {"a", "b"},
    Access::exclusive,
    "Returns a float from a beta distribution, built as X/(X+Y) from two\n"
    "independent gamma draws X ~ Gamma(a) and Y ~ Gamma(b): proportions, and the\n"
    "conjugate prior of a binomial probability."};

PyObject* beta_impl(GeneratorObject* self, double a, double b) {
    if (auto invalid = check_beta(a, b)) [[unlikely]]
        return raise_value_error(*invalid);
    return to_py(drawkit::beta(self->gen, a, b));
}

constexpr MethodDecl kChisquare{
    "Generator",
    "chisquare",
    {"df"},
    Access::exclusive,
    "Returns a float from a chi-squared distribution with df degrees of freedom:\n"
    "a gamma distribution with shape df/2 and scale 2, its exact definition."};

PyObject* chisquare_impl(GeneratorObject* self, double df) {
    if (auto invalid = check_chisquare(df)) [[unlikely]]
        return raise_value_error(*invalid);
    return to_py(drawkit::chisquare(self->gen, df));
}

constexpr MethodDecl kStudentT{
    "Generator",
    "student_t",
    {"df"},
    Access::exclusive,
    "Returns a float from Student's t distribution with df degrees of freedom:\n"
    "a standard normal divided by the square root of a chi-squared draw scaled\n"
    "by 1/df. Heavier-tailed than the normal, for proposals and likelihoods\n"
    "that tolerate outliers."};

PyObject* student_t_impl(GeneratorObject* self, double df) {
    if (auto invalid = check_student_t(df)) [[unlikely]]
        return raise_value_error(*invalid);
    return to_py(drawkit::student_t(self->gen, df));
}

// --- vector draws ----------------------------------------------------------------------

constexpr MethodDecl kMultivariateNormal{
    "Generator",
    "multivariate_normal",
    {"mean", "cholesky_factor"},
    Access::exclusive,
    "Returns one draw from a multivariate normal distribution as a new list of floats.\n\n"
    "An exception to the one-value-per-call design, because a correlated Gaussian\n"
    "proposal is the building block of Metropolis-Hastings samplers. cholesky_factor is\n"
    "the lower-triangular factor L of the covariance (covariance = L L^T) as a flat,\n"
    "row-major list of len(mean)**2 floats, taken precomputed so that a sampler does not\n"
    "repeat the decomposition on every call; entries above the diagonal are ignored."};

PyObject* multivariate_normal_impl(GeneratorObject* self, FloatSeq& mean,
                                   FloatSeq& cholesky_factor) {
    const std::size_t n = mean.values.size();
    if (auto invalid = check_multivariate_normal(n, cholesky_factor.values.size())) [[unlikely]] {
        return raise_value_error(*invalid);
    }
    FloatBuffer out;
    out.resize_for_overwrite(n);
    if (!drawkit::multivariate_normal(self->gen, mean.values, cholesky_factor.values, out,
                                      kSignalPoll))
        return nullptr;
    return list_of(out.data(), n);
}

constexpr MethodDecl kDirichlet{
    "Generator",
    "dirichlet",
    {"alpha"},
    Access::exclusive,
    "Returns one draw from a Dirichlet distribution with concentration\n"
    "parameters alpha, as a new list of floats summing to 1: independent gamma\n"
    "draws, one per entry, normalised to sum to 1."};

PyObject* dirichlet_impl(GeneratorObject* self, FloatSeq& alpha) {
    if (auto invalid = check_dirichlet(alpha.values)) [[unlikely]]
        return raise_value_error(*invalid);
    // The converted alpha belongs to this call and each entry is read once before its slot
    // is overwritten, so it doubles as the result buffer.
    std::span<double> values(alpha.values);
    if (!drawkit::dirichlet(self->gen, values, values, kSignalPoll)) return nullptr;
    return list_of(values.data(), values.size());
}

}  // namespace

PyMethodDef normal_method() { return method_def<kNormal, normal_impl>(); }
PyMethodDef lognormal_method() { return method_def<kLognormal, lognormal_impl>(); }
PyMethodDef exponential_method() { return method_def<kExponential, exponential_impl>(); }
PyMethodDef laplace_method() { return method_def<kLaplace, laplace_impl>(); }
PyMethodDef cauchy_method() { return method_def<kCauchy, cauchy_impl>(); }
PyMethodDef gamma_method() { return method_def<kGamma, gamma_impl>(); }
PyMethodDef beta_method() { return method_def<kBeta, beta_impl>(); }
PyMethodDef chisquare_method() { return method_def<kChisquare, chisquare_impl>(); }
PyMethodDef student_t_method() { return method_def<kStudentT, student_t_impl>(); }
PyMethodDef multivariate_normal_method() {
    return method_def<kMultivariateNormal, multivariate_normal_impl>();
}
PyMethodDef dirichlet_method() { return method_def<kDirichlet, dirichlet_impl>(); }

}  // namespace drawkit::py
