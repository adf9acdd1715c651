#include "ui/app/ToolApp.h"

#include <csignal>

int main(int argc, char** argv)
{
    // Over a file-size limit a backup's write fails with EFBIG, which the
    // page names with the file; the signal would end the program unsaid.
    std::signal(SIGXFSZ, SIG_IGN);
    qv::ui::ToolApp app(argc, argv);
    return app.run();
}
