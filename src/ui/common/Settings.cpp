#include "ui/common/Settings.h"

#include <QSettings>

namespace orvanta {

bool readSendLocked() {
    QSettings s(QStringLiteral("TAVRIX"), QStringLiteral("PJOrvanta"));
    return s.value(QStringLiteral("PJOrvantaPass/Lock"), QString()).toString() ==
           QStringLiteral("1");
}

void writeSendLocked(bool locked) {
    QSettings s(QStringLiteral("TAVRIX"), QStringLiteral("PJOrvanta"));
    s.setValue(QStringLiteral("PJOrvantaPass/Lock"),
               locked ? QStringLiteral("1") : QStringLiteral("0"));
    s.sync();
}

}  // namespace orvanta
