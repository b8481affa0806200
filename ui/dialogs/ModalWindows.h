#pragma once

class QWidget;

namespace qrn {

class MessageBoxes;
class TagTable;

// The program's own modal windows, opened through this interface so that a test can script the
// commands that open them.
class ModalWindows {
public:
    virtual ~ModalWindows() = default;

    // The user-defined tag editor over the table; returns when it is closed.
    virtual void runTagEditor(QWidget *parent, TagTable &table) = 0;
    // The About box; returns when it is closed.
    virtual void runAbout(QWidget *parent) = 0;
};

// The real windows.
class QtModalWindows : public ModalWindows {
public:
    explicit QtModalWindows(MessageBoxes &messages) : m_messages(messages) {}

    void runTagEditor(QWidget *parent, TagTable &table) override;
    void runAbout(QWidget *parent) override;

private:
    MessageBoxes &m_messages;
};

} // namespace qrn
