#include "MainForm.h"

#include "GeneralDate.h"
#include "SplitterBar.h"
#include "TagPalette.h"
#include <editor/EditorText.h>

#include <dialogs/DialogService.h>
#include <dialogs/Form1.h>
#include <dialogs/Form2.h>
#include <dialogs/MessageBoxes.h>
#include <dialogs/ModalWindows.h>
#include <document/DocumentRecovery.h>
#include <document/DocumentSession.h>
#include <document/FileErrorText.h>
#include <preview/PreviewRefresh.h>
#include <preview/PreviewView.h>

#include <core/HenkanMod.h>
#include <storage/ProgramFiles.h>
#include <storage/TextCodec.h>
#include <storage/TextDetection.h>
#include <storage/TextFile.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QTimer>

#include <algorithm>

#include <cmath>

namespace qrn {

namespace {
const QString AppTitle = QStringLiteral("QRN");
const QString DataUnreadable = QStringLiteral("データを読み込めません。");

} // namespace

MainForm::MainForm(HenkanMod &henkan, const ProgramFolders &folders, MessageBoxes &messages,
                   std::unique_ptr<DialogService> dialog, ModalWindows &windows, BrowserFactory createBrowser,
                   QWidget *parent)
    : QMainWindow(parent), CoDi(std::move(dialog)), m_henkan(henkan), m_programFolder(folders.program),
      m_dataFolder(folders.data), m_createBrowser(createBrowser), m_messages(messages), m_windows(windows),
      m_dataFiles(m_dataFolder), m_recent(joinPath(folders.user, QStringLiteral("recent.txt"))),
      m_viewPath(joinPath(folders.user, QStringLiteral("view.txt"))), m_clock(new QTimer(this))
{
    setWindowTitle(AppTitle);
    buildMenus();
    buildPanes(createBrowser);
    m_palette = std::make_unique<TagPalette>(*Koumoku, *Naiyou, m_henkan.tagTable());
    m_session = new DocumentSession(m_henkan, m_dataFolder, *MainText, m_messages, *CoDi, this);
    m_session->setDialogParent(this);
    if (!folders.recovery.isEmpty()) {
        m_recovery = new DocumentRecovery(*m_session, *MainText, folders.recovery, this);
        m_session->setOtherRunUses([this](const QString &folder) { return m_recovery->folderUsedByOtherRun(folder); });
        connect(m_recovery, &DocumentRecovery::copyFailed, this, [this](const QString &reason) {
            statusBar()->showMessage(QStringLiteral("復元用のコピーを書けません：") + reason);
        });
    }
    // Every command that moves the work folder refreshes the palette, whose first category lists it.
    connect(m_session, &DocumentSession::workFolderChanged, this, &MainForm::Koumoku_Click);
    const auto showEncoding = [this] { StaEncoding->setText(encodingLabel(m_session->format())); };
    connect(m_session, &DocumentSession::formatChanged, this, showEncoding);
    showEncoding();

    buildAdditions();

    // The status bar keeps its date and time current by itself.
    connect(m_clock, &QTimer::timeout, this, &MainForm::updateClock);
    m_clock->start(1000);
    updateClock();

    // The window's first size in twips, the menu bar added.
    resize(static_cast<int>(std::lround(8055 * logicalDpiX() / 1440.0)),
           static_cast<int>(std::lround(7080 * logicalDpiY() / 1440.0)) + menuBar()->sizeHint().height());
    Form_Resize(); // a hidden window gets no resize event until it is shown
}

MainForm::~MainForm() = default;

// --- Start-up and document state -------------------------------------------------------------

bool MainForm::Form_Load()
{
    const DictionaryLoadResult dictionary = m_dataFiles.loadDictionary(m_henkan.tagTable());
    if (!dictionary.file.ok) {
        m_messages.information(nullptr, DataUnreadable);
        return false;
    }
    if (m_dataFiles.dictionaryRecordsNotLoaded() > 0)
        m_messages.information(nullptr, QStringLiteral("辞書の %1 件のレコードは、辞書に入る %2 件を超えるため使われていません。\n"
                                                       "これらのレコードは辞書ファイルにそのまま残ります。")
                                            .arg(m_dataFiles.dictionaryRecordsNotLoaded())
                                            .arg(TagTable::MaxTagCount + 1));
    MainText->setTagTable(&m_henkan.tagTable());
    m_session->NewDate();
    if (!FontFileGet()) {
        // The program ends here: leave no scratch file behind.
        m_session->removeScratchFileForExit();
        return false;
    }
    applyViewSettings();
    m_palette->fillCategories();
    Koumoku->setCurrentRow(1);
    if (m_recovery)
        m_recovery->askToRestoreLeftCopies(m_messages, this);
    m_loaded = true;
    return true;
}

void MainForm::MainText_Change()
{
    m_session->markChanged();
    if (!mmnyHand->isChecked())
        mmnyKousin_Click();
}

void MainForm::mmnyAll_Click()
{
    MainText->selectAll();
}

void MainForm::mmnyDate_Click()
{
    insertAtCaret(generalDateText(QDateTime::currentDateTime(), QLocale::system()));
}

// Replaces the selection (or inserts at the caret) like typing; the caret ends after the text.
void MainForm::insertAtCaret(const QString &text)
{
    QTextCursor cursor = MainText->textCursor();
    cursor.insertText(text);
    MainText->setTextCursor(cursor);
}

// --- Palette ------------------------------------------------------------------------------------

void MainForm::Koumoku_Click()
{
    m_palette->refresh(m_session->WorkFolder());
}

void MainForm::GetKoumoku(std::int16_t category, std::int16_t index)
{
    m_palette->GetKoumoku(category, index);
}

void MainForm::Naiyou_Click()
{
    if (const auto description = m_palette->descriptionOfSelectedRow())
        StaDescription->setText(*description);
}

void MainForm::Naiyou_DblClick()
{
    if (const auto text = m_palette->insertionForSelectedRow())
        insertAtCaret(*text);
}

QString MainForm::GetSagyou(const QString &path) const
{
    return folderOfPath(path);
}

// --- Preview and source window ------------------------------------------------------------------

void MainForm::mmnyKousin_Click()
{
    m_preview->refresh(m_session->WorkFolder());
}

// Like refreshing, following the caret stops in manual mode; the line it was on is not
// remembered then, so the pane follows again at the first move after.
void MainForm::MainText_CaretMove()
{
    if (!mmnyHand->isChecked())
        m_preview->followCaret();
}

// A double-click in the preview puts the caret at the start of the line that produced it.
void MainForm::Brw_LineDoubleClicked(int line)
{
    MainText->goToLine(line);
}

void MainForm::mmnyHand_Click()
{
    if (mmnyHand->isChecked()) {
        mmnyHand->setChecked(false);
        mmnyKousin_Click();
    } else {
        mmnyHand->setChecked(true);
    }
}

void MainForm::mmnyBack_Click()
{
    Brw->goBack();
}

void MainForm::mmnyNext_Click()
{
    Brw->goForward();
}

void MainForm::Brw_DownloadComplete()
{
    setWindowTitle(AppTitle + QStringLiteral(" - [") + m_session->documentName() + QStringLiteral("]"));
}

void MainForm::mmnyHtmlHyozi_Click()
{
    if (!m_form1)
        m_form1 = new Form1;
    const std::u16string html = m_henkan.ToHtml(toU16View(MainText->text()));
    m_form1->Text1->setPlainText(fromU16(html));
    m_form1->setWindowTitle(QStringLiteral("HTML - [") + m_session->documentName() + QStringLiteral("]"));
    m_form1->show();
    m_form1->raise();
}

// --- Layout and splitters -----------------------------------------------------------------------

void MainForm::Form_Resize()
{
    m_layout.apply(*this, {Koumoku, Naiyou, LineHenkou2, MainText, LineHenkou1, Brw->widget()});
}

void MainForm::LineHenkou1_MouseDown(int, int, float, float y)
{
    m_layout.startDrag(y);
}

void MainForm::LineHenkou1_MouseMove(int button, int, float, float y)
{
    if (button != 1)
        return;
    m_layout.dragHorizontalBar(y);
    Form_Resize();
}

void MainForm::LineHenkou2_MouseDown(int, int, float x, float)
{
    m_layout.startDrag(x);
}

void MainForm::LineHenkou2_MouseMove(int button, int, float x, float)
{
    if (button != 1)
        return;
    m_layout.dragVerticalBar(x);
    Form_Resize();
}

void MainForm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

// --- Documents, export and import, exit ---------------------------------------------------------

void MainForm::mmnyNew_Click()
{
    m_session->newDocument();
}

void MainForm::mmnyOpen_Click()
{
    m_session->open();
}

void MainForm::mnySave_Click()
{
    m_session->save();
}

void MainForm::mmnyName_Click()
{
    m_session->saveAs();
}

void MainForm::mmnyHTMLSave_Click()
{
    m_session->exportHtml();
}

void MainForm::mmnyHtmlHenkan_Click()
{
    m_session->importHtml();
}

void MainForm::mmnyExit_Click()
{
    // The program ends with the main window; other windows close with it.
    if (close())
        QApplication::quit();
}

bool MainForm::Form_QueryUnload()
{
    if (!m_session->settleForExit())
        return false;
    if (const QStringList failures = saveDataFiles(); !failures.isEmpty())
        m_messages.error(this, failures.join(QStringLiteral("\n\n")));
    return true;
}

void MainForm::exitWithoutQuestions()
{
    if (m_closing)
        return;
    m_session->endWithoutQuestions();
    MainText->abandonLoading();
    // A question or dialog open now is closed unanswered: the command it belongs to stops there.
    for (int i = 0; i < 16; ++i) {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            break;
        dialog->done(QDialog::Rejected);
    }
    m_session->removeScratchFileForExit();
    // Before start-up has finished there is nothing of this run to keep.
    if (!m_loaded)
        return;
    if (m_recovery)
        m_recovery->holdForExit();
    saveDataFiles(); // nobody is there to read a failure
    m_closing = true;
    close();
}

void MainForm::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // Back in the window: a file another program changed is read again, or the change is said.
    if (event->type() != QEvent::ActivationChange || !isActiveWindow() || !m_loaded || m_closing
        || QApplication::activeModalWidget())
        return;
    switch (m_session->reloadIfChangedOnDisk()) {
    case DocumentSession::DiskChange::ChangedOnDisk:
        statusBar()->showMessage(QStringLiteral("ファイル「%1」は他のプログラムで変更されています。").arg(m_session->DocPath()));
        break;
    case DocumentSession::DiskChange::Reloaded:
        statusBar()->showMessage(QStringLiteral("他のプログラムで変更されたファイル「%1」を読み直しました。").arg(m_session->DocPath()), 10000);
        break;
    case DocumentSession::DiskChange::None:
        break;
    }
}

