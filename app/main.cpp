#include "QtTranslations.h"
#include "TerminationSignals.h"
#include <core/HenkanMod.h>
#include <core/Version.h>
#include <dialogs/DialogService.h>
#include <dialogs/MessageBoxes.h>
#include <dialogs/ModalWindows.h>
#include <document/DocumentSession.h>
#include <main/MainForm.h>
#include <preview/LocalPages.h>
#include <preview/WebPreview.h>
#include <storage/ProgramFiles.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QSessionManager>
#include <QStandardPaths>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

namespace {
const char HelpText[] =
    "使い方: qrn [FILE]\n"
    "\n"
    "日本語タグでウェブページを書くエディタです。FILE を指定すると、起動してからその文書を開きます。\n"
    "\n"
    "  -h, --help     この説明を表示して終わります\n"
    "  -v, --version  バージョンを表示して終わります\n";
} // namespace

int main(int argc, char *argv[])
{
    // The command line is read before the window system is needed: --help and --version print
    // and end even without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOptions({help, version});
    if (!parser.parse(arguments) || parser.positionalArguments().size() > 1) {
        std::fprintf(stderr, "qrn: %s\n%s", parser.errorText().isEmpty() ? "開く文書は一つだけです"
                                                                          : qPrintable(parser.errorText()),
                     HelpText);
        return 2;
    }
    if (parser.isSet(help)) {
        std::fputs(HelpText, stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("qrn %s\n", qrn::VersionText);
        return 0;
    }
    const QStringList files = parser.positionalArguments();

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    qrn::registerLocalPageScheme();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(qrn::AppName));
    QApplication::setApplicationVersion(QString::fromUtf8(qrn::VersionText));
    QTranslator qtTranslations;
    qrn::installQtTranslations(qtTranslations);

    // A program folder that cannot be written (a system-wide install) keeps the user's data files
    // in the user's data folder instead.
    const QString programFolder = QCoreApplication::applicationDirPath();
    const qrn::ProgramFolders folders = qrn::chooseProgramFolders(
        programFolder, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
        qrn::folderIsWritable(programFolder));

    qrn::HenkanMod henkan;
    qrn::QtMessageBoxes messages;
    qrn::QtModalWindows windows(messages);
    qrn::MainForm form(henkan, folders, messages, std::make_unique<qrn::QtDialogService>(), windows,
                       [](QWidget *parent) { return new qrn::WebPreview(parent); });
    // Told to end, by a signal or by the desktop session: no questions, nothing lost.
    bool terminated = false;
    const auto end = [&] {
        terminated = true;
        form.exitWithoutQuestions();
        // exit(), not quit(): it also ends the loop of a question open during start-up.
        QCoreApplication::exit(0);
    };
    qrn::TerminationSignals termination;
    QObject::connect(&termination, &qrn::TerminationSignals::received, &form, end);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form, [&](QSessionManager &) { end(); });

    if (!form.Form_Load())
        return 1;
    if (terminated) // while a start-up question was open
        return 0;
    form.show();
    // The file named on the command line is opened from the event loop, like a menu command.
    if (!files.isEmpty())
        QTimer::singleShot(0, &form, [&form, file = files.constFirst()] { form.session().openNamedFile(file); });
    return app.exec();
}
