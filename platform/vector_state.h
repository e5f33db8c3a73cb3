// The state of the vector registers at the boundary between foreign code and
// the program's arithmetic.
//
// Code that writes a 256-bit register and returns without VZEROUPPER leaves
// the upper halves of the vector registers "dirty". Qt's AVX2 fill, behind
// QImage::fill, does just that with ymm0. Until they are cleared, every
// legacy-SSE instruction that writes such a register (all code built for
// baseline x86-64, and the program's own is) has to merge with the upper
// half it keeps: on the processors measured this makes an SSE2 loop three
// times as slow. VEX-encoded code is not affected, since it clears the upper
// half of every register it writes.
#pragma once

namespace tessaly {

// Clears the upper halves of all vector registers (VZEROUPPER) where the
// processor has AVX; does nothing elsewhere (WebAssembly included). Costs a
// cycle or two. Called at
// the entry of the force loop and by each of its threads before their rows,
// so that whatever ran before on that thread - drawing, painting, a
// library's wide memory routines - cannot slow them.
// The lower 128 bits of every register are kept.
void ClearUpperVectorState();

}  // namespace tessaly