QStringList MainForm::saveDataFiles()
{
    QStringList failures;
    for (const DataFiles::Failure &failure : m_dataFiles.save(m_henkan.tagTable(), MainText->appearance()))
        failures << saveFailureText(failure.path, failure.result);
    return failures;
}

void MainForm::closeEvent(QCloseEvent *event)
{
    if (m_closing || Form_QueryUnload()) {
        m_closing = true;
        event->accept();
    } else {
        event->ignore();
    }
}

// --- Appearance ---------------------------------------------------------------------------------

bool MainForm::FontFileGet()
{
    const SettingsReadResult read = m_dataFiles.readAppearance();
    if (!read.file.ok) {
        m_messages.information(nullptr, DataUnreadable);
        return false;
    }
    MainText->applyAppearance(read.fields);
    m_dataFiles.setAppearanceAtStart(MainText->appearance());
    return true;
}

void MainForm::mmnyFont_Click()
{
    MainText->askFont(*CoDi, this);
}

void MainForm::mmnyEditerColor_Click()
{
    MainText->askBackColor(*CoDi, this);
}

void MainForm::mmnyFontColor_Click()
{
    MainText->askForeColor(*CoDi, this);
}

// --- User-defined tags, help, About -------------------------------------------------------------

void MainForm::mmnyNewTag_Click()
{
    // The palette is not refreshed afterwards: new rows show at its next refresh.
    m_windows.runTagEditor(this, m_henkan.tagTable());
    // Words the editor added or deleted change what the highlighting marks as unknown.
    MainText->rehighlightAll();
}

void MainForm::mmnyHelp_Click()
{
    if (!m_form2)
        m_form2 = new Form2(m_programFolder, m_createBrowser);
    m_form2->show();
    m_form2->raise();
    m_form2->activateWindow();
}

void MainForm::mmnyAbout_Click()
{
    m_windows.runAbout(this);
}

Form1 *MainForm::sourceWindow() const
{
    return m_form1;
}

Form2 *MainForm::helpWindow() const
{
    return m_form2;
}

} // namespace qrn
