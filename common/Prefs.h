#pragma once
// The program-wide values: set once (the configuration path at start-up, the
// rest by the main window's load) and then only read.

#include <string>
#include <string_view>

namespace core {

struct Prefs {
    std::string programTitle;      // "Varnel", "Tessily" or "Quillon"
    std::string iniPath;           // the program's folder + "\Varnel.ini"...
    std::string dbFolder;          // DBPATH as read
    std::string destinationPath;   // folder + "\" + DBPATH + DBFILE (DestinationDatabasePath)
    std::string destinationPassword;  // DBPWD after DecodeHex
    std::string previousFileName;  // PREFILE
    std::string previousPassword;  // PREPWD, as stored
    std::string dialogFolder;      // where the file-open dialog starts (source selection)
};

// The one set of values of the running program.
Prefs& ThePrefs();

// Sets the program title and the configuration file path (the program's
// folder followed by "\" and iniName, e.g. "Varnel.ini"); every other value
// goes back to empty.
void InitPrefs(std::string_view title, std::string_view iniName);

// A value of section CFG of the configuration file, "" when missing.
std::string ReadCfg(std::string_view key);

// The destination settings every main window reads at load, from section CFG:
// DBPATH into dbFolder, the destination path built from DBPATH and DBFILE,
// DBPWD decoded into destinationPassword and, with previousVersion (Varnel,
// Tessily), PREFILE and PREPWD as they stand.
void LoadDestinationSettings(bool previousVersion);

}  // namespace core
