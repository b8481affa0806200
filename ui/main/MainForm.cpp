#include "MainForm.h"

#include "EditorText.h"
#include "GeneralDate.h"
#include "PaletteCategories.h"
#include "SplitterBar.h"

#include <DialogService.h>
#include <MessageBoxes.h>
#include <PreviewView.h>
#include <dialogs/Form1.h>
#include <dialogs/Form2.h>
#include <dialogs/NewTag.h>
#include <dialogs/frmAbout.h>

#include <DictionaryFile.h>
#include <HenkanMod.h>
#include <NewDocumentTemplate.h>
#include <ProgramFiles.h>
#include <SettingsFile.h>
#include <TextCodec.h>
#include <TextFile.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QListWidget>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace qrn {

namespace {
const QString AppTitle = QStringLiteral("QRN");
const QString UntitledName = QStringLiteral("QRNドキュメント");
const QString DataUnreadable = QStringLiteral("データを読み込めません。");
const QString DescriptionPrompt = QStringLiteral("選択されている項目の説明を表示します");
const QString OpenFilter = QStringLiteral("使用可能なページファイル|*.htm;*.html;*.qrnf|日本語タグファイル|*.qrnf|HTMLファイル|*.html;*.htm");
const QString SaveFilter = QStringLiteral("日本語タグファイル|*.qrnf");
const QString HtmlFilter = QStringLiteral("HTMLファイル|*.html;*.htm");

// A pointer coordinate as the drag origin: rounded half to even, held in 16 bits.
std::int16_t dragOrigin(float value)
{
    const float r = std::nearbyint(value);
    return static_cast<std::int16_t>(std::clamp(r, -32768.0f, 32767.0f));
}

QString characterText(char32_t c)
{
    return QString::fromUcs4(&c, 1);
}
} // namespace

MainForm::MainForm(HenkanMod &henkan, QString programFolder, MessageBoxes &messages,
                   std::unique_ptr<DialogService> dialog, BrowserFactory createBrowser, QWidget *parent)
    : QMainWindow(parent), CoDi(std::move(dialog)), m_henkan(henkan), m_programFolder(std::move(programFolder)),
      m_createBrowser(createBrowser), m_messages(messages),
      m_dictionaryFile(joinPath(m_programFolder, DictionaryFileName)),
      m_settingsFile(joinPath(m_programFolder, SettingsFileName)), m_clock(new QTimer(this))
{
    setWindowTitle(AppTitle);
    buildMenus();
    buildPanes(createBrowser);

    // The status bar keeps its date and time current by itself.
    connect(m_clock, &QTimer::timeout, this, &MainForm::updateClock);
    m_clock->start(1000);
    updateClock();

    resize(twipsToPixelsX(8055), twipsToPixelsY(7080) + menuBar()->sizeHint().height());
    Form_Resize(); // a hidden window gets no resize event until it is shown
}

MainForm::~MainForm() = default;

