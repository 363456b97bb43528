// Quillon: the structure-upgrade program.

#include "common/Startup.h"
#include "common/engine/Drivers.h"
#include "upgrade/frmMain.h"
#include "ui/QtDialogs.h"

int main(int argc, char** argv) {
    core::RegisterBuiltInDrivers();
    return core::RunProgram(argc, argv, upgrade::kProgramTitle, "Quillon.ini", [] { return std::make_unique<ui::QtDialogs>(); },
                            [] { return core::LoadedWindow<upgrade::frmMain>(); });
}
