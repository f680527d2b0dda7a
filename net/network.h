// Network: TCP servers and users between games, and HTTP fetches.
#pragma once

namespace qrt {

struct Family;

// The network registry: servers, users and downloads.
struct NetworkRegistry {};
NetworkRegistry* networkRegistry();
Family networkFamily();

}  // namespace qrt
