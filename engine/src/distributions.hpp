// Every distribution of the library as functions on a plain Generator value (or on its
// engine), with the validators whose messages the Python methods raise. Nothing here
// knows of Python.
#pragma once

#include "distributions/uniform.hpp"
