// Vector forms of the common 32-bit plain-blit loops (same bytes as the scalar rules).
#include "softraster/blit_plain_internal.h"

namespace Korvo {

// Vector forms of the common 32-bit loops; false when the variant has none.
bool RunPlainFastPath(const BlitVariant &, bool, bool, bool, const BlitRows &, const BlitRuleContext &)
{
    return false;
}

}  // namespace Korvo
