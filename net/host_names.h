#pragma once
// The names behind a round-robin host name: every address the resolver gives for it, each
// turned back into its own name. A directory that spreads its load over mirrors this way wants
// clients to pick one mirror by name (its certificate names the mirror, not the address).

#include <QStringList>

#include <chrono>

namespace wavelot {

// Host names of the addresses of `host` (IPv4 and IPv6), without duplicates, in the order the
// resolver gave them; an address without a name of its own is left out. Empty when the
// resolver does not answer within `timeLimit` or knows no address.
//
// The lookup runs on a worker thread; the caller waits dispatching events when it is the
// application's main thread. A lookup that outlives the limit is abandoned, not cancelled:
// the system resolver cannot be interrupted, so its thread finishes on its own later and its
// answer is dropped.
QStringList ResolveHostNames(const QString& host, std::chrono::milliseconds timeLimit);

}  // namespace wavelot
