#pragma once
// The user's words: every text that more than one place of the programs or
// the engine shows, written once. Header only, so that the engine uses it
// without depending on the programs' foundation.

#include <string>

namespace msg {

inline constexpr const char* kSuccess = "Operazione eseguita con successo!";
inline constexpr const char* kConfirmImport = "Confermi l'operazione di importazione dati?";
inline constexpr const char* kConfirmUpgrade = "Confermi l'operazione di aggiornamento?";
inline constexpr const char* kConfigNotFound = "Il file di configurazione non è stato trovato!";
inline constexpr const char* kEndsProgram = " L'applicazione verrà terminata!";
inline constexpr const char* kOutOfMemory = "Memoria esaurita.";
inline constexpr const char* kInternalError = "Errore interno: ";
inline constexpr const char* kPathAccess = "Errore di accesso al percorso/file: ";
inline constexpr const char* kCannotExecuteSelect = "Impossibile eseguire una query di selezione";

// The title of every error box.
inline std::string ErrorTitle(int number) { return "Errore n. " + std::to_string(number); }

// A file that is not there, as the engine names it.
inline std::string FileNotFound(const std::string& path) { return "Impossibile trovare il file '" + path + "'."; }

// A record the destination refused.
inline std::string CannotSaveRecord(const std::string& table) { return "Impossibile salvare il record in '" + table + "'"; }

}  // namespace msg
