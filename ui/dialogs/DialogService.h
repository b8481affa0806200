#pragma once

#include <QString>

#include <cstdint>

class QWidget;

namespace qrn {

// The one standard-dialog object of the main window. Its settings persist from one use to the
// next, whichever command used it last: a file dialog starts from the name any earlier command
// left. A show that the user cancels returns false, and the caller ends its command.
class DialogService {
public:
    virtual ~DialogService() = default;

    // Full path, folder, or folder + separator + "*.html"; the chosen path after a file dialog.
    QString FileName;
    // Pairs of display name and patterns, all separated by "|": "HTMLファイル|*.html;*.htm".
    QString Filter;
    std::int32_t Flags = 0;
    // A colour value as the settings file stores it: 0x00BBGGRR, or 0x800000nn for a system colour.
    std::int32_t Color = 0;
    QString FontName;
    double FontSize = 0;
    bool FontBold = false;
    bool FontItalic = false;

    virtual bool ShowOpen(QWidget *parent) = 0;
    virtual bool ShowSave(QWidget *parent) = 0;
    virtual bool ShowFont(QWidget *parent) = 0;
    virtual bool ShowColor(QWidget *parent) = 0;
};

// The platform's file, font and colour dialogs behind DialogService.
class QtDialogService : public DialogService {
public:
    bool ShowOpen(QWidget *parent) override;
    bool ShowSave(QWidget *parent) override;
    bool ShowFont(QWidget *parent) override;
    bool ShowColor(QWidget *parent) override;
};

// "name|*.a;*.b|name2|*.c" as the name filters a file dialog takes: "name (*.a *.b)".
QStringList nameFiltersFromFilter(const QString &filter);

} // namespace qrn
