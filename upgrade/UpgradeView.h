#pragma once
// What the upgrade run shows on its window, kept apart from any widget so
// that tests and the benchmark drive the run without a screen. The busy
// pointer and the yields go through core::TheDialogs() like every message.

#include <cstddef>
#include <string>

namespace upgrade {

// Points of a run that matter for the files on disk, in the order they are
// reached by a run that succeeds.
enum class UpgradeStage {
    TablesCopied,    // every table copied, databases still open
    Verified,        // row counts checked
    Closed,          // every database handle closed, no journal left
    Protected,       // the filled template encrypted like the archive (when needed)
    Flushed,         // the filled template and its folder written through
    BackupMade,      // archive renamed to the backup name
    Swapped,         // filled template renamed to the archive name
};

class UpgradeView {
public:
    virtual ~UpgradeView() = default;
    // Caption of lblTbl.
    virtual void SetTableCaption(const std::string& caption) = 0;
    // Value of pbrMain, 0 to 100.
    virtual void SetProgress(int percent) = 0;
    // The run has reached a stage; nothing to show by default.
    virtual void StageReached(UpgradeStage) {}
    // The run takes the template's table `index` (from 0) of the `count`
    // it copies into (the engine's tables left out); the caption follows
    // only when the archive has the table.
    virtual void TableStarted(std::size_t index, std::size_t count, const std::string& name) {}
    // After every row saved, with the rows of the table saved so far:
    // where the window may process its events, and raise
    // core::UserInterrupt when the user stopped the run.
    virtual void RowDone(long long copied) {}
};

}  // namespace upgrade
