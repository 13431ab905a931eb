// Build limits. The two builds (tarvex and tarvex-small) differ only here.
#pragma once

namespace tarvex {

#ifdef TARVEX_SMALL_BUILD
inline constexpr int NCELLMAX = 250000;   // padded cells (NX+1)(NY+1)(NZ+1) must be below this
inline constexpr int NDIRMAX = 500;       // NX, NY, NZ must be below this
inline constexpr int NPBMAX = 200;        // rows of the pressure-boundary table
inline constexpr bool SMALL_BUILD = true;
#else
inline constexpr int NCELLMAX = 1000000;
inline constexpr int NDIRMAX = 1000;
inline constexpr int NPBMAX = 500;
inline constexpr bool SMALL_BUILD = false;
#endif

inline constexpr int NREGMAX = 25;        // buoyant regions

}  // namespace tarvex
