#include <DialogService.h>
#include <HenkanMod.h>
#include <MessageBoxes.h>
#include <WebPreview.h>
#include <main/MainForm.h>

#include <QApplication>

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    qrn::registerLocalPageScheme();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QRN"));
    QApplication::setApplicationVersion(QStringLiteral(QRN_VERSION_TEXT));

    qrn::HenkanMod henkan;
    qrn::QtMessageBoxes messages;
    qrn::MainForm form(henkan, QCoreApplication::applicationDirPath(), messages,
                       std::make_unique<qrn::QtDialogService>(),
                       [](QWidget *parent) { return new qrn::WebPreview(parent); });
    if (!form.Form_Load())
        return 1;
    form.show();
    return app.exec();
}
