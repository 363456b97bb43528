#include "common/engine/BusyWait.h"

#include <mutex>

namespace core {

namespace {

std::mutex& PolicyMutex() {
    static std::mutex mutex;
    return mutex;
}

BusyPolicy& Installed() {
    static BusyPolicy policy;
    return policy;
}

}  // namespace

BusyPolicy SetBusyPolicy(BusyPolicy policy) {
    std::lock_guard lock(PolicyMutex());
    BusyPolicy previous = std::move(Installed());
    Installed() = std::move(policy);
    return previous;
}

bool KeepWaitingForBusy(const std::string& database, std::chrono::milliseconds waited) {
    BusyPolicy policy;
    {
        std::lock_guard lock(PolicyMutex());
        policy = Installed();
    }
    if (!policy) return waited < kDefaultBusyWait;
    return policy(database, waited);
}

}  // namespace core
