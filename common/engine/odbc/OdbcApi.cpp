#include "common/engine/odbc/OdbcApi.h"

#include <QString>
#include <algorithm>
#include <cctype>
#include <vector>

#include "common/engine/Error.h"
#include "common/text/AsciiText.h"

namespace core::odbc {

std::u16string ToWide(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toStdU16String();
}

std::string FromWide(const SQLWCHAR* text, std::size_t length) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), static_cast<qsizetype>(length))
        .toStdString();
}

std::string HidePassword(std::string text, const std::string& password) {
    std::string upper = text::AsciiUpper(text);
    for (std::size_t pos = upper.find("PWD="); pos != std::string::npos; pos = upper.find("PWD=", pos + 4)) {
        const std::size_t start = pos + 4;
        std::size_t end = text.find(';', start);
        if (end == std::string::npos) end = text.size();
        text.replace(start, end - start, "***");
        upper.replace(start, end - start, "***");
    }
    if (password.size() >= 2) {
        for (std::size_t pos = text.find(password); pos != std::string::npos; pos = text.find(password, pos + 3))
            text.replace(pos, password.size(), "***");
    }
    return text;
}

Diagnostic ReadDiagnostic(SQLSMALLINT handleType, SQLHANDLE handle, const std::string& password) {
    Diagnostic diagnostic;
    if (handle == SQL_NULL_HANDLE) return diagnostic;
    for (SQLSMALLINT record = 1; record <= 5; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        std::vector<SQLWCHAR> message(1024);
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRecW(handleType, handle, record, state, &native, message.data(),
                                            static_cast<SQLSMALLINT>(message.size()), &length);
        if (!Succeeded(rc)) break;
        if (record == 1) {
            diagnostic.sqlState = FromWide(state, 5);
            diagnostic.nativeError = native;
        }
        const std::size_t used = std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)),
                                                       message.size() - 1);
        if (!diagnostic.message.empty()) diagnostic.message += " | ";
        diagnostic.message += FromWide(message.data(), used);
    }
    diagnostic.message = HidePassword(diagnostic.message, password);
    return diagnostic;
}

int EngineNumberFor(const std::string& sqlState, const std::string& message) {
    auto starts = [&](const char* prefix) { return sqlState.rfind(prefix, 0) == 0; };
    if (sqlState == "28000" || sqlState == "28P01") return err::BadPassword;
    if (sqlState == "42P01" || sqlState == "42S02") return err::TableNotFound;
    if (sqlState == "42703" || sqlState == "42S22") return err::ItemNotFound;
    if (sqlState == "23505") return err::DuplicateKey;
    if (sqlState == "23502") return err::NullInRequired;
    if (sqlState == "22001") return err::FieldTooSmall;
    if (starts("22")) return err::ConversionError;
    if (sqlState == "23000") {
        // Drivers that report every integrity violation as 23000.
        const std::string lower = text::AsciiLower(message);
        if (lower.find("null") != std::string::npos) return err::NullInRequired;
        return err::DuplicateKey;
    }
    if (starts("08")) {
        // Servers that report a refused login as a failed connection.
        const std::string lower = text::AsciiLower(message);
        if (lower.find("password") != std::string::npos || lower.find("authentication") != std::string::npos)
            return err::BadPassword;
        return 3151;  // connection failed
    }
    if (sqlState == "42601" || sqlState == "37000") return err::SyntaxErrorSql;
    return err::ServerError;
}

void ThrowDiagnostic(SQLSMALLINT handleType, SQLHANDLE handle, const std::string& what, const std::string& password) {
    const Diagnostic d = ReadDiagnostic(handleType, handle, password);
    const int number = EngineNumberFor(d.sqlState, d.message);
    std::string description;
    switch (number) {
        case err::BadPassword:
            description = "Accesso al server rifiutato: nome utente o password non validi (" + what + ").";
            break;
        case err::TableNotFound:
            description = "Tabella non trovata sul server (" + what + ").";
            break;
        case err::ItemNotFound:
            description = "Campo non trovato sul server (" + what + ").";
            break;
        case err::DuplicateKey:
            description = "Valore duplicato in un campo con indice univoco (" + what + ").";
            break;
        case err::NullInRequired:
            description = "Un campo obbligatorio non può contenere un valore Null (" + what + ").";
            break;
        case err::FieldTooSmall:
            description = "Il campo è troppo piccolo per i dati che si è tentato di aggiungere (" + what + ").";
            break;
        case err::ConversionError:
            description = "Errore di conversione del tipo di dati (" + what + ").";
            break;
        case 3151:
            description = "Connessione ODBC non riuscita (" + what + ").";
            break;
        default:
            description = "Chiamata ODBC non riuscita (" + what + ").";
            break;
    }
    if (!d.message.empty()) description += " " + d.message;
    throw Error(number, description, "ODBC", d.sqlState + " " + d.message);
}

}  // namespace core::odbc
