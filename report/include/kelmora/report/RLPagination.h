/// @file
/// The pagination of a report run.
#pragma once

#include <kelmora/pagestore/RLGraphicSurface.h>

#include <memory>
#include <utility>

namespace Kelmora {

/// The pagination of one report's run: the page being recorded, the pages closed so far, and
/// what bands leave for the page to come. The report keeps one and hands it to its bands through
/// TRLCustomReport::Pagination(); every change of page goes through it. A chain of reports
/// counts its closed pages in the first report's.
class TRLPagination {
public:
    /// Before a run, or after one that broke: no page open and no request left. The count of
    /// closed pages starts again only with restartCount (the first report of a chain).
    void Restart(bool restartCount) {
        page_.reset();
        breakPending_ = false;
        if (restartCount)
            pagesClosed_ = 0;
    }

    // --- the page being recorded ---
    /// Null between pages.
    TRLGraphicSurface* Page() const { return page_.get(); }
    void SetPage(std::shared_ptr<TRLGraphicSurface> page) { page_ = std::move(page); }
    /// Hands the page over to be filed (null when none is open); the next page starts afresh.
    std::shared_ptr<TRLGraphicSurface> TakePage() { return std::exchange(page_, nullptr); }
    /// Drops the page unfiled (a run that broke off).
    void DropPage() { page_.reset(); }

    // --- counting ---
    int PagesClosed() const { return pagesClosed_; }
    /// Counts a page filed with the given number of objects; the next page makes room for as
    /// many.
    void CountClosedPage(int objects) {
        ++pagesClosed_;
        objectsOnLastPage_ = objects;
    }
    int ObjectsOnLastPage() const { return objectsOnLastPage_; }

    // --- page starts ---
    /// A page is opening: its OnPageStarting is still due.
    void PageOpening() { pageStartRaised_ = false; }
    /// True once per page, for the one OnPageStarting it gets before its OnPageEnding, even a
    /// page that ends while its headers print.
    bool TakePageStart() { return !std::exchange(pageStartRaised_, true); }

    // --- breaks asked for by bands ---
    /// A band that breaks the page after it prints asks here; the next band that prints a record
    /// (or the summary) takes the request and starts the page.
    void RequestBreak() { breakPending_ = true; }
    bool TakeBreakRequest() { return std::exchange(breakPending_, false); }
    void ForgetBreakRequest() { breakPending_ = false; }

private:
    std::shared_ptr<TRLGraphicSurface> page_;
    int pagesClosed_ = 0;
    int objectsOnLastPage_ = 0;
    bool breakPending_ = false;
    bool pageStartRaised_ = false;
};

} // namespace Kelmora
