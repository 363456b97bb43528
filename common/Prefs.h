#pragma once
// The program-wide values: set once (the configuration path at start-up, the
// rest by the main window's load) and then only read.

#include <string>
#include <utility>
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
    // DBCONNECT: the ODBC connect text of a destination on a database server,
    // its password decoded; empty for a destination file.
    std::string destinationConnect;
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
// With DBCONNECT present the destination is that server database instead:
// destinationConnect holds its connect text (the PWD value decoded as DBPWD
// is), destinationPath and destinationPassword stay empty.
void LoadDestinationSettings(bool previousVersion);

// Whether the destination is a server database (DBCONNECT).
bool DestinationIsServer();
// What the window shows as the destination: the file's path, or the
// server's connect text without its password.
std::string DestinationDisplay();
// Points a data control at the destination: the server's connect text, or
// the file with ";PWD=" and the given password.
void PointAtDestination(class DataControl& dc, const std::string& password);
// The same for a database opened directly (Workspace::OpenDatabase): the
// path and the connect text to use.
std::pair<std::string, std::string> DestinationPathAndConnect(const std::string& password);

}  // namespace core
