#pragma once

#include <QPlainTextEdit>

#include <cstdint>

namespace qrn {

// The document editor. Its text is the document, with CR LF line ends whatever the widget keeps
// inside; its font and two colour values are the editor appearance the settings file stores.
class EditorText : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit EditorText(QWidget *parent);

    QString text() const;
    // Replaces the whole text; textChanged follows exactly once.
    void setText(const QString &text);

    // Colour values: 0x00BBGGRR, or a system colour (high bit set).
    std::int32_t backColor() const { return m_backColor; }
    std::int32_t foreColor() const { return m_foreColor; }
    void setBackColor(std::int32_t value);
    void setForeColor(std::int32_t value);

private:
    void applyColors();

    std::int32_t m_backColor;
    std::int32_t m_foreColor;
};

} // namespace qrn
