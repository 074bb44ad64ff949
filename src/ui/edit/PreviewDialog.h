#pragma once
// "Image" dialog: plays a message on a blue screen the way the projector shows it, in its
// display style, until its display time or scroll count has passed or the user closes it
// (Enter, Escape or the close box). The animation itself is render::PreviewPlayer; this window
// only runs its tick on a QTimer of the player's period and paints its screen. Everything runs
// on the GUI thread; a tick takes well under a millisecond. The scratch files "title.bmp" and
// "message.bmp" are written into the program folder as the pages are rendered.

#include <QDialog>
#include <QTimer>
#include <memory>
#include <string>

#include "message/MessageOptions.h"
#include "render/PreviewPlayer.h"

namespace orvanta {

class PreviewDialog : public QDialog {
    Q_OBJECT
  public:
    PreviewDialog(render::PreviewInput input, render::GlyphSet glyphs,
                  const std::string& scratchFolder, QWidget* parent = nullptr,
                  render::SecondsClock clock = render::monotonicSeconds());

    // What the Edit tab's "Image" button opens once its checks have passed: plays `message`
    // modally with the glyphs and icons of `programFolder` and returns when the preview ends.
    // `synchronize` is the Edit tab's check box tying character backgrounds to the message
    // background. Nothing is shown for a projector with the wide character set, whose glyphs
    // the preview does not have (the button is disabled then).
    static void play(const Message& message, const ProjectorCapabilities& capabilities,
                     const std::string& programFolder, QWidget* parent = nullptr,
                     bool synchronize = false);

    const render::PreviewPlayer& player() const { return *player_; }

    void done(int result) override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void onTick();

    std::unique_ptr<render::PreviewPlayer> player_;
    QTimer timer_;
};

}  // namespace orvanta
