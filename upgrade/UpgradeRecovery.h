#pragma once
// What an upgrade that was stopped half-way (the program killed, the power
// gone) leaves beside the archive, and how the window puts it right at its
// next start: killed between the two renames, the archive exists only as
// its backup and the filled template still has its own name.

#include <string>

#include "upgrade/FileSwap.h"

namespace upgrade {

enum class LeftOver {
    None,            // the archive is there: nothing to put right
    BetweenRenames,  // no archive; its backup and the filled template are there
    BackupOnly,      // no archive, no template; the backup is there
    Nothing,         // no archive and no backup: nothing to recover from
};

LeftOver InspectLeftOver(const std::string& archive);

// Whether the template at archive + ".upg" could take the archive's place:
// the checks the run makes before its swap (no journal beside it, the
// engine's integrity check, every table it shares with the backup holding
// as many rows). On false, `why` says which check failed.
bool TemplateReadyForSwap(const std::string& archive, const std::string& password, std::string& why);

// At the window's start, before the archive is looked for: explains what an
// interrupted upgrade left, offers to put the backup back or (when the
// template passes the checks) to complete the swap, and does what the user
// chose. Failures are reported; the window's own checks then follow.
void OfferRecovery(const std::string& archive, const std::string& password, const std::string& title,
                   const FileOps& ops = {});

}  // namespace upgrade
