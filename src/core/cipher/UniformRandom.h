#pragma once
// A fast uniform generator (xoshiro256**), seeded once from the system's
// entropy source. Offsets are drawn once per character, so the generator is
// on the hot path of encryption.

#include <cstdint>
#include <random>

namespace velotan::cipher {

class UniformRandom {
  public:
    UniformRandom() {
        std::random_device rd;
        for (auto& w : s_) {
            w = (static_cast<uint64_t>(rd()) << 32) ^ rd();
        }
        if ((s_[0] | s_[1] | s_[2] | s_[3]) == 0) {
            s_[0] = 1;  // the all-zero state would stay zero forever
        }
    }

    uint64_t Next() {
        const uint64_t result = Rotl(s_[1] * 5, 7) * 9;
        const uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = Rotl(s_[3], 45);
        return result;
    }

    // Uniform integer from lo to hi inclusive, without modulo bias
    // (multiply-and-reject).
    int Between(int lo, int hi) {
        const uint32_t range = static_cast<uint32_t>(hi - lo) + 1;
        uint64_t m = static_cast<uint64_t>(static_cast<uint32_t>(Next() >> 32)) * range;
        auto low = static_cast<uint32_t>(m);
        if (low < range) {
            const uint32_t threshold = -range % range;
            while (low < threshold) {
                m = static_cast<uint64_t>(static_cast<uint32_t>(Next() >> 32)) * range;
                low = static_cast<uint32_t>(m);
            }
        }
        return lo + static_cast<int>(m >> 32);
    }

  private:
    static uint64_t Rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    uint64_t s_[4];
};

}  // namespace velotan::cipher
