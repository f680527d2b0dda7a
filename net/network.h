// Network: TCP servers and users exchanging messages between games, and
// HTTP fetches. The record's parts are in net/registry.h.
#pragma once

namespace qrt {

struct Family;
struct NetworkRegistry;

// The network registry of the run, or nullptr when it is absent.
NetworkRegistry* networkRegistry();
Family networkFamily();

}  // namespace qrt
