#pragma once
// The start-up shared by the three programs: one running instance per user,
// Qt's Italian texts, the program-wide values, the dialogs, the main window
// and its event loop.

#include <exception>
#include <functional>
#include <memory>
#include <string_view>

class QCoreApplication;
class QWidget;

namespace core {

class Dialogs;

using DialogsFactory = std::function<std::unique_ptr<Dialogs>()>;
// Creates the main window and runs its load sequence. Returns nullptr when
// the load ended the program (its message, if any, already shown).
using MainWindowFactory = std::function<std::unique_ptr<QWidget>()>;

// Exit codes of RunProgram besides what the event loop returns.
inline constexpr int kExitSecondInstance = 0;  // silent, as a normal end
inline constexpr int kExitRefusedAtLoad = 1;   // the load ended the program or failed

// The whole life of a program:
//  1. another instance of `title` running for this user: return at once,
//     silently;
//  2. the application object, Qt's Italian translation (Sì/No), the system's
//     number format, InitPrefs(title, iniName), the dialogs from `dialogs`;
//  3. the main window from `window`; nullptr or an error during its load
//     ends here (an error is shown as the runtime shows an unhandled one);
//  4. shows the window and runs the event loop until EndProgram or the
//     window closes; commits every open database (Engine::FlushAll) on the
//     way out.
int RunProgram(int argc, char** argv, std::string_view title, std::string_view iniName,
               const DialogsFactory& dialogs, const MainWindowFactory& window);

// Builds a main window and runs its load (bool Window::Load()); nullptr when
// the load ended the program.
template <class Window>
std::unique_ptr<Window> LoadedWindow() {
    auto window = std::make_unique<Window>();
    if (!window->Load()) return nullptr;
    return window;
}

// Whether another instance of this program was running when this one
// started (the lock taken by RunProgram). False in a process that never
// asked, such as a test of a window's load.
bool PreviousInstance();
// Takes the instance lock of `programName` for the rest of the process (or
// until ReleaseSingleInstance) and returns false when another process holds
// it. Asking again while holding it returns true.
bool ClaimSingleInstance(std::string_view programName);
void ReleaseSingleInstance();

// Loads Qt's own Italian texts (standard buttons, dialogs) into `app`.
// False when the translation file is not installed.
bool InstallItalianTranslation(QCoreApplication& app);

// Ends the event loop, and with it the program (the "Chiudi" button).
void EndProgram(int exitCode = 0);

// What the runtime shows for an error that nothing handled: "Errore di
// run-time 'n':" and the description, critical icon, the program title.
void ReportUnhandledError(const std::exception& error);

}  // namespace core