void MainForm::buildMenus()
{
    QMenuBar *bar = menuBar();
    const auto item = [](QMenu *menu, const QString &caption, auto handler, QObject *receiver) {
        QAction *a = menu->addAction(caption);
        QObject::connect(a, &QAction::triggered, receiver, handler);
        return a;
    };

    QMenu *mnyFile = bar->addMenu(QStringLiteral("ファイル(&F)"));
    mmnyNew = item(mnyFile, QStringLiteral("新規作成(&N)"), [this] { mmnyNew_Click(); }, this);
    mmnyOpen = item(mnyFile, QStringLiteral("開く(&O)"), [this] { mmnyOpen_Click(); }, this);
    mnySave = item(mnyFile, QStringLiteral("上書き保存(&S)"), [this] { mnySave_Click(); }, this);
    mmnyName = item(mnyFile, QStringLiteral("名前を付けて保存(&A)"), [this] { mmnyName_Click(); }, this);
    mnyFile->addSeparator();
    mmnyHTMLSave = item(mnyFile, QStringLiteral("HTMLで保存(&H)"), [this] { mmnyHTMLSave_Click(); }, this);
    mmnyHtmlHenkan = item(mnyFile, QStringLiteral("HTMLを変換(&E)"), [this] { mmnyHtmlHenkan_Click(); }, this);
    mnyFile->addSeparator();
    mmnyExit = item(mnyFile, QStringLiteral("終了(&X)"), [this] { mmnyExit_Click(); }, this);

    QMenu *mnyEdit = bar->addMenu(QStringLiteral("編集(&E)"));
    mmnyAll = item(mnyEdit, QStringLiteral("全て選択(&A)"), [this] { mmnyAll_Click(); }, this);
    mmnyDate = item(mnyEdit, QStringLiteral("日付と時刻"), [this] { mmnyDate_Click(); }, this);
    mnyEdit->addSeparator();
    mmnyHtmlHyozi = item(mnyEdit, QStringLiteral("HTML表示(&H)"), [this] { mmnyHtmlHyozi_Click(); }, this);

    QMenu *mnySettei = bar->addMenu(QStringLiteral("設定(&S)"));
    mmnyFont = item(mnySettei, QStringLiteral("フォント(&F)"), [this] { mmnyFont_Click(); }, this);
    mmnyEditerColor = item(mnySettei, QStringLiteral("エディタの背景色(&B)"), [this] { mmnyEditerColor_Click(); }, this);
    mmnyFontColor = item(mnySettei, QStringLiteral("文字色(&C)"), [this] { mmnyFontColor_Click(); }, this);
    mnySettei->addSeparator();
    mmnyNewTag = item(mnySettei, QStringLiteral("ユーザー定義タグ(&T)"), [this] { mmnyNewTag_Click(); }, this);

    QMenu *mnyBrw = bar->addMenu(QStringLiteral("ブラウザ(&B)"));
    mmnyBack = item(mnyBrw, QStringLiteral("戻る(&B)"), [this] { mmnyBack_Click(); }, this);
    mmnyNext = item(mnyBrw, QStringLiteral("進む(&N)"), [this] { mmnyNext_Click(); }, this);
    mmnyKousin = item(mnyBrw, QStringLiteral("最新の情報に更新(&N)"), [this] { mmnyKousin_Click(); }, this);
    mnyBrw->addSeparator();
    // The check mark is the manual-update switch itself. The handler sets it, so the toggle the
    // menu makes on its own is undone first.
    mmnyHand = mnyBrw->addAction(QStringLiteral("手動で更新する(&H)"));
    mmnyHand->setCheckable(true);
    connect(mmnyHand, &QAction::triggered, this, [this](bool checked) {
        mmnyHand->setChecked(!checked);
        mmnyHand_Click();
    });

    QMenu *mnyHelp = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
    mmnyHelp = item(mnyHelp, QStringLiteral("マニュアル(&H)"), [this] { mmnyHelp_Click(); }, this);
    mnyHelp->addSeparator();
    mmnyAbout = item(mnyHelp, QStringLiteral("バージョン情報(&A)"), [this] { mmnyAbout_Click(); }, this);
}

void MainForm::buildPanes(const BrowserFactory &createBrowser)
{
    auto *client = new QWidget(this);
    setCentralWidget(client);

    // The bars first: the panes are drawn above them.
    LineHenkou2 = new SplitterBar(Qt::Vertical, client);
    LineHenkou1 = new SplitterBar(Qt::Horizontal, client);
    Koumoku = new QListWidget(client);
    Naiyou = new QListWidget(client);
    MainText = new EditorText(client);
    Brw = createBrowser(client);
    Brw->widget()->setParent(client);

    connect(LineHenkou1, &SplitterBar::mouseDown, this, &MainForm::LineHenkou1_MouseDown);
    connect(LineHenkou1, &SplitterBar::mouseMove, this, &MainForm::LineHenkou1_MouseMove);
    connect(LineHenkou2, &SplitterBar::mouseDown, this, &MainForm::LineHenkou2_MouseDown);
    connect(LineHenkou2, &SplitterBar::mouseMove, this, &MainForm::LineHenkou2_MouseMove);
    connect(Koumoku, &QListWidget::currentRowChanged, this, [this] { Koumoku_Click(); });
    connect(Naiyou, &QListWidget::currentRowChanged, this, [this] { Naiyou_Click(); });
    connect(Naiyou, &QListWidget::itemDoubleClicked, this, [this] { Naiyou_DblClick(); });
    connect(MainText, &QPlainTextEdit::textChanged, this, &MainForm::MainText_Change);
    connect(Brw, &PreviewView::loadFinished, this, &MainForm::Brw_DownloadComplete);

    StaDescription = new QLabel(DescriptionPrompt);
    StaDescription->setToolTip(DescriptionPrompt);
    StaDate = new QLabel;
    StaTime = new QLabel;
    statusBar()->addWidget(StaDescription, 1);
    statusBar()->addPermanentWidget(StaDate);
    statusBar()->addPermanentWidget(StaTime);
    statusBar()->setSizeGripEnabled(true);

    Form_Resize();
}

