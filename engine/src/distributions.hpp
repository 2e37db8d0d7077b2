// Every distribution of the library as functions on a plain Generator value (or on its
// engine), with the validators whose messages the Python methods raise. Nothing here
// knows of Python.
#pragma once

#include "distributions/counting.hpp"
#include "distributions/exponential.hpp"
#include "distributions/gamma.hpp"
#include "distributions/multinomial.hpp"
#include "distributions/multivariate.hpp"
#include "distributions/normal.hpp"
#include "distributions/uniform.hpp"
#include "distributions/validate.hpp"
#include "sampling.hpp"
