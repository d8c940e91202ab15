// The filter frequencies the controllers know, in Hz and ascending. Which of them a
// controller accepts depends on its firmware (TZarno::FrequencyRange); old 16-channel
// parameter files name them by index.
#pragma once

#include <array>
#include <cstdint>

namespace kalvist {

inline constexpr std::array<int32_t, 91> FrequencyTable{
    305,  318,  332,   347,   362,   379,   395,   413,   431,   450,   470,   491,   513,
    535,  559,  584,   610,   637,   665,   694,   725,   757,   791,   826,   863,   901,
    941,  982,  1026,  1071,  1119,  1168,  1220,  1260,  1310,  1350,  1400,  1450,  1510,
    1570, 1630, 1710,  1780,  1870,  1960,  2070,  2180,  2310,  2460,  2540,  2620,  2710,
    2810, 2920, 3030,  3150,  3280,  3430,  3590,  3760,  3950,  4160,  4390,  4660,  4950,
    5120, 5290, 5480,  5680,  5900,  6120,  6370,  6640,  6940,  7270,  7630,  8020,  8460,
    8950, 9500, 10120, 10460, 10830, 11220, 11650, 12100, 12600, 13140, 13720, 14360, 15070};

}  // namespace kalvist
