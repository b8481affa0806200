#include "DocumentSession.h"

#include "DocumentText.h"

#include <DialogService.h>
#include <FileErrorText.h>
#include <MessageBoxes.h>

#include <HenkanMod.h>
#include <NewDocumentTemplate.h>
#include <ProgramFiles.h>
#include <TextCodec.h>
#include <TextDetection.h>

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

void DocumentSession::markChanged()
{
    setDocChanged(true);
    emit textEdited();
}

void DocumentSession::NewDate()
{
    if (m_workFolder != m_newDocumentFolder) {
        m_workFolder = m_newDocumentFolder;
        emit workFolderChanged();
    }
    m_text.setText(fromU16(NewDocumentTemplate()));
    setDocPath(QString());
    setDocChanged(false);
    setFormat(TextFormat());
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
    if (!askFileName(false, OpenFilter, QString()))
        return;
    openFile(m_dialog.FileName);
}

void DocumentSession::openFile(const QString &file)
{
    const ReadTextResult read = readDocumentFile(file);
    if (!read.ok) {
        reportReadFailure(file, read);
        return;
    }
    moveWorkFolderTo(file);
    m_text.setText(read.text);
    setDocPath(file);
    setDocChanged(false);
    setFormat(read.format);
    reportUndecodableBytes(file, read);
}

void DocumentSession::restore(const QString &text, const QString &docPath, const TextFormat &format)
{
    if (docPath.isEmpty()) {
        removeScratchFile();
        m_workFolder = m_newDocumentFolder;
        emit workFolderChanged();
    } else {
        moveWorkFolderTo(docPath);
    }
    m_text.setText(text);
    setDocPath(docPath);
    setFormat(format);
    setDocChanged(true);
}

SaveOutcome DocumentSession::save()
{
    if (!m_docPath.isEmpty())
        return saveToAskingAboutCharacters(m_docPath);
    if (!askFileName(true, SaveFilter, DocumentExtension))
        return SaveOutcome::Cancelled;
    // DocPath follows only a save that succeeded.
    return saveToAskingAboutCharacters(m_dialog.FileName);
}

SaveOutcome DocumentSession::saveAs()
{
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
    if (!askFileName(false, HtmlFilter, QString()))
        return;
    const QString file = m_dialog.FileName;
    const ReadTextResult read = readDocumentFile(file, TextKind::Html);
    if (!read.ok) {
        reportReadFailure(file, read);
        return;
    }
    moveWorkFolderTo(file);
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

bool DocumentSession::msgHozon()
{
    if (!m_docChanged)
        return false;
    return m_messages.askToSave(m_dialogParent, QStringLiteral("ファイル\"") + documentName()
                                                    + QStringLiteral("\"は変更されています、変更を保存しますか？"));
}

FileResult DocumentSession::JapSave(const QString &file)
{
    const EncodeResult encoded = encodeTextFile(m_text.text(), m_format, Unmappable::QuestionMark);
    const FileResult written = writeFileAtomically(file, encoded.bytes);
    if (written.ok)
        becomeDocumentOf(file);
    return written;
}

FileResult DocumentSession::HtmlSave(const QString &file)
{
    const std::u16string u16 = m_henkan.ToHtml(toU16View(m_text.text()));
    const QStringView html(u16.data(), qsizetype(u16.size()));
    // The page's bytes are in the encoding it declares; characters that encoding cannot hold
    // become character references, so the page loses nothing.
    const FileResult written = writeTextFile(file, html, pageFormat(html), Unmappable::CharacterReference);
    if (written.ok)
        becomeDocumentOf(file);
    return written;
}

void DocumentSession::becomeDocumentOf(const QString &file)
{
    moveWorkFolderTo(file);
    setDocPath(file);
    setDocChanged(false);
}

bool DocumentSession::settleUnsavedChanges()
{
    if (!msgHozon())
        return true;
    const SaveOutcome saved = save();
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
        switch (m_messages.askChoice(m_dialogParent, question, answers, 0)) {
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
void DocumentSession::moveWorkFolderTo(const QString &file)
{
    removeScratchFile();
    m_workFolder = folderOfPath(file);
    emit workFolderChanged();
}

void DocumentSession::removeScratchFile()
{
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
