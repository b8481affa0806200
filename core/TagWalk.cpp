#include "TagWalk.h"

#include "TagWalkLoop.h"

namespace qrn {

namespace {

// The scanner's side: the same walk, forwarded to its steps.
class ForwardedSteps {
public:
    explicit ForwardedSteps(TagWalkSteps &steps) : m_steps(steps) {}
    void pageText(const char16_t *b, const char16_t *e) { m_steps.pageText(b, e); }
    void wordText(const char16_t *b, const char16_t *e) { m_steps.wordText(b, e); }
    void tagOpen(const char16_t *at, bool parenReleased) { m_steps.tagOpen(at, parenReleased); }
    void tagClose(const char16_t *at) { m_steps.tagClose(at); }
    void wordSeparator(const char16_t *at, char16_t output) { m_steps.wordSeparator(at, output); }
    void parenDropped(const char16_t *at) { m_steps.parenDropped(at); }
    void parenHeld(const char16_t *at) { m_steps.parenHeld(at); }
    void parenResolved(const char16_t *at, char16_t output) { m_steps.parenResolved(at, output); }

private:
    TagWalkSteps &m_steps;
};

} // namespace

void walkTags(std::u16string_view text, TagWalkState &state, TagWalkSteps &steps)
{
    ForwardedSteps forwarded(steps);
    walk::walkJapaneseTags(text.data(), text.data() + text.size(), state, forwarded);
}

} // namespace qrn
