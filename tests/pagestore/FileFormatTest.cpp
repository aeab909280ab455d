// Whole page-store files in the four versions: bytes written, read back, damaged files refused.
#include "PageStoreTestSupport.h"
#include "TestSupport.h"
#include <kelmora/pagestore/RLBinaryIO.h>
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/support/RLUtils.h>

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

using namespace Kelmora;

using pagestoretest::ErrorOf;
using pagestoretest::Int32At;
using pagestoretest::Load;
using pagestoretest::Save;
using testsupport::Hex;
using testsupport::SourceDir;

namespace {

// Two pages: a text with a picture, and a page of shapes.
void FillTwoPages(TRLGraphicStorage& storage) {
    auto first = std::make_shared<TRLGraphicSurface>();
    first->SetWidth(794);
    first->SetHeight(1123);
    first->SetFont({.Size = 10, .Style = fsItalic});
    first->TextRectEx({10, 20, 200, 36}, 12, 20, "Señor {LastPageNumber}", MetaTextAlignmentRight,
                      MetaTextLayoutTop, MetaTextFlagKeepWhole);
    first->TextRectEx({10, 40, 200, 56}, 12, 40, "Señor", 1, 1, 5);
    QImage picture(4, 3, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    first->Draw(30, 40, picture);
    storage.Add(first);

    auto second = std::make_shared<TRLGraphicSurface>();
    second->SetWidth(1123);
    second->SetHeight(794);
    second->SetOrientation(2);
    second->Open();
    second->SetPen({QColor(0x10, 0x20, 0x30), TRLPenMode::Xor, TRLPenStyle::Dash, 2});
    second->SetBrush({QColor(0x40, 0x50, 0x60), TRLBrushStyle::Vertical});
    second->MoveTo(50, 60);
    second->LineTo(5, 6);
    second->Rectangle(1, 2, 30, 40);
    second->Ellipse({3, 4, 5, 6});
    second->Polygon({{0, 0}, {9, 9}, {0, 9}});
    second->SetClipRect({0, 0, 100, 100});
    second->FillRect({7, 8, 9, 10});
    second->ResetClipRect();
    storage.Add(second);

    storage.SetFirstPageNumber(1);
    storage.SetLastPageNumber(2);
    storage.SetOrientation(2);
}

const QString Greek = QStringLiteral("Ελληνικά κείμενα");
const QString Polish = QStringLiteral("Zażółć gęślą jaźń");
const QString Chinese = QStringLiteral("汉字 日本語 😀");
const QString GreekFont = QStringLiteral("Ελληνική Γραμματοσειρά");

// Pages beyond the cache's five, each with a text in Greek, Polish and Chinese (the odd ones in a
// font named in Greek), and a title in Greek.
void FillWorldPages(TRLGraphicStorage& storage) {
    for (int i = 0; i < TRLGraphicStorage::CacheSize + 3; ++i) {
        auto page = std::make_shared<TRLGraphicSurface>();
        page->SetWidth(794);
        page->SetHeight(1123);
        page->SetFont({.Name = i % 2 ? GreekFont : QStringLiteral("Arial")});
        int top = 0;
        for (const QString& text : {Greek, Polish, Chinese}) {
            page->TextRectEx({0, top, 400, top + 20}, 0, top, text + QString::number(i), 1, 1, 5);
            top += 20;
        }
        storage.Add(page);
    }
    storage.SetTitle(QStringLiteral("Τίτλος"));
}

// The texts of every page, font names with them.
QStringList TextsOf(TRLGraphicStorage& storage) {
    QStringList texts;
    for (int i = 0; i < storage.PageCount(); ++i) {
        const auto page = storage.Pages(i);
        for (const auto& object : page->Objects())
            if (object->Kind() == TRLObjectKind::Text) {
                const auto& text = static_cast<const TRLTextObject&>(*object);
                texts << text.FontName() + QLatin1Char(':') + text.Text;
            }
    }
    return texts;
}

// The page records of a version 3 or 4 file, in the order of its table.
QList<QByteArray> RecordsOf(const QByteArray& file) {
    TRLSpanReader reader(file);
    reader.ReadSignature();
    reader.ReadStringList();
    const int32_t count = reader.ReadInt32();
    QList<QByteArray> records;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t offset = reader.ReadInt32();
        records << file.mid(offset + 4, Int32At(file, offset));
    }
    return records;
}

QByteArray ReadFileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(PageStoreFile, AnEmptyStoreWritesOnlyItsHeader) {
    TRLGraphicStorage storage;
    storage.SetTitle("T");
    EXPECT_EQ(Save(storage, 3), QByteArrayLiteral("RLGraphicStorage3\x1A") +
                                    Hex("01000000 07000000") + "Title=T" + Hex("00000000"));
    storage.SetTitle("");
    EXPECT_EQ(Save(storage, 2), QByteArrayLiteral("RPF2\x1A") + Hex("00000000 00000000"));
    EXPECT_EQ(Save(storage, 1), QByteArrayLiteral("Vantel Metafile\x1A") + Hex("00000000"));
}

TEST(PageStoreFile, Version3HoldsPageRecordsBehindAnOffsetTable) {
    TRLGraphicStorage storage;
    FillTwoPages(storage);
    const QByteArray file = Save(storage, 3);
    ASSERT_TRUE(file.startsWith("RLGraphicStorage3\x1A"));
    TRLSpanReader reader(file);
    reader.Skip(18);
    EXPECT_EQ(reader.ReadStringList(),
              (QStringList{"FirstPageNumber=1", "LastPageNumber=2", "Orientation=2"}));
    ASSERT_EQ(reader.ReadInt32(), 2);
    const int32_t first = reader.ReadInt32();
    const int32_t second = reader.ReadInt32();
    EXPECT_EQ(first, reader.Position()) << "offsets point at each page's length";
    const int32_t firstLength = Int32At(file, first);
    EXPECT_EQ(second, first + 4 + firstLength);
    EXPECT_EQ(file.mid(first + 4, firstLength), storage.Pages(0)->SaveToBytes());
    EXPECT_EQ(second + 4 + Int32At(file, second), file.size());
}

// Keeps only the place of what is written, as a disk would for a file of many gigabytes.
class PlaceOnlyDevice : public QIODevice {
protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 length) override { return length; }
};

