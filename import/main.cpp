// Tessily: the template import program.

#include "common/Startup.h"
#include "common/engine/Drivers.h"
#include "import/frmMain.h"
#include "ui/QtDialogs.h"

int main(int argc, char** argv) {
    core::RegisterBuiltInDrivers();
    return core::RunProgram(argc, argv, import::kProgramTitle, "Tessily.ini", [] { return std::make_unique<ui::QtDialogs>(); },
                            [] { return core::LoadedWindow<import::frmMain>(); });
}
