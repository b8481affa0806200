#pragma once

#include <storage/TextFile.h>

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace qrn {

class DialogService;
class DocumentText;
class HenkanMod;
class MessageBoxes;

// What a save command came to.
enum class SaveOutcome {
    Saved,
    Cancelled, // the file dialog was cancelled: nothing written, nothing changed
    Declined,  // the user would not have characters replaced, or a file changed by another program
               // overwritten, or the program is ending: nothing written, nothing changed
    Failed,    // the file could not be written: the user was told, nothing changed
};

// The document's life: its state (work folder, file, changed flag) and the file commands that
// change it. It reaches the user only through the message boxes and the shared dialog, and the
// text only through DocumentText; the window follows its signals.
class DocumentSession : public QObject {
    Q_OBJECT
public:
    // `newDocumentFolder` is the work folder of a new document: the folder the data files live in.
    DocumentSession(HenkanMod &henkan, QString newDocumentFolder, DocumentText &text, MessageBoxes &messages,
                    DialogService &dialog, QObject *parent = nullptr);

    const QString &WorkFolder() const { return m_workFolder; }
    const QString &DocPath() const { return m_docPath; }
    bool DocChanged() const { return m_docChanged; }
    // The format the document is saved in: Shift_JIS with CR LF for a new document, otherwise
    // what its file was read as (or what the user chose to save it as).
    const TextFormat &format() const { return m_format; }
    // The name titles and the save prompt use: the file's full path, or the untitled name.
    QString documentName() const;
    static QString untitledName();

    // The program is ending without questions: a question or dialog open now is left unanswered,
    // and the command it belongs to stops there (nothing saved, replaced or removed).
    void endWithoutQuestions() { m_ending = true; }
    bool isEnding() const { return m_ending; }
    // Tells whether another live run of the program uses a folder as its work folder: its
    // preview's scratch file there is not this run's to remove.
    void setOtherRunUses(std::function<bool(const QString &folder)> otherRunUses) { m_otherRunUses = std::move(otherRunUses); }

    // Message boxes and dialogs open over this window.
    void setDialogParent(QWidget *parent) { m_dialogParent = parent; }

    // The text changed, by typing or from code.
    void markChanged();

    // A new document from the template, in the new document's folder.
    void NewDate();

    // The menu commands. Each that may lose changes first settles them.
    void newDocument();
    void open();
    // Opens a file as the open command does, without its dialog (a file named at start-up). A
    // file that does not exist, in a folder that does, starts an empty document of that name.
    void openFile(const QString &file);
    // Settles unsaved changes, then opens the file as openFile does (a file dropped or named).
    void openNamedFile(const QString &file);
    // Puts a recovered text into the editor as a changed document with its former file and format;
    // the work folder follows that file (a new document's folder for an untitled one). When the
    // file's folder is gone, the text comes back untitled and the user is told the lost path.
    void restore(const QString &text, const QString &docPath, const TextFormat &format);
    SaveOutcome save();
    SaveOutcome saveAs();
    void exportHtml();
    void importHtml();
    // Settles unsaved changes, then imports the page as importHtml does (a page dropped).
    void importFile(const QString &file);

    // The scratch file of the work folder goes (unless another live run previews there too).
    void removeScratchFileForExit() { removeScratchFile(); }
    // The exit's part of the document: the scratch file goes and unsaved changes are settled.
    // False when the user wanted the text saved and it could not be: the window stays open.
    bool settleForExit();

    // Asks whether to save a changed document; true for Yes. No box for an unchanged document.
    bool msgHozon();

    // What became of the document's file since it was read or written.
    enum class DiskChange { None, ChangedOnDisk, Reloaded };
    // Called when the window becomes active: a document without unsaved changes whose file another
    // program changed is read again; with unsaved changes it stays, and ChangedOnDisk says so.
    DiskChange reloadIfChangedOnDisk();

    // The writers: they write and update the state, and never ask or show anything.
    FileResult JapSave(const QString &file);
    FileResult HtmlSave(const QString &file);

signals:
    void workFolderChanged();
    void docPathChanged();
    void docChangedChanged(bool changed);
    // The text changed (every change, unlike docChangedChanged).
    void textEdited();
    void formatChanged();
    // The document was written to its file: its text is safe there.
    void textWritten();
    // The user answered No to saving the changes: they are thrown away.
    void changesDiscarded();

private:
    // Asks to save a changed document and saves it on Yes. False when the command must stop:
    // the user wanted the text kept and it was not saved.
    bool settleUnsavedChanges();
    // Asks before characters the file cannot hold are replaced, then writes; says why it failed.
    SaveOutcome saveToAskingAboutCharacters(const QString &file);
    // The file dialog's choice, with the default extension added to a name typed without one.
    bool askFileName(bool save, const QString &filter, const QString &defaultExtension);

    // The document was just written to the file: it is now the document's file, saved.
    // `holdsText`: the file holds the document's text (not a page converted from it).
    void becomeDocumentOf(const QString &file, const QByteArray &bytes, bool holdsText);
    void importFrom(const QString &file);
    // Remembers what the document's file is on disk now (the bytes just read or written), to
    // tell a later change by another program.
    void rememberDiskState(const QString &file, const QByteArray &bytes);
    bool changedOnDisk();
    // The bytes of the document's file, when the document is unedited since it was read or
    // written and the file is still what it was then.
    std::optional<QByteArray> uneditedFileBytes() const;
    // Asks before a file another program changed is overwritten: Saved (go on), Declined or the
    // outcome of saving under another name.
    std::optional<SaveOutcome> askBeforeOverwritingChangedFile();
    void enterWorkFolder(const QString &folder);
    void removeScratchFile();
    void setDocPath(const QString &path);
    void setDocChanged(bool changed);
    void setFormat(const TextFormat &format);
    // Says how many bytes of a file just read could not be decoded; the document then counts as
    // changed, so nothing is saved over the file without the user's save.
    void reportUndecodableBytes(const QString &file, const ReadTextResult &read);
    void reportWriteFailure(const QString &file, const FileResult &result);
    void reportReadFailure(const QString &file, const ReadTextResult &result);

    HenkanMod &m_henkan;
    QString m_newDocumentFolder;
    DocumentText &m_text;
    MessageBoxes &m_messages;
    DialogService &m_dialog;
    QWidget *m_dialogParent = nullptr;

    QString m_workFolder;
    QString m_docPath;
    bool m_docChanged = false;
    TextFormat m_format;
    bool m_ending = false;
    std::function<bool(const QString &)> m_otherRunUses;
    // The document's file as it was last read or written.
    struct DiskState {
        bool known = false;
        bool holdsText = true;
        qint64 size = 0;
        QDateTime modified;
        QByteArray hash;
    } m_disk;
};

} // namespace qrn
