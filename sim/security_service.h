/*
 * security_service.h - the simulated adapter's seed/key service.  A request
 * {0xF2, op 2} carries the 47-byte record: level, 12 fixed bytes, 16 seed
 * bytes, 18 key bytes (zero).  The answer comes through the memory device:
 * {0xE0, op 2} with the 18 key bytes of security_key().  A request of
 * another size, and every request in the refusing mode, is answered with
 * the error flag 0x40 and no data.
 */
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "sim/handlers.h"
#include "sim/service_mode.h"

namespace orvane::sim {

constexpr size_t kSecurityRequestSize = 47;
constexpr size_t kSecurityFixedSize = 12;
constexpr size_t kSecuritySeedSize = 16;
constexpr size_t kSecurityKeySize = 18;

// The simulator's seed-to-key function (made up; no vehicle uses it).  For
// i = 0 .. 17:
//   key[i] = rotl8(seed[i % 16] ^ fixed[i % 12] ^ level, i % 8) ^ (0x5A + 3 * i)
// with rotl8 an 8-bit left rotation and the sum taken modulo 256.
std::array<uint8_t, kSecurityKeySize>
security_key(uint8_t level, std::span<const uint8_t, kSecurityFixedSize> fixed,
             std::span<const uint8_t, kSecuritySeedSize> seed);

struct SecurityService {
    ServiceMode mode = ServiceMode::Answer;
};

void add_security_handlers(HandlerTable &table, SecurityService &service);

}  // namespace orvane::sim
