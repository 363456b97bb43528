#pragma once
// Where the program's files are: its own folder, and paths written with
// backslashes as in the configuration files.

#include <string>
#include <string_view>

namespace core {

// The folder holding the running executable, without a trailing separator
// ("" for the root). UTF-8.
std::string ProgramFolder();
// Tests pretend the program lives elsewhere; an empty text undoes it.
void SetProgramFolderForTesting(const std::string& folder);

// A backslash is the path separator in the configuration files and in the
// fixed path texts ("\Varnel.ini", "\Tpl\"), so that an INI written on
// Windows works unchanged: here it becomes the native separator.
std::string NativeSeparators(std::string_view windowsPath);

// The program's folder followed by a relative text joined as it stands,
// e.g. PathBesideProgram("\\Tpl\\Clienti.ini"). Nothing is added or
// removed between the parts: "\\" + "Dati" + "archivio.mdb" names the file
// "Datiarchivio.mdb".
std::string PathBesideProgram(std::string_view relative);

// The destination database: the program's folder, "\", DBPATH and DBFILE
// joined as they stand. With both empty it is the folder itself plus a
// separator, which FileExists rejects.
std::string DestinationDatabasePath(std::string_view dbPath, std::string_view dbFile);

// The part of a path after its last separator ("/" or "\").
std::string FileTitleOf(const std::string& path);

// True only for an existing regular file (or a link to one); false for the
// empty text, folders and anything that cannot be examined.
bool FileExists(const std::string& path);

// The first sentence of the message that ends a program whose file is not
// there: `what` ("il file archivio"), the path tried and, where it can be
// told, why: a folder in place of the file, a drive letter in DBPATH or
// DBFILE (both are relative to the program's folder), a value cut at the
// configuration file's limit, DBPATH without its closing '\', a folder
// that does not exist.
std::string NotFoundSentence(const std::string& what, const std::string& path, std::string_view dbPath = {},
                             std::string_view dbFile = {});

}  // namespace core
