#include "common/engine/Driver.h"

#include "common/engine/Error.h"
#include "common/text/AsciiText.h"

namespace core {

ConnectText ConnectText::Parse(std::string_view text) {
    ConnectText result;
    result.raw = std::string(text);
    std::size_t start = 0;
    bool first = true;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view segment = text.substr(start, end - start);
        const std::size_t equals = segment.find('=');
        if (first && equals == std::string_view::npos) {
            result.driver = std::string(text::Trim(segment));
        } else if (equals != std::string_view::npos) {
            const std::string key = text::AsciiUpper(text::Trim(segment.substr(0, equals)));
            // A password keeps its blanks: they are part of it.
            std::string value(segment.substr(equals + 1));
            if (key == "PWD" || key == "PASSWORD") {
                if (result.password.empty()) result.password = value;
            } else if (!key.empty()) {
                result.options.emplace(key, std::string(text::Trim(value)));
            }
        }
        first = false;
        start = end + 1;
    }
    return result;
}

void Cursor::Insert(const std::vector<std::optional<Variant>>&) { ThrowReadOnly(std::string()); }

void Cursor::DeleteCurrent() { ThrowReadOnly(std::string()); }

void ThrowReadOnly(const std::string& databaseName) {
    std::string description = "Impossibile aggiornare. Il database";
    if (!databaseName.empty()) description += " '" + databaseName + "'";
    description += " è di sola lettura.";
    throw Error(err::ReadOnlyDatabase, description);
}

}  // namespace core
