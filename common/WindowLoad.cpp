#include "common/WindowLoad.h"

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

WindowTexts LoadMainWindow(const LoadOptions& options) {
    WindowTexts texts;
    if (PreviousInstance()) return texts;
    const Prefs& prefs = ThePrefs();
    if (!FileExists(prefs.iniPath)) {
        RefuseToStart(msg::kConfigNotFound);
        return texts;
    }
    texts.caption = prefs.programTitle + " - " + ReadCfg("APPNAME");
    LoadDestinationSettings(options.previousVersion);
    const bool server = DestinationIsServer();
    if (server && !options.serverRefusal.empty()) {
        RefuseToStart(options.serverRefusal);
        return texts;
    }
    if (options.beforeDestinationCheck) options.beforeDestinationCheck();
    if (!server && !FileExists(prefs.destinationPath)) {
        RefuseToStart(NotFoundSentence(kArchiveFile, prefs.destinationPath, prefs.dbFolder, ReadCfg("DBFILE")));
        return texts;
    }
    texts.destination = DestinationDisplay();
    texts.loaded = true;
    return texts;
}

}  // namespace core
