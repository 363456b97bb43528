// Tessily: the template import program.

#include "common/Startup.h"
#include "import/frmMain.h"
#include "ui/QtDialogs.h"

int main(int argc, char** argv)
{
    return core::RunProgram(
        argc, argv, tessily::kProgramTitle, tessily::kIniName,
        [] { return std::make_unique<ui::QtDialogs>(); },
        []() -> std::unique_ptr<QWidget> { return tessily::frmMain::Create(); });
}
