#include <memory>

#include "common/Startup.h"
#include "common/engine/Drivers.h"
#include "ui/QtDialogs.h"
#include "upgrade/frmMain.h"

int main(int argc, char** argv) {
    core::RegisterBuiltInDrivers();
    return core::RunProgram(
        argc, argv, "Quillon", "Quillon.ini", [] { return std::make_unique<ui::QtDialogs>(); },
        []() -> std::unique_ptr<QWidget> {
            auto window = std::make_unique<upgrade::frmMain>();
            if (!window->Load()) return nullptr;
            return window;
        });
}
