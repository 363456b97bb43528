#pragma once
// What Varnel and Tessily do so that a run that failed or was stopped can be
// undone: before the run's first write, a safety copy of the destination
// file (SafetyCopy.h); at the end of such a run, a final message that says
// where the copy is and offers "Ripristina" to put it back. A destination
// on a database server gets no copy, and the message says so.

#include <functional>
#include <optional>
#include <string>

#include "common/Dialogs.h"
#include "common/SafetyCopy.h"

namespace core {

class RunSafety {
public:
    // closeDestination closes every data control of the window that is
    // open on the destination, so that the copy can be put back.
    RunSafety(std::string program, std::function<void()> closeDestination)
        : program_(std::move(program)), closeDestination_(std::move(closeDestination))
    {
    }

    // Called between the steps of the copy with the share done, 0 to 100.
    void OnProgress(std::function<void(int percent)> progress) { progress_ = std::move(progress); }

    // Before the run's first write into the destination (at most once a
    // run). Raises when the copy cannot be made: nothing is written then.
    void BeforeFirstWrite();
    // A new run: the copy of the last one is no longer offered.
    void Reset();

    // The user chose "Ripristina" at the end of this run and the copy is back.
    bool Restored() const { return restored_; }
    const SafetyCopy* Copy() const { return copy_ ? &*copy_ : nullptr; }
    // What the final message of a failed or stopped run adds about the copy;
    // empty when the run stopped before its first write.
    std::string Note() const;

    // The final message of a run that failed or was stopped: `text` and the
    // note, with "Ripristina" when there is a copy. Chosen, the copy is put
    // back and the user is told how that went. Returns whether it was put back.
    bool ShowFailure(const std::string& text, MsgIcon icon, const std::string& title, const std::string& details);

private:
    std::string program_;
    std::function<void()> closeDestination_;
    std::function<void(int)> progress_;
    std::optional<SafetyCopy> copy_;
    bool reached_ = false;  // BeforeFirstWrite ran in this run
    bool server_ = false;
    bool restored_ = false;
};

// The final message of a run that failed (or was stopped: error 18, shown
// with the program's title and the exclamation icon), through `safety` when
// the run has one.
void ShowRunFailure(RunSafety* safety, int number, const std::string& text, const std::string& details);

}  // namespace core
