// An unbounded recursion for the probes that end by overflowing their stack.
#pragma once

namespace HarnessProbe {

inline volatile char StackSink;

// Each call keeps a page of its own on the stack, so the recursion cannot become a loop.
inline int Recurse(int depth)
{
    volatile char page[4096];
    page[0] = static_cast<char>(depth);
    StackSink = page[0];
    return depth < 0x7FFFFFFF ? Recurse(depth + 1) + page[0] : 0;
}

} // namespace HarnessProbe
