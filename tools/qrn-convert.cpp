#include "ConvertCommand.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <unistd.h>

// No application object: the command needs none, and making one costs a run more than its work
// on a small file (locale, plugin paths, the event dispatcher).
int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // The program folder, where the default dictionary lives: the folder of the executable.
    const QString programFolder = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    QFile in, out, err;
    // Unbuffered on the descriptors: a write that fails (a full disk, a closed pipe) says so at once.
    in.open(STDIN_FILENO, QIODevice::ReadOnly);
    out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    err.open(STDERR_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    return qrn::runConvertCommand(arguments, programFolder, in, out, err);
}
