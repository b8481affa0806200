#include "FileErrorText.h"

namespace qrn {

namespace {
QString causeText(FileErrorCause cause, bool writing)
{
    switch (cause) {
    case FileErrorCause::DiskFull:
        return QStringLiteral("ディスクの空き容量が足りません。");
    case FileErrorCause::NoPermission:
        return writing ? QStringLiteral("書き込む権限がありません。") : QStringLiteral("読み取る権限がありません。");
    case FileErrorCause::ReadOnlyMedium:
        return QStringLiteral("読み取り専用の場所です。");
    case FileErrorCause::FolderMissing:
        return QStringLiteral("フォルダが見つかりません。");
    case FileErrorCause::NameNotAllowed:
        return QStringLiteral("このファイル名は使えません。");
    case FileErrorCause::NotFound:
        return QStringLiteral("ファイルが見つかりません。");
    case FileErrorCause::IsFolder:
        return QStringLiteral("フォルダです。ファイルを選んでください。");
    case FileErrorCause::TooLarge:
        return QStringLiteral("ファイルが大きすぎます（1 GiB まで）。");
    case FileErrorCause::None:
    case FileErrorCause::Other:
        break;
    }
    return writing ? QStringLiteral("書き込めませんでした。") : QStringLiteral("読み込めませんでした。");
}
} // namespace

QString saveFailureText(const QString &file, const FileResult &result)
{
    return QStringLiteral("ファイル\"%1\"を保存できませんでした。\n%2\n(%3)")
        .arg(file, causeText(result.cause, true), result.error);
}

QString openFailureText(const QString &file, FileErrorCause cause, const QString &systemText)
{
    return QStringLiteral("ファイル\"%1\"を開けませんでした。\n%2\n(%3)").arg(file, causeText(cause, false), systemText);
}

} // namespace qrn
