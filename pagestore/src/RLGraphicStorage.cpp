#include <kelmora/pagestore/RLGraphicStorage.h>

#include <kelmora/pagestore/RLBinaryIO.h>
#include <kelmora/support/RLScratchFile.h>
#include <kelmora/support/RLUtils.h>

#include <atomic>
#include <cerrno>

namespace Kelmora {

namespace {
std::atomic<int32_t> groupCounter{0};

// Millimetres to report pixels at 96 per inch.
int32_t MillimetresToPixels(double mm) {
    return RoundHalfEven(mm * 96.0 / 25.4);
}
} // namespace

int32_t TRLGraphicStorage::NewGroupId() {
    return ++groupCounter;
}

int32_t TRLGraphicStorage::CurrentGroupId() {
    return groupCounter.load();
}

TRLGraphicStorage::TRLGraphicStorage(QObject* owner) : QObject(owner) {}

TRLGraphicStorage::~TRLGraphicStorage() {
    destroying_ = true;
    std::lock_guard lock(mutex_);
    cache_.clear();
    if (tempFile_.isOpen())
        tempFile_.close();
    if (!tempFileName_.isEmpty()) {
        QFile::remove(tempFileName_);
        DropScratchFile(tempFileName_);
    }
}

// --- lifetime by reference ---

void TRLGraphicStorage::Link(QObject* component) {
    if (!component || component == parent() || references_.contains(component))
        return;
    references_.append(component);
    connect(component, &QObject::destroyed, this,
            [this, component] { ComponentDestroyed(component); });
}

void TRLGraphicStorage::Unlink(QObject* component) {
    if (destroying_)
        return;
    if (references_.removeAll(component) > 0)
        disconnect(component, &QObject::destroyed, this, nullptr);
    if (!parent() && references_.isEmpty())
        delete this;
}

void TRLGraphicStorage::ComponentDestroyed(QObject* component) {
    Unlink(component);
}

// --- pages ---

int TRLGraphicStorage::PageCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(pageOffsets_.size());
}

int TRLGraphicStorage::CachedPageCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(cache_.size());
}

void TRLGraphicStorage::Add(std::shared_ptr<TRLGraphicSurface> page) {
    if (!page)
        return;
    page->SetStorage(this);
    {
        std::lock_guard lock(mutex_);
        if (keepingPages_) {
            StorePageLocked(*page);
            CacheLocked(page);
        } else {
            IndexPageLocked(*page, kNotKept, false);
        }
    }
    // Outside the lock: the follower may take its time, and read the store.
    if (pageFiled_)
        pageFiled_(page);
}

std::shared_ptr<TRLGraphicSurface> TRLGraphicStorage::Pages(int index) {
    std::lock_guard lock(mutex_);
    if (index < 0 || index >= static_cast<int>(pageOffsets_.size()))
        return nullptr;
    for (const auto& page : cache_)
        if (page->PageIndex() == index)
            return page;
    if (pageOffsets_[static_cast<size_t>(index)] == kNotKept)
        return nullptr;
    return LoadPageLocked(index);
}

void TRLGraphicStorage::Clear() {
    std::lock_guard lock(mutex_);
    if (tempFile_.isOpen())
        tempFile_.resize(0);
    fileEnd_ = 0;
    pageOffsets_.clear();
    pageUtf8_.clear();
    cache_.clear();
    macros_.Clear();
}

void TRLGraphicStorage::RemoveFromCache(const TRLGraphicSurface* page) {
    std::lock_guard lock(mutex_);
    std::erase_if(cache_, [page](const auto& cached) { return cached.get() == page; });
}

void TRLGraphicStorage::EnsureTempFile() {
    if (tempFile_.isOpen())
        return;
    // Created exclusively and readable by the owner only: page contents are the user's data.
    // Unbuffered, since every page is written in one block anyway, and a failed write must
    // not linger in a buffer that a later write would flush behind the truncated end.
    tempFileName_ = CreateScratchFile(tempFile_, QIODevice::Unbuffered);
}

void TRLGraphicStorage::ThrowFileError(const QString& action) const {
    throw TRLException(
        QStringLiteral("%1 \"%2\": %3").arg(action, tempFileName_, tempFile_.errorString()));
}

