#pragma once
// What the engine does while another program holds a database file it needs
// (SQLite answers "busy"): it waits in short sleeps and, between two, asks
// the installed policy whether to go on waiting. Without a policy the wait
// ends after two seconds with the engine's "file in use" error (3045). The
// programs install one that keeps the window alive and asks the user.

#include <chrono>
#include <functional>
#include <string>

namespace core {

// database: the file waited for; waited: since this wait began. Returns
// whether to wait on. Called on the thread that waits.
using BusyPolicy = std::function<bool(const std::string& database, std::chrono::milliseconds waited)>;

// Installs a policy (an empty one restores the default) and returns the
// previous one.
BusyPolicy SetBusyPolicy(BusyPolicy policy);

// For the drivers: whether to wait on.
bool KeepWaitingForBusy(const std::string& database, std::chrono::milliseconds waited);

constexpr std::chrono::milliseconds kDefaultBusyWait{2000};

}  // namespace core
