#include "common/WindowLoad.h"

#include "common/DateLabel.h"
#include "common/Dialogs.h"
#include "common/Messages.h"
#include "common/Paths.h"
#include "common/Prefs.h"
#include "common/Startup.h"

namespace core {

void RefuseToStart(const std::string& firstSentence) {
    TheDialogs().MessageBox(firstSentence + msg::kEndsProgram, MsgButtons::Ok, MsgIcon::Critical,
                            ThePrefs().programTitle);
}

bool LoadMainWindow(LoadView& view, const LoadOptions& options) {
    if (PreviousInstance()) return false;
    view.ShowDate(TodayLabel());
    const Prefs& prefs = ThePrefs();
    if (!FileExists(prefs.iniPath)) {
        RefuseToStart(msg::kConfigNotFound);
        return false;
    }
    view.SetCaption(prefs.programTitle + " - " + ReadCfg("APPNAME"));
    LoadDestinationSettings(options.previousVersion);
    const bool server = DestinationIsServer();
    if (server && !options.serverRefusal.empty()) {
        RefuseToStart(options.serverRefusal);
        return false;
    }
    if (options.beforeDestinationCheck) options.beforeDestinationCheck();
    if (!server && !FileExists(prefs.destinationPath)) {
        RefuseToStart(NotFoundSentence(kArchiveFile, prefs.destinationPath, prefs.dbFolder, ReadCfg("DBFILE")));
        return false;
    }
    view.ShowDestination(DestinationDisplay());
    return true;
}

}  // namespace core
