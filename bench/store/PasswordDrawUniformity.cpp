// Draws 1,000,000 characters from each of a few character sets, as the password generator draws
// them from the kernel's random source, and prints the chi-squared statistic of their counts with
// its degrees of freedom, its p-value and the critical value at 1 %. A draw that favours some
// characters (a modulo bias, a wrong rejection bound) gives a statistic far above the critical value.
#include "PasswordGenerator.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kDraws = 1'000'000;
constexpr double kUpperOnePercentZ = 2.326348; // the standard normal's upper 1 % point

// The Wilson-Hilferty cube-root normal approximation of the chi-squared distribution: the standard
// normal score of a statistic with the given degrees of freedom (close for 9 degrees and more).
double WilsonHilfertyScore(double statistic, double degrees) {
    const double spread = 2.0 / (9.0 * degrees);
    return (std::cbrt(statistic / degrees) - (1.0 - spread)) / std::sqrt(spread);
}

double CriticalValue(double degrees) {
    const double spread = 2.0 / (9.0 * degrees);
    return degrees * std::pow(1.0 - spread + kUpperOnePercentZ * std::sqrt(spread), 3.0);
}

// Prints one row; false when the random source failed.
bool Report(const char* what, const PasswordGeneratorOptions& options) {
    std::string alphabet;
    for (const std::string& kind : ChosenCharacterKinds(options))
        alphabet += kind;
    std::vector<std::size_t> counts(256, 0);
    const RandomBytesSource kernel = KernelRandomBytes;
    RandomByteStream random(kernel);
    for (std::size_t i = 0; i < kDraws; ++i) {
        char drawn = 0;
        if (!DrawCharacter(alphabet, random, drawn))
            return false;
        ++counts[static_cast<unsigned char>(drawn)];
    }
    const double expected = static_cast<double>(kDraws) / static_cast<double>(alphabet.size());
    double statistic = 0;
    for (const char c : alphabet) {
        const double difference = static_cast<double>(counts[static_cast<unsigned char>(c)]) - expected;
        statistic += difference * difference / expected;
    }
    const double degrees = static_cast<double>(alphabet.size() - 1);
    const double pValue = 0.5 * std::erfc(WilsonHilfertyScore(statistic, degrees) / std::sqrt(2.0));
    std::printf("%-40s %3zu chars  chi2 = %8.2f  df = %3.0f  p = %.3f  critical at 1%% = %6.2f  %s\n", what,
                alphabet.size(), statistic, degrees, pValue, CriticalValue(degrees),
                statistic < CriticalValue(degrees) ? "uniform" : "NOT UNIFORM at 1%");
    return true;
}

} // namespace

int main() {
    std::printf("%zu characters per set, from getrandom\n", kDraws);
    const bool drawn =
        Report("all kinds, look-alikes excluded", {}) &&
        Report("all kinds, look-alikes kept", {.excludeLookAlikes = false}) &&
        Report("digits only", {.lowerCase = false, .upperCase = false, .symbols = false, .excludeLookAlikes = false});
    if (!drawn)
        std::fprintf(stderr, "the kernel's random source failed\n");
    return drawn ? 0 : 1;
}
