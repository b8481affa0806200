#include "MainForm.h"

#include "SplitterBar.h"
#include "GeneralDate.h"

#include <core/HenkanMod.h>
#include <editor/EditorText.h>
#include <editor/PageChecker.h>
#include <preview/PreviewRefresh.h>
#include <preview/PreviewView.h>

#include <QDateTime>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>

// The main window's widgets: its five menus, its panes and its status bar, as the window is laid out.

namespace qrn {

namespace {
const QString DescriptionPrompt = QStringLiteral("選択されている項目の説明を表示します");
} // namespace

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
    // The page check's items, after the menu's own.
    mnyEdit->addSeparator();
    QAction *mmnyProblems = mnyEdit->addAction(QStringLiteral("問題の一覧(&P)"));
    mmnyProblems->setCheckable(true);
    mmnyProblems->setChecked(true);
    connect(mmnyProblems, &QAction::toggled, this, [this](bool on) { MainText->pageChecker()->setPanelWanted(on); });
    QAction *mmnyNotes = mnyEdit->addAction(QStringLiteral("注意も表示する(&N)"));
    mmnyNotes->setCheckable(true);
    mmnyNotes->setChecked(true);
    connect(mmnyNotes, &QAction::toggled, this, [this](bool on) { MainText->pageChecker()->setNotesShown(on); });

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
    m_preview = std::make_unique<PreviewRefresh>(m_henkan.tagTable(), *MainText, *Brw);

    connect(LineHenkou1, &SplitterBar::mouseDown, this, &MainForm::LineHenkou1_MouseDown);
    connect(LineHenkou1, &SplitterBar::mouseMove, this, &MainForm::LineHenkou1_MouseMove);
    connect(LineHenkou2, &SplitterBar::mouseDown, this, &MainForm::LineHenkou2_MouseDown);
    connect(LineHenkou2, &SplitterBar::mouseMove, this, &MainForm::LineHenkou2_MouseMove);
    connect(Koumoku, &QListWidget::currentRowChanged, this, [this] { Koumoku_Click(); });
    // A click on the category already selected refreshes too: entries just added show.
    connect(Koumoku, &QListWidget::itemClicked, this, [this] { Koumoku_Click(); });
    connect(Naiyou, &QListWidget::currentRowChanged, this, [this] { Naiyou_Click(); });
    connect(Naiyou, &QListWidget::itemDoubleClicked, this, [this] { Naiyou_DblClick(); });
    connect(MainText, &QPlainTextEdit::textChanged, this, &MainForm::MainText_Change);
    connect(Brw, &PreviewView::loadFinished, this, &MainForm::Brw_DownloadComplete);
    connect(MainText, &QPlainTextEdit::cursorPositionChanged, this, &MainForm::MainText_CaretMove);
    connect(Brw, &PreviewView::lineDoubleClicked, this, &MainForm::Brw_LineDoubleClicked);

    StaDescription = new QLabel(DescriptionPrompt);
    StaDescription->setTextFormat(Qt::PlainText); // dictionary text such as "<h1>" shows as it is
    StaDescription->setToolTip(DescriptionPrompt);
    StaDate = new QLabel;
    StaTime = new QLabel;
    statusBar()->addWidget(StaDescription, 1);
    statusBar()->addPermanentWidget(StaDate);
    statusBar()->addPermanentWidget(StaTime);
    StaEncoding = new QLabel;
    statusBar()->addPermanentWidget(StaEncoding);
    StaProblems = new QLabel;
    statusBar()->addPermanentWidget(StaProblems);
    connect(MainText->pageChecker(), &PageChecker::problemsChanged, StaProblems,
            [this](int count) { StaProblems->setText(QStringLiteral("問題 %1 件").arg(count)); });
    // How far a large document has been put into the editor, while it is.
    auto *loading = new QProgressBar;
    loading->setRange(0, 100);
    loading->setMaximumWidth(160);
    loading->hide();
    statusBar()->addPermanentWidget(loading);
    connect(MainText, &EditorText::loadProgress, loading, [loading](int percent) {
        loading->setValue(percent);
        loading->setVisible(percent < 100);
    });
    statusBar()->setSizeGripEnabled(true);

    Form_Resize();
}

void MainForm::updateClock()
{
    const QDateTime now = QDateTime::currentDateTime();
    StaDate->setText(shortDateText(now.date(), QLocale::system()));
    StaTime->setText(longTimeText(now.time(), QLocale::system()));
}

} // namespace qrn
