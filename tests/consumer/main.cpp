// consumer SEED: the first draws of drawkit.Generator(SEED), floats as their bit patterns.
#include <drawkit/distributions.hpp>

#include <bit>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    drawkit::Generator g = drawkit::Generator::from_seed(std::strtoull(argv[1], nullptr, 10));
    const double floats[] = {drawkit::next_f64(g.engine), drawkit::normal(g, 1.0, 2.0),
                             drawkit::gamma(g, 0.5, 2.0)};
    for (const double x : floats) std::printf("%016" PRIx64 "\n", std::bit_cast<std::uint64_t>(x));
    std::printf("%" PRIu64 "\n", drawkit::poisson(g.engine, 25.0));
    std::printf("%016" PRIx64 "\n", std::bit_cast<std::uint64_t>(drawkit::normal(g, 0.0, 1.0)));
}
