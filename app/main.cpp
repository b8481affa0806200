#include <DialogService.h>
#include <HenkanMod.h>
#include <MessageBoxes.h>
#include <ModalWindows.h>
#include <QtTranslations.h>
#include <Version.h>
#include <WebPreview.h>
#include <main/MainForm.h>

#include <QApplication>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    qrn::registerLocalPageScheme();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(qrn::AppName));
    QApplication::setApplicationVersion(QString::fromUtf8(qrn::VersionText));
    QTranslator qtTranslations;
    qrn::installQtTranslations(qtTranslations);

    qrn::HenkanMod henkan;
    qrn::QtMessageBoxes messages;
    qrn::QtModalWindows windows(messages);
    qrn::MainForm form(henkan, QCoreApplication::applicationDirPath(), messages,
                       std::make_unique<qrn::QtDialogService>(), windows,
                       [](QWidget *parent) { return new qrn::WebPreview(parent); });
    if (!form.Form_Load())
        return 1;
    form.show();
    return app.exec();
}
