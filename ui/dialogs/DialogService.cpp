#include "DialogService.h"

#include "ColorValue.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>

namespace qrn {

QStringList nameFiltersFromFilter(const QString &filter)
{
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        result << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return result;
}

namespace {

// Points the dialog at the folder and name the file name setting holds.
void startFrom(QFileDialog &dialog, const QString &fileName)
{
    if (fileName.isEmpty())
        return;
    const QFileInfo info(fileName);
    if (info.isDir()) {
        dialog.setDirectory(fileName);
        return;
    }
    dialog.setDirectory(info.absolutePath());
    // A pattern such as "*.html" only chooses the folder.
    if (!info.fileName().contains(QLatin1Char('*')))
        dialog.selectFile(info.fileName());
}

bool showFileDialog(DialogService &d, QWidget *parent, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilters(nameFiltersFromFilter(d.Filter));
    startFrom(dialog, d.FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    d.FileName = QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
    return true;
}

} // namespace

bool QtDialogService::ShowOpen(QWidget *parent)
{
    return showFileDialog(*this, parent, QFileDialog::AcceptOpen);
}

bool QtDialogService::ShowSave(QWidget *parent)
{
    return showFileDialog(*this, parent, QFileDialog::AcceptSave);
}

bool QtDialogService::ShowFont(QWidget *parent)
{
    QFont initial(FontName);
    if (FontSize > 0)
        initial.setPointSizeF(FontSize);
    initial.setBold(FontBold);
    initial.setItalic(FontItalic);
    bool ok = false;
    // Flags 1: screen fonts, no effects section.
    const QFont chosen = QFontDialog::getFont(&ok, initial, parent, QString(),
                                              QFontDialog::DontUseNativeDialog | QFontDialog::ScalableFonts
                                                  | QFontDialog::NonScalableFonts);
    if (!ok)
        return false;
    FontName = chosen.family();
    FontSize = chosen.pointSizeF();
    FontBold = chosen.bold();
    FontItalic = chosen.italic();
    return true;
}

bool QtDialogService::ShowColor(QWidget *parent)
{
    const QColor chosen = QColorDialog::getColor(colorFromValue(Color, QPalette()), parent);
    if (!chosen.isValid())
        return false;
    Color = valueFromColor(chosen);
    return true;
}

} // namespace qrn
