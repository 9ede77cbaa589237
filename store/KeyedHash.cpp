#include "KeyedHash.h"

#include <bit>
#include <chrono>
#include <cstddef>
#include <random>

namespace {

class SipState {
public:
    explicit SipState(const HashKey& key)
        : m_v{key.k0 ^ 0x736f6d6570736575ULL, key.k1 ^ 0x646f72616e646f6dULL, key.k0 ^ 0x6c7967656e657261ULL,
              key.k1 ^ 0x7465646279746573ULL} {}

    void Absorb(std::uint64_t word) {
        m_v[3] ^= word;
        Rounds(2);
        m_v[0] ^= word;
    }

    std::uint64_t Finish() {
        m_v[2] ^= 0xff;
        Rounds(4);
        return m_v[0] ^ m_v[1] ^ m_v[2] ^ m_v[3];
    }

private:
    void Rounds(int count) {
        for (int i = 0; i < count; ++i) {
            m_v[0] += m_v[1];
            m_v[1] = std::rotl(m_v[1], 13) ^ m_v[0];
            m_v[0] = std::rotl(m_v[0], 32);
            m_v[2] += m_v[3];
            m_v[3] = std::rotl(m_v[3], 16) ^ m_v[2];
            m_v[0] += m_v[3];
            m_v[3] = std::rotl(m_v[3], 21) ^ m_v[0];
            m_v[2] += m_v[1];
            m_v[1] = std::rotl(m_v[1], 17) ^ m_v[2];
            m_v[2] = std::rotl(m_v[2], 32);
        }
    }

    std::uint64_t m_v[4];
};

HashKey RandomKey() {
    try {
        std::random_device device;
        std::uniform_int_distribution<std::uint64_t> any;
        return {any(device), any(device)};
    } catch (...) {
        // No source of randomness: the clock still keeps the key from being known in advance.
        const auto now = std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
        return {now, std::rotl(now, 29) ^ std::uint64_t(reinterpret_cast<std::uintptr_t>(&now))};
    }
}

} // namespace

std::uint64_t SipHash24(const HashKey& key, std::initializer_list<std::string_view> pieces) {
    SipState state(key);
    // Bytes go in eight at a time, as a little-endian number, whatever the machine's byte order.
    std::uint64_t word = 0;
    std::size_t inWord = 0;
    std::size_t total = 0;
    for (const std::string_view piece : pieces) {
        for (const char byte : piece) {
            word |= std::uint64_t(static_cast<unsigned char>(byte)) << (8 * inWord);
            if (++inWord == 8) {
                state.Absorb(word);
                word = 0;
                inWord = 0;
            }
        }
        total += piece.size();
    }
    state.Absorb(word | std::uint64_t(total) << 56);
    return state.Finish();
}

const HashKey& ProcessHashKey() {
    static const HashKey key = RandomKey();
    return key;
}
