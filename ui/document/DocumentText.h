#pragma once

#include <QString>

namespace qrn {

// The document's text as the session reads and replaces it: the editor box, or a fake in tests.
class DocumentText {
public:
    virtual ~DocumentText() = default;

    // The text with CR LF line ends.
    virtual QString text() const = 0;
    // Replaces the whole text; the editor's change handling has run when this returns.
    virtual void setText(const QString &text) = 0;
};

} // namespace qrn
