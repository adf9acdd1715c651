#pragma once

#include "ui/app/Language.h"

#include <QApplication>

#include <memory>

namespace qv::ui {

// The application object: organisation and name for the settings, the
// language library, and the one main window for the life of the process.
class ToolApp : public QApplication {
    Q_OBJECT
public:
    ToolApp(int& argc, char** argv);

    // Parses the command line, shows the main window and runs until it closes.
    int run();

    LanguageLibrary& languages() { return *languages_; }

private:
    // Declared in this order: the library unloads through the loader.
    std::unique_ptr<QtTranslationLoader> loader_;
    std::unique_ptr<LanguageLibrary> languages_;
};

}  // namespace qv::ui
