#include "midi/io/jack/jack_clients.h"

#include <atomic>

namespace halvorn {

namespace {
std::atomic<int> clientsInUse{0};
}  // namespace

JackClientInUse::JackClientInUse() {
    clientsInUse.fetch_add(1, std::memory_order_acq_rel);
}

JackClientInUse::~JackClientInUse() {
    clientsInUse.fetch_sub(1, std::memory_order_acq_rel);
}

bool jackClientsInUse() {
    return clientsInUse.load(std::memory_order_acquire) > 0;
}

}  // namespace halvorn
