#include "multinomial.hpp"

#include <cmath>
#include <string>

#include "../number_format.hpp"

namespace drawkit {

Invalid check_multinomial(std::span<const double> probs) {
    if (probs.empty()) return std::string("multinomial(n, []): probs must have at least one entry");
    for (std::size_t i = 0; i < probs.size(); ++i) {
        const double p = probs[i];
        if (!(p >= 0.0 && p <= 1.0)) {
            return "multinomial(): probs[" + format_uint(i) + "]=" + format_float(p) +
                   " must be between 0 and 1";
        }
    }
    double total = -0.0;
    for (const double p : probs) total = total + p;
    if (std::fabs(total + -1.0) > kMultinomialTolerance)
        return "multinomial(): probs must sum to 1.0, got " + format_float(total);
    return std::nullopt;
}

}  // namespace drawkit
