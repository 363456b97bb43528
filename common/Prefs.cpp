#include "common/Prefs.h"

#include "common/Conversions.h"
#include "common/IniFile.h"
#include "common/Paths.h"

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

void LoadDestinationSettings(bool previousVersion) {
    Prefs& prefs = ThePrefs();
    prefs.dbFolder = ReadCfg("DBPATH");
    prefs.destinationPath = DestinationDatabasePath(prefs.dbFolder, ReadCfg("DBFILE"));
    prefs.destinationPassword = DecodeHex(ReadCfg("DBPWD"));
    if (previousVersion) {
        prefs.previousFileName = ReadCfg("PREFILE");
        prefs.previousPassword = ReadCfg("PREPWD");
    }
}

}  // namespace core
