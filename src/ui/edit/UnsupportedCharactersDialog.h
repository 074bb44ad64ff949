#pragma once
// "Not Supported Character" dialog: lists the characters of the message that the projector's
// narrow character set cannot show, one "Line n : [c]" line each. "Auto Del" asks for their
// removal, "OK" keeps them; Enter and Escape do nothing, so the choice is always deliberate.

#include <QDialog>

namespace orvanta {

class UnsupportedCharactersDialog : public QDialog {
    Q_OBJECT
  public:
    enum class Result { Keep, Delete };

    UnsupportedCharactersDialog(const QString& listText, QWidget* parent = nullptr);
    Result choice() const { return result_; }

    // Shows the dialog modally and answers what the operator chose.
    static Result run(const QString& listText, QWidget* parent);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

  private:
    Result result_ = Result::Keep;
    bool closing_ = false;
};

}  // namespace orvanta