// The page table holds 32-bit offsets: a page that would start beyond them is refused, where it
// was written and then read back as damaged.
TEST(PageStoreFile, PagesBeyondWhatTheOffsetTableReachesAreRefused) {
    TRLGraphicStorage storage;
    FillTwoPages(storage);
    for (const int version : {1, 2, 3}) {
        storage.SetFileVersion(version);
        PlaceOnlyDevice far;
        far.open(QIODevice::WriteOnly);
        // Version 3 counts from the stream's start, the others from the page data's.
        ASSERT_TRUE(far.seek(version == 3 ? INT32_MAX - 8 : 0));
        if (version != 3) {
            EXPECT_NO_THROW(storage.SaveToStream(far)) << version;
            continue;
        }
        EXPECT_EQ(ErrorOf([&] { storage.SaveToStream(far); }),
                  "The pages do not fit in one page-store file: page 1 would start beyond the "
                  "2 GB its page table can reach")
            << version;
        PlaceOnlyDevice near;
        near.open(QIODevice::WriteOnly);
        ASSERT_TRUE(near.seek(INT32_MAX - (1 << 20)));
        EXPECT_NO_THROW(storage.SaveToStream(near));
    }
}

TEST(PageStoreFile, Version2StoresTheOrientationFromZero) {
    TRLGraphicStorage storage;
    storage.Macros().SetEntries({" orientation =2", "Title=x"});
    const QByteArray file = Save(storage, 2);
    TRLSpanReader reader(file);
    reader.Skip(5);
    EXPECT_EQ(reader.ReadStringList(), (QStringList{"orientation=1", "Title=x"}));

    storage.Macros().SetEntries({"Orientation=1"});
    EXPECT_EQ(Save(storage, 2).mid(5 + 4 + 4), QByteArray("Orientation=0") + Hex("00000000"));
    storage.Macros().SetEntries({"Orientation=sideways"});
    EXPECT_EQ(Save(storage, 2).mid(5 + 4 + 4, 13), QByteArray("Orientation=0"));
    EXPECT_EQ(Save(storage, 3).mid(18 + 8, 20), QByteArray("Orientation=sideways"));
}

