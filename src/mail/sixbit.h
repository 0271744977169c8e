#pragma once
#include <cstdint>
#include <cstring>

// Three bytes become four characters of a 64-character alphabet; base64 and
// UU differ only in the alphabet. Looking up two characters per 12 bits keeps
// the encoders at memory speed.
class TSixBitPairs {
public:
    template <class Digit> constexpr explicit TSixBitPairs(Digit digit) : pair_{}
    {
        for (int v = 0; v < 4096; ++v) {
            pair_[2 * v] = digit(v >> 6);
            pair_[2 * v + 1] = digit(v & 63);
        }
    }

    void Encode3(const unsigned char* src, char* dst) const
    {
        uint32_t v = (uint32_t(src[0]) << 16) | (uint32_t(src[1]) << 8) | src[2];
        std::memcpy(dst, pair_ + 2 * (v >> 12), 2);
        std::memcpy(dst + 2, pair_ + 2 * (v & 0xFFF), 2);
    }

    // The first count (1 or 2) bytes of a last group, the rest taken as zero.
    void EncodeTail(const unsigned char* src, size_t count, char* dst) const
    {
        unsigned char group[3] = {src[0], count > 1 ? src[1] : uint8_t(0), 0};
        Encode3(group, dst);
    }

private:
    char pair_[8192];
};
