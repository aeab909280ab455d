// Proof that the bars are the symbologies they claim to be: pictures are painted, saved as PNG
// and read back by an independent decoder (zbarimg).
#include "BarcodeTestSupport.h"
#include "RLBarcodeEncoder.h"
#include "RLBarcodeTool.h"

#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Case {
    TRLBarcodeType type;
    QString value;
    bool checkSum;
    int module;
    double ratio;
    QString decoded;
};

std::ostream& operator<<(std::ostream& os, const Case& c) {
    return os << BarcodeTypeName(c.type).toStdString() << " \"" << c.value.toStdString()
              << "\" checksum " << c.checkSum << " module " << c.module << " ratio " << c.ratio;
}

class ZbarTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty()) {
            GTEST_SKIP() << "zbarimg is not installed";
        }
        ASSERT_TRUE(dir_.isValid());
    }

    // Only the named symbologies' decoders are on, so that a look-alike cannot pass.
    QString Decode(const QImage& image, const QStringList& symbologies) {
        return barcodetest::ZbarDecode(image, symbologies, dir_.path());
    }

    // The bars, left to right, with ten narrow elements of quiet zone on each side.
    static QImage Paint(const Case& c, int height = 60) {
        TRLBarcodeEncoder e;
        e.SetBarcodeType(c.type);
        e.SetModule(c.module);
        e.SetRatio(c.ratio);
        e.SetCheckSum(c.checkSum);
        e.SetAlignment(Qt::AlignHCenter);
        const int width = e.PatternWidth(e.Encode(c.value)) + 2 * 10 * c.module;
        EXPECT_FALSE(e.Invalid()) << c;
        return e.CreateBitmap(c.value, width, height);
    }

    void ExpectDecoded(const std::vector<Case>& cases, const QStringList& symbologies) {
        for (const Case& c : cases) {
            EXPECT_EQ(Decode(Paint(c), symbologies), c.decoded) << c;
        }
    }

    QTemporaryDir dir_;
};

} // namespace

TEST_F(ZbarTest, Ean8) {
    ExpectDecoded({{bcEAN8, "96385074", false, 2, 2.0, "96385074"},
                   {bcEAN8, "9638507", true, 3, 2.0, "96385074"},
                   {bcEAN8, "5512345", true, 2, 2.0, "55123457"},
                   {bcEAN8, "1234", true, 2, 2.0, "00012348"}},
                  {"ean8"});
}

TEST_F(ZbarTest, Ean13) {
    ExpectDecoded({{bcEAN13, "4006381333931", false, 2, 2.0, "4006381333931"},
                   {bcEAN13, "400638133393", true, 3, 2.0, "4006381333931"},
                   {bcEAN13, "978020137962", true, 2, 2.0, "9780201379624"},
                   {bcEAN13, "590123412345", true, 2, 2.0, "5901234123457"}},
                  {"ean13"});
}

TEST_F(ZbarTest, UpcA) {
    // With a check digit the first eleven digits stay and the twelfth is the computed one;
    // an eleven-digit value gets its check digit added, a shorter one is padded to eleven.
    ExpectDecoded({{bcUPC_A, "036000291452", false, 2, 2.0, "036000291452"},
                   {bcUPC_A, "036000291450", true, 2, 2.0, "036000291452"},
                   {bcUPC_A, "012345678900", true, 3, 2.0, "012345678905"},
                   {bcUPC_A, "03600029145", true, 2, 2.0, "036000291452"},
                   {bcUPC_A, "01234567890", true, 2, 2.0, "012345678905"},
                   {bcUPC_A, "3600029145", true, 2, 2.0, "036000291452"}},
                  {"ean13", "upca"});
}

