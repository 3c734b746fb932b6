#include "ui/app/kestrion_app.h"

#include <QCommandLineParser>
#include <QIcon>
#include <QMessageBox>

#include <cstdio>
#include <string_view>

#include "platform/device_catalog.h"
#include "platform/linux_catalog.h"
#include "sim/sim_catalog.h"
#include "ui/app/workstation.h"
#include "ui/shell/main_frame.h"

namespace {

constexpr const char* kProfileOrganisation = "Morvane Technology, Quality";
constexpr const char* kApplicationName = "Kestrion";

}  // namespace

bool ParseStartOptions(const QStringList& arguments, StartOptions& options, QString& error, QString* helpText)
{
    // "--bench" takes an optional file, which QCommandLineParser cannot say:
    // the flag stands alone and the file follows as the one positional.
    QStringList args;
    for (const QString& argument : arguments) {
        if (argument.startsWith(QStringLiteral("--bench="))) {
            args << QStringLiteral("--bench") << argument.mid(8);
        } else {
            args << argument;
        }
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Diagnostic workstation for SCSI and SAS disk drives."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption benchOption(QStringLiteral("bench"),
                                         QStringLiteral("Work on the simulated test bench instead of the machine's "
                                                        "drives: the built-in bench, or the bench file FILE."));
    parser.addOption(benchOption);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Bench file (JSON) for --bench."),
                                 QStringLiteral("[FILE]"));
    if (helpText) *helpText = parser.helpText();

    if (!parser.parse(args)) {
        error = parser.errorText();
        return false;
    }
    options = StartOptions{};
    options.showHelp = parser.isSet(helpOption);
    options.showVersion = parser.isSet(versionOption);
    options.bench = parser.isSet(benchOption);
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        error = QStringLiteral("Only one bench file can be given: %1").arg(positional.join(QLatin1Char(' ')));
        return false;
    }
    if (!positional.isEmpty()) {
        if (!options.bench) {
            error = QStringLiteral("A file is only taken after --bench: %1").arg(positional.front());
            return false;
        }
        // An unset variable in a script must not turn into the built-in bench.
        if (positional.front().isEmpty()) {
            error = QStringLiteral("The bench file name is empty (--bench alone is the built-in bench)");
            return false;
        }
        options.benchFile = positional.front();
    }
    return true;
}

std::unique_ptr<DeviceCatalog> OpenStartCatalog(const StartOptions& options, QString& error)
{
    if (!options.bench) return MakeLinuxCatalog();
    std::string message;
    std::unique_ptr<DeviceCatalog> catalog = MakeBenchCatalog(options.benchFile.toStdString(), message);
    if (!catalog) error = QString::fromStdString(message);
    return catalog;
}

bool AsksForTextOnly(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "-h" || argument == "--help" || argument == "--help-all" || argument == "-v" ||
            argument == "--version") {
            return true;
        }
    }
    return false;
}

int PrintTextOnly(const QStringList& arguments)
{
    StartOptions options;
    QString error;
    QString helpText;
    if (!ParseStartOptions(arguments, options, error, &helpText)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return CKestrionApp::kExitBadCommandLine;
    }
    if (options.showHelp) {
        std::fprintf(stdout, "%s", qPrintable(helpText));
    } else {
        std::fprintf(stdout, "%s %s\n", kApplicationName, KESTRION_VERSION);
    }
    return 0;
}

void SetApplicationIdentity()
{
    QCoreApplication::setOrganizationName(QString::fromUtf8(kProfileOrganisation));
    QCoreApplication::setApplicationName(QString::fromUtf8(kApplicationName));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTRION_VERSION));
}

CKestrionApp::CKestrionApp(int& argc, char** argv) : QApplication(argc, argv)
{
    SetApplicationIdentity();
    setDesktopFileName(QStringLiteral("kestrion"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/kestrion.png")));
}

CKestrionApp::~CKestrionApp()
{
    // The window goes before the drives it shows.
    frame.reset();
    catalog.reset();
}

void CKestrionApp::Fail(const QString& message)
{
    std::fprintf(stderr, "%s\n", qPrintable(message));
    QMessageBox::critical(nullptr, QString::fromUtf8(kApplicationName), message);
    exitCode = kExitBadCommandLine;
}

bool CKestrionApp::InitInstance()
{
    StartOptions options;
    QString error;
    if (!ParseStartOptions(arguments(), options, error)) {
        Fail(error);
        return false;
    }

    catalog = OpenStartCatalog(options, error);
    if (!catalog) {
        Fail(error);
        return false;
    }
    frame = MakeWorkstation(*catalog, options.bench);
    frame->show();
    return true;
}
