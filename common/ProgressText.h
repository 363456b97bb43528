#pragma once
// Small pieces of the texts the runs show while they work and when they end.

#include <string>

namespace core {

// A count with the thousands grouped by dots, as Italian writes them:
// 1234567 -> "1.234.567".
std::string GroupDigits(long long n);

// "1 record", "1.234 record": the count with its noun, singular or plural.
std::string CountOf(long long n, const char* one, const char* many);

}  // namespace core
