#include "upgrade/UpgradeRun.h"

#include <QtGlobal>

#include <filesystem>
#include <optional>
#include <new>
#include <system_error>

#include "common/Dialogs.h"
#include "common/Messages.h"
#include "common/Prefs.h"
#include "common/RunError.h"
#include "common/RunPacer.h"
#include "common/RunSafety.h"
#include "common/engine/Dao.h"
#include "common/engine/Engine.h"
#include "common/engine/Error.h"
#include "common/engine/FsPath.h"
#include "common/engine/sqlite/SqliteTools.h"
#include "upgrade/TableCopy.h"
#include "upgrade/UpgradeChecks.h"

namespace upgrade {
namespace {

std::string Title() {
    const std::string& title = core::ThePrefs().programTitle;
    return title.empty() ? std::string("Quillon") : title;
}

// Resets the pointer and the bar however the run ends.
class RunEnd {
public:
    RunEnd(UpgradeView& view, bool& running) : view_(view), running_(running) { running_ = true; }
    ~RunEnd() {
        try {
            core::TheDialogs().SetBusy(false);
        } catch (...) {
            // Nothing can be shown about a pointer that cannot be reset.
        }
        view_.SetProgress(0);
        running_ = false;
    }
    RunEnd(const RunEnd&) = delete;
    RunEnd& operator=(const RunEnd&) = delete;

private:
    UpgradeView& view_;
    bool& running_;
};

}  // namespace

std::string BackupPath(const std::string& archive) { return archive + ".bak"; }

void UpgradeRun::Start(const UpgradeFiles& files) {
    // A second click while the run lets the window process its events.
    if (running_) return;
    stopRequested_ = false;
    copied_.clear();
    report_.Start(BackupPath(files.archive));

    std::optional<RunEnd> end;
    try {
        if (core::TheDialogs().MessageBox(msg::kConfirmUpgrade, core::MsgButtons::YesNo,
                                          core::MsgIcon::Exclamation, Title()) != core::MsgResult::Yes)
            return;
        end.emplace(view_, running_);
        core::TheDialogs().SetBusy(true);
        Work(files);
        report_.Finished();
        core::TheDialogs().MessageBox(msg::kSuccess, core::MsgButtons::Ok,
                                      core::MsgIcon::Information, Title(), report_.Text());
        return;
    } catch (const Stopped&) {
        return;
    } catch (...) {
        const core::RunError error = core::CurrentRunError();
        Report(error.number, error.text);
    }
}

void UpgradeRun::Report(int number, const std::string& description) {
    try {
        // A stop comes only while tables are copied, before any rename.
        const std::string text =
            number == core::kUserInterrupt
                ? description + " L'archivio non è stato modificato; il file aggiornato è incompleto e "
                                "una nuova esecuzione ricomincia dall'inizio."
                : description;
        core::ShowRunFailure(nullptr, number, text, report_.Text());
    } catch (const core::Error& e) {
        // The dialogs commit the engine first; nothing is open any more, so
        // this only fails without a screen to show anything on.
        qWarning("Quillon: %s / %s", description.c_str(), e.Description().c_str());
    }
}

void UpgradeRun::Yield() {
    core::TheDialogs().ProcessEvents();
    if (stopRequested_) throw Stopped{};
}

void UpgradeRun::Reached(UpgradeStage stage) {
    report_.Reached(stage);
    view_.StageReached(stage);
}

void UpgradeRun::Work(const UpgradeFiles& files) {
    Yield();
    // The first rename would refuse an older backup only after every table
    // was copied, into a template that is then no longer as delivered.
    if (std::error_code ec; std::filesystem::exists(core::FsPath(BackupPath(files.archive)), ec) &&
                            std::filesystem::exists(core::FsPath(files.upgradeTemplate), ec)) {
        core::platform::FileOpResult exists;
        exists.outcome = core::platform::FileOpResult::Outcome::TargetExists;
        ThrowRenameError(exists, files.archive, BackupPath(files.archive));
    }
    // Every database handle is gone when this returns, also on an error.
    CopyAndVerify(files);
    Reached(UpgradeStage::Closed);

    // A journal beside either file would be separated from it by a rename.
    RequireNoSideFiles(files.archive);
    RequireNoSideFiles(files.upgradeTemplate);
    ProtectLikeArchive(files);
    RequireIntact(files.upgradeTemplate, files.password);

    swap_.Flush(files.upgradeTemplate);
    Reached(UpgradeStage::Flushed);
    swap_.Swap(files.archive, files.upgradeTemplate, BackupPath(files.archive),
               [this] {
                   report_.BackupMade();
                   Reached(UpgradeStage::BackupMade);
               },
               [this] { report_.FilesSwapped(); });
    Reached(UpgradeStage::Swapped);
}

void UpgradeRun::CopyAndVerify(const UpgradeFiles& files) {
    const std::string connect = ";PWD=" + files.password;
    // Its own connection: the copy reads it on a second thread.
    auto archive = core::Workspace::OpenPrivateDatabase(files.archive, false, true, connect);
    auto upgrade = core::Workspace::OpenDatabase(files.upgradeTemplate, false, false, connect);
    // The template is the run's own copy until it is verified and swapped in:
    // its records are committed at each table's yield, not every so many rows.
    upgrade->SetBulkLoad(true);
    // Where both are files of the same engine, a table whose values need no
    // conversion is copied by one statement of the engine itself.
    auto transfer = upgrade->RawConnection()->OpenTransfer(*archive->RawConnection(), files.password);

    const auto defs = upgrade->TableDefs();
    std::size_t userTables = 0;
    for (const auto& def : defs) {
        report_.AddTable(def.Name);
        if (!IsSystemTableName(def.Name)) ++userTables;
    }
    std::size_t taken = 0;
    for (std::size_t i = 0; i < defs.size(); ++i) {
        const std::string& name = defs[i].Name;
        UpgradeReport::Table& entry = report_.At(i);
        if (IsSystemTableName(name)) {
            entry.state = UpgradeReport::TableState::System;
            continue;
        }
        view_.TableStarted(taken++, userTables, name);
        const auto result = CopyTable(*archive, *upgrade, name, view_, [this] { Yield(); }, entry, transfer.get());
        if (result.copied) copied_.push_back(name);
    }
    Reached(UpgradeStage::TablesCopied);

    for (const auto& table : copied_) RequireSameRowCount(*archive, *upgrade, table);
    Reached(UpgradeStage::Verified);

    // Committed here so that a failing commit is reported; closing cannot
    // report anything.
    core::Engine::Instance().FlushAll();
    transfer.reset();
    archive->Close();
    upgrade->Close();
}

void UpgradeRun::ProtectLikeArchive(const UpgradeFiles& files) {
    // A plain template opens with any password; left as it is it would turn
    // an encrypted archive into an unencrypted one.
    if (files.password.empty() || IsPlainSqlite(files.archive) || !IsPlainSqlite(files.upgradeTemplate)) return;

    namespace fs = std::filesystem;
    const std::string encrypted = files.upgradeTemplate + ".tmp";
    std::error_code ec;
    // Only a run killed while encrypting leaves this file behind.
    fs::remove(core::FsPath(encrypted), ec);
    fs::remove(core::FsPath(encrypted + "-journal"), ec);

    core::sqlite::ExportDatabase(files.upgradeTemplate, {}, encrypted, files.password);
    swap_.Flush(encrypted);
    // Replacing is what is wanted here: the template path holds the complete
    // plain copy until, in one step, it holds the complete encrypted one.
    fs::rename(core::FsPath(encrypted), core::FsPath(files.upgradeTemplate), ec);
    if (ec)
        throw core::Error(75, std::string(msg::kPathAccess) + "impossibile sostituire '" + files.upgradeTemplate +
                                  "' con la sua copia cifrata (" + ec.message() + ").",
                          "Quillon", ec.message());
    swap_.Flush(files.upgradeTemplate);
    Reached(UpgradeStage::Protected);
}

}  // namespace upgrade