TEST_F(ZbarTest, UpcE) {
    // Seven digits: six for the bars and the check digit that picks their parity.
    ExpectDecoded({{bcUPC_E0, "4252614", false, 2, 2.0, "04252614"},
                   {bcUPC_E0, "0123457", false, 3, 2.0, "00123457"},
                   {bcUPC_E0, "1234570", true, 2, 2.0, "01234572"},
                   {bcUPC_E0, "9876550", true, 2, 2.0, "09876552"},
                   // Last digits 0 to 4: the check digit is the expanded number's.
                   {bcUPC_E0, "6543210", true, 2, 2.0, "06543217"},
                   {bcUPC_E0, "1234500", true, 2, 2.0, "01234505"},
                   {bcUPC_E0, "1234530", true, 3, 2.0, "01234531"},
                   {bcUPC_E0, "1234540", true, 2, 2.0, "01234543"},
                   {bcUPC_E0, "5432120", true, 2, 2.0, "05432127"}},
                  {"upce"});
    // The check digit of the six digits alone (1 here) makes a parity scanners refuse.
    EXPECT_EQ(Decode(Paint({bcUPC_E0, "6543211", false, 2, 2.0, {}}), {"upce"}), QString());
}

TEST_F(ZbarTest, UpcEKeepsSixGivenDigits) {
    // Six digits are the whole UPC-E number; none of them may be pushed out by padding. With
    // no seventh digit to choose the parity by, the computed check digit chooses it.
    ExpectDecoded({{bcUPC_E0, "123456", true, 2, 2.0, "01234565"},
                   {bcUPC_E0, "654321", true, 2, 2.0, "06543217"},
                   {bcUPC_E0, "123456", false, 2, 2.0, "01234565"},
                   {bcUPC_E0, "12345", true, 2, 2.0, "00123457"}},
                  {"upce"});
}

TEST_F(ZbarTest, WholeModuleSymbologiesIgnoreTheRatio) {
    // Their elements are one to four modules wide by definition; a ratio of 3 must not
    // stretch the two-module elements to three and the four-module ones to six.
    for (double ratio : {2.5, 3.0}) {
        ExpectDecoded({{bcCode128B, "Hello, World!", false, 2, ratio, "Hello, World!"},
                       {bcCode128C, "1234567890", false, 2, ratio, "1234567890"},
                       {bcEAN128B, "1234567", true, 2, ratio, "12345670"}},
                      {"code128"});
        ExpectDecoded({{bcCode93, "TEST93", false, 2, ratio, "TEST93"},
                       {bcCode93Extended, "Kelmora 1.9!", false, 2, ratio, "Kelmora 1.9!"}},
                      {"code93"});
        ExpectDecoded({{bcEAN13, "400638133393", true, 2, ratio, "4006381333931"}}, {"ean13"});
        ExpectDecoded({{bcEAN8, "9638507", true, 2, ratio, "96385074"}}, {"ean8"});
        ExpectDecoded({{bcUPC_A, "03600029145", true, 2, ratio, "036000291452"}},
                      {"ean13", "upca"});
        ExpectDecoded({{bcUPC_E0, "1234570", true, 2, ratio, "01234572"}}, {"upce"});
    }
}

