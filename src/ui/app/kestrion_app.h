#pragma once

#include <memory>

#include <QApplication>
#include <QString>
#include <QStringList>

class CMainFrame;
class DeviceCatalog;

// What the command line asks for: the simulated bench (built-in, or from a
// bench file) or the machine's own drives.
struct StartOptions {
    bool bench = false;
    QString benchFile;  // empty: the built-in bench
    bool showHelp = false;
    bool showVersion = false;
};

// "--bench", "--bench FILE" or "--bench=FILE"; "--help", "--version". False
// with a message for anything else.
bool ParseStartOptions(const QStringList& arguments, StartOptions& options, QString& error, QString* helpText = nullptr);

// The drives to work on. Null with the bench loader's message (naming the
// file, the line and what is wrong) when the bench cannot be used.
std::unique_ptr<DeviceCatalog> OpenStartCatalog(const StartOptions& options, QString& error);

// True when the command line asks only for the help or version text, which
// needs no display.
bool AsksForTextOnly(int argc, char** argv);
// Prints the help or version text (or the command line's fault, status 2);
// needs a QCoreApplication.
int PrintTextOnly(const QStringList& arguments);

// Sets the organisation (the profile's key), name and version.
void SetApplicationIdentity();

// The workstation application: its profile, the drives chosen on the command
// line and the main window.
class CKestrionApp : public QApplication {
    Q_OBJECT

public:
    CKestrionApp(int& argc, char** argv);
    ~CKestrionApp() override;

    // Start-up up to the shown main window. False when the program must end
    // at once, with ExitCode() as its status.
    bool InitInstance();
    int ExitCode() const { return exitCode; }

    static constexpr int kExitBadCommandLine = 2;

private:
    void Fail(const QString& message);

    std::unique_ptr<DeviceCatalog> catalog;
    std::unique_ptr<CMainFrame> frame;
    int exitCode = 0;
};
