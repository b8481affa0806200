#include "ConvertCommand.h"

#include <QCoreApplication>
#include <QFile>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QFile in, out, err;
    in.open(stdin, QIODevice::ReadOnly);
    out.open(stdout, QIODevice::WriteOnly);
    err.open(stderr, QIODevice::WriteOnly);
    return qrn::runConvertCommand(app.arguments().mid(1), QCoreApplication::applicationDirPath(), in, out, err);
}