TEST_F(ZbarTest, Code39) {
    ExpectDecoded({{bcCode39, "KELMORA-1.9", false, 2, 2.0, "KELMORA-1.9"},
                   {bcCode39, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%", false, 2, 3.0,
                    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%"},
                   // C + O + D + E + 3 + 9 = 75, and 75 mod 43 = 32 is W.
                   {bcCode39, "CODE39", true, 3, 2.5, "CODE39W"},
                   // The decoder does not join full-ASCII pairs, which shows them as encoded.
                   {bcCode39Extended, "Kelmora!", false, 2, 2.0, "K+E+L+M+O+R+A/A"}},
                  {"code39"});
}

TEST_F(ZbarTest, Code93) {
    ExpectDecoded({{bcCode93, "TEST93", false, 2, 2.0, "TEST93"},
                   {bcCode93, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%", false, 2, 2.0,
                    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%"},
                   {bcCode93Extended, "Kelmora 1.9!", false, 3, 2.0, "Kelmora 1.9!"},
                   // All four shift characters: (%)K, (%)M, ($)I, (%)F, (/)D, (+)A.
                   {bcCode93Extended, "[K]\t;$a", false, 2, 2.0, "[K]\t;$a"}},
                  {"code93"});
}

TEST_F(ZbarTest, Code128) {
    QString printable;
    for (char16_t c = 32; c < 127; ++c) {
        printable += QChar(c);
    }
    ExpectDecoded({{bcCode128B, "Hello, World!", false, 2, 2.0, "Hello, World!"},
                   {bcCode128B, printable, false, 2, 2.0, printable},
                   {bcCode128A, "KELMORA 1.9 [OK]", false, 2, 2.0, "KELMORA 1.9 [OK]"},
                   {bcCode128C, "1234567890", false, 2, 2.0, "1234567890"},
                   {bcCode128C, "12345", true, 3, 2.0, "012345"},
                   {bcEAN128C, "0112345678901231", false, 2, 2.0, "0112345678901231"},
                   // 1234567 and its Modulo 10 digit 0, after FNC1.
                   {bcEAN128B, "1234567", true, 2, 2.0, "12345670"}},
                  {"code128"});
}

TEST_F(ZbarTest, Code128CheckSymbolsOfTheFunctionCodes) {
    // Chosen so that the check symbol runs through 95 to 102, values no data character of
    // set B takes: (104 + v1 + 2 * v2) mod 103.
    std::vector<Case> cases;
    for (const char* value : {"~", "!O", " P", "!P", "\"P", "#P", "$P", "%P"}) {
        cases.push_back({bcCode128B, value, false, 2, 2.0, value});
    }
    // Control characters exist in set A only.
    cases.push_back({bcCode128A, "A\tB\x01_", false, 2, 2.0, "A\tB\x01_"});
    ExpectDecoded(cases, {"code128"});
}

TEST_F(ZbarTest, Interleaved2of5) {
    ExpectDecoded({{bcCode2OF5Interleaved, "123456", false, 2, 2.0, "123456"},
                   {bcCode2OF5Interleaved, "9876543210", true, 2, 3.0, "9876543210"},
                   // Odd lengths keep their last digit behind a leading zero.
                   {bcCode2OF5Interleaved, "12345", false, 2, 2.5, "012345"},
                   {bcCode2OF5Interleaved, "1234567", false, 3, 2.0, "01234567"}},
                  {"i25"});
}

TEST_F(ZbarTest, CodaBar) {
    ExpectDecoded({{bcCodaBar, "123456", false, 2, 2.0, "A123456B"},
                   {bcCodaBar, "12-34$56:78/90.12+", false, 2, 3.0, "A12-34$56:78/90.12+B"},
                   {bcCodaBar, "40156", false, 3, 2.5, "A40156B"}},
                  {"codabar"});
}

TEST_F(ZbarTest, VerticalPictureAndToolImage) {
    TRLBarcodeEncoder e;
    e.SetBarcodeType(bcEAN13);
    e.SetModule(2);
    e.SetCheckSum(true);
    e.SetOrientation(boBottomToTop);
    // The quiet zones come from centring 190 pixels of bars in a 230-pixel length.
    e.SetMargins({0, 0, 0, 0});
    e.SetAlignment(Qt::AlignHCenter);
    const auto picture = e.MakePicture("400638133393", TRLRect{0, 0, 80, 230});
    ASSERT_TRUE(picture.has_value());
    EXPECT_EQ(picture->Image.size(), QSize(80, 230));
    EXPECT_EQ(Decode(picture->Image, {"ean13"}), "4006381333931");

    TRLBarcodeToolOptions options;
    options.Type = QStringLiteral("bcCode128B");
    options.Module = 2;
    EXPECT_EQ(Decode(BarcodeImage(options, "Kelmora"), {"code128"}), "Kelmora");
}
