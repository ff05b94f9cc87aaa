// The 128-bit integers of the exact routines: a product of two 64-bit values, or of three 32-bit
// values, and short sums of such products are exact in them.
#pragma once

namespace sgl {

__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

}  // namespace sgl
