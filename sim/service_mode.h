/*
 * service_mode.h - how a simulated adapter service answers: normally, by
 * refusing every request, or not at all.  Each service says what refusing
 * looks like on the wire.
 */
#pragma once

namespace orvane::sim {

enum class ServiceMode {
    Answer,
    Refuse,
    Silent,
};

}  // namespace orvane::sim
