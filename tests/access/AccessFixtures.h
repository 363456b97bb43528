#pragma once
// The real Access files the tests read, kept in tests/data.

#include <ostream>
#include <string>
#include <vector>

#include "common/engine/Variant.h"

namespace core {
// Readable values in failure messages.
inline void PrintTo(const Variant& value, std::ostream* os) { *os << Describe(value); }
}  // namespace core

namespace accesstest {

struct Fixture {
    std::string path;      // absolute
    std::string password;  // the one that opens it; empty for an unprotected file
};

inline std::string FixturePath(const std::string& relative) {
    return std::string(AGENCY_FIXTURES) + "/" + relative;
}

// Test names and messages show the file under tests/data, never the bytes of
// the structure nor the checkout's own path.
inline void PrintTo(const Fixture& fixture, std::ostream* os) {
    const std::string root = FixturePath("");
    const bool inside = fixture.path.compare(0, root.size(), root) == 0;
    *os << (inside ? fixture.path.substr(root.size()) : fixture.path);
    if (!fixture.password.empty()) *os << " (with password)";
}

// Every readable fixture (the encrypted ACE file is not readable).
inline std::vector<Fixture> ReadableFixtures() {
    return {
        {FixturePath("access/V1997_test.mdb"), ""},
        {FixturePath("access/V2000_test.mdb"), ""},
        {FixturePath("access/V2000_empty.mdb"), ""},
        {FixturePath("access/V2000_no-password.mdb"), ""},
        {FixturePath("access/V2000_with-password.mdb"), "password"},
        {FixturePath("access/V2003_test.mdb"), ""},
        {FixturePath("access/V2003_with-password.mdb"), "password"},
        {FixturePath("access/V2007_test.accdb"), ""},
        {FixturePath("access/V2010_test.accdb"), ""},
        {FixturePath("access/nwind.mdb"), ""},
        {FixturePath("v4/archivio4.mdb"), "vup"},
    };
}

}  // namespace accesstest
