// choice, choices, sample, shuffle, permutation, bootstrap_indices and systematic_resample.
//
// The positions come from the core (sampling.hpp); this file only reads the elements.
// A list or tuple whose length and item methods are the built-in ones is read straight
// from its storage, running no Python code; any other accepted sequence, including a
// subclass that overrides __len__ or __getitem__, goes through the sequence protocol, so
// its own methods run (and may fail, or call back into the generator, which the access
// guard refuses).
#include <cstdint>
#include <memory>
#include <new>
#include <utility>

#include "binding.hpp"
#include "methods.hpp"
#include "sampling.hpp"

namespace drawkit::py {

namespace {

// --- reading a sequence argument -------------------------------------------------------------

// True when reading `o` through the sequence protocol would only reach the list's or
// tuple's own storage: the exact types, or subclasses that left both slots alone.
inline bool has_builtin_storage(PyObject* o) noexcept {
    PyTypeObject* t = Py_TYPE(o);
    if (t == &PyList_Type || t == &PyTuple_Type) [[likely]]
        return true;
    PyTypeObject* base = PyList_Check(o)    ? &PyList_Type
                         : PyTuple_Check(o) ? &PyTuple_Type
                                            : nullptr;
    if (base == nullptr) return false;
    const PySequenceMethods* mine = t->tp_as_sequence;
    const PySequenceMethods* theirs = base->tp_as_sequence;
    return mine != nullptr && mine->sq_item == theirs->sq_item &&
           mine->sq_length == theirs->sq_length;
}

// A sequence argument opened for one call: its length read once, its items read either
// from storage or through the protocol.
//
// Python code can run during a call even where no item method is called: the cyclic
// garbage collector during an allocation (on 3.11 any allocation of a tracked object may
// run it), and signal handlers or a scheduled collection at a poll of a long loop. A
// finaliser or handler run there may resize or clear a list, which moves or frees its
// item storage. So the storage of a list is read afresh by refresh(), which the methods
// call after each such point, and every position is checked against the length read
// with it: a position beyond the list's current length fails as the list's own item
// method would, with IndexError. A tuple's storage is part of the object and cannot
// change while the call holds it.
class SequenceReader {
public:
    // Reads the length; false with the length protocol's exception set.
    bool open(PyObject* o) noexcept {
        obj_ = o;
        if (has_builtin_storage(o)) [[likely]] {
            direct_ = true;
            size_ = Py_SIZE(o);
            refresh();
            return true;
        }
        size_ = PySequence_Size(o);
        return size_ >= 0;
    }

    // Reads a list's storage and length again, after Python code may have run.
    void refresh() noexcept {
        if (!direct_) return;
        items_ = PySequence_Fast_ITEMS(obj_);  // null for an empty list, never read then
        live_size_ = static_cast<std::uint64_t>(Py_SIZE(obj_));
    }

    std::uint64_t size() const noexcept { return static_cast<std::uint64_t>(size_); }

    // Whether reading runs Python code (and so may fail or see the generator in use).
    bool runs_python() const noexcept { return !direct_; }

    // The storage of a list or tuple read directly, when it holds every position below n
    // (as last refreshed), so that those positions need no check; else null.
    PyObject* const* storage_covering(std::uint64_t n) const noexcept {
        return direct_ && live_size_ >= n ? items_ : nullptr;
    }

