#pragma once

#include "PanePlacement.h"

#include <preview/PreviewView.h>
#include <storage/DataFiles.h>
#include <storage/ProgramFiles.h>
#include <storage/RecentFiles.h>
#include <storage/TextEncoding.h>

#include <QMainWindow>
#include <QPointer>

#include <cstdint>
#include <memory>
#include <string>

class QAction;
class QMenu;
class QMimeData;
class QLabel;
class QListWidget;
class QTimer;

namespace qrn {

class DialogService;
class DocumentRecovery;
class DocumentSession;
class EditorText;
class Form1;
class Form2;
class HenkanMod;
class MessageBoxes;
class ModalWindows;
class PreviewRefresh;
class SplitterBar;
class TagPalette;

// The main window: it builds the panes and menus, and wires each command to the document
// session, the palette or the preview. The document's life is the session's.
class MainForm : public QMainWindow {
    Q_OBJECT
public:
    MainForm(HenkanMod &henkan, const ProgramFolders &folders, MessageBoxes &messages,
             std::unique_ptr<DialogService> dialog, ModalWindows &windows, BrowserFactory createBrowser,
             QWidget *parent = nullptr);
    ~MainForm() override;

    // Start-up. False when a data file could not be read: the message has been shown and the
    // program is to end without showing the window.
    bool Form_Load();

    DocumentSession &session() const { return *m_session; }

    // Controls.
    EditorText *MainText;
    QListWidget *Koumoku;
    QListWidget *Naiyou;
    PreviewView *Brw;
    SplitterBar *LineHenkou1;
    SplitterBar *LineHenkou2;
    QLabel *StaDescription;
    QLabel *StaDate;
    QLabel *StaTime;
    QLabel *StaEncoding; // the document's encoding, at the right of the status bar
    QLabel *StaProblems; // "問題 N 件": what the page check found
    QLabel *StaCaret;    // "行 12、列 5"
    std::unique_ptr<DialogService> CoDi;

    QAction *mmnyNew, *mmnyOpen, *mnySave, *mmnyName, *mmnyHTMLSave, *mmnyHtmlHenkan, *mmnyExit;
    QAction *mmnyAll, *mmnyDate, *mmnyHtmlHyozi;
    // Additions after the menus' own items.
    QMenu *mnyRecent = nullptr;
    QAction *mmnyWrap, *mmnyFullScreen;
    QAction *mmnyFont, *mmnyEditerColor, *mmnyFontColor, *mmnyNewTag;
    QAction *mmnyBack, *mmnyNext, *mmnyKousin, *mmnyHand;
    QAction *mmnyHelp, *mmnyAbout;

    const QString &programFolder() const { return m_programFolder; }
    const PanePlacement &layout() const { return m_layout; }
    const TagPalette &palette() const { return *m_palette; }
    Form1 *sourceWindow() const;
    Form2 *helpWindow() const;

    // Editing.
    void MainText_Change();
    void mmnyAll_Click();
    void mmnyDate_Click();
    void insertAtCaret(const QString &text);

    // Palette.
    void Koumoku_Click();
    void GetKoumoku(std::int16_t category, std::int16_t index);
    void Naiyou_Click();
    void Naiyou_DblClick();
    QString GetSagyou(const QString &path) const;

    // Preview and source window.
    void mmnyKousin_Click();
    void mmnyHand_Click();
    void mmnyBack_Click();
    void mmnyNext_Click();
    void Brw_DownloadComplete();
    void MainText_CaretMove();
    void Brw_LineDoubleClicked(int line);
    void mmnyHtmlHyozi_Click();

    // Layout and splitters.
    void Form_Resize();
    void LineHenkou1_MouseDown(int button, int shift, float x, float y);
    void LineHenkou1_MouseMove(int button, int shift, float x, float y);
    void LineHenkou2_MouseDown(int button, int shift, float x, float y);
    void LineHenkou2_MouseMove(int button, int shift, float x, float y);

    // Documents, export and import, exit: calls into the session.
    void mmnyNew_Click();
    void mmnyOpen_Click();
    void mnySave_Click();
    void mmnyName_Click();
    void mmnyHTMLSave_Click();
    void mmnyHtmlHenkan_Click();
    void mmnyExit_Click();
    // The exit sequence. False only when the user asked to save and the save did not happen for
    // a reason other than a cancelled dialog: the window then stays open.
    bool Form_QueryUnload();
    // The exit when the program is told to end (a signal, the desktop session ending): no
    // questions. A question or dialog open is closed unanswered and its command stops there; the
    // scratch file goes, the dictionary and settings are written, and unsaved changes stay in the
    // recovery copy.
    void exitWithoutQuestions();

    // Appearance.
    bool FontFileGet();
    void mmnyFont_Click();
    void mmnyEditerColor_Click();
    void mmnyFontColor_Click();

    // User-defined tags, help, About.
    void mmnyNewTag_Click();
    void mmnyHelp_Click();
    void mmnyAbout_Click();

    // A file dropped on the window: a document opens, a page is imported, an image is inserted.
    bool dropFiles(const QMimeData *data);
    void openRecentFile(const QString &file);
    void zoom(int steps);
    void toggleFullScreen();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildMenus();
    void buildPanes(const BrowserFactory &createBrowser);
    void buildAdditions();
    void applyViewSettings();
    void fillRecentFiles();
    void showCaretPlace();
    void updateClock();
    // Writes the dictionary and the settings; the failures, in words for the user.
    QStringList saveDataFiles();

    HenkanMod &m_henkan;
    QString m_programFolder;
    QString m_dataFolder;
    BrowserFactory m_createBrowser;
    MessageBoxes &m_messages;
    ModalWindows &m_windows;
    std::unique_ptr<TagPalette> m_palette;
    DocumentSession *m_session = nullptr;
    DocumentRecovery *m_recovery = nullptr;
    DataFiles m_dataFiles;
    RecentFiles m_recent;
    QString m_viewPath;
    ViewSettings m_view;
    PanePlacement m_layout;
    std::unique_ptr<PreviewRefresh> m_preview;
    QTimer *m_clock;
    QPointer<Form1> m_form1;
    QPointer<Form2> m_form2;
    bool m_closing = false;
    bool m_loaded = false; // start-up has finished
};

} // namespace qrn
