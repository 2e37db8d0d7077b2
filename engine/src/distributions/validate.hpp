// The argument validators every family shares, and the type they report with.
//
// A check passes by returning nothing; a failing one returns the ValueError message, which
// the Python layer raises as it stands. Messages are built only on the failing path (the
// builders are out of line and cold), so the passing path allocates nothing.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace drawkit {

// A failed validation: the ValueError message, or nothing when the arguments pass.
using Invalid = std::optional<std::string>;

inline constexpr bool is_finite(double x) noexcept {
    // Written as a comparison so that it stays exact under every optimisation level
    // (NaN fails both comparisons).
    return x - x == 0.0;
}

[[gnu::cold]] std::string positive_message(std::string_view name, double value);
[[gnu::cold]] std::string probability_message(double value);
[[gnu::cold]] std::string finite_message(std::string_view name, double value);

// Passes only for finite values greater than zero (positive subnormals pass, +-0 fail).
inline Invalid require_positive(std::string_view name, double value) {
    if (value > 0.0 && is_finite(value)) [[likely]]
        return std::nullopt;
    return positive_message(name, value);
}

// Passes for finite values in [0, 1]; -0.0 passes (it is not negative).
inline Invalid require_probability(double value) {
    if (value >= 0.0 && value <= 1.0) [[likely]]
        return std::nullopt;
    return probability_message(value);
}

// "{name} must be finite, got {value}" for the location-like parameters.
inline Invalid require_finite(std::string_view name, double value) {
    if (is_finite(value)) [[likely]]
        return std::nullopt;
    return finite_message(name, value);
}

}  // namespace drawkit
