#include "TagWalk.h"

#include "TagWalkLoop.h"

namespace qrn {

// The scanner's side: the same loop ToHtml compiles, calling the steps through their interface.
void walkTags(std::u16string_view text, TagWalkState &state, TagWalkSteps &steps)
{
    walk::walkJapaneseTags(text.data(), text.data() + text.size(), state, steps);
}

} // namespace qrn
