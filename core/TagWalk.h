#pragma once

#include <string_view>

namespace qrn {

// Where the walk through Japanese-tag text stands between two characters: besides the output and
// the current word, the two flags ToHtml keeps.
struct TagWalkState {
    bool insideTag = false;
    bool pendingParen = false;

    friend bool operator==(const TagWalkState &, const TagWalkState &) = default;
};

// The steps of that walk, one call per step, in text order. Pointers point into the text walked.
class TagWalkSteps {
public:
    virtual ~TagWalkSteps() = default;

    // Page text copied as it stands.
    virtual void pageText(const char16_t *begin, const char16_t *end) = 0;
    // Characters added to the current word inside a tag.
    virtual void wordText(const char16_t *begin, const char16_t *end) = 0;
    // "＜" or "<". A pending "（" is released as page text first (parenReleased).
    virtual void tagOpen(const char16_t *at, bool parenReleased) = 0;
    // "＞" or ">": the current word is looked up and closed.
    virtual void tagClose(const char16_t *at) = 0;
    // A space, "＝" or quote mark inside a tag; `output` is the ASCII character it becomes.
    virtual void wordSeparator(const char16_t *at, char16_t output) = 0;
    // "（" inside a tag: dropped, the word goes on across it.
    virtual void parenDropped(const char16_t *at) = 0;
    // "（" in page text: held until the next character decides what it means.
    virtual void parenHeld(const char16_t *at) = 0;
    // The character after a held "（": `output` is "＜" or "＞" for a bracket escape, "（" for a
    // second "（" (both written), or 0 when the "（" and this character are written as they stand.
    virtual void parenResolved(const char16_t *at, char16_t output) = 0;
};

// Walks `text` from `state` exactly as ToHtml converts (the same rows in the same order, it is the
// same code), reporting each step; `state` becomes the state after the last character. A word not
// yet closed at the end is the caller's to keep or drop.
void walkTags(std::u16string_view text, TagWalkState &state, TagWalkSteps &steps);

} // namespace qrn
