#include "upgrade/UpgradeRecovery.h"

#include <filesystem>

#include "common/Messages.h"
#include "common/Dialogs.h"
#include "common/engine/Dao.h"
#include "common/engine/Engine.h"
#include "common/engine/Error.h"
#include "common/engine/FsPath.h"
#include "upgrade/TableCopy.h"
#include "upgrade/UpgradeChecks.h"
#include "upgrade/UpgradeRun.h"

namespace upgrade {
namespace {

bool Present(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(core::FsPath(path), ec);
}

std::string TemplateOf(const std::string& archive) { return archive + ".upg"; }

// One rename that never replaces, its folder made durable.
void Rename(const FileOps& ops, const std::string& from, const std::string& to) {
    if (auto r = ops.renameNoReplace(from, to); !r.Ok()) ThrowRenameError(r, from, to);
    ops.syncFolder(FolderOf(to));
}

}  // namespace

LeftOver InspectLeftOver(const std::string& archive) {
    if (Present(archive)) return LeftOver::None;
    if (!Present(BackupPath(archive))) return LeftOver::Nothing;
    return Present(TemplateOf(archive)) ? LeftOver::BetweenRenames : LeftOver::BackupOnly;
}

bool TemplateReadyForSwap(const std::string& archive, const std::string& password, std::string& why) {
    const std::string backup = BackupPath(archive);
    const std::string filled = TemplateOf(archive);
    try {
        RequireNoSideFiles(backup);
        RequireNoSideFiles(filled);
        RequireIntact(filled, password);
        const std::string connect = ";PWD=" + password;
        {
            auto original = core::Workspace::OpenDatabase(backup, false, true, connect);
            auto upgraded = core::Workspace::OpenDatabase(filled, false, true, connect);
            const auto originalTables = original->TableDefs();
            for (const auto& def : upgraded->TableDefs()) {
                if (IsSystemTableName(def.Name)) continue;
                bool shared = false;
                for (const auto& o : originalTables) shared = shared || o.Name == def.Name;
                if (shared) RequireSameRowCount(*original, *upgraded, def.Name);
            }
            original->Close();
            upgraded->Close();
        }
        core::Engine::Instance().Prune();
        return true;
    } catch (const core::Error& e) {
        core::Engine::Instance().Prune();
        why = e.Description();
        return false;
    }
}

void OfferRecovery(const std::string& archive, const std::string& password, const std::string& title,
                   const FileOps& ops) {
    const LeftOver state = InspectLeftOver(archive);
    if (state == LeftOver::None || state == LeftOver::Nothing) return;
    core::Dialogs& dialogs = core::TheDialogs();
    const std::string backup = BackupPath(archive);
    const std::string filled = TemplateOf(archive);

    std::string text;
    bool canComplete = false;
    if (state == LeftOver::BetweenRenames) {
        std::string why;
        canComplete = TemplateReadyForSwap(archive, password, why);
        text = "L'ultimo aggiornamento è stato interrotto tra le due ridenominazioni dei file: l'archivio '" +
               archive + "' non c'è più e i dati originali si trovano in '" + backup + "'.";
        if (canComplete)
            text += " Il file aggiornato '" + filled +
                    "' supera le verifiche fatte prima dello scambio.\n\n"
                    "Sì: completa l'aggiornamento (il file aggiornato prende il nome dell'archivio).\n"
                    "No: rimette al suo posto l'archivio originale.\n"
                    "Annulla: non cambia nulla.";
        else
            text += " Il file aggiornato '" + filled + "' non può prendere il suo posto: " + why +
                    "\n\nRimettere al suo posto l'archivio originale?";
    } else {
        text = "L'archivio '" + archive + "' non c'è, ma i dati originali di un aggiornamento precedente "
               "si trovano in '" + backup + "'.\n\nRimettere al suo posto l'archivio originale?";
    }

    const core::MsgResult answer = dialogs.MessageBox(
        text, canComplete ? core::MsgButtons::YesNoCancel : core::MsgButtons::YesNo, core::MsgIcon::Exclamation,
        title);
    const bool complete = canComplete && answer == core::MsgResult::Yes;
    const bool putBack = canComplete ? answer == core::MsgResult::No : answer == core::MsgResult::Yes;
    if (!complete && !putBack) return;
    try {
        if (complete) {
            Rename(ops, filled, archive);
            dialogs.MessageBox("L'aggiornamento è stato completato: '" + archive +
                                   "' è ora l'archivio aggiornato; l'archivio originale resta in '" + backup + "'.",
                               core::MsgButtons::Ok, core::MsgIcon::Information, title);
        } else {
            Rename(ops, backup, archive);
            dialogs.MessageBox("L'archivio originale è di nuovo al suo posto: '" + archive + "'.",
                               core::MsgButtons::Ok, core::MsgIcon::Information, title);
        }
    } catch (const core::Error& e) {
        dialogs.MessageBox(e.Description(), core::MsgButtons::Ok, core::MsgIcon::Critical,
                           msg::ErrorTitle(e.Number()));
    }
}

}  // namespace upgrade
