#pragma once
// The preview's animation as a plain state machine: it owns the preview screen (an image the
// size of the preview window) and changes it one timer tick at a time, the way the projector
// plays the message's style. Whoever shows it calls tick() every periodMs() and paints
// screen(); nothing here waits, and time comes from an injected clock in whole seconds.
//
// "Scroll": the message runs through the band from right to left, 2, 3 or 4 pixels a tick,
// `scrollCount` passes (0 endless). "Pop on": the page shows at once, four seconds on and one
// off with blink, until the display time has passed (0 never). "Box" and "Picture Side": the
// lines are typed a character a tick, the page scrolls up a pixel a tick when it is full or at
// a page mark; a message that fits is typed once and held, a longer one is played again from
// the top until the display time has passed.

#include <cstdint>
#include <functional>
#include <string>

#include <QImage>

#include "render/MessageRenderer.h"
#include "render/PreviewInput.h"

namespace orvanta::render {

// Whole seconds from any fixed start; never jumps back (so midnight changes nothing).
using SecondsClock = std::function<std::int64_t()>;
SecondsClock monotonicSeconds();

class PreviewPlayer {
  public:
    enum class Phase { Typing, Scrolling, Holding };

    // Renders the title and the first page and draws the still parts of the screen. With a
    // `scratchFolder`, every bitmap rendered is also written there as "title.bmp" and
    // "message.bmp" (a failed write changes nothing on screen).
    PreviewPlayer(PreviewInput input, GlyphSet glyphs, SecondsClock clock,
                  std::string scratchFolder = {});
    PreviewPlayer(const PreviewPlayer&) = delete;
    PreviewPlayer& operator=(const PreviewPlayer&) = delete;

    int periodMs() const;  // 17 ("Scroll", "Pop on") or 8 ("Box", "Picture Side")
    const QImage& screen() const { return screen_; }
    const PreviewLayout& layout() const { return renderer_.layout(); }

    // One timer period; the first tick after opening only starts. False once the preview has
    // ended (scroll count reached or display time passed); later ticks do nothing.
    bool tick();
    bool ended() const { return ended_; }

    // Ticks until the first frame that shows the whole first page (or as much of the message
    // as the band holds), at most `maxTicks`; what `orvanta-cli render` pictures.
    void playToFirstFullFrame(int maxTicks = 200000);

    // State, for those who watch the animation.
    Phase phase() const { return phase_; }
    int scrollOffset() const { return offset_; }
    int passes() const { return passes_; }
    int pageFirstLine() const { return pageFirst_; }
    int cycles() const { return cycles_; }          // times "Box" / "Picture Side" began again
    bool messageVisible() const { return shown_; }  // "Pop on" with blink

  private:
    std::int64_t elapsed() const { return clock_() - start_; }
    bool timeIsUp() const;
    void end();
    void renderPage(int firstLine);
    void drawStill();
    void drawTitle();
    void fillMessageArea(Rgb color);
    void tickScroll();
    void tickPopOn();
    void tickTyping();
    void tickScrolling();
    void restartCycle();

    PreviewInput input_;
    GlyphSet glyphs_;
    MessageRenderer renderer_;  // refers to input_ and glyphs_
    SecondsClock clock_;
    std::string scratchFolder_;
    QImage screen_;
    RenderedBitmap title_;
    RenderedBitmap page_;
    std::int64_t start_ = 0;
    std::int64_t blinkStart_ = 0;
    bool started_ = false;
    bool ended_ = false;
    bool shown_ = false;

    // "Scroll"
    int offset_ = 0;
    int passes_ = 0;
    // "Box" and "Picture Side"
    Phase phase_ = Phase::Typing;
    int pageFirst_ = 0;  // message line at the top of the current bitmap
    int line_ = 0;       // line of the bitmap being typed
    int unit_ = 0;       // unit of that line to type next
    int x_ = 0;          // pixels typed in the line
    int row_ = 0;        // screen row below the title
    int scrolled_ = 0;   // lines of the bitmap scrolled off the top
    int pixels_ = 0;     // pixels of the current line scroll
    bool pagePending_ = false;
    bool finishing_ = false;  // the last line is typed: scroll everything off, then begin again
    bool pageSeen_ = false;
    int cycles_ = 0;
};

}  // namespace orvanta::render
