#include "common/engine/sqlite/SqliteErrors.h"

#include <sqlcipher/sqlite3.h>

#include "common/Messages.h"

namespace core::sqlite {
namespace {

constexpr int kInvalidPath = 3044;        // not a valid path (here: a folder)
constexpr int kCannotOpen = 3051;         // no permission to read the file
constexpr int kRelatedRecordRequired = 3201;
constexpr int kValidationRule = 3317;
constexpr int kOutOfMemory = 7;

// The part of a message after the first ": ", e.g. the "T.F" of
// "NOT NULL constraint failed: T.F".
std::string AfterColon(std::string_view message) {
    const auto pos = message.find(": ");
    if (pos == std::string_view::npos) return {};
    return std::string(message.substr(pos + 2));
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

std::string Native(std::string_view message, const ErrorContext& c) {
    std::string text(message);
    if (!c.sql.empty()) text += " [" + c.sql + "]";
    return text;
}

std::string Where(const ErrorContext& c) {
    return c.table.empty() ? "nel database '" + c.file + "'"
                           : "nella tabella '" + c.table + "' del database '" + c.file + "'";
}

}  // namespace

Error TranslateError(int rc, std::string_view message, const ErrorContext& c) {
    const std::string native = Native(message, c);
    auto make = [&](int number, std::string description) {
        return Error(number, std::move(description), "SQLite", native);
    };
    switch (rc) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
        return make(err::DuplicateKey,
                    "Le modifiche richieste alla tabella '" + c.table +
                        "' non sono state apportate perché creerebbero valori duplicati "
                        "nell'indice o nella chiave primaria (" + AfterColon(message) +
                        "). Modificare i dati del campo o dei campi che contengono valori "
                        "duplicati.");
    case SQLITE_CONSTRAINT_NOTNULL:
        return make(err::NullInRequired,
                    "Il campo '" + AfterColon(message) +
                        "' non può contenere un valore Null perché è un campo obbligatorio. "
                        "Immettere un valore nel campo.");
    case SQLITE_CONSTRAINT_FOREIGNKEY:
        return make(kRelatedRecordRequired,
                    "Impossibile aggiungere o modificare il record nella tabella '" + c.table +
                        "': è necessario un record correlato in un'altra tabella.");
    case SQLITE_CONSTRAINT_CHECK:
        return make(kValidationRule,
                    "Uno o più valori della tabella '" + c.table +
                        "' non sono consentiti dalla regola di convalida (" +
                        AfterColon(message) + ").");
    default:
        break;
    }
    // An error raised inside another statement (sqlcipher_export, VACUUM)
    // reaches us as a plain SQLITE_ERROR carrying the inner message.
    if ((rc & 0xff) == SQLITE_ERROR) {
        if (message.find("database or disk is full") != std::string_view::npos) rc = SQLITE_FULL;
        else if (message.find("disk I/O error") != std::string_view::npos) rc = SQLITE_IOERR;
    }
    switch (rc & 0xff) {
    case SQLITE_CONSTRAINT:
        return make(kValidationRule, "Il record non rispetta un vincolo della tabella '" +
                                         c.table + "' (" + std::string(message) + ").");
    case SQLITE_NOTADB:
        return NotADatabaseError(c.file, native);
    case SQLITE_CORRUPT:
        return make(err::CorruptDatabase, "Il database '" + c.file +
                                              "' è danneggiato e non può essere letto.");
    case SQLITE_READONLY:
        return make(err::ReadOnlyDatabase,
                    "Impossibile aggiornare. Il database '" + c.file + "' è di sola lettura.");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return make(err::FileInUse,
                    "Impossibile utilizzare '" + c.file + "'; file già in uso da un altro processo.");
    case SQLITE_FULL:
        return make(err::DiskFull, "Spazio su disco esaurito durante la scrittura del database '" +
                                       c.file + "'.");
    case SQLITE_IOERR:
        return make(err::DiskIo, "Errore del disco durante l'accesso al database '" + c.file + "'.");
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return UnreadableFileError(c.file, native);
    case SQLITE_NOMEM:
        return make(kOutOfMemory, "Memoria esaurita.");
    case SQLITE_TOOBIG:
        return make(err::FieldTooSmall, "Il valore è troppo grande per essere salvato " + Where(c) + ".");
    case SQLITE_ERROR:
        if (StartsWith(message, "no such table: ")) {
            const std::string table = AfterColon(message);
            return make(err::TableNotFound,
                        "Il motore di database non trova la tabella o la query di input '" +
                            table + "'. Verificare che esista e che il nome sia digitato "
                                    "correttamente.");
        }
        if (StartsWith(message, "no such column: ")) {
            // The original engine takes an unknown name for a parameter.
            return make(err::TooFewParameters, "Parametri insufficienti. Previsto 1: il campo '" +
                                                   AfterColon(message) + "' non esiste " + Where(c) +
                                                   ".");
        }
        if (message.find("has no column named ") != std::string_view::npos) {
            const auto pos = message.find("has no column named ");
            return make(err::ItemNotFound,
                        "Elemento non trovato in questo insieme: il campo '" +
                            std::string(message.substr(pos + 20)) + "' non esiste " + Where(c) + ".");
        }
        if (message.find("syntax error") != std::string_view::npos ||
            message.find("incomplete input") != std::string_view::npos ||
            message.find("unrecognized token") != std::string_view::npos)
            return make(err::SyntaxErrorSql, "Errore di sintassi nell'istruzione SQL eseguita " +
                                                 Where(c) + ".");
        break;
    default:
        break;
    }
    return make(err::ReservedError, "Errore del motore di database " + Where(c) + " (codice " +
                                        std::to_string(rc) + ").");
}

bool AboutTheRows(int rc) {
    switch (rc & 0xff) {
    case SQLITE_ERROR:
    case SQLITE_CONSTRAINT:
    case SQLITE_MISMATCH:
    case SQLITE_TOOBIG:
    case SQLITE_RANGE: return true;
    default: return false;
    }
}

Error LastError(sqlite3* db, int rc, const ErrorContext& context) {
    const int extended = db ? sqlite3_extended_errcode(db) : rc;
    const char* message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    // The extended code is the more precise one when it belongs to the same
    // failure (sqlite3_step of a v2 statement returns it already).
    const int code = (extended & 0xff) == (rc & 0xff) ? extended : rc;
    return TranslateError(code, message ? message : "", context);
}

Error MissingFileError(const std::string& file) {
    return Error(err::FileNotFoundDb, msg::FileNotFound(file), "SQLite");
}

Error FolderError(const std::string& file) {
    return Error(kInvalidPath,
                 "'" + file + "' non è un percorso valido: è una cartella, non un file di database.",
                 "SQLite");
}

Error UnreadableFileError(const std::string& file, const std::string& nativeText) {
    return Error(kCannotOpen,
                 "Il motore di database non può aprire il file '" + file +
                     "': non si dispone dell'autorizzazione per leggerlo oppure è bloccato.",
                 "SQLite", nativeText);
}

Error NotADatabaseError(const std::string& file, const std::string& nativeText) {
    return Error(err::NotADatabase, "Formato di database non riconosciuto: '" + file + "'.",
                 "SQLite", nativeText);
}

Error BadPasswordError(const std::string& file) {
    return Error(err::BadPassword, "Password non valida per il database '" + file + "'.", "SQLite",
                 "file is encrypted or is not a database");
}

Error SelectInExecuteError(const std::string& file) {
    return Error(err::CannotExecuteSelect,
                 std::string(msg::kCannotExecuteSelect) + " sul database '" + file + "'.",
                 "SQLite");
}

}  // namespace core::sqlite
