#pragma once

#include <QIODevice>
#include <QString>
#include <QStringList>

namespace qrn {

// Exit statuses of qrn-convert.
enum ConvertExit { ConvertOk = 0, ConvertFileError = 1, ConvertUsageError = 2 };

// The qrn-convert command: converts Japanese-tag files to HTML and back, with the editor's
// dictionary (by default the one in the program folder). Arguments exclude the program name.
int runConvertCommand(const QStringList &args, const QString &programFolder, QIODevice &in, QIODevice &out,
                      QIODevice &err);

} // namespace qrn
