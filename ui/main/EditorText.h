#pragma once

#include <SettingsFile.h>
#include <document/DocumentText.h>

#include <QPlainTextEdit>

#include <cstdint>

namespace qrn {

class DialogService;

// The document editor. Its text is the document, with CR LF line ends whatever the widget keeps
// inside; its font and two colour values are the editor appearance the settings file stores.
class EditorText : public QPlainTextEdit, public DocumentText {
    Q_OBJECT
public:
    explicit EditorText(QWidget *parent);

    QString text() const override;
    // Replaces the whole text; textChanged follows exactly once.
    void setText(const QString &text) override;

    // Colour values: 0x00BBGGRR, or a system colour (high bit set).
    std::int32_t backColor() const { return m_backColor; }
    std::int32_t foreColor() const { return m_foreColor; }
    void setBackColor(std::int32_t value);
    void setForeColor(std::int32_t value);

    // The six values the settings file stores, read and applied together. A value the file did
    // not hold keeps what the editor has.
    EditorAppearance appearance() const;
    void applyAppearance(const SettingsFields &fields);

    // The font and colour commands: each asks through the shared dialog, and a cancelled dialog
    // changes nothing.
    void askFont(DialogService &dialog, QWidget *parent);
    void askBackColor(DialogService &dialog, QWidget *parent);
    void askForeColor(DialogService &dialog, QWidget *parent);

private:
    void applyColors();

    std::int32_t m_backColor;
    std::int32_t m_foreColor;
};

} // namespace qrn