// Version 1 keeps each object in a fixed record of 120 bytes, texts and font names in a table.
TEST(PageStoreFile, OldVersionsWriteFixedRecordsAndAStringTable) {
    TRLGraphicStorage storage;
    FillTwoPages(storage);
    const QByteArray file = Save(storage, 1);
    TRLSpanReader reader(file);
    reader.Skip(16);
    ASSERT_EQ(reader.ReadInt32(), 2);
    EXPECT_EQ(reader.ReadInt32(), 0) << "old offsets count from the end of the table";
    const int32_t secondOffset = reader.ReadInt32();
    const qint64 data = reader.Position();
    EXPECT_EQ(reader.ReadInt32(), 794);
    EXPECT_EQ(reader.ReadInt32(), 1123);
    const QStringList strings = reader.ReadStringList();
    ASSERT_EQ(strings.size(), 4) << "texts repeat, font names do not";
    EXPECT_EQ(strings.mid(0, 3), (QStringList{"Señor {LastPageNumber}", "Arial", "Señor"}));
    ASSERT_EQ(reader.ReadInt32(), 3);
    const QByteArray text(reader.Current(), 120);
    // Clipped (4), 10 pt at 96 per inch, italic, font name and text indexes, right aligned.
    EXPECT_EQ(std::tuple(int(text[28]), Int32At(text, 76), int(text[92]), Int32At(text, 104),
                         Int32At(text, 112), int(text[116])),
              std::tuple(4, -13, int(fsItalic), 1, 0, 1));
    const QByteArray second(reader.Current() + 120, 120);
    EXPECT_EQ(std::pair(int(second[28]), Int32At(second, 112)), std::pair(3, 2)) << "unclipped";

    reader.Skip(360);
    EXPECT_EQ(reader.Position() - data, secondOffset);
    reader.Skip(8);
    EXPECT_EQ(reader.ReadInt32(), 0) << "a page of shapes has no strings";
    ASSERT_EQ(reader.ReadInt32(), 7);
    const QByteArray line(reader.Current(), 120);
    // From x 50 to x 5 (a line keeps its direction), pen colour, xor, dash, width, no brush
    // (old lines carry none) and no string.
    EXPECT_EQ(std::tuple(Int32At(line, 0), Int32At(line, 8), Int32At(line, 40), int(line[44]),
                         int(line[45]), Int32At(line, 48), int(line[52]), Int32At(line, 112)),
              std::tuple(50, 5, 0x302010, 14, 1, 2, 0, -1));
    const QByteArray rectangle(reader.Current() + 120, 120);
    EXPECT_EQ(std::pair(Int32At(rectangle, 56), int(rectangle[60])), std::pair(0x605040, 3))
        << "brush colour and vertical hatch";
}