// --- Start-up and document state -------------------------------------------------------------

bool MainForm::Form_Load()
{
    const DictionaryLoadResult dictionary = m_dictionaryFile.load(m_henkan.tagTable());
    if (!dictionary.file.ok) {
        m_messages.information(nullptr, DataUnreadable);
        return false;
    }
    if (m_dictionaryFile.notLoadedCount() > 0)
        m_messages.information(nullptr, QStringLiteral("辞書の %1 件のレコードは、辞書に入る %2 件を超えるため使われていません。\n"
                                                       "これらのレコードは辞書ファイルにそのまま残ります。")
                                            .arg(m_dictionaryFile.notLoadedCount())
                                            .arg(TagTable::MaxTagCount + 1));
    DocChanged = false;
    NewDate();
    if (!FontFileGet()) {
        // The program ends here: leave no scratch file behind.
        removeScratchFile();
        return false;
    }
    for (const PaletteCategory &c : PaletteCategories)
        Koumoku->addItem(QString::fromUtf16(c.text));
    Koumoku->setCurrentRow(1);
    return true;
}

void MainForm::NewDate()
{
    WorkFolder = m_programFolder;
    MainText->setText(fromU16(NewDocumentTemplate()));
    Koumoku_Click();
    DocPath.clear();
    DocChanged = false;
}

