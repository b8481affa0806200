#include "DocumentSession.h"

#include "DocumentText.h"

#include "FileErrorText.h"
#include <dialogs/DialogService.h>
#include <dialogs/MessageBoxes.h>

#include <core/HenkanMod.h>
#include <core/NewDocumentTemplate.h>
#include <storage/ProgramFiles.h>
#include <storage/TextCodec.h>
#include <storage/TextDetection.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

namespace qrn {

namespace {
const QString UntitledName = QStringLiteral("QRNドキュメント");
const QString OpenFilter = QStringLiteral("使用可能なページファイル|*.htm;*.html;*.qrnf|日本語タグファイル|*.qrnf|HTMLファイル|*.html;*.htm");
const QString SaveFilter = QStringLiteral("日本語タグファイル|*.qrnf");
const QString HtmlFilter = QStringLiteral("HTMLファイル|*.html;*.htm");
const QString DocumentExtension = QStringLiteral("qrnf");
const QString HtmlExtension = QStringLiteral("html");

enum class FileDialog { Open, Save };

// Every path the document keeps is absolute from the moment it is taken in, as the user named it
// (symbolic links are not followed), so that it means the same file whatever folder the program
// or a later run started in.
QString absolutePath(const QString &path)
{
    return path.isEmpty() ? path : QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

QByteArray hashOf(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}
} // namespace

DocumentSession::DocumentSession(HenkanMod &henkan, QString newDocumentFolder, DocumentText &text,
                                 MessageBoxes &messages, DialogService &dialog, QObject *parent)
    : QObject(parent), m_henkan(henkan), m_newDocumentFolder(std::move(newDocumentFolder)), m_text(text),
      m_messages(messages), m_dialog(dialog)
{
}

QString DocumentSession::documentName() const
{
    return m_docPath.isEmpty() ? UntitledName : m_docPath;
}

QString DocumentSession::untitledName()
{
    return UntitledName;
}

void DocumentSession::markChanged()
{
    setDocChanged(true);
    emit textEdited();
}

void DocumentSession::NewDate()
{
    enterWorkFolder(m_newDocumentFolder);
    m_text.setText(fromU16(NewDocumentTemplate()));
    setDocPath(QString());
    setDocChanged(false);
    setFormat(TextFormat());
    m_disk = {};
}

void DocumentSession::newDocument()
{
    if (!settleUnsavedChanges())
        return;
    NewDate();
}

void DocumentSession::open()
{
    if (!settleUnsavedChanges())
        return;
    m_dialog.FileName = m_workFolder; // the dialog starts where the document is
    if (!askFileName(false, OpenFilter, QString()))
        return;
    openFile(m_dialog.FileName);
}

void DocumentSession::openNamedFile(const QString &file)
{
    if (!settleUnsavedChanges())
        return;
    openFile(file);
}

void DocumentSession::openFile(const QString &name)
{
    const QString file = absolutePath(name);
    const QFileInfo info(file);
    if (!info.exists() && !info.isSymLink() && QFileInfo(info.absolutePath()).isDir()) {
        // Not there yet: an empty document that a plain save writes under this name.
        enterWorkFolder(folderOfPath(file));
        m_text.setText(QString());
        setDocPath(file);
        setDocChanged(false);
        setFormat(TextFormat());
        m_disk = {};
        return;
    }
    QByteArray bytes;
    const ReadTextResult read = readDocumentFile(file, TextKind::Document, &bytes);
    if (!read.ok) {
        reportReadFailure(file, read);
        return;
    }
    enterWorkFolder(folderOfPath(file));
    m_text.setText(read.text);
    setDocPath(file);
    setDocChanged(false);
    setFormat(read.format);
    rememberDiskState(file, bytes);
    reportUndecodableBytes(file, read);
}

void DocumentSession::restore(const QString &text, const QString &copyPath, const TextFormat &format)
{
    QString docPath = copyPath;
    if (!docPath.isEmpty() && (QDir::isRelativePath(docPath) || !QFileInfo(folderOfPath(docPath)).isDir())) {
        m_messages.information(m_dialogParent,
                               QStringLiteral("文書のファイル「%1」のフォルダが見つかりません。\n"
                                              "復元した文書は名前のない文書になります。").arg(docPath));
        docPath.clear();
    }
    m_disk = {};
    enterWorkFolder(docPath.isEmpty() ? m_newDocumentFolder : folderOfPath(docPath));
    m_text.setText(text);
    setDocPath(docPath);
    setFormat(format);
    setDocChanged(true);
}

SaveOutcome DocumentSession::save()
{
    if (!m_docPath.isEmpty()) {
        if (const auto outcome = askBeforeOverwritingChangedFile())
            return *outcome;
        return saveToAskingAboutCharacters(m_docPath);
    }
    m_dialog.FileName = m_workFolder;
    if (!askFileName(true, SaveFilter, DocumentExtension))
        return SaveOutcome::Cancelled;
    // DocPath follows only a save that succeeded.
    return saveToAskingAboutCharacters(m_dialog.FileName);
}

SaveOutcome DocumentSession::saveAs()
{
    m_dialog.FileName = m_docPath.isEmpty() ? m_workFolder : m_docPath;
    if (!askFileName(true, SaveFilter, DocumentExtension))
        return SaveOutcome::Cancelled;
    return saveToAskingAboutCharacters(m_dialog.FileName);
}

void DocumentSession::exportHtml()
{
    m_dialog.FileName = joinPath(m_workFolder, QStringLiteral("*.html"));
    if (!askFileName(true, HtmlFilter, HtmlExtension)) {
        m_dialog.FileName = m_workFolder;
        return;
    }
    const QString file = m_dialog.FileName;
    const FileResult written = HtmlSave(file);
    if (!written.ok)
        reportWriteFailure(file, written);
}

void DocumentSession::importHtml()
{
    // The imported page replaces the text: unsaved changes are settled first, as for open.
    if (!settleUnsavedChanges())
        return;
    m_dialog.FileName = m_workFolder;
    if (!askFileName(false, HtmlFilter, QString()))
        return;
    importFrom(m_dialog.FileName);
}

void DocumentSession::importFile(const QString &file)
{
    if (!settleUnsavedChanges())
        return;
    importFrom(absolutePath(file));
}

void DocumentSession::importFrom(const QString &file)
{
    const ReadTextResult read = readDocumentFile(file, TextKind::Html);
    if (!read.ok) {
        reportReadFailure(file, read);
        return;
    }
    enterWorkFolder(folderOfPath(file));
    m_text.setText(fromU16(m_henkan.ToJapaneseTags(toU16View(read.text))));
    setDocPath(QString());
    setFormat(read.format);
    reportUndecodableBytes(file, read);
}

bool DocumentSession::settleForExit()
{
    removeScratchFile();
    return settleUnsavedChanges();
}

DocumentSession::DiskChange DocumentSession::reloadIfChangedOnDisk()
{
    if (m_docPath.isEmpty() || !changedOnDisk())
        return DiskChange::None;
    // Only a file that holds the text the editor shows may replace it: after an export the
    // file holds a page made from the text, and the text itself is in no file.
    if (m_docChanged || !m_disk.holdsText)
        return DiskChange::ChangedOnDisk;
    QByteArray bytes;
    const ReadTextResult read = readDocumentFile(m_docPath, TextKind::Document, &bytes);
    if (!read.ok)
        return DiskChange::None;
    m_text.setText(read.text);
    setDocChanged(false);
    setFormat(read.format);
    rememberDiskState(m_docPath, bytes);
    reportUndecodableBytes(m_docPath, read);
    return DiskChange::Reloaded;
}

void DocumentSession::rememberDiskState(const QString &file, const QByteArray &bytes)
{
    const QFileInfo info(file);
    m_disk = {true, true, info.size(), info.lastModified(), hashOf(bytes)};
}

bool DocumentSession::changedOnDisk()
{
    if (!m_disk.known || m_docPath.isEmpty())
        return false;
    const QFileInfo info(m_docPath);
    if (!info.exists())
        return false; // gone: writing it again loses nothing
    if (info.size() == m_disk.size && info.lastModified() == m_disk.modified)
        return false;
    const ReadBytesResult read = readFileBytes(m_docPath);
    if (!read.ok || hashOf(read.bytes) != m_disk.hash)
        return read.ok;
    // Touched without a change of its bytes: remembered, so that it is not read again each time.
    m_disk.size = info.size();
    m_disk.modified = info.lastModified();
    return false;
}

std::optional<SaveOutcome> DocumentSession::askBeforeOverwritingChangedFile()
{
    if (!changedOnDisk())
        return std::nullopt;
    const int answer = m_messages.askChoice(
        m_dialogParent, QStringLiteral("ファイル「%1」は他のプログラムで変更されています。上書きしますか？").arg(m_docPath),
        {QStringLiteral("上書き"), QStringLiteral("名前を付けて保存"), QStringLiteral("キャンセル")}, 2);
    if (m_ending)
        return SaveOutcome::Declined;
    if (answer == 0)
        return std::nullopt;
    if (answer == 1)
        return saveAs();
    return SaveOutcome::Declined;
}

bool DocumentSession::msgHozon()
{
    if (!m_docChanged)
        return false;
    return m_messages.askToSave(m_dialogParent, QStringLiteral("ファイル\"") + documentName()
                                                    + QStringLiteral("\"は変更されています、変更を保存しますか？"));
}

FileResult DocumentSession::JapSave(const QString &file)
{
    // A document saved without an edit since it was read is its file's bytes exactly: the
    // editor's own line model (a lone LF, U+2028 and U+2029 are line breaks to it) changes nothing.
    if (const std::optional<QByteArray> unedited = uneditedFileBytes()) {
        const FileResult written = writeFileAtomically(file, *unedited);
        if (written.ok)
            becomeDocumentOf(file, *unedited, true);
        return written;
    }
    const EncodeResult encoded = encodeTextFile(m_text.text(), m_format, Unmappable::QuestionMark);
    const FileResult written = writeFileAtomically(file, encoded.bytes);
    if (written.ok)
        becomeDocumentOf(file, encoded.bytes, true);
    return written;
}

std::optional<QByteArray> DocumentSession::uneditedFileBytes() const
{
    if (m_docChanged || !m_disk.known || !m_disk.holdsText || m_docPath.isEmpty())
        return std::nullopt;
    const ReadBytesResult read = readFileBytes(m_docPath);
    if (!read.ok || hashOf(read.bytes) != m_disk.hash)
        return std::nullopt;
    return read.bytes;
}

FileResult DocumentSession::HtmlSave(const QString &file)
{
    const std::u16string u16 = m_henkan.ToHtml(toU16View(m_text.text()));
    const QStringView html(u16.data(), qsizetype(u16.size()));
    // The page's bytes are in the encoding it declares; characters that encoding cannot hold
    // become character references, so the page loses nothing.
    const EncodeResult encoded = encodeTextFile(html, pageFormat(html), Unmappable::CharacterReference);
    const FileResult written = writeFileAtomically(file, encoded.bytes);
    if (written.ok)
        becomeDocumentOf(file, encoded.bytes, false);
    return written;
}

void DocumentSession::becomeDocumentOf(const QString &file, const QByteArray &bytes, bool holdsText)
{
    const QString path = absolutePath(file);
    enterWorkFolder(folderOfPath(path));
    setDocPath(path);
    setDocChanged(false);
    rememberDiskState(path, bytes);
    m_disk.holdsText = holdsText;
    emit textWritten();
}

bool DocumentSession::settleUnsavedChanges()
{
    const bool changed = m_docChanged;
    const bool yes = msgHozon();
    // A question cut short because the program is ending decides nothing.
    if (m_ending)
        return false;
    if (!yes) {
        if (changed)
            emit changesDiscarded();
        return true;
    }
    const SaveOutcome saved = save();
    if (m_ending)
        return false;
    // A cancelled dialog goes on as the user chose; a save that did not happen keeps the text.
    return saved == SaveOutcome::Saved || saved == SaveOutcome::Cancelled;
}

SaveOutcome DocumentSession::saveToAskingAboutCharacters(const QString &file)
{
    const EncodeResult encoded = encodeText(m_text.text(), m_format, Unmappable::QuestionMark);
    if (encoded.unmappableCount > 0) {
        const char32_t first = encoded.firstUnmappable;
        const QString question =
            QStringLiteral("この文書には %1 で保存できない文字が %2 個あります（最初の文字：「%3」）。\n"
                           "UTF-8 で保存すれば、すべての文字をそのまま保存できます。")
                .arg(encodingLabel(m_format))
                .arg(encoded.unmappableCount)
                .arg(QString::fromUcs4(&first, 1));
        const QStringList answers{QStringLiteral("UTF-8 で保存"), QStringLiteral("「?」に置き換えて保存"),
                                  QStringLiteral("キャンセル")};
        const int answer = m_messages.askChoice(m_dialogParent, question, answers, 0);
        if (m_ending)
            return SaveOutcome::Declined;
        switch (answer) {
        case 0: {
            TextFormat utf8(TextEncoding::Utf8);
            utf8.lineEnd = m_format.lineEnd;
            setFormat(utf8);
            break;
        }
        case 1:
            break;
        default:
            return SaveOutcome::Declined;
        }
    }
    const FileResult written = JapSave(file);
    if (!written.ok) {
        reportWriteFailure(file, written);
        return SaveOutcome::Failed;
    }
    return SaveOutcome::Saved;
}

bool DocumentSession::askFileName(bool save, const QString &filter, const QString &defaultExtension)
{
    m_dialog.Filter = filter;
    if (!(save ? m_dialog.ShowSave(m_dialogParent) : m_dialog.ShowOpen(m_dialogParent)))
        return false;
    // A name typed without an extension would be hidden by the open dialog's filter.
    if (!defaultExtension.isEmpty() && QFileInfo(m_dialog.FileName).suffix().isEmpty())
        m_dialog.FileName += QLatin1Char('.') + defaultExtension;
    return true;
}

// The work folder follows a file the document was written to or read from: the old folder's
// scratch file goes, and the window lists the new folder.
// This run previews in `folder` from now on: the scratch file of the folder it leaves goes, and
// one that a run which ended left in the new one. Staying in the folder changes nothing.
void DocumentSession::enterWorkFolder(const QString &folder)
{
    if (folder == m_workFolder)
        return;
    removeScratchFile();
    m_workFolder = folder;
    removeScratchFile();
    emit workFolderChanged();
}

// The scratch file of the work folder goes unless another live run previews in that folder too.
void DocumentSession::removeScratchFile()
{
    if (m_workFolder.isEmpty() || (m_otherRunUses && m_otherRunUses(m_workFolder)))
        return;
    removeFileIfPresent(scratchFilePath(m_workFolder));
}

void DocumentSession::setDocPath(const QString &path)
{
    if (m_docPath == path)
        return;
    m_docPath = path;
    emit docPathChanged();
}

void DocumentSession::setDocChanged(bool changed)
{
    if (m_docChanged == changed)
        return;
    m_docChanged = changed;
    emit docChangedChanged(changed);
}

void DocumentSession::setFormat(const TextFormat &format)
{
    if (m_format == format)
        return;
    m_format = format;
    emit formatChanged();
}

void DocumentSession::reportUndecodableBytes(const QString &file, const ReadTextResult &read)
{
    if (read.badBytes == 0)
        return;
    setDocChanged(true);
    m_messages.information(m_dialogParent,
                           QStringLiteral("ファイル\"%1\"には %2 として読めないバイトが %3 個ありました（最初は %4 行目）。\n"
                                          "読めなかった部分は「\uFFFD」になっています。")
                               .arg(file, encodingLabel(read.format))
                               .arg(read.badBytes)
                               .arg(read.firstBadLine));
}

void DocumentSession::reportWriteFailure(const QString &file, const FileResult &result)
{
    m_messages.error(m_dialogParent, saveFailureText(file, result));
}

void DocumentSession::reportReadFailure(const QString &file, const ReadTextResult &result)
{
    m_messages.error(m_dialogParent, openFailureText(file, result.cause, result.error));
}

} // namespace qrn
