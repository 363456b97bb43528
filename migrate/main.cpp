// Varnel: the version-migration program.

#include "common/Startup.h"
#include "common/engine/Drivers.h"
#include "migrate/frmMain.h"
#include "ui/QtDialogs.h"

int main(int argc, char** argv) {
    core::RegisterBuiltInDrivers();
    return core::RunProgram(argc, argv, migrate::kProgramTitle, "Varnel.ini", [] { return std::make_unique<ui::QtDialogs>(); },
                            [] { return core::LoadedWindow<migrate::frmMain>(); });
}
