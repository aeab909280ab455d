// Proof that the bars are the symbologies they claim to be: pictures are painted, saved as PNG
// and read back by an independent decoder (zbarimg) with only the claimed symbology's decoders
// on, so that a look-alike cannot pass. Pictures written by rltool are decoded in its own test;
// the control's design-view test shows that what it records is these bars.
#include "BarcodeTestSupport.h"
#include <kelmora/barcode/RLBarcodeEncoder.h>

#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Kelmora;

namespace {

struct Case {
    const char* symbologies; // zbarimg's names, blank-separated
    TRLBarcodeType type;
    QString value;
    QString decoded; // empty: a scanner must refuse the bars
    bool checkSum = false;
    int module = 2;
    double ratio = 2.0;
};

std::ostream& operator<<(std::ostream& os, const Case& c) {
    return os << c.symbologies << " " << c.value.toStdString() << " ratio " << c.ratio;
}

// The bars, left to right, with ten narrow elements of quiet zone on each side.
QImage Paint(const Case& c) {
    TRLBarcodeEncoder e;
    e.SetBarcodeType(c.type);
    e.SetModule(c.module);
    e.SetRatio(c.ratio);
    e.SetCheckSum(c.checkSum);
    e.SetAlignment(Qt::AlignHCenter);
    const int width = e.PatternWidth(e.Encode(c.value)) + 2 * 10 * c.module;
    EXPECT_FALSE(e.Invalid()) << c;
    return e.CreateBitmap(c.value, width, 60);
}

// Every printable ASCII character, the whole of set B.
const QString kPrintable =
    QString::fromLatin1(R"( !"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMN)"
                        R"(OPQRSTUVWXYZ[\]^_`abcdefghijklmnopqrstuvwxyz{|}~)");

const QString kCode39All = QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%");

// Symbologies of whole modules ignore the ratio: at 3 (or 2.5) their two- and four-module
// elements must not stretch to three and six.
const Case kCases[] = {
    {"ean8", bcEAN8, "9638507", "96385074", true, 2, 3.0},
    {"ean8", bcEAN8, "1234", "00012348", true},
    {"ean13", bcEAN13, "4006381333931", "4006381333931"},
    {"ean13", bcEAN13, "590123412345", "5901234123457", true, 3, 2.5},
    // UPC-A with a check digit keeps the first eleven digits and computes the twelfth; eleven
    // digits get the check digit added, fewer are padded to eleven.
    {"ean13 upca", bcUPC_A, "036000291450", "036000291452", true},
    {"ean13 upca", bcUPC_A, "03600029145", "036000291452", true, 2, 3.0},
    {"ean13 upca", bcUPC_A, "3600029145", "036000291452", true},
    // UPC-E: six digits for the bars and the check digit that picks their parity.
    {"upce", bcUPC_E0, "4252614", "04252614"},
    {"upce", bcUPC_E0, "1234570", "01234572", true, 2, 3.0},
    // Last digits 0 to 4: the check digit is the expanded number's.
    {"upce", bcUPC_E0, "6543210", "06543217", true},
    {"upce", bcUPC_E0, "1234530", "01234531", true, 3},
    {"upce", bcUPC_E0, "1234540", "01234543", true},
    // The check digit of the six digits alone (1 here) makes a parity scanners refuse.
    {"upce", bcUPC_E0, "6543211", ""},
    // Six digits are the whole number, none pushed out by padding (the symbology test has six
    // digits without a check digit asked for).
    {"upce", bcUPC_E0, "123456", "01234565", true},
    {"upce", bcUPC_E0, "12345", "00123457", true},
    {"code39", bcCode39, kCode39All, kCode39All, false, 2, 3.0},
    // C + O + D + E + 3 + 9 = 75, and 75 mod 43 = 32 is W.
    {"code39", bcCode39, "CODE39", "CODE39W", true, 3, 2.5},
    // The decoder does not join full-ASCII pairs, which shows them as encoded.
    {"code39", bcCode39Extended, "Kelmora!", "K+E+L+M+O+R+A/A"},
    {"code93", bcCode93, kCode39All, kCode39All},
    {"code93", bcCode93Extended, "Kelmora 1.9!", "Kelmora 1.9!", false, 3},
    // All four shift characters: (%)K, (%)M, ($)I, (%)F, (/)D, (+)A.
    {"code93", bcCode93Extended, "[K]\t;$a", "[K]\t;$a", false, 2, 3.0},
    {"code128", bcCode128B, kPrintable, kPrintable, false, 2, 3.0},
    // Control characters exist in set A only.
    {"code128", bcCode128A, "A\tB\x01_", "A\tB\x01_"},
    {"code128", bcCode128C, "12345", "012345", true, 3, 3.0},
    {"code128", bcEAN128C, "0112345678901231", "0112345678901231"},
    // 1234567 and its Modulo 10 digit 0, after FNC1.
    {"code128", bcEAN128B, "1234567", "12345670", true, 2, 3.0},
    // Odd lengths keep their last digit behind a leading zero.
    {"i25", bcCode2OF5Interleaved, "9876543210", "9876543210", true, 2, 3.0},
    {"i25", bcCode2OF5Interleaved, "12345", "012345", false, 2, 2.5},
    {"codabar", bcCodaBar, "12-34$56:78/90.12+", "A12-34$56:78/90.12+B", false, 2, 3.0},
};

TEST(Zbar, PaintedBarsDecodeAsTheirSymbology) {
    if (QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty())
        GTEST_SKIP() << "zbarimg is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::vector<Case> cases(std::begin(kCases), std::end(kCases));
    // The check symbol runs through 95 to 102, values no data character of set B takes:
    // (104 + v1 + 2 * v2) mod 103.
    for (const char* value : {"~", "!O", " P", "!P", "\"P", "#P", "$P", "%P"})
        cases.push_back({"code128", bcCode128B, value, value});
    for (const Case& c : cases) {
        const QStringList symbologies = QString::fromLatin1(c.symbologies).split(u' ');
        EXPECT_EQ(barcodetest::ZbarDecode(Paint(c), symbologies, dir.path()), c.decoded) << c;
    }
}

} // namespace