// Each shape of version 1 keeps the kind byte of the old layout and the pen and brush its kind
// has: a filled rectangle no pen, a polyline no brush, a pixel and the clips neither.
TEST(PageStoreFile, OldRecordsKeepTheKindAndThePenAndBrushOfEachShape) {
    auto page = std::make_shared<TRLGraphicSurface>();
    page->SetWidth(100);
    page->SetHeight(100);
    page->Open();
    const TRLPen pen{QColor(0x10, 0x20, 0x30), TRLPenMode::Xor, TRLPenStyle::Dot, 3};
    const TRLBrush brush{QColor(0x40, 0x50, 0x60), TRLBrushStyle::Cross};
    page->SetPen(pen);
    page->SetBrush(brush);
    page->Append<TRLPixelObject>().BoundsRect = {1, 1, 2, 2};
    page->Rectangle(1, 2, 30, 40);
    page->FillRect({7, 8, 9, 10});
    page->Ellipse({3, 4, 5, 6});
    page->Polygon({{0, 0}, {9, 9}, {0, 9}});
    page->Polyline({{1, 1}, {8, 2}});
    page->SetClipRect({0, 0, 50, 50});
    page->ResetClipRect();
    TRLGraphicStorage storage;
    storage.Add(page);

    const QByteArray file = Save(storage, 1);
    TRLSpanReader reader(file);
    reader.Skip(16);
    ASSERT_EQ(reader.ReadInt32(), 1);
    reader.Skip(4 + 8);
    EXPECT_EQ(reader.ReadInt32(), 0) << "shapes have no strings";
    ASSERT_EQ(reader.ReadInt32(), 8);
    std::vector<int> kinds, pens, brushes;
    for (int i = 0; i < 8; ++i) {
        const QByteArray record(reader.Current() + i * 120, 120);
        kinds.push_back(record[28]);
        pens.push_back(record[36]);
        brushes.push_back(record[52]);
    }
    EXPECT_EQ(kinds, (std::vector<int>{0, 2, 5, 8, 9, 10, 11, 12}));
    EXPECT_EQ(pens, (std::vector<int>{0, 1, 0, 1, 1, 1, 0, 0}));
    EXPECT_EQ(brushes, (std::vector<int>{0, 1, 1, 1, 1, 0, 0, 0}));

    TRLGraphicStorage copy;
    ASSERT_EQ(Load(copy, file), 1);
    const auto read = copy.Pages(0);
    ASSERT_EQ(read->ObjectCount(), 8);
    std::vector<TRLObjectKind> readKinds;
    for (int i = 0; i < 8; ++i)
        readKinds.push_back(read->Object(i).Kind());
    EXPECT_EQ(readKinds,
              (std::vector<TRLObjectKind>{
                  TRLObjectKind::Pixel, TRLObjectKind::Rectangle, TRLObjectKind::FillRect,
                  TRLObjectKind::Ellipse, TRLObjectKind::Polygon, TRLObjectKind::Polyline,
                  TRLObjectKind::SetClipRect, TRLObjectKind::ResetClipRect}));
    const auto& rectangle = static_cast<const TRLRectangleObject&>(read->Object(1));
    EXPECT_EQ(std::pair(rectangle.Pen.ToPen(), rectangle.Brush.ToBrush()), std::pair(pen, brush));
    EXPECT_EQ(static_cast<const TRLFillRectObject&>(read->Object(2)).Brush.ToBrush(), brush);
    const auto& polygon = static_cast<const TRLPolygonObject&>(read->Object(4));
    EXPECT_EQ(std::pair(polygon.Pen.ToPen(), polygon.Brush.ToBrush()), std::pair(pen, brush));
    EXPECT_EQ(static_cast<const TRLPolylineObject&>(read->Object(5)).Pen.ToPen(), pen);
    EXPECT_EQ(read->Object(3).BoundsRect, (TRLRect{3, 4, 5, 6}));
}

// rltool's dump of a sample in every version reads its texts, fonts and pictures (Rltool tests).
TEST(PageStoreFile, EveryVersionReadsBack) {
    TRLGraphicStorage storage;
    FillTwoPages(storage);

    for (int version : {3, 2, 1}) {
        SCOPED_TRACE(version);
        TRLGraphicStorage copy;
        EXPECT_EQ(Load(copy, Save(storage, version)), version);
        ASSERT_EQ(copy.PageCount(), 2);
        const auto first = copy.Pages(0);
        ASSERT_EQ(first->ObjectCount(), 3);
        const auto& text = static_cast<const TRLTextObject&>(first->Object(0));
        EXPECT_EQ(std::tuple(text.Alignment, text.Font.Size, text.Font.Style),
                  std::tuple(MetaTextAlignmentRight, 10, fsItalic));
        // Version 1 keeps no document settings, so the page number is not known there.
        EXPECT_EQ(first->ExpandMacros(text.Text),
                  version == 1 ? text.Text : QStringLiteral("Señor 2"));
        const auto second = copy.Pages(1);
        ASSERT_EQ(second->ObjectCount(), 7);
        const auto& line = static_cast<const TRLLineObject&>(second->Object(0));
        EXPECT_EQ(std::tuple(line.FromPoint, line.ToPoint, line.Pen.Mode),
                  std::tuple(TRLPoint{50, 60}, TRLPoint{5, 6}, 15));
        EXPECT_EQ(second->Object(4).Kind(), TRLObjectKind::SetClipRect);
        EXPECT_EQ(copy.Orientation(), version > 1 ? 2 : 1) << "version 1 keeps no settings";
        if (version == 3) {
            EXPECT_EQ(copy.Pages(0)->SaveToBytes(), storage.Pages(0)->SaveToBytes());
            EXPECT_EQ(copy.Pages(1)->SaveToBytes(), storage.Pages(1)->SaveToBytes());
        }
    }
}

