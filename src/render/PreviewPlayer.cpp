#include "render/PreviewPlayer.h"

#include <algorithm>
#include <chrono>

#include "render/Image.h"

namespace orvanta::render {

namespace {

constexpr Rgb kScreenBlue = 0x0000FF;
constexpr Rgb kBandBlack = 0x000000;
constexpr int kPanelBand = 42;

}  // namespace

SecondsClock monotonicSeconds() {
    return [] {
        using namespace std::chrono;
        return duration_cast<seconds>(steady_clock::now().time_since_epoch()).count();
    };
}

PreviewPlayer::PreviewPlayer(PreviewInput input, GlyphSet glyphs, SecondsClock clock,
                             std::string scratchFolder)
    : input_(std::move(input)),
      glyphs_(std::move(glyphs)),
      renderer_(input_, glyphs_),
      clock_(std::move(clock)),
      scratchFolder_(std::move(scratchFolder)) {
    const PreviewLayout& l = layout();
    screen_ = createImage(l.windowWidth, l.windowHeight);
    title_ = renderer_.renderTitle();
    if (!scratchFolder_.empty()) {
        writeScratchBitmap(title_.image, scratchFolder_, "title.bmp");
    }
    renderPage(0);
    drawStill();
    start_ = clock_();
    blinkStart_ = start_;
}

int PreviewPlayer::periodMs() const {
    return input_.style == MessageStyle::Scroll || input_.style == MessageStyle::PopOn ? 17 : 8;
}

void PreviewPlayer::renderPage(int firstLine) {
    pageFirst_ = firstLine;
    page_ = renderer_.renderMessage(firstLine);
    if (!scratchFolder_.empty()) {
        writeScratchBitmap(page_.image, scratchFolder_, "message.bmp");
    }
}

// The parts of the screen that do not move: blue around, the band, box or panel in the
// message background, and the title.
void PreviewPlayer::drawStill() {
    const PreviewLayout& l = layout();
    const Rgb canvas = renderer_.canvasColor();
    const int present = l.titlePresent ? 1 : 0;
    fillRect(screen_, 0, 0, l.windowWidth, l.windowHeight, kScreenBlue);
    switch (input_.style) {
        case MessageStyle::Scroll:
            fillRect(screen_, 0, l.bandY, l.windowWidth, (present + 1) * l.lineHeight, canvas);
            break;
        case MessageStyle::Box:
        case MessageStyle::PopOn:
            fillRect(screen_, l.boxX, l.bandY, l.boxWidth, l.boxHeight, canvas);
            break;
        case MessageStyle::PictureSide:
            fillRect(screen_, l.boxX, l.bandY, l.boxWidth, l.boxHeight, canvas);
            if (input_.horizontalPosition == 0) {
                fillRect(screen_, l.boxWidth, l.bandY, kPanelBand, l.boxHeight, kBandBlack);
            } else if (input_.horizontalPosition == 2) {
                fillRect(screen_, l.boxX - kPanelBand, l.bandY, kPanelBand, l.boxHeight,
                         kBandBlack);
            }
            break;
    }
    if (input_.style == MessageStyle::PopOn) {
        // "Pop on" shows its page on the first tick, not before.
        fillMessageArea(canvas);
    }
    drawTitle();
}

void PreviewPlayer::drawTitle() {
    const PreviewLayout& l = layout();
    if (!l.titlePresent) {
        return;
    }
    if (input_.style == MessageStyle::Scroll) {
        copyRect(screen_, l.titleX, l.bandY, l.windowWidth, l.lineHeight, title_.image, 0, 0);
    } else {
        copyRect(screen_, l.boxX + l.titleX, l.bandY, l.boxWidth - l.titleX, l.lineHeight,
                 title_.image, 0, 0);
    }
}

// The box or panel below the title.
void PreviewPlayer::fillMessageArea(Rgb color) {
    const PreviewLayout& l = layout();
    const int top = l.bandY + (l.titlePresent ? l.lineHeight : 0);
    fillRect(screen_, l.boxX, top, l.boxWidth, l.boxHeight - (top - l.bandY), color);
}

bool PreviewPlayer::timeIsUp() const {
    return input_.displaySeconds != 0 && elapsed() > input_.displaySeconds;
}

void PreviewPlayer::end() {
    ended_ = true;
}

bool PreviewPlayer::tick() {
    if (ended_) {
        return false;
    }
    if (!started_) {
        started_ = true;
        return true;
    }
    switch (input_.style) {
        case MessageStyle::Scroll:
            tickScroll();
            break;
        case MessageStyle::PopOn:
            tickPopOn();
            break;
        case MessageStyle::Box:
        case MessageStyle::PictureSide:
            if (phase_ == Phase::Typing) {
                tickTyping();
            } else if (phase_ == Phase::Scrolling) {
                tickScrolling();
            } else if (timeIsUp()) {
                end();
            }
            break;
    }
    return !ended_;
}

void PreviewPlayer::tickScroll() {
    const PreviewLayout& l = layout();
    offset_ += input_.scrollSpeed + 2;
    const int y = l.bandY + (l.titlePresent ? l.lineHeight : 0);
    // The bitmap ends before the window's right edge near the end of a pass: blank beyond it.
    fillRect(screen_, 0, y, l.windowWidth, l.lineHeight, renderer_.canvasColor());
    copyRect(screen_, 0, y, l.windowWidth, l.lineHeight, page_.image, offset_, 0);
    if (offset_ > l.messageWidth + l.windowWidth) {
        offset_ = 0;
        ++passes_;
        if (input_.scrollCount != 0 && passes_ >= input_.scrollCount) {
            end();
        }
    }
}

void PreviewPlayer::tickPopOn() {
    if (timeIsUp()) {
        end();
        return;
    }
    const PreviewLayout& l = layout();
    const std::int64_t now = clock_();
    const std::int64_t b = now - blinkStart_;
    const bool on = !input_.blink || b <= 3;
    if (on && !shown_) {
        const Rgb canvas = renderer_.canvasColor();
        fillRect(screen_, l.boxX, l.bandY, l.boxWidth, l.boxHeight, canvas);
        drawTitle();
        const int top = l.bandY + (l.titlePresent ? l.lineHeight : 0);
        copyRect(screen_, l.boxX + l.sideMargin, top, l.boxWidth - l.sideMargin,
                 std::min(l.rows * l.lineHeight, l.boxHeight - (top - l.bandY)), page_.image, 0, 0);
        shown_ = true;
    } else if (input_.blink && b == 4 && shown_) {
        fillRect(screen_, l.boxX, l.bandY, l.boxWidth, l.boxHeight, kScreenBlue);
        shown_ = false;
    } else if (input_.blink && b > 4) {
        blinkStart_ = now;
    }
}

void PreviewPlayer::tickTyping() {
    const PreviewLayout& l = layout();
    if (line_ >= page_.lines) {
        phase_ = Phase::Holding;  // nothing to type
        return;
    }
    const std::vector<int>& advances = page_.advances[static_cast<std::size_t>(line_)];
    if (unit_ < static_cast<int>(advances.size())) {
        const int w = advances[static_cast<std::size_t>(unit_)];
        const int present = l.titlePresent ? 1 : 0;
        copyRect(screen_, l.sideMargin + l.boxX + x_, l.bandY + l.lineHeight * (present + row_), w,
                 l.lineHeight, page_.image, x_, l.lineHeight * line_);
        x_ += w;
        ++unit_;
        return;
    }
    // The line is typed.
    if (page_.pageBreak && line_ == page_.lines - 1) {
        pagePending_ = true;
        pageSeen_ = true;
        phase_ = Phase::Scrolling;
        return;
    }
    ++line_;
    ++row_;
    unit_ = 0;
    x_ = 0;
    if (line_ >= page_.lines) {
        if (!pageSeen_ && pageFirst_ == 0 && scrolled_ == 0) {
            phase_ = Phase::Holding;  // the whole message fits: it stays
        } else {
            finishing_ = true;
            phase_ = Phase::Scrolling;
        }
    } else if (row_ >= l.rows) {
        phase_ = Phase::Scrolling;
    }
}

void PreviewPlayer::tickScrolling() {
    const PreviewLayout& l = layout();
    const int present = l.titlePresent ? 1 : 0;
    const int top = l.bandY + l.lineHeight * present;
    const int width = l.boxWidth - l.sideMargin;
    const int height = l.rows * l.lineHeight;
    ++pixels_;
    fillRect(screen_, l.sideMargin + l.boxX, top, width, height, renderer_.canvasColor());
    copyRect(screen_, l.sideMargin + l.boxX, top, width, std::max(height - pixels_, 0), page_.image,
             0, l.lineHeight * scrolled_ + pixels_);
    if (pixels_ < l.lineHeight) {
        return;
    }
    pixels_ = 0;
    ++scrolled_;
    if (pagePending_ || finishing_) {
        if (scrolled_ < page_.lines) {
            return;  // the rest of the page goes up too
        }
        if (pagePending_) {
            pagePending_ = false;
            const int next = pageFirst_ + page_.lines;
            if (next < static_cast<int>(input_.message.size())) {
                renderPage(next);
                line_ = unit_ = x_ = row_ = scrolled_ = 0;
                phase_ = Phase::Typing;
                return;
            }
            // A page mark at the very end: no page follows it, the cycle is over.
        }
        if (timeIsUp()) {
            end();
            return;
        }
        restartCycle();
        return;
    }
    row_ = l.rows - 1;
    phase_ = Phase::Typing;
}

void PreviewPlayer::restartCycle() {
    ++cycles_;
    renderPage(0);
    line_ = unit_ = x_ = row_ = scrolled_ = pixels_ = 0;
    finishing_ = pagePending_ = pageSeen_ = false;
    fillMessageArea(renderer_.canvasColor());
    phase_ = Phase::Typing;
}

void PreviewPlayer::playToFirstFullFrame(int maxTicks) {
    const PreviewLayout& l = layout();
    for (int i = 0; i < maxTicks && !ended_; ++i) {
        switch (input_.style) {
            case MessageStyle::Scroll:
                if (offset_ >= std::min(l.messageWidth, l.windowWidth)) {
                    return;
                }
                break;
            case MessageStyle::PopOn:
                if (shown_) {
                    return;
                }
                break;
            default:
                if (started_ && phase_ != Phase::Typing) {
                    return;
                }
                break;
        }
        tick();
    }
}

}  // namespace orvanta::render
