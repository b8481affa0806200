#pragma once

#include <storage/TextFile.h>

#include <QString>

namespace qrn {

// What the user reads about a file that could not be saved or opened: the file, the cause in
// Japanese, then the system's own words.
QString saveFailureText(const QString &file, const FileResult &result);
QString openFailureText(const QString &file, FileErrorCause cause, const QString &systemText);

} // namespace qrn
