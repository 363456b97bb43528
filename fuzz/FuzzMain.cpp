// The libFuzzer entry of one target; which one is chosen at build time
// (AGENCY_FUZZ_TARGET names an entry of FuzzEntries.h).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::AGENCY_FUZZ_TARGET(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}

// FreeXL 1.0.6 leaks a few kilobytes inside itself on some damaged
// workbooks although its handle is closed; the leak check is about our code.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfreexl\n"; }
