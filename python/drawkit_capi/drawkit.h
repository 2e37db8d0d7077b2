/* drawkit.h: drawkit's draws from compiled code, on the same Generator objects that Python
 * code uses, with the same bits. Valid C99 and C++; include it after Python.h.
 *
 *     if (Drawkit_Import() < 0) return NULL;          // once per file, with the GIL held
 *     DrawkitGenerator* g = Drawkit_API->borrow(obj);  // with the GIL; NULL + exception
 *     if (g == NULL) return NULL;
 *     for (i = 0; i < n; ++i) sum += Drawkit_API->normal(g, 0.0, 1.0);   // no GIL needed
 *     if (Drawkit_API->release(g) < 0) return NULL;   // with the GIL; raises a recorded error
 *
 * Borrowing. borrow() takes the same exclusive access to a drawkit.Generator that one of its
 * methods holds for a call, and keeps it until release(): meanwhile every Python call on that
 * generator raises RuntimeError "Already borrowed" (state() "Already mutably borrowed"), and a
 * second borrow fails the same way. borrow() and release() need the GIL; the draws between them
 * touch no Python object, so they may run with the GIL released. One thread at a time per
 * borrowed generator; a handle is invalid after its release().
 *
 * Bits. Each draw gives the bits the Python method of the same name gives from the same state,
 * consumes the same engine outputs and shares the same pending normal value, so compiled and
 * Python calls can be interleaved on one generator and the stream is the same as in Python.
 *
 * Errors. A draw whose parameters the Python method would reject returns NaN (0 for integer
 * results), consumes nothing and records the ValueError message the method raises; error()
 * returns it (NULL while there is none). The first error ends the borrow's use of the generator:
 * later draws run on a throwaway copy, so the generator stays at the state of the failed call,
 * as after a Python call that raised, and release() raises that ValueError.
 *
 * The table is append-only: a later version adds members at the end and never changes one, so
 * code built against this header runs with any drawkit whose version field is at least its own.
 */
#ifndef DRAWKIT_H
#define DRAWKIT_H

#include <Python.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define DRAWKIT_CAPI_VERSION 1
#define DRAWKIT_CAPSULE_NAME "drawkit_capi._capi._C_API"

typedef struct DrawkitGenerator DrawkitGenerator; /* a borrowed drawkit.Generator */
typedef struct DrawkitTable DrawkitTable;         /* a drawkit.Categorical's alias table */

typedef struct DrawkitCAPI {
    unsigned int version; /* first in every version: the number of the newest table */

    /* With the GIL held. NULL with TypeError (not a Generator) or RuntimeError (held). */
    DrawkitGenerator* (*borrow)(PyObject* generator);
    /* With the GIL held. 0, or -1 with the recorded ValueError set; released either way. */
    int (*release)(DrawkitGenerator* g);
    /* The recorded error's message, or NULL. */
    const char* (*error)(const DrawkitGenerator* g);
    /* With the GIL held. The table of a drawkit.Categorical, valid while the object lives
     * (hold a reference); NULL with TypeError for any other object. */
    const DrawkitTable* (*table)(PyObject* categorical);

    /* The draws, named and ordered as the Python methods' parameters. */
    double (*random)(DrawkitGenerator* g);
    double (*uniform)(DrawkitGenerator* g, double low, double high);
    int64_t (*integers)(DrawkitGenerator* g, int64_t low, int64_t high);
    int (*bernoulli)(DrawkitGenerator* g, double p); /* 1 or 0 */
    double (*normal)(DrawkitGenerator* g, double loc, double scale);
    double (*lognormal)(DrawkitGenerator* g, double mean, double sigma);
    double (*exponential)(DrawkitGenerator* g, double scale);
    double (*laplace)(DrawkitGenerator* g, double loc, double scale);
    double (*cauchy)(DrawkitGenerator* g, double loc, double scale);
    double (*gamma)(DrawkitGenerator* g, double shape, double scale);
    double (*beta)(DrawkitGenerator* g, double a, double b);
    double (*chisquare)(DrawkitGenerator* g, double df);
    double (*student_t)(DrawkitGenerator* g, double df);
    uint64_t (*poisson)(DrawkitGenerator* g, double lam);
    uint64_t (*geometric)(DrawkitGenerator* g, double p);
    uint64_t (*binomial)(DrawkitGenerator* g, uint64_t n, double p);
    /* Categorical.sample(rng) of the table's object, rng the borrowed generator. */
    uint64_t (*categorical)(DrawkitGenerator* g, const DrawkitTable* table);
} DrawkitCAPI;

/* Set by Drawkit_Import(); one copy per translation unit, like CPython's PyDateTimeAPI. */
static const DrawkitCAPI* Drawkit_API = NULL;

/* Imports drawkit_capi and fetches its table, with the GIL held: 0, or -1 with an exception
 * set (ImportError when the installed drawkit is older than this header). */
static inline int Drawkit_Import(void) {
    const DrawkitCAPI* api = (const DrawkitCAPI*)PyCapsule_Import(DRAWKIT_CAPSULE_NAME, 0);
    if (api == NULL) return -1;
    if (api->version < DRAWKIT_CAPI_VERSION) {
        PyErr_Format(PyExc_ImportError, "drawkit_capi has C API version %u, %u needed",
                     api->version, (unsigned int)DRAWKIT_CAPI_VERSION);
        return -1;
    }
    Drawkit_API = api;
    return 0;
}

#ifdef __cplusplus
}
#endif

#endif /* DRAWKIT_H */
