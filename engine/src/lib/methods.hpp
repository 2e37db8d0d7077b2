// Method-table entries of every Generator method, one function per method, each defined
// beside its implementation in the file of its family. generator_type.cpp lays them out
// in the order of the type's method list.
#pragma once

#include "binding.hpp"

namespace drawkit::py {

// lifecycle (generator_type.cpp)
PyMethodDef state_method();
PyMethodDef from_state_method();
PyMethodDef jump_method();
PyMethodDef spawn_method();
PyMethodDef split_method();

// uniform draws (methods_uniform.cpp)
PyMethodDef random_method();
PyMethodDef uniform_method();
PyMethodDef bernoulli_method();
PyMethodDef integers_method();
PyMethodDef fill_method();

// continuous distributions (methods_continuous.cpp)
PyMethodDef normal_method();
PyMethodDef lognormal_method();
PyMethodDef exponential_method();
PyMethodDef laplace_method();
PyMethodDef cauchy_method();
PyMethodDef gamma_method();
PyMethodDef beta_method();
PyMethodDef chisquare_method();
PyMethodDef student_t_method();
PyMethodDef multivariate_normal_method();
PyMethodDef dirichlet_method();

// counting distributions (methods_counting.cpp)
PyMethodDef geometric_method();
PyMethodDef binomial_method();
PyMethodDef poisson_method();
PyMethodDef multinomial_method();

// sequence and index sampling (methods_sampling.cpp)
PyMethodDef choice_method();
PyMethodDef choices_method();
PyMethodDef bootstrap_indices_method();
PyMethodDef systematic_resample_method();
PyMethodDef shuffle_method();
PyMethodDef permutation_method();
PyMethodDef sample_method();

// Creates (once per process) and returns the types; nullptr with an error set on failure
// (MemoryError when the method tables or docstrings cannot be built).
PyTypeObject* get_generator_type() noexcept;
PyTypeObject* get_categorical_type() noexcept;

// A new Generator object holding `gen`.
PyObject* new_generator(const Generator& gen);

}  // namespace drawkit::py
