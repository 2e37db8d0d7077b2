// The buffer of a converted float sequence.
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>

namespace drawkit::py {

// A growable array of doubles whose first kInline entries live in the object itself. The
// sequences a sampler passes on every call are short (a few shapes, a small mean and its
// factor), so converting one costs no allocation; a longer one moves to the heap, growing
// as a vector does. Neither copied nor moved: the data may point into the object.
class FloatBuffer {
public:
    static constexpr std::size_t kInline = 16;

    // User-provided, so that value-initialisation leaves the inline entries unwritten.
    FloatBuffer() noexcept {}
    FloatBuffer(const FloatBuffer&) = delete;
    FloatBuffer& operator=(const FloatBuffer&) = delete;
    ~FloatBuffer() {
        if (data_ != inline_) delete[] data_;
    }

    // Room for n values in all. Throws std::bad_alloc when that cannot be had.
    void reserve(std::size_t n) {
        if (n > capacity_) move_to(n);
    }

    // Appends x. Throws std::bad_alloc when the buffer must grow and cannot.
    void push_back(double x) {
        if (size_ == capacity_) [[unlikely]]
            move_to(2 * capacity_);
        data_[size_++] = x;
    }

    // Makes the size n, the values past the old size left for the caller to write.
    void resize_for_overwrite(std::size_t n) {
        reserve(n);
        size_ = n;
    }

    std::size_t size() const noexcept { return size_; }
    double* data() noexcept { return data_; }

    // Implicit, as from a vector: the buffer is passed on as a view of its values.
    operator std::span<double>() noexcept { return {data_, size_}; }
    operator std::span<const double>() const noexcept { return {data_, size_}; }

private:
    [[gnu::cold]] void move_to(std::size_t capacity) {
        double* const larger = new double[capacity];
        std::copy(data_, data_ + size_, larger);
        if (data_ != inline_) delete[] data_;
        data_ = larger;
        capacity_ = capacity;
    }

    double* data_ = inline_;
    std::size_t size_ = 0;
    std::size_t capacity_ = kInline;
    double inline_[kInline];
};

}  // namespace drawkit::py
