#include "common/CommittedCount.h"

#include "common/ProgressText.h"
#include "common/engine/Dao.h"
#include "common/engine/Error.h"

namespace core {

long long CountSince(Database& database, const std::string& table, long long baseline) noexcept {
    try {
        return CountRows(database, table) - baseline;
    } catch (const std::exception&) {
        return -1;
    }
}

std::string CommittedSentence(const std::string& table, long long counted, long long recorded) {
    if (counted < 0)
        return "Non è stato possibile contare i record presenti nella tabella '" + table +
               "' dopo l'errore: verificare il contenuto della tabella.";
    std::string text = "Record di questa esecuzione presenti nella tabella '" + table +
                       "' (contati nel database): " + GroupDigits(counted) + ".";
    if (counted < recorded) {
        const long long lost = recorded - counted;
        text += lost == 1 ? " Il record salvato per " + GroupDigits(recorded) + "° non è nel database: è andato perso."
                          : " I record salvati dal " + GroupDigits(counted + 1) + "° al " + GroupDigits(recorded) +
                                "° non sono nel database: sono andati persi (" + GroupDigits(lost) + " record).";
    }
    return text;
}

}  // namespace core
