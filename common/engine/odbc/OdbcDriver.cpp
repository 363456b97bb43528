#include <algorithm>
#include <cctype>
#include <fstream>

#include "common/engine/Error.h"
#include "common/engine/FsPath.h"
#include "common/text/AsciiText.h"

#include "common/engine/Drivers.h"
#include "common/engine/odbc/OdbcConnection.h"

namespace core {

namespace {

std::string Trim(std::string_view text) { return std::string(text::Trim(text, " \t\r\n")); }

// The [ODBC] section of a file data source as connect-string keys. The file
// is read here rather than by the driver manager, which does not find file
// data sources outside its own folder on every platform.
std::string ReadFileDsn(const std::string& path) {
    std::ifstream in(FsPath(path));
    if (!in)
        throw Error(err::FileNotFoundDb, "Impossibile trovare o leggere l'origine dati ODBC '" + path + "'.");
    std::string line, connect;
    bool inSection = false;
    int lines = 0;
    while (std::getline(in, line) && ++lines < 10000) {
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[') {
            inSection = text::AsciiLower(line) == "[odbc]";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inSection || equals == std::string::npos) continue;
        std::string key = Trim(line.substr(0, equals));
        std::string value = Trim(line.substr(equals + 1));
        if (text::AsciiLower(key) == "driver" && !value.empty() && value.front() != '{') value = "{" + value + "}";
        connect += key + "=" + value + ";";
    }
    if (connect.empty())
        throw Error(err::NotADatabase, "Il file '" + path + "' non è un'origine dati ODBC valida (manca la sezione [ODBC]).");
    return connect;
}

// Server databases in the original engine's connect-text form:
// "ODBC;DSN=name;UID=...;PWD=...", "ODBC;DRIVER={...};SERVER=...;...",
// "ODBC;FILEDSN=path", or "ODBC;" with a .dsn file as the database name.
class OdbcDriver final : public Driver {
public:
    std::string Name() const override { return "ODBC"; }
    bool HandlesDriverText(std::string_view text) const override { return text::AsciiLower(text) == "odbc"; }

    std::shared_ptr<Connection> Open(const OpenRequest& request) override {
        std::string connect = request.connect.raw;
        const std::size_t first = connect.find(';');
        connect = first == std::string::npos ? std::string() : connect.substr(first + 1);
        // A FILEDSN= key, or a .dsn file as the database name, is replaced
        // by the keys the file holds.
        std::string fileDsn;
        std::string rest;
        std::size_t start = 0;
        while (start < connect.size()) {
            std::size_t end = connect.find(';', start);
            if (end == std::string::npos) end = connect.size();
            const std::string segment = connect.substr(start, end - start);
            if (text::AsciiLower(segment).rfind("filedsn=", 0) == 0) fileDsn = segment.substr(8);
            else if (!segment.empty()) rest += segment + ";";
            start = end + 1;
        }
        const std::string lower = text::AsciiLower(rest);
        const bool namesSource = lower.find("dsn=") != std::string::npos || lower.find("driver=") != std::string::npos;
        if (fileDsn.empty() && !namesSource && !request.path.empty()) {
            const std::string path = text::AsciiLower(request.path);
            if (path.size() > 4 && path.compare(path.size() - 4, 4, ".dsn") == 0) fileDsn = request.path;
            else rest = "DSN=" + request.path + ";" + rest;
        }
        connect = fileDsn.empty() ? rest : ReadFileDsn(fileDsn) + rest;
        return std::make_shared<odbc::OdbcConnection>(connect, request.connect.password, request.readOnly);
    }
};

}  // namespace

std::unique_ptr<Driver> MakeOdbcDriver() { return std::make_unique<OdbcDriver>(); }

}  // namespace core
