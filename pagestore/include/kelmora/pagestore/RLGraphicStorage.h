/// @file
/// The page store: every prepared page, written to one temporary file and held in memory only in
/// a cache of the five most recently used pages, so that a report of any length costs bounded
/// memory. Preview boxes, a background print and the save command may all read pages at once;
/// the store serialises its cache and file access, and hands out pages as shared pointers so that
/// eviction never frees a page that someone is still drawing.
#pragma once

#include <kelmora/pagestore/RLBinaryIO.h>
#include <kelmora/pagestore/RLGraphicSurface.h>
#include <kelmora/pagestore/RLMacroList.h>

#include <QFile>
#include <QIODevice>
#include <QList>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace Kelmora {

class TRLGraphicStorage : public QObject {
    Q_OBJECT
public:
    static constexpr int CacheSize = 5;
    /// The page-store file version written unless another is asked for. Its strings are in
    /// Windows-1252; a document with a text that code page lacks is written as version 4
    /// (UTF-8) instead, so that a file never loses a character.
    static constexpr int CurrentFileVersion = 3;
    static constexpr int NewestFileVersion = 4;

    /// A store with an owner lives as long as the owner; one without frees itself when the last
    /// linked component lets go of it.
    explicit TRLGraphicStorage(QObject* owner = nullptr);
    ~TRLGraphicStorage() override;

    void Link(QObject* component);
    void Unlink(QObject* component);
    int LinkCount() const { return static_cast<int>(references_.size()); }

    /// Takes the page in: stores it in the temporary file and puts it in the cache, then hands
    /// it to whoever follows the filing (SetPageFiled).
    void Add(std::shared_ptr<TRLGraphicSurface> page);
    /// Something that takes each page as soon as it is filed, while the run that fills the store
    /// goes on (an output that writes pages as they come), on the thread that files it. What it
    /// throws leaves Add, and so fails the run. Null stops the following.
    using TRLPageFiled = std::function<void(const std::shared_ptr<TRLGraphicSurface>&)>;
    void SetPageFiled(TRLPageFiled follower) { pageFiled_ = std::move(follower); }
    /// Whether the store keeps the pages it files, to hand them out again and to save them (the
    /// default). A run whose pages go only to a follower need not: each page then goes as soon
    /// as the follower lets go of it, and the store only counts them and keeps the settings.
    void SetKeepingPages(bool keep) { keepingPages_ = keep; }
    /// The page at index, from the cache or loaded from the temporary file; null out of range
    /// and for a page filed while the store kept none.
    std::shared_ptr<TRLGraphicSurface> Pages(int index);
    int PageCount() const;
    void Clear();
    /// Number of pages in memory (for tests and benchmarks).
    int CachedPageCount() const;
    QString TempFileName() const { return tempFileName_; }

    /// Whole-document files. The version asked for: 1 and 2 hold what Windows-1252 holds (for
    /// readers of those versions alone); 3 is written when every string fits Windows-1252, and
    /// becomes 4 otherwise; 4 is always 4. Saving returns the version written.
    void SetFileVersion(int version) { fileVersion_ = version; }
    int FileVersion() const { return fileVersion_; }
    int SaveToStream(QIODevice& stream);
    int SaveToFile(const QString& fileName);
    /// The version of the last page-store file written from this store; 0 before the first.
    int LastSavedFileVersion() const;
    /// Replaces the store's pages and settings with those of a saved file of any version (1 to
    /// 4) and returns that version. A damaged file leaves the store empty and raises an error.
    int LoadFromStream(QIODevice& stream);
    int LoadFromFile(const QString& fileName);

    /// Document settings.
    TRLMacroList& Macros() { return macros_; }
    const TRLMacroList& Macros() const { return macros_; }
    int32_t FirstPageNumber() const {
        return macros_.IntValue(QStringLiteral("FirstPageNumber"), 0);
    }
    void SetFirstPageNumber(int32_t v) {
        macros_.SetIntValue(QStringLiteral("FirstPageNumber"), v);
    }
    int32_t LastPageNumber() const { return macros_.IntValue(QStringLiteral("LastPageNumber"), 0); }
    void SetLastPageNumber(int32_t v) { macros_.SetIntValue(QStringLiteral("LastPageNumber"), v); }
    QString Title() const { return macros_.Value(QStringLiteral("Title")); }
    void SetTitle(const QString& title) { macros_.SetValue(QStringLiteral("Title"), title); }
    int32_t Orientation() const;
    void SetOrientation(int32_t orientation);
    double PaperWidth() const { return macros_.RealValue(QStringLiteral("PaperWidth"), 0); }
    void SetPaperWidth(double mm) { macros_.SetRealValue(QStringLiteral("PaperWidth"), mm); }
    double PaperHeight() const { return macros_.RealValue(QStringLiteral("PaperHeight"), 0); }
    void SetPaperHeight(double mm) { macros_.SetRealValue(QStringLiteral("PaperHeight"), mm); }
    double OrientedPaperWidth() const;
    double OrientedPaperHeight() const;
    int32_t OrientedWidth() const;
    int32_t OrientedHeight() const;

    /// Process-wide counter that ties together the objects one control records in one go.
    static int32_t NewGroupId();
    /// The counter's present value: the group of every object recorded now.
    static int32_t CurrentGroupId();

    /// Drops a page from the cache without storing it: the page is moving to another store
    /// (TRLGraphicSurface::SetStorage).
    void RemoveFromCache(const TRLGraphicSurface* page);

private:
    void EnsureTempFile();
    void StorePageLocked(TRLGraphicSurface& page);
    /// Enters the page in the index at offset: a new page at the end, one filed before in its
    /// place.
    void IndexPageLocked(TRLGraphicSurface& page, qint64 offset, bool utf8);
    std::shared_ptr<TRLGraphicSurface> LoadPageLocked(int index);
    QByteArray ReadPageRecordLocked(int index);
    void CacheLocked(std::shared_ptr<TRLGraphicSurface> page);
    void FlushModifiedLocked();
    /// Whether a page or a setting holds a character that Windows-1252 lacks.
    bool NeedsUtf8Locked() const;
    void ComponentDestroyed(QObject* component);
    [[noreturn]] void ThrowFileError(const QString& action) const;

    mutable std::recursive_mutex mutex_;
    /// The bytes of the page read last, and the most room they keep between reads.
    QByteArray recordBuffer_;
    static constexpr qsizetype kKeptRecordBuffer = qsizetype(4) << 20;
    int fileVersion_ = CurrentFileVersion;
    int lastSavedFileVersion_ = 0;
    TRLMacroList macros_;
    /// Chunked, so that a store of many pages grows its index without copying it whole. A page
    /// that was not kept has no offset (kNotKept).
    std::deque<qint64> pageOffsets_;
    static constexpr qint64 kNotKept = -1;
    bool keepingPages_ = true;
    /// Whether each page's record in the temporary file keeps its strings in UTF-8.
    std::deque<bool> pageUtf8_;
    std::deque<std::shared_ptr<TRLGraphicSurface>> cache_;
    QFile tempFile_;
    QString tempFileName_;
    qint64 fileEnd_ = 0;
    QList<QObject*> references_;
    TRLPageWriter pageWriter_; // kept between pages so that its buffer is reused
    TRLPageFiled pageFiled_;
    bool destroying_ = false;
};

} // namespace Kelmora
