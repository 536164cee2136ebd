// The Mersenne twister's block step in a plain and an MMX form.
//
// Both advance the 624 state words by one round of the MT19937 recurrence and
// write the 624 tempered outputs; their results are identical.
#pragma once

#include <cstdint>

namespace Korvo {

constexpr int kTwisterStateWords = 624;

// One block step, one word at a time
void RefillTwisterStatePlain(uint32_t *state, uint32_t *outputs);
// One block step, two words at a time with MMX (the plain step where MMX is not built)
void RefillTwisterStateMmx(uint32_t *state, uint32_t *outputs);

} // namespace Korvo
