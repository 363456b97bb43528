// Our own reader rather than a library: the configuration files are written
// for the Windows profile reader, and neither QSettings (backslashes are
// escapes, commas split values into lists) nor inih (200-character lines,
// inline ';' comments stripped, indented lines joined, quotes kept) reads
// them the same way.
#include "common/IniFile.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "common/Conversions.h"
#include "common/Paths.h"
#include "common/engine/Error.h"
#include "common/engine/FsPath.h"
#include "common/text/AsciiText.h"
#include "common/text/CodePages.h"

namespace core {
namespace {

// Blanks as the profile reader skips them; lines are already split at CR
// and LF.
constexpr std::string_view kBlanks = " \t\v\f";

std::string_view Trim(std::string_view s) { return text::Trim(s, kBlanks); }

// The first `count` characters (code points) of a UTF-8 text.
std::string_view FirstChars(std::string_view s, std::size_t count) {
    std::size_t i = 0;
    for (std::size_t chars = 0; i < s.size(); ++chars) {
        if (chars == count) break;
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    }
    return s.substr(0, i);
}

std::string StripQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(FirstChars(value, kIniValueMaxChars));
}

// The whole file as UTF-8, or nothing when it cannot serve as an INI file.
std::optional<std::string> LoadText(const std::string& file) {
    if (file.empty()) return std::nullopt;
    std::error_code ec;
    const auto path = FsPath(file);
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size > kIniFileMaxBytes) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(size));
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));  // the file may have shrunk meanwhile
    return text::DecodeFileText(bytes);
}

std::optional<std::string> FindValue(std::string_view text, std::string_view section, std::string_view key) {
    bool inSection = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        // CR, LF and NUL all end a line, so CRLF, LF and damaged files alike
        // split into lines.
        std::size_t end = text.find_first_of(std::string_view("\r\n\0", 3), pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = Trim(text.substr(pos, end - pos));
        pos = end + 1;

        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const std::size_t close = line.rfind(']');
            if (close == std::string_view::npos) continue;  // not a header: ignored
            if (inSection) return std::nullopt;  // only the first section of a name counts
            inSection = text::SameTextIgnoringCase(Trim(line.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection) continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view name = Trim(line.substr(0, equals));
        if (name.empty() || !text::SameTextIgnoringCase(name, key)) continue;
        return StripQuotes(Trim(line.substr(equals + 1)));
    }
    return std::nullopt;
}

std::string DefaultValue(std::string_view defaultValue) {
    defaultValue = defaultValue.substr(0, defaultValue.find_last_not_of(kBlanks) + 1);
    return std::string(FirstChars(defaultValue, kIniValueMaxChars));
}

}  // namespace

std::string ReadIniString(std::string_view section, std::string_view key, std::string_view defaultValue,
                          const std::string& file) {
    if (key.empty()) return DefaultValue(defaultValue);
    const std::optional<std::string> text = LoadText(file);
    if (!text) return DefaultValue(defaultValue);
    std::optional<std::string> value = FindValue(*text, section, key);
    return value ? std::move(*value) : DefaultValue(defaultValue);
}

std::int16_t ReadIniCount(std::string_view section, std::string_view key, const std::string& file) {
    const std::string value = ReadIniString(section, key, "0", file);
    try {
        return ToInt16(value);
    } catch (const Error& e) {
        const std::string where = "il valore \"" + value + "\" della chiave " + std::string(key) +
                                  " nella sezione [" + std::string(section) + "] del file " + file;
        if (e.Number() == err::Overflow)
            throw Error(e.Number(), "Overflow: " + where + " è fuori dell'intervallo da -32768 a 32767.", "ReadIniCount");
        throw Error(e.Number(), "Tipo non corrispondente: " + where + " non è un numero intero.",
                    "ReadIniCount");
    }
}

}  // namespace core
