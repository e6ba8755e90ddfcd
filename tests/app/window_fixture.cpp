// The main-window test rig.
#include "tests/app/window_fixture.h"

namespace talvo::test {

WindowRig::WindowRig(std::initializer_list<const char*> programFiles) {
    for (const char* name : programFiles)
        dir.write(name, "");
}

app::MainWindow& WindowRig::create() {
    window_.reset();
    window_ = std::make_unique<app::MainWindow>(dir.path(), ui);
    window_->onEnd = [this] { ++ended; };
    return *window_;
}

app::MainWindow& WindowRig::start() {
    create();
    window_->load();
    return *window_;
}

} // namespace talvo::test
