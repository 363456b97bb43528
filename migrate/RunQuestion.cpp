#include "migrate/RunQuestion.h"

#include "common/Messages.h"
#include "common/Prefs.h"
#include "common/ProgressText.h"
#include "common/engine/Dao.h"
#include "common/engine/Error.h"
#include "migrate/MigrationRun.h"

namespace migrate {

long long CountDestinationRecords(const std::vector<TableStep>& steps)
{
    try {
        const auto [path, connect] = core::DestinationPathAndConnect(core::ThePrefs().destinationPassword);
        auto db = core::Workspace::OpenDatabase(path, false, true, connect);
        long long total = 0;
        for (const TableStep& step : steps) {
            total += core::CountRows(*db, step.destinationTable);
        }
        db->Close();
        return total;
    } catch (const core::Error&) {
        return -1;
    }
}

std::string ConfirmQuestion(bool emptyFirst, long long existing)
{
    std::string text = std::string(msg::kConfirmImport) + "\n\n";
    if (emptyFirst) {
        text += "Le tabelle di destinazione verranno svuotate prima della copia";
        if (existing > 0) text += ": " + core::CountOf(existing, "record già presente sarà eliminato", "record già presenti saranno eliminati");
        return text + ".";
    }
    text += "Le tabelle di destinazione non verranno svuotate: ";
    if (existing < 0) return text + "i record copiati si aggiungeranno a quelli già presenti.";
    if (existing == 0) return text + "ora sono vuote.";
    return text + "i record copiati si aggiungeranno " + (existing == 1 ? "all'unico record" : "ai " + core::GroupDigits(existing) + " record") +
           " già present" + (existing == 1 ? "e" : "i") + ".";
}

}  // namespace migrate
