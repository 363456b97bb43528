#pragma once
// Every message box, question, input box and file dialog of the programs
// goes through this interface, so that the runs and the shared routines can
// be driven by tests with scripted answers. The windows install the Qt
// implementation (ui/QtDialogs.h) at start-up.
//
// TheDialogs() asks the engine to commit (Engine::FlushAll) before anything
// is shown or the window processes events, so that whenever the user sees a
// message everything saved before it is on disk; when that commit fails,
// the call raises the engine's error and shows nothing.

#include <memory>
#include <string>
#include <vector>

namespace core {

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
// OkRestore: "OK" and "Ripristina", the end of a run that changed the
// destination and kept a safety copy of it (Restore when chosen).
// RetryCancel: "Riprova" and "Annulla" (Retry or Cancel).
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, OkRestore, RetryCancel };
enum class MsgResult { Ok, Cancel, Yes, No, Restore, Retry };

struct FileDialogRequest {
    enum class Kind { Open, Save };
    Kind kind = Kind::Open;
    std::string title;  // empty: the dialog's own caption
    // The file types offered, in order: description and pattern(s) ("*.mdb",
    // "*.txt;*.csv").
    std::vector<std::pair<std::string, std::string>> filters;
    int filterIndex = 0;  // 1-based type selected at opening; 0 lets the dialog choose
    std::string initialDir;
    std::string fileName;  // initial name
    std::string defaultExt;
    bool fileMustExist = false;
    bool pathMustExist = false;
};

struct FileDialogResult {
    bool accepted = false;
    std::string fileName;  // full path
    int filterIndex = 0;   // 1-based type the user had selected
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // details: extra text shown behind "Mostra dettagli..." (empty: none).
    virtual MsgResult MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                                 const std::string& title, const std::string& details = {}) = 0;
    // Returns the empty text when the user cancels. password: hide what is typed.
    virtual std::string InputBox(const std::string& prompt, const std::string& title,
                                 const std::string& defaultText = {}, bool password = false) = 0;
    virtual FileDialogResult ShowFileDialog(const FileDialogRequest& request) = 0;

    // Busy pointer and the single yields of the runs.
    virtual void SetBusy(bool busy) = 0;
    virtual void ProcessEvents() = 0;
    // Lets the window process its events between two records of a run,
    // which does this every 100 ms: unlike ProcessEvents through
    // TheDialogs(), nothing is committed first.
    virtual void Yield() { ProcessEvents(); }
    // A line over the window saying what a run is waiting for (the empty
    // text takes it away).
    virtual void SetWaitText(const std::string& /*text*/) {}
};

// The program-wide implementation. Without one installed, every call raises
// an error: nothing may silently answer for the user.
Dialogs& TheDialogs();
// The installed implementation without the commit before each call: for
// the engine's own questions, asked while a statement is under way.
Dialogs& UncommittedDialogs();
// Installs an implementation and returns the previous one (tests restore it).
std::unique_ptr<Dialogs> InstallDialogs(std::unique_ptr<Dialogs> dialogs);

}  // namespace core
