// Tessily: the template import program.

#include "common/Startup.h"
#include "common/engine/Drivers.h"
#include "import/frmMain.h"
#include "ui/QtDialogs.h"

int main(int argc, char** argv)
{
    core::RegisterBuiltInDrivers();
    return core::RunProgram(
        argc, argv, import::kProgramTitle, import::kIniName,
        [] { return std::make_unique<ui::QtDialogs>(); },
        []() -> std::unique_ptr<QWidget> { return import::frmMain::Create(); });
}
