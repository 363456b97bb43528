// An upgrade run without a window, for the kill test: answers the question
// Yes and kills itself (SIGKILL, as a power cut or `kill -9` would end it)
// at the point named on the command line.
//
//   upgrade_child ARCHIVE TEMPLATE PASSWORD [rows:N | stage:K | none]
//
// Exit status: 0 after the success message, 2 after an error message.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "common/Dialogs.h"
#include "common/Prefs.h"
#include "upgrade/UpgradeRun.h"
#include "common/engine/Drivers.h"

namespace {

int g_result = 1;

class Answers : public core::Dialogs {
public:
    core::MsgResult MessageBox(const std::string& text, core::MsgButtons buttons, core::MsgIcon icon,
                               const std::string& title, const std::string&) override {
        if (buttons == core::MsgButtons::YesNo) return core::MsgResult::Yes;
        std::printf("%s|%s\n", title.c_str(), text.c_str());
        g_result = icon == core::MsgIcon::Information ? 0 : 2;
        return core::MsgResult::Ok;
    }
    std::string InputBox(const std::string&, const std::string&, const std::string&, bool) override { return {}; }
    core::FileDialogResult ShowFileDialog(const core::FileDialogRequest&) override { return {}; }
    void SetBusy(bool) override {}
    void ProcessEvents() override {}
};

class KillingView : public upgrade::UpgradeView {
public:
    KillingView(long rows, int stage) : rows_(rows), stage_(stage) {}
    void SetTableCaption(const std::string&) override {}
    void SetProgress(int) override {
        if (rows_ > 0 && ++seen_ == rows_) std::raise(SIGKILL);
    }
    void StageReached(upgrade::UpgradeStage stage) override {
        if (static_cast<int>(stage) == stage_) std::raise(SIGKILL);
    }

private:
    long rows_;
    int stage_;
    long seen_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    core::RegisterBuiltInDrivers();
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s ARCHIVE TEMPLATE PASSWORD [rows:N|stage:K|none]\n", argv[0]);
        return 64;
    }
    const std::string when = argc > 4 ? argv[4] : "none";
    long rows = 0;
    int stage = -1;
    if (when.rfind("rows:", 0) == 0) rows = std::atol(when.c_str() + 5);
    if (when.rfind("stage:", 0) == 0) stage = std::atoi(when.c_str() + 6);

    core::InitPrefs("Quillon", "Quillon.ini");
    core::InstallDialogs(std::make_unique<Answers>());
    KillingView view(rows, stage);
    upgrade::UpgradeRun run(view);
    run.Start(upgrade::UpgradeFiles{argv[1], argv[2], argv[3]});
    std::fflush(stdout);
    return g_result;
}
