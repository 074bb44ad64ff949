#pragma once
// "Password" dialog: changes the password kept for one registered projector. Shows the
// caller's heading (the projector's address as "[ a.b.c.d ]") and a masked password box of at
// most 32 characters that starts with the kept password. The authentication flag is carried
// through unchanged. On Cancel the caller keeps its own values.

#include <QDialog>
#include <cstdint>
#include <string>

class QLineEdit;

namespace orvanta {

class ProjectorPasswordDialog : public QDialog {
    Q_OBJECT
  public:
    ProjectorPasswordDialog(const QString& heading, std::int32_t authentication,
                            const std::string& password, QWidget* parent = nullptr);

    std::int32_t authentication() const { return authentication_; }
    // The password box's text.
    std::string password() const;

  private:
    std::int32_t authentication_;
    QLineEdit* password_;
};

}  // namespace orvanta
