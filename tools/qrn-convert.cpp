#include "ConvertCommand.h"

#include <QCoreApplication>
#include <QFile>

#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QFile in, out, err;
    // Unbuffered on the descriptors: a write that fails (a full disk, a closed pipe) says so at once.
    in.open(STDIN_FILENO, QIODevice::ReadOnly);
    out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    err.open(STDERR_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    return qrn::runConvertCommand(app.arguments().mid(1), QCoreApplication::applicationDirPath(), in, out, err);
}
