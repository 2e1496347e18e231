/*
 * simulator_bus_state.cpp - the Simulator's accessors for the state of the
 * bus units, filter slots and periodic slots.  Each returns a copy taken
 * under the simulator's lock.
 */
#include "sim/simulator.h"

namespace orvane::sim {

BusDevices Simulator::bus_devices() const
{
    std::lock_guard lock(mu_);
    return bus_;
}

FilterSlots Simulator::filter_slots() const
{
    std::lock_guard lock(mu_);
    return filters_;
}

PeriodicSlots Simulator::periodic_slots() const
{
    std::lock_guard lock(mu_);
    return periodic_;
}

}  // namespace orvane::sim
