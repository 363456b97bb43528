#include "common/Startup.h"

#include "common/BusyQuestion.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWidget>

#include <mutex>

#include "common/Dialogs.h"
#include "common/Prefs.h"
#include "common/engine/Engine.h"
#include "common/engine/Error.h"
#include "common/engine/NumberText.h"
#include "common/platform/InstanceLock.h"

namespace core {
namespace {

struct InstanceState {
    std::mutex mutex;
    std::unique_ptr<platform::InstanceLock> lock;
    std::string name;
    bool previousInstance = false;
};

InstanceState& Instance() {
    static InstanceState state;
    return state;
}

void FlushQuietly() {
    try {
        Engine::Instance().FlushAll();
    } catch (const std::exception& e) {
        // Nothing is left to report to at exit; the engine keeps its own
        // failure text in the error.
        qWarning("FlushAll at exit failed: %s", e.what());
    }
}

// Puts the previous dialogs back when the program's own are done with.
class DialogsScope {
public:
    explicit DialogsScope(std::unique_ptr<Dialogs> dialogs) : previous_(InstallDialogs(std::move(dialogs))) {}
    ~DialogsScope() { InstallDialogs(std::move(previous_)); }
    DialogsScope(const DialogsScope&) = delete;
    DialogsScope& operator=(const DialogsScope&) = delete;

private:
    std::unique_ptr<Dialogs> previous_;
};

}  // namespace

bool ClaimSingleInstance(std::string_view programName) {
    InstanceState& state = Instance();
    std::lock_guard guard(state.mutex);
    if (state.lock && state.name == programName) return true;
    state.lock.reset();
    state.name = std::string(programName);
    state.lock = platform::InstanceLock::TryAcquire(programName);
    state.previousInstance = state.lock == nullptr;
    return !state.previousInstance;
}

void ReleaseSingleInstance() {
    InstanceState& state = Instance();
    std::lock_guard guard(state.mutex);
    state.lock.reset();
    state.name.clear();
    state.previousInstance = false;
}

bool PreviousInstance() {
    InstanceState& state = Instance();
    std::lock_guard guard(state.mutex);
    return state.previousInstance;
}

bool InstallItalianTranslation(QCoreApplication& app) {
    // Owned by the application object, which removes it when destroyed.
    auto* translator = new QTranslator(&app);
    if (!translator->load(QLocale(QLocale::Italian, QLocale::Italy), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

void EndProgram(int exitCode) { QCoreApplication::exit(exitCode); }

void ReportUnhandledError(const std::exception& error) {
    std::string text;
    if (const auto* e = dynamic_cast<const Error*>(&error))
        text = "Errore di run-time '" + std::to_string(e->Number()) + "':\n\n" + e->Description();
    else
        text = std::string("Errore di run-time:\n\n") + error.what();
    TheDialogs().MessageBox(text, MsgButtons::Ok, MsgIcon::Critical, ThePrefs().programTitle);
}

int RunProgram(int argc, char** argv, std::string_view title, std::string_view iniName,
               const DialogsFactory& dialogs, const MainWindowFactory& window) {
    // Before anything else, so a second start costs nothing and shows nothing.
    if (!ClaimSingleInstance(title)) return kExitSecondInstance;

    int qtArgc = argc;  // QApplication keeps a reference for its whole life
    QApplication app(qtArgc, argv);
    QCoreApplication::setApplicationName(QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())));
    InstallItalianTranslation(app);
    NumberFormat::SetFromLocale();
    InitPrefs(title, iniName);

    DialogsScope dialogsScope(dialogs());
    BusyQuestionScope busyQuestion;
    int rc = kExitRefusedAtLoad;
    {
        std::unique_ptr<QWidget> mainWindow;
        try {
            mainWindow = window();
        } catch (const std::exception& e) {
            try {
                ReportUnhandledError(e);
            } catch (const std::exception& nested) {
                qWarning("%s / %s", e.what(), nested.what());
            }
        }
        if (mainWindow) {
            mainWindow->show();
            rc = app.exec();
        }
    }  // the window goes before the dialogs and the application object
    FlushQuietly();
    ReleaseSingleInstance();
    return rc;
}

}  // namespace core
