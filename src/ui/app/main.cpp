#include "ui/app/ToolApp.h"

int main(int argc, char** argv)
{
    qv::ui::ToolApp app(argc, argv);
    return app.run();
}
