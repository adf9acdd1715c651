#pragma once

#include "ui/app/MainDialog.h"
#include "ui/app/Platform.h"

#include <memory>

namespace qv::ui {

struct OwnedPlatform {
    std::unique_ptr<MainPlatform> platform;
};

// The main window over the platform made for the options, which it owns
// and outlives it (the application and the window tests).
class AppWindow : private OwnedPlatform, public MainDialog {
public:
    AppWindow(ProfileStore& store, const MainOptions& options, QWidget* parent = nullptr)
        : OwnedPlatform{MakeMainPlatform(options)}, MainDialog(store, *OwnedPlatform::platform, parent)
    {
    }
};

}  // namespace qv::ui