void TRLGraphicStorage::StorePageLocked(TRLGraphicSurface& page) {
    EnsureTempFile();
    // The record goes behind its length in one block: one write per page.
    TRLPageWriter& block = pageWriter_;
    block.Clear();
    block.WriteInt32(0);
    // The temporary file is the store's alone: a page keeps every character there.
    const bool utf8 = page.SaveToWriter(block) == TRLTextEncoding::Utf8;
    block.PatchInt32(0, static_cast<int32_t>(block.Size() - 4));
    // The file only grows while pages are added; the end is kept here instead of asking the
    // system for it on every page.
    const qint64 position = fileEnd_;
    QString reason;
    errno = 0;
    const bool written =
        (tempFile_.pos() == position || tempFile_.seek(position)) &&
        WriteWhole(tempFile_, QByteArrayView(block.Data(), static_cast<qsizetype>(block.Size())),
                   reason);
    if (!written) {
        if (reason.isEmpty())
            reason = FailureReason(tempFile_, errno);
        // Drop the partial copy so that the file keeps only whole records.
        tempFile_.resize(position);
        tempFile_.seek(position);
        throw TRLException(
            QStringLiteral("Cannot write to the page file \"%1\": %2").arg(tempFileName_, reason));
    }
    fileEnd_ = position + block.Size();
    IndexPageLocked(page, position, utf8);
}

void TRLGraphicStorage::IndexPageLocked(TRLGraphicSurface& page, qint64 offset, bool utf8) {
    if (page.pageIndex_ < 0) {
        pageOffsets_.push_back(offset);
        pageUtf8_.push_back(utf8);
        page.pageIndex_ = static_cast<int32_t>(pageOffsets_.size() - 1);
    } else {
        pageOffsets_[static_cast<size_t>(page.pageIndex_)] = offset;
        pageUtf8_[static_cast<size_t>(page.pageIndex_)] = utf8;
    }
    page.modified_ = false;
}

QByteArray TRLGraphicStorage::ReadPageRecordLocked(int index) {
    const qint64 offset = pageOffsets_[static_cast<size_t>(index)];
    if (!tempFile_.seek(offset))
        ThrowFileError(QStringLiteral("Cannot read the page file"));
    TRLDeviceReader reader(tempFile_);
    const int32_t length = reader.ReadInt32();
    // Pages are read one after another into the same buffer: a new block of tens of kilobytes
    // for each made the allocator sweep up its small free blocks every time. A caller that keeps
    // a record shares it, and the next read then takes a buffer of its own. A page far larger
    // than the others does not keep its room for the rest of the run.
    if (recordBuffer_.capacity() > kKeptRecordBuffer && length <= kKeptRecordBuffer)
        recordBuffer_ = QByteArray();
    reader.ReadBytesInto(recordBuffer_, length);
    return recordBuffer_;
}

std::shared_ptr<TRLGraphicSurface> TRLGraphicStorage::LoadPageLocked(int index) {
    auto page = std::make_shared<TRLGraphicSurface>();
    page->LoadFromBytes(ReadPageRecordLocked(index));
    page->storage_ = this;
    page->pageIndex_ = index;
    CacheLocked(page);
    return page;
}

void TRLGraphicStorage::CacheLocked(std::shared_ptr<TRLGraphicSurface> page) {
    while (static_cast<int>(cache_.size()) >= CacheSize) {
        TRLGraphicSurface& oldest = *cache_.front();
        if (oldest.Modified())
            StorePageLocked(oldest);
        cache_.pop_front();
    }
    cache_.push_back(std::move(page));
}

void TRLGraphicStorage::FlushModifiedLocked() {
    for (const auto& page : cache_)
        if (page->Modified())
            StorePageLocked(*page);
}

// --- document settings ---

int32_t TRLGraphicStorage::Orientation() const {
    return macros_.IntValue(QStringLiteral("Orientation"), MetaOrientationPortrait);
}

void TRLGraphicStorage::SetOrientation(int32_t orientation) {
    macros_.SetIntValue(QStringLiteral("Orientation"), orientation);
}

double TRLGraphicStorage::OrientedPaperWidth() const {
    return Orientation() == MetaOrientationPortrait ? PaperWidth() : PaperHeight();
}

double TRLGraphicStorage::OrientedPaperHeight() const {
    return Orientation() == MetaOrientationPortrait ? PaperHeight() : PaperWidth();
}

int32_t TRLGraphicStorage::OrientedWidth() const {
    return MillimetresToPixels(OrientedPaperWidth());
}

int32_t TRLGraphicStorage::OrientedHeight() const {
    return MillimetresToPixels(OrientedPaperHeight());
}

} // namespace Kelmora
