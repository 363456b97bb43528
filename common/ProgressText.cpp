#include "common/ProgressText.h"

namespace core {

std::string GroupDigits(long long n)
{
    const bool negative = n < 0;
    const unsigned long long magnitude =
        negative ? 0ULL - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
    const std::string digits = std::to_string(magnitude);
    std::string out;
    const std::size_t first = digits.size() % 3 == 0 ? 3 : digits.size() % 3;
    out += digits.substr(0, first);
    for (std::size_t i = first; i < digits.size(); i += 3) out += "." + digits.substr(i, 3);
    return negative ? "-" + out : out;
}

std::string CountOf(long long n, const char* one, const char* many)
{
    return GroupDigits(n) + " " + (n == 1 ? one : many);
}

}  // namespace core
