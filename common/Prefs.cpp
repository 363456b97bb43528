#include "common/Prefs.h"

#include <cctype>
#include <functional>

#include "common/Conversions.h"
#include "common/IniFile.h"
#include "common/Paths.h"
#include "common/engine/Dao.h"
#include "common/text/AsciiText.h"

namespace core {

Prefs& ThePrefs() {
    static Prefs prefs;
    return prefs;
}

void InitPrefs(std::string_view title, std::string_view iniName) {
    Prefs& prefs = ThePrefs();
    prefs = Prefs{};
    prefs.programTitle = std::string(title);
    std::string relative(iniName);
    if (relative.empty() || (relative.front() != '\\' && relative.front() != '/')) relative.insert(0, "\\");
    prefs.iniPath = PathBesideProgram(relative);
}

std::string ReadCfg(std::string_view key) { return ReadIniString("CFG", key, "", ThePrefs().iniPath); }

namespace {

// Rewrites the PWD= value of a connect text; keeps everything else as written.
std::string ReplacePassword(const std::string& connect, const std::function<std::string(const std::string&)>& change) {
    std::string out;
    std::size_t start = 0;
    while (start <= connect.size()) {
        std::size_t end = connect.find(';', start);
        if (end == std::string::npos) end = connect.size();
        std::string segment = connect.substr(start, end - start);
        const std::string key = text::AsciiUpper(segment.substr(0, segment.find('=')));
        if ((key == "PWD" || key == "PASSWORD") && segment.find('=') != std::string::npos)
            segment = segment.substr(0, segment.find('=') + 1) + change(segment.substr(segment.find('=') + 1));
        out += segment;
        if (end < connect.size()) out += ';';
        start = end + 1;
    }
    return out;
}

}  // namespace

void LoadDestinationSettings(bool previousVersion) {
    Prefs& prefs = ThePrefs();
    prefs.dbFolder = ReadCfg("DBPATH");
    const std::string server = ReadCfg("DBCONNECT");
    if (!server.empty()) {
        prefs.destinationConnect = ReplacePassword(server, [](const std::string& hex) { return DecodeHex(hex); });
        prefs.destinationPath.clear();
        prefs.destinationPassword.clear();
    } else {
        prefs.destinationConnect.clear();
        prefs.destinationPath = DestinationDatabasePath(prefs.dbFolder, ReadCfg("DBFILE"));
        prefs.destinationPassword = DecodeHex(ReadCfg("DBPWD"));
    }
    if (previousVersion) {
        prefs.previousFileName = ReadCfg("PREFILE");
        prefs.previousPassword = ReadCfg("PREPWD");
    }
}

bool DestinationIsServer() { return !ThePrefs().destinationConnect.empty(); }

std::string DestinationDisplay() {
    const Prefs& prefs = ThePrefs();
    if (prefs.destinationConnect.empty()) return prefs.destinationPath;
    std::string shown = ReplacePassword(prefs.destinationConnect, [](const std::string&) { return std::string("***"); });
    return shown;
}

void PointAtDestination(DataControl& dc, const std::string& password) {
    const Prefs& prefs = ThePrefs();
    if (!prefs.destinationConnect.empty()) {
        dc.Connect = prefs.destinationConnect;
        dc.DatabaseName.clear();
    } else {
        dc.Connect = ";PWD=" + password;
        dc.DatabaseName = prefs.destinationPath;
    }
}

std::pair<std::string, std::string> DestinationPathAndConnect(const std::string& password) {
    const Prefs& prefs = ThePrefs();
    if (!prefs.destinationConnect.empty()) return {std::string(), prefs.destinationConnect};
    return {prefs.destinationPath, ";PWD=" + password};
}

}  // namespace core
