#include <cctype>
#include <cstring>

#include "common/engine/Drivers.h"
#include "common/engine/sqlite/SqliteConnection.h"
#include "common/text/AsciiText.h"

namespace core {
namespace {

class SqliteDriver : public Driver {
public:
    std::string Name() const override { return "SQLite"; }

    // "SQLite", "SQLite3", "SQLite 3", "SQLCipher" and the like.
    bool HandlesDriverText(std::string_view driverText) const override {
        const std::string lower = text::AsciiLower(driverText);
        auto startsWith = [&](std::string_view p) { return lower.substr(0, p.size()) == p; };
        if (!startsWith("sqlite") && !startsWith("sqlcipher")) return false;
        // Only a version may follow the name.
        const std::size_t rest = startsWith("sqlite") ? 6 : 9;
        for (std::size_t i = rest; i < lower.size(); ++i)
            if (!std::isdigit(static_cast<unsigned char>(lower[i])) && lower[i] != ' ' && lower[i] != '.')
                return false;
        return true;
    }

    bool RecognisesHeader(std::string_view header) const override {
        static constexpr char plain[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f',
                                           'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};
        return header.size() >= sizeof plain && std::memcmp(header.data(), plain, sizeof plain) == 0;
    }

    // An encrypted database has no recognisable header: whatever no other
    // driver claims is tried as one.
    bool IsDefault() const override { return true; }

    std::shared_ptr<Connection> Open(const OpenRequest& request) override {
        return sqlite::SqliteConnection::Open(request);
    }
};

}  // namespace

std::unique_ptr<Driver> MakeSqliteDriver() { return std::make_unique<SqliteDriver>(); }

}  // namespace core