TEST(PageStoreFile, DamagedFilesAreRefusedAndLeaveTheStoreEmpty) {
    TRLGraphicStorage storage;
    FillTwoPages(storage);
    const QByteArray good = Save(storage, 3);
    auto expectRefused = [](const QByteArray& bytes, const char* what) {
        TRLGraphicStorage copy;
        copy.Add(std::make_shared<TRLGraphicSurface>());
        EXPECT_EQ(ErrorOf([&] { Load(copy, bytes); }), "File is corrupted!") << what;
        EXPECT_EQ(copy.PageCount(), 0) << what;
    };
    expectRefused(QByteArray("not a page store at all"), "unknown signature");
    for (int size : {10, 18, 30, 60, 200, static_cast<int>(good.size()) - 1})
        expectRefused(good.left(size), "truncated");

    const auto patched = [&](int at, const QByteArray& bytes) {
        return QByteArray(good).replace(at, 4, bytes);
    };
    const int table =
        18 + 4 + 3 * 4 +
        static_cast<int>(QByteArray("FirstPageNumber=1LastPageNumber=2Orientation=2").size()) + 4;
    // Both offsets sent to the first page: pages must follow each other.
    expectRefused(patched(table + 4, good.mid(table, 4)), "overlapping pages");
    expectRefused(patched(table, Hex("FFFFFFFF")), "negative offset");
    expectRefused(patched(table - 4, Hex("FFFFFF7F")), "page count beyond the file");

    const QByteArray old = Save(storage, 1);
    for (int size : {16, 20, 30, 100, static_cast<int>(old.size()) - 1})
        expectRefused(old.left(size), "truncated old file");
}

TEST(PageStoreFile, SavingToAFileReplacesItWholeOrNotAtAll) {
    QTemporaryDir dir;
    TRLGraphicStorage storage;
    FillTwoPages(storage);
    const QString unwritable = dir.filePath("missing/out.rpf");
    const QString error = ErrorOf([&] { storage.SaveToFile(unwritable); });
    EXPECT_TRUE(error.contains(unwritable)) << error.toStdString();
    EXPECT_FALSE(QFile::exists(unwritable));

    const QString path = dir.filePath("out.rpf");
    storage.SetFileVersion(3);
    storage.SaveToFile(path);
    const auto contents = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray before = contents();
    ASSERT_FALSE(before.isEmpty());
    // An unknown version is refused before anything is written: the earlier file stays.
    for (int version : {0, 5}) {
        storage.SetFileVersion(version);
        EXPECT_EQ(ErrorOf([&] { storage.SaveToFile(path); }),
                  QStringLiteral("\"%1\": Incorrect file version \"%2\"!").arg(path).arg(version));
        EXPECT_EQ(contents(), before);
    }
}

