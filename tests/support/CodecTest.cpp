#include <kelmora/support/RLCodec.h>

#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace Kelmora;

// The round trip below turns every byte checked here into a check of the encoder as well.
TEST(SupportCodec, DecodesTheCodePageSpecificCharacters) {
    EXPECT_EQ(DecodeWindows1252(testsupport::Hex("41 80 8A 8C 96 97 99 9F A9 BA D3 E9 F1 FC")),
              QString::fromUtf8("A€ŠŒ–—™Ÿ©ºÓéñü"));
}

TEST(SupportCodec, EveryByteSurvivesDecodeAndEncode) {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = DecodeWindows1252(all);
    ASSERT_EQ(text.size(), 256); // NUL and the unassigned bytes each stay one character
    EXPECT_EQ(EncodeWindows1252(text), all);
    // The unassigned bytes keep their own number rather than turning into "?".
    EXPECT_EQ(text[0x81], QChar(0x81));
    EXPECT_EQ(text[0x9D], QChar(0x9D));
}

TEST(SupportCodec, CharactersOutsideTheCodePageBecomeOneQuestionMarkEach) {
    // Omega, a C1 control the code page reuses for an ellipsis, a surrogate pair, a lone surrogate.
    const QString text =
        QString::fromUtf8("a\u03A9b\u0085c😀d") + QChar(0xD800) + QStringLiteral("e");
    EXPECT_EQ(EncodeWindows1252(text), QByteArray("a?b?c?d?e"));
}
