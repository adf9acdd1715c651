#pragma once

#include <QApplication>
#include <QTranslator>

namespace qv::ui {

// The application object: organisation and name for the settings, the
// interface language, and the one main window for the life of the process.
class ToolApp : public QApplication {
    Q_OBJECT
public:
    ToolApp(int& argc, char** argv);

    // Parses the command line, shows the main window and runs until it closes.
    int run();

private:
    QTranslator translator_;
    QTranslator qtTranslator_;
};

}  // namespace qv::ui