// A device that takes at most Piece bytes a call, as a filling disk or a pipe does, and fails
// once Room bytes are in as a full disk does: the system's error number set and no words of its
// own.
class NarrowDevice : public QIODevice {
public:
    NarrowDevice(qint64 piece, qint64 room) : piece_(piece), room_(room) {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    QByteArray Bytes;
    qint64 size() const override { return Bytes.size(); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 length) override {
        const qint64 take = std::min({length, piece_, room_ - taken_});
        if (take <= 0) {
            errno = ENOSPC;
            return -1;
        }
        if (Bytes.size() < pos() + take)
            Bytes.resize(pos() + take);
        std::memcpy(Bytes.data() + pos(), data, static_cast<size_t>(take));
        taken_ += take;
        return take;
    }

private:
    const qint64 piece_;
    const qint64 room_;
    qint64 taken_ = 0;
};

// Short writes are carried on, not taken for failures (nor for success over a file cut short);
// a device that takes no more is refused with the system's reason, not "Unknown error".
// The reason is the system's as the toolkit words it for its own files, in every locale.
TEST(PageStoreFile, ShortWritesGoOnAndAFullDeviceSaysWhy) {
    TRLGraphicStorage storage;
    FillTwoPages(storage);
    for (const int version : {1, 3, 4}) {
        SCOPED_TRACE(version);
        const QByteArray whole = Save(storage, version);
        NarrowDevice narrow(7, 1 << 30);
        storage.SetFileVersion(version);
        storage.SaveToStream(narrow);
        EXPECT_EQ(narrow.Bytes, whole);

        NarrowDevice full(7, whole.size() / 2);
        EXPECT_EQ(ErrorOf([&] { storage.SaveToStream(full); }),
                  QStringLiteral("Cannot write the file: ") + qt_error_string(ENOSPC));
    }
}

// A version 3 file written before version 4 existed (the sample of rltool, kept as a fuzz seed)
// is read and written again to the very same bytes: version 3 did not change.
TEST(PageStoreFile, Version3IsWrittenAsBeforeWhenEveryTextFits) {
    const QByteArray before = ReadFileBytes(
        SourceDir() + QStringLiteral("/tests/fuzz/seeds/pagestore_file/sample-v3.rpf"));
    ASSERT_FALSE(before.isEmpty());
    TRLGraphicStorage storage;
    ASSERT_EQ(Load(storage, before), 3);
    QByteArray after;
    QBuffer buffer(&after);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_EQ(storage.SaveToStream(buffer), 3);
    EXPECT_EQ(after.size(), before.size());
    EXPECT_TRUE(after == before) << "the rewritten file differs from the one read";
}

// The version a save asks for, and the version it writes, by where a character outside
// Windows-1252 stands. Versions 1 and 2 are written as asked: their readers know nothing else.
TEST(PageStoreFile, Version4IsWrittenWhenATextDoesNotFitTheCodePage) {
    enum Where { Nowhere, EvictedPage, CachedPage, FontName, PageSetting, Title };
    const struct {
        const char* what;
        Where where;
        int asked;
        int written;
    } cases[] = {
        {"all in the code page", Nowhere, 3, 3},
        {"Greek on a page out of the cache", EvictedPage, 3, 4},
        {"Polish on a page still cached", CachedPage, 3, 4},
        {"a font named in Greek", FontName, 3, 4},
        {"a page setting in Greek", PageSetting, 3, 4},
        {"a document title in Greek", Title, 3, 4},
        {"version 4 asked for", Nowhere, 4, 4},
        {"version 2 asked for", EvictedPage, 2, 2},
        {"version 1 asked for", FontName, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TRLGraphicStorage storage;
        for (int i = 0; i < TRLGraphicStorage::CacheSize + 2; ++i) {
            auto page = std::make_shared<TRLGraphicSurface>();
            const bool last = i == TRLGraphicStorage::CacheSize + 1;
            if (c.where == FontName && last)
                page->SetFont({.Name = GreekFont});
            if (c.where == PageSetting && i == 0)
                page->Macros().SetValue("Τίτλος", "x");
            QString text = QStringLiteral("Año %1 € ‰").arg(i);
            if ((c.where == EvictedPage && i == 0) || (c.where == CachedPage && last))
                text += i == 0 ? Greek : Polish;
            page->TextRectEx({0, 0, 100, 20}, 0, 0, text, 1, 1, 5);
            storage.Add(page);
        }
        if (c.where == Title)
            storage.SetTitle(QStringLiteral("Τίτλος"));
        const QStringList texts = TextsOf(storage);

        storage.SetFileVersion(c.asked);
        QByteArray file;
        QBuffer buffer(&file);
        buffer.open(QIODevice::WriteOnly);
        EXPECT_EQ(storage.SaveToStream(buffer), c.written);
        EXPECT_EQ(storage.LastSavedFileVersion(), c.written);
        EXPECT_EQ(storage.FileVersion(), c.asked) << "the next save asks the same";
        TRLGraphicStorage copy;
        EXPECT_EQ(Load(copy, file), c.written);
        if (c.written >= 3) {
            EXPECT_EQ(TextsOf(copy), texts);
            EXPECT_EQ(copy.Title(), storage.Title());
            EXPECT_EQ(copy.Pages(0)->Macros().Entries(), storage.Pages(0)->Macros().Entries());
        }
    }
}

TEST(PageStoreFile, Version4KeepsEveryStringInUtf8) {
    TRLGraphicStorage storage;
    FillWorldPages(storage);
    const QStringList texts = TextsOf(storage);
    ASSERT_TRUE(texts.contains(GreekFont + ":" + Greek + "1"));
    const QByteArray file = Save(storage, 3);

    ASSERT_TRUE(file.startsWith("RLGraphicStorage4\x1A"));
    TRLSpanReader reader(file);
    reader.Skip(18);
    ASSERT_EQ(reader.ReadInt32(), 1);
    EXPECT_EQ(reader.ReadCountedBytes(), QStringLiteral("Title=Τίτλος").toUtf8());
    const QList<QByteArray> records = RecordsOf(file);
    ASSERT_EQ(records.size(), storage.PageCount());
    for (const QByteArray& record : records) {
        EXPECT_TRUE(record.startsWith("RLGraphicSurface4\x1A"));
        EXPECT_TRUE(record.contains(Greek.toUtf8()));
        EXPECT_TRUE(record.contains(Chinese.toUtf8()));
    }
    EXPECT_TRUE(records[1].contains(GreekFont.toUtf8()));

    TRLGraphicStorage copy;
    ASSERT_EQ(Load(copy, file), 4);
    EXPECT_EQ(TextsOf(copy), texts);
    EXPECT_EQ(copy.Title(), QStringLiteral("Τίτλος"));
    EXPECT_EQ(Save(copy, 3), file) << "read and written again, the same bytes";

    // A page whose texts all fit the code page is kept in UTF-8 too once the file is version 4;
    // version 4 asked for writes even a store that fits.
    TRLGraphicStorage latin;
    FillTwoPages(latin);
    const QByteArray latinFile = Save(latin, 4);
    ASSERT_TRUE(latinFile.startsWith("RLGraphicStorage4\x1A"));
    const QList<QByteArray> latinRecords = RecordsOf(latinFile);
    ASSERT_EQ(latinRecords.size(), 2);
    EXPECT_TRUE(latinRecords[0].contains(QStringLiteral("Señor").toUtf8()));
    EXPECT_TRUE(latinRecords[1].startsWith("RLGraphicSurface4\x1A"));
    TRLGraphicStorage latinCopy;
    ASSERT_EQ(Load(latinCopy, latinFile), 4);
    EXPECT_EQ(TextsOf(latinCopy), TextsOf(latin));
    EXPECT_EQ(Save(latinCopy, 3), Save(latin, 3)) << "back to the same version 3 file";
}

TEST(PageStoreFile, DamagedVersion4FilesAreRefused) {
    TRLGraphicStorage storage;
    FillWorldPages(storage);
    const QByteArray good = Save(storage, 4);
    auto expectRefused = [](const QByteArray& bytes, const std::string& what) {
        TRLGraphicStorage copy;
        copy.Add(std::make_shared<TRLGraphicSurface>());
        EXPECT_EQ(ErrorOf([&] { Load(copy, bytes); }), "File is corrupted!") << what;
        EXPECT_EQ(copy.PageCount(), 0) << what;
    };
    for (int size = 0; size < good.size(); size += 97)
        expectRefused(good.left(size), "cut at " + std::to_string(size));
    expectRefused(good.left(good.size() - 1), "one byte short");

    const QByteArray greekTitle = QStringLiteral("Τίτλος").toUtf8();
    const QList<QByteArray> records = RecordsOf(good);
    const qsizetype firstRecord = good.indexOf(records[0]);
    const qsizetype text = good.indexOf(Greek.toUtf8(), firstRecord);
    ASSERT_GT(text, firstRecord);
    const struct {
        const char* what;
        qsizetype at;
        QByteArray bytes;
    } cases[] = {
        // A Greek letter is two bytes: its second byte gone leaves a cut sequence.
        {"a setting cut inside a character", good.indexOf(greekTitle) + 1, "x"},
        {"an overlong slash in a text", text, "\xC0\xAF"},
        {"an encoded surrogate in a text", text, "\xED\xA0"},
        {"a byte that UTF-8 never has", text + 1, "\xFF"},
        // A version 3 page record inside a version 4 file, and the other way round.
        {"an older page record", firstRecord + 16, "3"},
    };
    for (const auto& c : cases) {
        ASSERT_GE(c.at, 0) << c.what;
        expectRefused(QByteArray(good).replace(c.at, c.bytes.size(), c.bytes), c.what);
    }

    // Files of version 3 keep reading as before: a version 4 page record in one is damage.
    TRLGraphicStorage latin;
    FillTwoPages(latin);
    QByteArray version3 = Save(latin, 3);
    const qsizetype latinRecord = version3.indexOf("RLGraphicSurface3\x1A");
    ASSERT_GT(latinRecord, 0);
    expectRefused(version3.replace(latinRecord + 16, 1, "4"), "a newer record in version 3");
}
