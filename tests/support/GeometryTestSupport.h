// Readable failure messages for the engine's geometry types.
#pragma once

#include "RLCore.h"

#include <ostream>

inline void PrintTo(const TRLPoint& p, std::ostream* os) {
    *os << "(" << p.X << ", " << p.Y << ")";
}

inline void PrintTo(const TRLRect& r, std::ostream* os) {
    *os << "[" << r.Left << ", " << r.Top << ", " << r.Right << ", " << r.Bottom << "]";
}

inline void PrintTo(const TRLSize& s, std::ostream* os) {
    *os << s.Width << " x " << s.Height;
}
