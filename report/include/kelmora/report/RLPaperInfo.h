/// @file
/// Paper sizes: the table of standard papers with their sizes in millimetres and the
/// printing service's paper codes.
#pragma once

#include <QString>

#include <cstdint>

namespace Kelmora {

enum TRLPaperSize : uint8_t {
    fpA0,
    fpA1,
    fpA2,
    fpA3,
    fpA4,
    fpA5,
    fpA6,
    fpA7,
    fpA8,
    fpA9,
    fpA10,
    fpB0,
    fpB1,
    fpB2,
    fpB3,
    fpB4,
    fpB5,
    fpB6,
    fpB7,
    fpB8,
    fpB9,
    fpB10,
    fpSRA0,
    fpSRA1,
    fpSRA2,
    fpSRA3,
    fpSRA4,
    fpRA0,
    fpRA1,
    fpRA2,
    fpRA3,
    fpRA4,
    fp2A,
    fp2B,
    fp4A,
    fp4B,
    fp9x11,
    fp10x11,
    fp10x14,
    fp11x17,
    fp12x11,
    fp15x11,
    fpA3_Extra,
    fpA3_Extra_Transverse,
    fpA3_Transverse,
    fpA4_Small,
    fpA4_Extra,
    fpA4_Plus,
    fpA4_Transverse,
    fpA5_Extra,
    fpA5_Transverse,
    fpA_Plus,
    fpB4_JIS,
    fpB5_Extra,
    fpB5_Transverse,
    fpB6_JIS,
    fpB_Plus,
    fpEnv_9,
    fpEnv_10,
    fpEnv_11,
    fpEnv_12,
    fpEnv_14,
    fpEnv_B4,
    fpEnv_B5,
    fpEnv_B6,
    fpEnv_C0,
    fpEnv_C1,
    fpEnv_C2,
    fpEnv_C3,
    fpEnv_C4,
    fpEnv_C5,
    fpEnv_C5E,
    fpEnv_C6,
    fpEnv_C65,
    fpEnv_C7,
    fpEnv_C8,
    fpEnv_C9,
    fpEnv_C10,
    fpEnv_DL,
    fpEnv_Invite,
    fpEnv_Italy,
    fpEnv_Monarch,
    fpEnv_Personal,
    fpLetter,
    fpLegal,
    fpLedger,
    fpTabloid,
    fpExecutive,
    fpFanfold_US,
    fpComm10E,
    fpDLE,
    fpFolio,
    fpNote,
    fpPostcard,
    fpQuarto,
    fpStatement,
    fpLegal_Extra,
    fpLegal3,
    fpLetter_Small,
    fpLetter_Extra,
    fpLetter_Extra_Transverse,
    fpLetter_Plus,
    fpLetter_Transverse,
    fpP16K,
    fpP32K,
    fpP32KBig,
    fpPEnv_1,
    fpPEnv_2,
    fpPEnv_3,
    fpPEnv_4,
    fpPEnv_5,
    fpPEnv_6,
    fpPEnv_7,
    fpPEnv_8,
    fpPEnv_9,
    fpPEnv_10,
    fpTabloid_Extra,
    fpGerman_Legal_Fanfold,
    fpGerman_Std_Fanfold,
    fpJap_DblPostcard,
    fpJap_Postcard,
    fpEng_Foolscap,
    fpEng_DoubleFoolscap,
    fpEng_QuadFoolscap,
    fpEng_Crown,
    fpEng_DoubleCrown,
    fpEng_QuadCrown,
    fpEng_DoubleQuad,
    fpEng_Post,
    fpEng_DoublePost,
    fpEng_DoubleLarge,
    fpEng_Demy,
    fpEng_DoubleDemy,
    fpEng_QuadDemy,
    fpEng_MusicDemy,
    fpEng_Medium,
    fpEng_Royal,
    fpEng_SuperRoyal,
    fpEng_Elephant,
    fpEng_Imperial,
    fpCustom
};

constexpr int PaperSizeCount = fpCustom + 1;

struct TRLPaperInfo {
    double Width; // millimetres, portrait sense
    double Height;
    const char* Description;
    bool Emulated;        // no paper code of its own on the printing service
    int PrinterPaperCode; // 256 means a size given by width and height
};

/// One entry per TRLPaperSize value, in the order of the enumeration.
extern const TRLPaperInfo PaperInfo[PaperSizeCount];

/// The first paper with a code of its own whose size is within 0.01 mm (sum of both
/// differences) of the given one; fpCustom when there is none.
TRLPaperSize FindPaperSize(double width, double height);

/// The enumeration's value names ("fpA4"), for layouts and messages.
const char* PaperSizeName(TRLPaperSize size);

} // namespace Kelmora
