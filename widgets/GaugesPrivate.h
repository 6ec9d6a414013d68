#pragma once

// The gauge's off-screen image, for the gauge itself and its tests.

#include "platform/ui/Graphics.h"
#include "widgets/Gauges.h"

#include <QImage>

// The colour image the gauge composes its picture in; empty until MakeLike.
class TBltBitmap {
public:
    TBltBitmap() = default;
    TBltBitmap(const TBltBitmap&) = delete;
    TBltBitmap& operator=(const TBltBitmap&) = delete;

    // Gives the image the template's width and height and fills all of it with the window-frame
    // colour. Raises Exception("Out of system resources") when the image cannot be made.
    void MakeLike(const QPaintDevice& templ);
    void Fill(TColor color);

    int Width() const { return image_.width(); }
    int Height() const { return image_.height(); }
    QImage& Image() { return image_; }
    const QImage& Image() const { return image_; }

    // Images alive right now (a failed paint frees what it made).
    static int LiveCount() { return liveCount_; }
    // Fault injection for tests: after `successes` more images, making one fails as if memory
    // ran out; a negative count turns this off.
    static void FailAllocationsAfter(int successes) { allocationsLeft_ = successes; }

private:
    // Counts this object from construction to destruction, also when the constructor fails.
    struct LiveCounter {
        LiveCounter() { ++liveCount_; }
        ~LiveCounter() { --liveCount_; }
        LiveCounter(const LiveCounter&) = delete;
        LiveCounter& operator=(const LiveCounter&) = delete;
    };

    LiveCounter counter_;
    QImage image_;
    static inline int liveCount_ = 0;
    static inline int allocationsLeft_ = -1;
};

#include <QFont>
#include <QSize>
#include <optional>

// The gauge's last picture and what it was composed from. A paint of the same state copies it;
// the image is kept while the gauge keeps its size.
struct TGaugePicture {
    struct TState {
        QSize size;
        TGaugeKind kind = gkHorizontalBar;
        bool showText = false;
        TBorderStyle borderStyle = bsSingle;
        TColor foreColor = 0;
        TColor backColor = 0;
        TColor color = 0;
        QFont font;
        int percent = 0;
        bool operator==(const TState&) const = default;
    };

    TBltBitmap image;
    // What the image shows; empty until a composition has finished.
    std::optional<TState> shows;
};
