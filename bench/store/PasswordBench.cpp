// Time to generate a password and to check every password of a book of 10,000 and 100,000 entries
// with a realistic mix: generated passwords, word-and-number passwords, common ones, and reuse.
#include "PasswordGenerator.h"
#include "PasswordHealth.h"

#include <benchmark/benchmark.h>

#include <array>
#include <random>
#include <string>

namespace {

const std::array<const char*, 16> kWords = {"summer",   "dragon", "monkey", "sunshine", "football", "princess",
                                            "welcome",  "shadow", "master", "freedom",  "whatever", "qazwsx",
                                            "trustno1", "ginger", "london", "charlie"};
const std::array<const char*, 6> kCommon = {"123456", "password", "qwerty", "letmein", "111111", "abc123"};

std::string WordPassword(std::mt19937& random) {
    std::string password = kWords[random() % kWords.size()];
    password[0] = static_cast<char>(password[0] - 'a' + 'A');
    password += std::to_string(1950 + random() % 75);
    if (random() % 2 == 0)
        password += "!";
    return password;
}

std::string GeneratedText(std::mt19937& random) {
    const RandomBytesSource seeded = [&random](std::span<unsigned char> buffer) {
        for (unsigned char& byte : buffer)
            byte = static_cast<unsigned char>(random());
        return true;
    };
    GeneratedPassword password;
    GeneratePassword({.length = 12 + random() % 13}, password, seeded);
    return std::string(password.Text());
}

// Half generated, a quarter word and number, a tenth common, the rest reusing an earlier password.
AccountBook MixedBook(std::size_t entries) {
    std::mt19937 random(2024);
    AccountBook book;
    CopyFieldText(book.szAdminAccount, "owner");
    CopyFieldText(book.szAdminPassword, "Owner-Passphrase-1987");
    book.vecEntries.resize(entries);
    for (std::size_t row = 0; row < entries; ++row) {
        AccountEntry& entry = book.vecEntries[row];
        const unsigned kind = random() % 20;
        std::string password = kind < 10   ? GeneratedText(random)
                               : kind < 15 ? WordPassword(random)
                               : kind < 17 ? std::string(kCommon[random() % kCommon.size()])
                               : row > 0   ? std::string(FieldText(book.vecEntries[random() % row].szPassword))
                                           : WordPassword(random);
        CopyFieldText(entry.szAccount, "user" + std::to_string(row) + "@example.org");
        CopyFieldText(entry.szPassword, password);
        CopyFieldText(entry.szComment, row % 3 == 0 ? "work mail for the team" : "");
        WipeString(password);
    }
    return book;
}

void BM_GeneratePassword(benchmark::State& state) {
    const PasswordGeneratorOptions options{.length = static_cast<std::size_t>(state.range(0))};
    GeneratedPassword password;
    for (auto _ : state) {
        if (GeneratePassword(options, password) != GeneratorError::None)
            state.SkipWithError("the kernel's random source failed");
        benchmark::DoNotOptimize(password.Text().data());
    }
}
BENCHMARK(BM_GeneratePassword)->Arg(4)->Arg(20)->Arg(128);

void BM_CheckBookPasswords(benchmark::State& state) {
    const AccountBook book = MixedBook(static_cast<std::size_t>(state.range(0)));
    std::size_t problems = 0;
    for (auto _ : state) {
        BookHealth health;
        CheckBookPasswords(book, health);
        problems = 0;
        for (const EntryHealth& line : health.entries)
            problems += line.HasProblems() ? 1 : 0;
    }
    state.counters["entries_with_problems"] = static_cast<double>(problems);
}
BENCHMARK(BM_CheckBookPasswords)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
