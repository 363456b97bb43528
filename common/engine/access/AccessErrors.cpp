#include "common/engine/access/AccessErrors.h"

#include "common/Messages.h"
#include "common/engine/Error.h"

namespace core::access {

namespace {
// Not among the shared constants: only this driver refuses a SELECT given
// to Execute.
}  // namespace

void ThrowFileNotFound(const std::string& path) {
    throw Error(err::FileNotFoundDb, msg::FileNotFound(path), kSource);
}

void ThrowCannotOpen(const std::string& path, const std::string& nativeText) {
    throw Error(err::CannotOpenFile,
                "Impossibile aprire il file '" + path + "': il file non è leggibile.", kSource,
                nativeText);
}

void ThrowNotAccessFile(const std::string& path) {
    throw Error(err::NotADatabase,
                "Formato di database non riconosciuto: il file '" + path +
                    "' non è un database Access.",
                kSource);
}

void ThrowEncryptedAce(const std::string& path) {
    throw Error(err::NotADatabase,
                "Il database '" + path +
                    "' è un file Access 2007 o successivo cifrato con password e non può "
                    "essere letto. Aprirlo con Access, rimuovere la password del database e riprovare.",
                kSource);
}

void ThrowBadPassword(const std::string& path) {
    throw Error(err::BadPassword, "Password non valida per il database '" + path + "'.", kSource);
}

void ThrowDamaged(const std::string& path, const std::string& what, const std::string& nativeText) {
    throw Error(err::CorruptDatabase,
                "Il database '" + path + "' è danneggiato o non è leggibile (" + what + ").",
                kSource, nativeText);
}

void ThrowTableNotFound(const std::string& table) {
    throw Error(err::TableNotFound,
                "Impossibile trovare la tabella o la query di input '" + table +
                    "'. Verificare che esista e che il nome sia stato digitato correttamente.",
                kSource);
}

void ThrowUnsupportedStatement(const std::string& sql) {
    throw Error(err::SyntaxErrorSql,
                "Errore di sintassi nell'istruzione SQL: un database Access si legge solo con "
                "\"SELECT * FROM [tabella]\", eventualmente con \"WHERE [campo] = 'valore'\" ("
                + sql + ").",
                kSource);
}

void ThrowUnknownWhereField(const std::string& field) {
    throw Error(err::TooFewParameters,
                "Parametri insufficienti. Previsto 1: il campo '" + field + "' non esiste nella tabella.",
                kSource);
}

void ThrowSelectNotExecutable() {
    throw Error(err::CannotExecuteSelect, std::string(msg::kCannotExecuteSelect) + ".", kSource);
}

}  // namespace core::access
