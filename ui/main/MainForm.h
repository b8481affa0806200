#pragma once

#include "MainLayout.h"

#include <PreviewView.h>
#include <DictionaryFile.h>
#include <SettingsFile.h>
#include <TextEncoding.h>

#include <QMainWindow>
#include <QPointer>

#include <dialogs/Form1.h>
#include <dialogs/Form2.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QTimer;

namespace qrn {

class DialogService;
class EditorText;
class HenkanMod;
class MessageBoxes;
class PreviewView;
class SplitterBar;

// What a save command came to.
enum class SaveOutcome {
    Saved,
    Cancelled, // the file dialog was cancelled: nothing written, nothing changed
    Declined,  // the user would not have characters replaced: nothing written, nothing changed
    Failed,    // the file could not be written: the user was told, nothing changed
};

// The main window: the document in the editor, its state, the palette, the preview pane, the
// menus, and the exit sequence that writes the dictionary and the settings back.
class MainForm : public QMainWindow {
    Q_OBJECT
public:
    MainForm(HenkanMod &henkan, QString programFolder, MessageBoxes &messages, std::unique_ptr<DialogService> dialog,
             BrowserFactory createBrowser, QWidget *parent = nullptr);
    ~MainForm() override;

    // Start-up. False when a data file could not be read: the message has been shown and the
    // program is to end without showing the window.
    bool Form_Load();

    // Document state.
    QString WorkFolder;
    QString DocPath;
    bool DocChanged = false;
    bool WrapInBrackets = false;
    std::int16_t DragStart = 0;

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
    std::unique_ptr<DialogService> CoDi;

    QAction *mmnyNew, *mmnyOpen, *mnySave, *mmnyName, *mmnyHTMLSave, *mmnyHtmlHenkan, *mmnyExit;
    QAction *mmnyAll, *mmnyDate, *mmnyHtmlHyozi;
    QAction *mmnyFont, *mmnyEditerColor, *mmnyFontColor, *mmnyNewTag;
    QAction *mmnyBack, *mmnyNext, *mmnyKousin, *mmnyHand;
    QAction *mmnyHelp, *mmnyAbout;

    const QString &programFolder() const { return m_programFolder; }
    const PaneRects &panes() const { return m_panes; }
    Form1 *sourceWindow() const { return m_form1; }
    Form2 *helpWindow() const { return m_form2; }

    // Start-up and editing.
    void NewDate();
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
    void mmnyHtmlHyozi_Click();

    // Layout and splitters.
    void Form_Resize();
    void LineHenkou1_MouseDown(int button, int shift, float x, float y);
    void LineHenkou1_MouseMove(int button, int shift, float x, float y);
    void LineHenkou2_MouseDown(int button, int shift, float x, float y);
    void LineHenkou2_MouseMove(int button, int shift, float x, float y);

    // Documents and exit.
    bool msgHozon();
    SaveOutcome JapSave(const QString &file);
    SaveOutcome mnySave_Click();
    SaveOutcome mmnyName_Click();
    void mmnyNew_Click();
    void mmnyOpen_Click();
    void mmnyExit_Click();
    // The exit sequence. False only when the user asked to save and the save did not happen for
    // a reason other than a cancelled dialog: the window then stays open.
    bool Form_QueryUnload();

    // HTML export and import.
    void mmnyHTMLSave_Click();
    bool HtmlSave(const QString &file);
    void mmnyHtmlHenkan_Click();

    // Appearance.
    bool FontFileGet();
    EditorAppearance currentAppearance() const;
    void mmnyFont_Click();
    void mmnyEditerColor_Click();
    void mmnyFontColor_Click();

    // User-defined tags, help, About.
    void mmnyNewTag_Click();
    void mmnyHelp_Click();
    void mmnyAbout_Click();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void buildPanes(const BrowserFactory &createBrowser);
    void updateClock();
    void removeScratchFile();
    void moveWorkFolderTo(const QString &file);
    QString documentName() const;
    int twipsToPixelsX(float twips) const;
    int twipsToPixelsY(float twips) const;

    HenkanMod &m_henkan;
    QString m_programFolder;
    BrowserFactory m_createBrowser;
    MessageBoxes &m_messages;
    DictionaryFile m_dictionaryFile;
    SettingsFile m_settingsFile;
    EditorAppearance m_appearanceAtStart;
    PaneRects m_panes;
    QString m_file1Folder; // the folder the work-folder listing last showed
    // Buffers the preview refresh reuses on every keystroke instead of allocating anew.
    std::u16string m_refreshHtml;
    EncodeResult m_refreshBytes;
    QTimer *m_clock;
    QPointer<Form1> m_form1;
    QPointer<Form2> m_form2;
    bool m_closing = false;
};

} // namespace qrn
