#pragma once
// The load sequence every main window runs: the instance test, today's date,
// the configuration file, the caption, the destination settings and the
// destination's file. What the programs do differently is data (LoadOptions);
// each window shows today's date before and what was read after it.

#include <functional>
#include <string>

namespace core {

// What the window shows: the caption once the configuration file was found
// (empty before), the destination (shown disabled) once loaded.
struct WindowTexts {
    bool loaded = false;  // false: the program must end
    std::string caption;
    std::string destination;
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

// A program that must end does so silently when another instance runs,
// otherwise after the refusal's message.
WindowTexts LoadMainWindow(const LoadOptions& options = {});

// The critical message that ends a loading program: the first sentence and
// " L'applicazione verrà terminata!", under the program title.
void RefuseToStart(const std::string& firstSentence);

}  // namespace core
