#pragma once
// The load sequence every main window runs: the instance test, today's date,
// the configuration file, the caption, the destination settings and the
// destination's file. What the programs do differently is data (LoadOptions)
// and how each window shows what was read (LoadView).

#include <functional>
#include <string>

namespace core {

class LoadView {
public:
    virtual ~LoadView() = default;
    virtual void ShowDate(const std::string& text) = 0;       // lblData
    virtual void SetCaption(const std::string& caption) = 0;  // the window's title
    // The destination as read, shown disabled (txtTargetDb; Quillon: the
    // archive and its upgrade template).
    virtual void ShowDestination(const std::string& text) = 0;
};

struct LoadOptions {
    bool previousVersion = true;  // PREFILE and PREPWD are read (Varnel, Tessily)
    // A destination on a database server (DBCONNECT) is refused with this
    // text; empty: such a destination is allowed and has no file to look for.
    std::string serverRefusal;
    // Runs just before the destination file is looked for.
    std::function<void()> beforeDestinationCheck;
};

inline constexpr const char* kArchiveFile = "il file archivio";

// False when the program must end: silently when another instance runs,
// otherwise after the refusal's message.
bool LoadMainWindow(LoadView& view, const LoadOptions& options = {});

// The critical message that ends a loading program: the first sentence and
// " L'applicazione verrà terminata!", under the program title.
void RefuseToStart(const std::string& firstSentence);

}  // namespace core