    // A new reference to item pos (< size), or nullptr with the item method's exception
    // (IndexError for a list that has shrunk since it was opened).
    PyObject* item(std::uint64_t pos) const noexcept {
        if (direct_) [[likely]] {
            if (pos >= live_size_) [[unlikely]] {
                PyErr_SetString(PyExc_IndexError, "list index out of range");
                return nullptr;
            }
            return Py_NewRef(items_[pos]);
        }
        return PySequence_GetItem(obj_, static_cast<Py_ssize_t>(pos));
    }

private:
    PyObject* obj_ = nullptr;
    PyObject** items_ = nullptr;  // storage of a list or tuple read directly
    bool direct_ = false;
    Py_ssize_t size_ = 0;          // the length when opened
    std::uint64_t live_size_ = 0;  // the length when last refreshed
};

// n machine integers for an index draw, allocated before any engine output; null with
// the MemoryError of an impossible size raised.
std::unique_ptr<std::uint64_t[]> index_buffer(std::uint64_t n) noexcept {
    std::unique_ptr<std::uint64_t[]> buffer;
    if (n <= SIZE_MAX / sizeof(std::uint64_t)) {
        buffer.reset(new (std::nothrow) std::uint64_t[static_cast<std::size_t>(n)]);
    }
    if (buffer == nullptr) raise_no_room(n);
    return buffer;
}

// --- choice ----------------------------------------------------------------------------

constexpr MethodDecl kChoice{
    "Generator",
    "choice",
    {"seq"},
    Access::exclusive,
    "Returns one element of a non-empty sequence, which is not modified.\n\n"
    "The element is the sequence's own object; its position is one engine\n"
    "output reduced modulo the length."};

PyObject* choice(GeneratorObject* self, SequenceArg seq) {
    PyObject* o = seq.obj;
    // An exact list is by far the common argument: storage read, no Python code.
    if (PyList_CheckExact(o)) [[likely]] {
        const Py_ssize_t n = PyList_GET_SIZE(o);
        if (n == 0) [[unlikely]]
            return raise_value_error(*check_choice(0));
        const std::uint64_t j = self->gen.engine.next_below(static_cast<std::uint64_t>(n));
        return Py_NewRef(PyList_GET_ITEM(o, static_cast<Py_ssize_t>(j)));
    }
    SequenceReader reader;
    if (!reader.open(o)) return nullptr;
    if (auto invalid = check_choice(reader.size())) [[unlikely]]
        return raise_value_error(*invalid);
    return reader.item(self->gen.engine.next_below(reader.size()));
}

// --- choices ---------------------------------------------------------------------------

constexpr MethodDecl kChoices{
    "Generator",
    "choices",
    {"seq", "k"},
    Access::exclusive,
    "Returns a new list of k elements drawn with replacement from a non-empty\n"
    "sequence; k may exceed the length. This is a bootstrap resample.\n\n"
    "The elements are the sequence's own objects; each position is one engine\n"
    "output reduced modulo the length, read at once."};

PyObject* choices(GeneratorObject* self, SequenceArg seq, std::uint64_t k) {
    SequenceReader reader;
    if (!reader.open(seq.obj)) return nullptr;
    const std::uint64_t n = reader.size();
    if (auto invalid = check_choices(n)) [[unlikely]]
        return raise_value_error(*invalid);
    ResultList result;
    if (!result.allocate(k, reader.runs_python() || k > kPollBlock)) return nullptr;
    const bool complete =
        in_blocks(self->gen.engine, k, kPollBlock, kSignalPoll,
                  [&](Xoshiro256PlusPlus& e, std::uint64_t begin, std::uint64_t end) {
                      // After the allocation or a poll. Within a block only the item methods of a
                      // sequence read through the protocol run Python code, so a list's storage
                      // read here holds for the whole block. A local copy keeps the reader in
                      // registers.
                      reader.refresh();
                      PyObject** const slots = result.slots();
                      std::uint64_t i = begin;
                      if (PyObject* const* items = reader.storage_covering(n)) [[likely]] {
                          for (; i < end; ++i) slots[i] = Py_NewRef(items[e.next_below(n)]);
                      } else {
                          const SequenceReader block_reader = reader;
                          for (; i < end; ++i) {
                              PyObject* item = block_reader.item(e.next_below(n));
                              if (item == nullptr) break;
                              slots[i] = item;
                          }
                      }
                      return i == end;
                  });
    if (!complete) return nullptr;
    return result.release();
}

// --- sample ----------------------------------------------------------------------------

constexpr MethodDecl kSample{
    "Generator",
    "sample",
    {"seq", "k"},
    Access::exclusive,
    "Returns a new list of k distinct elements drawn without replacement; the sequence\n"
    "is not modified.\n\n"
    "A partial Fisher-Yates shuffle of a virtual copy: only k positions are touched,\n"
    "a dictionary standing in for the positions swapped so far, so it stays fast when\n"
    "k is much smaller than the length. The elements are the sequence's own objects."};

// Whether reading an item of the sequence is invisible: a list or tuple read from its
// storage, or a range (which cannot be subclassed), whose items are computed. sample()
// may then draw positions only and read each element once, when its step emits it,
// instead of when its position is first touched: the result is the same, and the map
// holds no elements.
bool reads_are_invisible(const SequenceReader& reader, PyObject* seq) {
    return !reader.runs_python() || PyRange_Check(seq);
}

// Whether sample() on such a sequence runs on an array of positions rather than the
// position map: where the array is the smaller, at 4 bytes per position of the sequence
// (8 from 2^32 on) against 32 bytes per step for the map.
bool uses_position_array(std::uint64_t n, std::uint64_t k) {
    return n <= UINT32_MAX ? n / 8 <= k : n / 4 <= k;
}

// The array form of sample() for invisible reads: the positions first, all k of them,
// then the elements in one pass, which for a list or tuple reads ahead (the positions are
// known by then) so that the random reads of the storage and the elements overlap. A list
// shrunk at a poll fails at the first position beyond its end, as its item method would.
template <typename Index, typename PollFn>
bool sample_from_array(GeneratorObject* self, SequenceReader& reader, std::uint64_t n,
                       std::uint64_t k, ResultList& result, PollFn& poll) {
    const ZeroedArray<Index> positions(n);
    const Index* const a = positions.get();
    if (!sample_positions(self->gen.engine, n, k, positions.get(), poll)) return false;
    constexpr std::uint64_t kAhead = 16;
    return in_blocks(k, kPollBlock, poll, [&](std::uint64_t begin, std::uint64_t end) {
        PyObject** const slots = result.slots();
        if (PyObject* const* items = reader.storage_covering(n)) [[likely]] {
            for (std::uint64_t i = begin; i < end; ++i) {
                if (end - i > 2 * kAhead) prefetch(&items[a[i + 2 * kAhead]]);
                if (end - i > kAhead) prefetch(items[a[i + kAhead]]);
                slots[i] = Py_NewRef(items[a[i]]);
            }
            return true;
        }
        for (std::uint64_t i = begin; i < end; ++i) {
            PyObject* item = reader.item(a[i]);
            if (item == nullptr) return false;
            slots[i] = item;
        }
        return true;
    });
}

PyObject* sample(GeneratorObject* self, SequenceArg seq, std::uint64_t k) {
    SequenceReader reader;
    if (!reader.open(seq.obj)) return nullptr;
    const std::uint64_t n = reader.size();
    if (auto invalid = check_sample(n, k)) [[unlikely]]
        return raise_value_error(*invalid);
    ResultList result;
    if (!result.allocate(k, reader.runs_python() || k > kPollBlock)) return nullptr;
    reader.refresh();
    auto poll = [&reader]() noexcept {
        if (!no_signal_raised()) return false;
        reader.refresh();
        return true;
    };
    bool complete;
    if (!reads_are_invisible(reader, seq.obj)) {
        complete = partial_fisher_yates<PyObject*>(
            self->gen.engine, n, k,
            [&reader](std::uint64_t pos, PyObject*& out) noexcept {
                out = reader.item(pos);
                return out != nullptr;
            },
            [&result](std::uint64_t i, PyObject* element) noexcept { result.set(i, element); },
            poll, [](PyObject*& element) noexcept { Py_XDECREF(element); });
    } else if (uses_position_array(n, k)) {
        complete = n <= UINT32_MAX
                       ? sample_from_array<std::uint32_t>(self, reader, n, k, result, poll)
                       : sample_from_array<std::uint64_t>(self, reader, n, k, result, poll);
    } else {
        // The map of positions: a position stands for the element there.
        complete = partial_fisher_yates<std::uint64_t>(
            self->gen.engine, n, k,
            [](std::uint64_t pos, std::uint64_t& out) noexcept {
                out = pos;
                return true;
            },
            [&reader, &result](std::uint64_t i, std::uint64_t pos) noexcept {
                PyObject* item = reader.item(pos);
                if (item == nullptr) return false;
                result.set(i, item);
                return true;
            },
            poll);
    }
    if (!complete) return nullptr;
    return result.release();
}

// --- shuffle ---------------------------------------------------------------------------

constexpr MethodDecl kShuffle{
    "Generator",
    "shuffle",
    {"seq"},
    Access::exclusive,
    "Shuffles a list in place, so that every ordering is equally likely, and returns None.\n\n"
    "Fisher-Yates: walks from the last index down to 1 and swaps each position with a\n"
    "uniformly drawn position at or before it. The list's own storage is permuted; its\n"
    "length and item methods are not called."};

PyObject* shuffle(GeneratorObject* self, ListArg seq) {
    // Swapping the stored pointers moves each item with the reference the list already
    // holds: no reference count changes, so no Python code runs within a block of the
    // walk. Between blocks the poll may run Python code that resizes the list, moving its
    // storage: the storage is read afresh for every block, and a list that has become too
    // short for the rest of the walk fails as its own item method would.
    PyObject* list = seq.obj;
    const std::size_t n = static_cast<std::size_t>(PyList_GET_SIZE(list));
    if (n < 2) Py_RETURN_NONE;
    const bool complete = in_blocks(
        self->gen.engine, n - 1, kPollBlock, kSignalPoll,
        [&](Xoshiro256PlusPlus& e, std::uint64_t begin, std::uint64_t end) {
            const std::size_t hi = n - static_cast<std::size_t>(begin);
            if (static_cast<std::size_t>(PyList_GET_SIZE(list)) < hi) [[unlikely]] {
                PyErr_SetString(PyExc_IndexError, "list index out of range");
                return false;
            }
            shuffle_steps(e, PySequence_Fast_ITEMS(list), hi, n - static_cast<std::size_t>(end));
            return true;
        });
    if (!complete) return nullptr;
    Py_RETURN_NONE;
}

// --- permutation -----------------------------------------------------------------------

constexpr MethodDecl kPermutation{
    "Generator",
    "permutation",
    {"n"},
    Access::exclusive,
    "Returns a new list of the ints 0..n-1 in random order; nothing passed in is modified.\n\n"
    "The same walk as shuffle(), so shuffling list(range(n)) from the same state gives\n"
    "the same order."};

// A new list of n ints written by fill(buffer, n) into a machine-integer buffer.
// The list and the buffer are both reserved before fill runs, so an impossible n is a
// MemoryError before any engine output is taken; fill returns false when the poll
// stopped it.
template <typename Fill>
PyObject* index_list(std::uint64_t n, Fill&& fill) {
    ResultList result;
    if (!result.allocate(n, n > kPollBlock)) return nullptr;
    const auto indices = index_buffer(n);
    if (indices == nullptr) return nullptr;
    if (!fill(indices.get(), static_cast<std::size_t>(n))) return nullptr;
    if (!result.set_all(indices.get(), n)) return nullptr;
    return result.release();
}

PyObject* permutation(GeneratorObject* self, std::uint64_t n) {
    return index_list(n, [self](std::uint64_t* out, std::size_t len) {
        return drawkit::permutation(self->gen.engine, out, len, kSignalPoll);
    });
}

// --- bootstrap_indices -------------------------------------------------------------------

constexpr MethodDecl kBootstrapIndices{
    "Generator",
    "bootstrap_indices",
    {"n"},
    Access::exclusive,
    "Returns a new list of n indices in [0, n), drawn independently with replacement.\n\n"
    "The index form of choices(): a large dataset is resampled by row index without\n"
    "being copied. n must be at least 1."};

PyObject* bootstrap_indices(GeneratorObject* self, std::uint64_t n) {
    if (auto invalid = check_bootstrap_indices(n)) [[unlikely]]
        return raise_value_error(*invalid);
    return index_list(n, [self](std::uint64_t* out, std::size_t len) {
        return drawkit::bootstrap_indices(self->gen.engine, out, len, kSignalPoll);
    });
}

// --- systematic_resample -----------------------------------------------------------------

constexpr MethodDecl kSystematicResample{
    "Generator",
    "systematic_resample",
    {"weights", "n"},
    Access::exclusive,
    "Returns a new list of n indices, each chosen with probability proportional to its\n"
    "weight, by systematic resampling: the low-variance resampling step of particle\n"
    "filters. One random offset and n evenly spaced points from it replace n independent\n"
    "draws; the expected count of every index is the same, with less variance. The\n"
    "indices come out in non-decreasing order.\n\n"
    "Raises ValueError for empty weights, a negative or non-finite weight, or a zero sum."};

PyObject* systematic_resample(GeneratorObject* self, FloatSeq& weights, std::uint64_t n) {
    double total = 0.0;
    if (auto invalid = check_systematic_resample(weights.values, total)) [[unlikely]]
        return raise_value_error(*invalid);
    total = rescale_overflowed_weights(weights.values, total);
    // The result is reserved first, so that an impossible n fails with the state
    // unchanged; the offset's output is then taken whatever n is (n = 0 consumes it too).
    return index_list(n, [&](std::uint64_t* out, std::size_t len) {
        const double u = next_f64(self->gen.engine);
        return drawkit::systematic_resample(u, weights.values, total, len, out, kSignalPoll);
    });
}

}  // namespace

PyMethodDef choice_method() { return method_def<kChoice, choice>(); }
PyMethodDef choices_method() { return method_def<kChoices, choices>(); }
PyMethodDef bootstrap_indices_method() {
    return method_def<kBootstrapIndices, bootstrap_indices>();
}
PyMethodDef systematic_resample_method() {
    return method_def<kSystematicResample, systematic_resample>();
}
PyMethodDef shuffle_method() { return method_def<kShuffle, shuffle>(); }
PyMethodDef permutation_method() { return method_def<kPermutation, permutation>(); }
PyMethodDef sample_method() { return method_def<kSample, sample>(); }

}  // namespace drawkit::py