void MainForm::MainText_Change()
{
    DocChanged = true;
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

void MainForm::updateClock()
{
    const QDateTime now = QDateTime::currentDateTime();
    StaDate->setText(shortDateText(now.date(), QLocale::system()));
    StaTime->setText(longTimeText(now.time(), QLocale::system()));
}

QString MainForm::documentName() const
{
    return DocPath.isEmpty() ? UntitledName : DocPath;
}

void MainForm::removeScratchFile()
{
    removeFileIfPresent(scratchFilePath(WorkFolder));
}

// The work folder follows a file the document was written to or read from: the old folder's
// scratch file goes, and the palette lists the new folder.
void MainForm::moveWorkFolderTo(const QString &file)
{
    removeScratchFile();
    WorkFolder = GetSagyou(file);
    Koumoku_Click();
}

// --- Palette ------------------------------------------------------------------------------------

void MainForm::Koumoku_Click()
{
    Naiyou->clear();
    // The listing follows the work folder; a folder that is gone keeps the last one listed.
    if (!WorkFolder.isEmpty() && QDir(WorkFolder).exists())
        m_file1Folder = WorkFolder;

    const QListWidgetItem *selected = Koumoku->currentItem();
    if (!selected)
        return;
    const QString text = selected->text();
    if (text == WorkFolderCategory) {
        if (m_file1Folder.isEmpty())
            return;
        const QStringList files = QDir(m_file1Folder).entryList(QDir::Files, QDir::Name);
        for (const QString &name : files)
            if (name != ScratchFileName)
                Naiyou->addItem(name);
        return;
    }
    const PaletteCategory *category = findPaletteCategory(text);
    if (!category)
        return;
    const int count = m_henkan.tagTable().TagCount();
    Naiyou->setUpdatesEnabled(false);
    for (int i = 0; i <= count; ++i)
        GetKoumoku(*category->categoryNumber, static_cast<std::int16_t>(i));
    Naiyou->setUpdatesEnabled(true);
    WrapInBrackets = category->wrapInBrackets;
}

void MainForm::GetKoumoku(std::int16_t category, std::int16_t index)
{
    const TagEntry &entry = m_henkan.tagTable()[index];
    if (entry.Category == category)
        Naiyou->addItem(fromU16(entry.JapaneseName));
}

void MainForm::Naiyou_Click()
{
    const QListWidgetItem *row = Naiyou->currentItem();
    if (!row || !Koumoku->currentItem())
        return;
    if (Koumoku->currentItem()->text() == WorkFolderCategory) {
        StaDescription->setText(row->text());
        return;
    }
    // Every entry with the name is visited, so the one with the highest index decides.
    const TagTable &table = m_henkan.tagTable();
    const std::u16string_view name = toU16View(row->text());
    for (int i = table.TagCount(); i >= 0; --i) {
        if (table[i].JapaneseName == name) {
            StaDescription->setText(fromU16(table[i].Description));
            return;
        }
    }
}

void MainForm::Naiyou_DblClick()
{
    const QListWidgetItem *row = Naiyou->currentItem();
    if (!row || !Koumoku->currentItem())
        return;
    const QString t = row->text();
    if (Koumoku->currentItem()->text() == WorkFolderCategory) {
        insertAtCaret(t);
        return;
    }
    if (m_henkan.tagTable().findJapaneseName(toU16View(t)) < 0)
        return; // a row whose entry was deleted inserts nothing
    insertAtCaret(WrapInBrackets ? QStringLiteral("＜") + t + QStringLiteral("＞") : t);
}

QString MainForm::GetSagyou(const QString &path) const
{
    return folderOfPath(path);
}

// --- Preview and source window ------------------------------------------------------------------

void MainForm::mmnyKousin_Click()
{
    const QString path = scratchFilePath(WorkFolder);
    ToHtml(toU16View(MainText->text()), m_henkan.tagTable(), m_refreshHtml);
    encodeTextFileInto(QStringView(m_refreshHtml.data(), qsizetype(m_refreshHtml.size())), TextEncoding::ShiftJis,
                       Unmappable::CharacterReference, m_refreshBytes);
    // A scratch file that cannot be written is passed over: the pane shows what is there.
    writeScratchFileAtomically(path, m_refreshBytes.bytes);
    Brw->navigate(path);
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
    setWindowTitle(AppTitle + QStringLiteral(" - [") + documentName() + QStringLiteral("]"));
}

void MainForm::mmnyHtmlHyozi_Click()
{
    if (!m_form1)
        m_form1 = new Form1;
    const std::u16string html = m_henkan.ToHtml(toU16View(MainText->text()));
    m_form1->Text1->setPlainText(fromU16(html));
    m_form1->setWindowTitle(QStringLiteral("HTML - [") + documentName() + QStringLiteral("]"));
    m_form1->show();
    m_form1->raise();
}

// --- Layout and splitters -----------------------------------------------------------------------

int MainForm::twipsToPixelsX(float twips) const
{
    return static_cast<int>(std::lround(twips * logicalDpiX() / 1440.0));
}

int MainForm::twipsToPixelsY(float twips) const
{
    return static_cast<int>(std::lround(twips * logicalDpiY() / 1440.0));
}

void MainForm::Form_Resize()
{
    const QSize outer = frameGeometry().size();
    const float W = static_cast<float>(outer.width() * 1440.0 / logicalDpiX());
    const float H = static_cast<float>(outer.height() * 1440.0 / logicalDpiY());
    LayoutPass(m_panes, W, H);

    const auto place = [this](QWidget *w, const TwipRect &r) {
        w->setGeometry(twipsToPixelsX(r.left), twipsToPixelsY(r.top), twipsToPixelsX(r.width),
                       twipsToPixelsY(r.height));
    };
    place(Koumoku, m_panes.Koumoku);
    place(Naiyou, m_panes.Naiyou);
    place(LineHenkou2, m_panes.LineHenkou2);
    place(MainText, m_panes.MainText);
    place(LineHenkou1, m_panes.LineHenkou1);
    place(Brw->widget(), m_panes.Brw);
}

void MainForm::LineHenkou1_MouseDown(int, int, float, float y)
{
    DragStart = dragOrigin(y);
}

void MainForm::LineHenkou1_MouseMove(int button, int, float, float y)
{
    if (button != 1)
        return;
    m_panes.LineHenkou1.top = m_panes.LineHenkou1.top - DragStart + y;
    Form_Resize();
}

void MainForm::LineHenkou2_MouseDown(int, int, float x, float)
{
    DragStart = dragOrigin(x);
}

void MainForm::LineHenkou2_MouseMove(int button, int, float x, float)
{
    if (button != 1)
        return;
    m_panes.LineHenkou2.left = m_panes.LineHenkou2.left - DragStart + x;
    Form_Resize();
}

void MainForm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

// --- Documents and exit -------------------------------------------------------------------------

bool MainForm::msgHozon()
{
    if (!DocChanged)
        return false;
    return m_messages.askToSave(this, QStringLiteral("ファイル\"") + documentName()
                                          + QStringLiteral("\"は変更されています、変更を保存しますか？"));
}

SaveOutcome MainForm::JapSave(const QString &file)
{
    const EncodeResult encoded = encodeTextFile(MainText->text(), TextEncoding::ShiftJis, Unmappable::QuestionMark);
    if (encoded.unmappableCount > 0
        && !m_messages.askYesNo(this, QStringLiteral("この文書には Shift_JIS で保存できない文字が %1 個あります（最初の文字：「%2」）。\n"
                                                     "これらの文字を「?」に置き換えて保存しますか？")
                                          .arg(encoded.unmappableCount)
                                          .arg(characterText(encoded.firstUnmappable))))
        return SaveOutcome::Declined;

    const FileResult written = writeFileAtomically(file, encoded.bytes);
    if (!written.ok) {
        m_messages.error(this, QStringLiteral("ファイル\"%1\"を保存できませんでした。\n%2").arg(file, written.error));
        return SaveOutcome::Failed;
    }
    moveWorkFolderTo(file);
    DocPath = file;
    DocChanged = false;
    return SaveOutcome::Saved;
}

SaveOutcome MainForm::mnySave_Click()
{
    if (!DocPath.isEmpty())
        return JapSave(DocPath);
    CoDi->Filter = SaveFilter;
    if (!CoDi->ShowSave(this))
        return SaveOutcome::Cancelled;
    // DocPath follows only a save that succeeded.
    return JapSave(CoDi->FileName);
}

SaveOutcome MainForm::mmnyName_Click()
{
    CoDi->Filter = SaveFilter;
    if (!CoDi->ShowSave(this))
        return SaveOutcome::Cancelled;
    return JapSave(CoDi->FileName);
}

void MainForm::mmnyNew_Click()
{
    if (msgHozon()) {
        const SaveOutcome saved = mnySave_Click();
        // The text the user wanted saved is not thrown away when it could not be saved.
        if (saved == SaveOutcome::Failed || saved == SaveOutcome::Declined)
            return;
    }
    NewDate();
}

void MainForm::mmnyOpen_Click()
{
    if (msgHozon()) {
        const SaveOutcome saved = mnySave_Click();
        if (saved == SaveOutcome::Failed || saved == SaveOutcome::Declined)
            return;
    }
    CoDi->Filter = OpenFilter;
    if (!CoDi->ShowOpen(this))
        return;
    const QString file = CoDi->FileName;
    const ReadTextResult read = readDocumentFile(file);
    if (!read.ok) {
        m_messages.error(this, QStringLiteral("ファイル\"%1\"を開けませんでした。\n%2").arg(file, read.error));
        return;
    }
    moveWorkFolderTo(file);
    MainText->setText(read.text);
    DocPath = file;
    DocChanged = false;
}

void MainForm::mmnyExit_Click()
{
    // The program ends with the main window; other windows close with it.
    if (close())
        QCoreApplication::quit();
}

bool MainForm::Form_QueryUnload()
{
    removeScratchFile();
    if (msgHozon()) {
        const SaveOutcome saved = mnySave_Click();
        if (saved == SaveOutcome::Failed || saved == SaveOutcome::Declined)
            return false;
    }
    QStringList failures;
    const FileResult dictionary = m_dictionaryFile.save(m_henkan.tagTable());
    if (!dictionary.ok)
        failures << dictionary.error;
    const FileResult settings = m_settingsFile.save(currentAppearance(), m_appearanceAtStart);
    if (!settings.ok)
        failures << settings.error;
    if (!failures.isEmpty())
        m_messages.error(this, QStringLiteral("辞書または設定を保存できませんでした。\n") + failures.join(QLatin1Char('\n')));
    return true;
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

// --- HTML export and import ---------------------------------------------------------------------

void MainForm::mmnyHTMLSave_Click()
{
    CoDi->Filter = HtmlFilter;
    CoDi->FileName = joinPath(WorkFolder, QStringLiteral("*.html"));
    if (!CoDi->ShowSave(this)) {
        CoDi->FileName = WorkFolder;
        return;
    }
    HtmlSave(CoDi->FileName);
}

bool MainForm::HtmlSave(const QString &file)
{
    const std::u16string html = m_henkan.ToHtml(toU16View(MainText->text()));
    // Characters Shift_JIS cannot hold become character references: the page loses nothing.
    const FileResult written = writeTextFile(file, QStringView(html.data(), qsizetype(html.size())),
                                             TextEncoding::ShiftJis, Unmappable::CharacterReference);
    if (!written.ok) {
        m_messages.error(this, QStringLiteral("ファイル\"%1\"を保存できませんでした。\n%2").arg(file, written.error));
        return false;
    }
    moveWorkFolderTo(file);
    DocPath = file;
    DocChanged = false;
    return true;
}

void MainForm::mmnyHtmlHenkan_Click()
{
    CoDi->Filter = HtmlFilter;
    if (!CoDi->ShowOpen(this))
        return;
    const QString file = CoDi->FileName;
    const ReadTextResult read = readDocumentFile(file);
    if (!read.ok) {
        m_messages.error(this, QStringLiteral("ファイル\"%1\"を開けませんでした。\n%2").arg(file, read.error));
        return;
    }
    moveWorkFolderTo(file);
    MainText->setText(fromU16(m_henkan.ToJapaneseTags(toU16View(read.text))));
    DocPath.clear();
}

// --- Appearance ---------------------------------------------------------------------------------

bool MainForm::FontFileGet()
{
    const SettingsReadResult read = m_settingsFile.read();
    if (!read.file.ok) {
        m_messages.information(nullptr, DataUnreadable);
        return false;
    }
    const SettingsFields &f = read.fields;
    if (f.BackColor)
        MainText->setBackColor(*f.BackColor);
    QFont font = MainText->font();
    if (f.FaceName)
        font.setFamily(*f.FaceName);
    if (f.Size)
        font.setPointSizeF(*f.Size);
    if (f.Bold)
        font.setBold(*f.Bold);
    if (f.Italic)
        font.setItalic(*f.Italic);
    MainText->setFont(font);
    if (f.ForeColor)
        MainText->setForeColor(*f.ForeColor);
    m_appearanceAtStart = currentAppearance();
    return true;
}

EditorAppearance MainForm::currentAppearance() const
{
    const QFont font = MainText->font();
    return {MainText->backColor(), font.family(), font.pointSizeF(), font.bold(), font.italic(),
            MainText->foreColor()};
}

void MainForm::mmnyFont_Click()
{
    const QFont current = MainText->font();
    CoDi->FontName = current.family();
    CoDi->FontSize = current.pointSizeF();
    CoDi->FontItalic = current.italic();
    CoDi->FontBold = current.bold();
    CoDi->Flags = 1;
    if (!CoDi->ShowFont(this))
        return;
    QFont font = current;
    font.setFamily(CoDi->FontName);
    font.setPointSizeF(CoDi->FontSize);
    font.setItalic(CoDi->FontItalic);
    font.setBold(CoDi->FontBold);
    MainText->setFont(font);
}

void MainForm::mmnyEditerColor_Click()
{
    CoDi->Color = MainText->backColor();
    if (!CoDi->ShowColor(this))
        return;
    MainText->setBackColor(CoDi->Color);
}

void MainForm::mmnyFontColor_Click()
{
    CoDi->Color = MainText->foreColor();
    if (!CoDi->ShowColor(this))
        return;
    MainText->setForeColor(CoDi->Color);
}

// --- User-defined tags, help, About -------------------------------------------------------------

void MainForm::mmnyNewTag_Click()
{
    // The palette is not refreshed afterwards: new rows show at its next refresh.
    NewTag editor(m_henkan.tagTable(), m_messages);
    editor.exec();
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
    frmAbout about(m_messages, this);
    about.exec();
}

} // namespace qrn
