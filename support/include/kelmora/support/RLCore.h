/// @file
/// Basic value types and rules shared by every layer of the report engine.
#pragma once

#include <QString>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <type_traits>
#include <utility>
#include <vector>

namespace Kelmora {

/// Report geometry is integer pixels of 1/96 inch. Rectangles exclude their right and bottom
/// edges, as screen rectangles always have.
struct TRLPoint {
    int32_t X = 0;
    int32_t Y = 0;
    friend bool operator==(const TRLPoint&, const TRLPoint&) = default;
};

struct TRLRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    friend bool operator==(const TRLRect&, const TRLRect&) = default;
};

struct TRLSize {
    int32_t Width = 0;
    int32_t Height = 0;
    friend bool operator==(const TRLSize&, const TRLSize&) = default;
};

using TRLPointArray = std::vector<TRLPoint>;

/// The value paired with key in a table of pairs (the names of an enumeration's values, say), or
/// otherwise where the table has no such key.
template <class Key, class Value, std::size_t N>
constexpr Value LookUp(const std::pair<Key, Value> (&table)[N],
                       const std::type_identity_t<Key>& key,
                       const std::type_identity_t<Value>& otherwise) {
    for (const auto& [each, value] : table) {
        if (each == key)
            return value;
    }
    return otherwise;
}

/// Every real-to-integer conversion in the engine rounds to the nearest integer with exact halves
/// going to the even neighbour (2.5 -> 2, 3.5 -> 4). std::round would send halves away from zero.
/// Values beyond the 32-bit range stop at its ends (a damaged page scaled up can ask for any
/// coordinate, and converting those is undefined); not-a-number gives 0.
inline int32_t RoundHalfEven(double value) {
    const double rounded = std::nearbyint(value);
    if (rounded >= 2147483647.0) {
        return INT32_MAX;
    }
    if (rounded <= -2147483648.0) {
        return INT32_MIN;
    }
    return rounded == rounded ? static_cast<int32_t>(rounded) : 0;
}

/// The same limits for a truncating conversion.
inline int32_t TruncateToInt32(double value) {
    return RoundHalfEven(std::trunc(value));
}

/// a + b, stopping at the ends of the 32-bit range instead of overflowing.
inline int32_t SaturatedAdd(int32_t a, int32_t b) {
    const int64_t sum = int64_t(a) + int64_t(b);
    return sum > INT32_MAX ? INT32_MAX : sum < INT32_MIN ? INT32_MIN : static_cast<int32_t>(sum);
}

/// Failures inside the engine are raised as this exception; its message is what the operator
/// reads, so it is kept as a QString and never translated again on the way up.
class TRLException : public std::exception {
public:
    explicit TRLException(QString message)
        : message_(std::move(message)), utf8_(message_.toUtf8()) {}
    const QString& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};

} // namespace Kelmora
