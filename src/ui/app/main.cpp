#include <QCoreApplication>

#include "ui/app/kestrion_app.h"

int main(int argc, char** argv)
{
    // Help and version are answered without opening a display.
    if (AsksForTextOnly(argc, argv)) {
        QCoreApplication app(argc, argv);
        SetApplicationIdentity();
        return PrintTextOnly(app.arguments());
    }
    CKestrionApp app(argc, argv);
    if (!app.InitInstance()) return app.ExitCode();
    return app.exec();
}
