// Reads arbitrary lines as exact decimals and checks what must hold for any of them: a number
// written and read again is the same number, its double is the one the language reads from the
// same text, a running sum taken apart again returns to where it started, the order of any two
// is antisymmetric and agrees with their difference's sign, and rounding never moves a number by
// a half unit or more.
// fuzz-libs: rlparser rlsupport
#include <kelmora/parser/RLDecimal.h>
#include <kelmora/parser/RLValue.h>

#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace Kelmora;

namespace {

void Check(bool holds) {
    if (!holds)
        std::abort();
}

TRLDecimal Negated(const TRLDecimal& value) {
    TRLDecimal negated;
    const QString text = value.Text();
    Check(TRLDecimal::Read(value.IsNegative() ? text.mid(1) : "-" + text, negated));
    return negated;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString input =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    std::vector<TRLDecimal> numbers;
    for (const QString& line : input.split(u'\n')) {
        TRLDecimal value;
        if (!TRLDecimal::Read(line, value))
            continue;
        TRLDecimal again;
        Check(TRLDecimal::Read(value.Text(), again) && again == value &&
              again.Text() == value.Text());
        double read = 0;
        if (TRLValue::ReadNumber(line, read))
            Check(value.ToDouble() == read);
        numbers.push_back(value);
    }
    TRLDecimal sum;
    size_t added = 0;
    for (; added < numbers.size() && sum.Add(numbers[added]); ++added) {
    }
    for (size_t i = added; i-- > 0;)
        Check(sum.Add(Negated(numbers[i])));
    Check(sum.IsZero());
    for (size_t i = 0; i + 1 < numbers.size(); ++i) {
        const TRLDecimal& a = numbers[i];
        const TRLDecimal& b = numbers[i + 1];
        const int order = TRLDecimal::Compare(a, b);
        Check(order == -TRLDecimal::Compare(b, a));
        TRLDecimal difference = a;
        if (difference.Add(Negated(b)))
            Check(order == (difference.IsZero() ? 0 : (difference.IsNegative() ? -1 : 1)));
        for (const int places : {0, 2, 7}) {
            TRLDecimal moved = a.Rounded(places);
            if (!moved.Add(Negated(a)))
                continue;
            TRLDecimal half;
            Check(TRLDecimal::Read(QStringLiteral("0.5e-%1").arg(places), half));
            Check(TRLDecimal::Compare(moved.IsNegative() ? Negated(moved) : moved, half) <= 0);
        }
    }
    return 0;
}
