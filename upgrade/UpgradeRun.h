#pragma once
// The "Avvia" click of Quillon: the archive's rows copied into the upgrade
// template table by table, the work checked, and the two files swapped so
// that the filled template becomes the archive and the archive its backup.

#include <string>
#include <vector>

#include "upgrade/FileSwap.h"
#include "upgrade/UpgradeReport.h"
#include "upgrade/UpgradeView.h"

namespace upgrade {

struct UpgradeFiles {
    std::string archive;          // text of txtSourceDb
    std::string upgradeTemplate;  // text of txtTargetDb
    std::string password;         // decoded DBPWD, for both files
};

// "<archive>.bak".
std::string BackupPath(const std::string& archive);

class UpgradeRun {
public:
    explicit UpgradeRun(UpgradeView& view, FileOps ops = {}) : view_(view), swap_(std::move(ops)) {}

    // The whole run, from the question to the final message. Never throws:
    // every failure ends in the error message.
    void Start(const UpgradeFiles& files);

    bool Running() const { return running_; }
    // The window is closing: a run in progress stops at its next yield
    // without renaming anything and without a message.
    void RequestStop() { stopRequested_ = true; }

    // What the last run did, as shown in the details of its final message.
    const UpgradeReport& Report() const { return report_; }

private:
    struct Stopped {};

    void Work(const UpgradeFiles& files);
    void CopyAndVerify(const UpgradeFiles& files);
    void ProtectLikeArchive(const UpgradeFiles& files);
    void Yield();
    void Reached(UpgradeStage stage);
    void Report(int number, const std::string& description);

    UpgradeView& view_;
    FileSwap swap_;
    bool running_ = false;
    bool stopRequested_ = false;
    std::vector<std::string> copied_;
    UpgradeReport report_;
};

}  // namespace upgrade
