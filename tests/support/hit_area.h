// The edges of a control's area: the points just inside and just outside the middle of each side.
// Open areas (x1 < x < x2) leave their bounds out; boxes (x1 <= x <= x2) take them in.
#pragma once

#include <utility>
#include <vector>

namespace support {

struct EdgePoints {
    std::vector<std::pair<long, long>> inside, outside;
};

inline EdgePoints edgePoints(long x1, long y1, long x2, long y2, bool boundsIncluded) {
    const long in = boundsIncluded ? 0 : 1, out = boundsIncluded ? 1 : 0;
    const long mx = (x1 + x2) / 2, my = (y1 + y2) / 2;
    return {{{x1 + in, my}, {x2 - in, my}, {mx, y1 + in}, {mx, y2 - in}},
            {{x1 - out, my}, {x2 + out, my}, {mx, y1 - out}, {mx, y2 + out}}};
}

template <typename Area> EdgePoints openEdges(const Area &a) {
    return edgePoints(a.x1, a.y1, a.x2, a.y2, false);
}
template <typename Area> EdgePoints boxEdges(const Area &a) {
    return edgePoints(a.x1, a.y1, a.x2, a.y2, true);
}

} // namespace support
