// payload_helpers.h - message payloads for the tests: counting bytes and
// byte runs joined end to end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace tenq_test {

// 0, 1, 2 ... as message payload.
inline std::vector<uint8_t> counting(size_t n, uint8_t first = 0)
{
    std::vector<uint8_t> out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<uint8_t>(first + i);
    return out;
}

inline std::vector<uint8_t> bytes_of(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> out;
    for (const auto &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace tenq_test
