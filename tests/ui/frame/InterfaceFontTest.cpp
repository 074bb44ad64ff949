// The desktop program on a system without a font for its interface language: it says so and
// shows English rather than boxes. Runs the real program with a font configuration that
// offers only a Latin font.

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QProcess>
#include <filesystem>
#include <fstream>

#include "support/UiTestSupport.h"

namespace orvanta {
namespace {

// Starts the program with `locale` and the given font configuration (empty: the system's),
// waits until it has read its folders (printed after the font check) and returns what it
// printed by then.
QString startOutput(const std::string& name, const char* locale, const std::string& fontConfig) {
    const std::string scratch = test::scratchFolder("font-" + name);
    const std::string runtime = scratch + "runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime));
    env.insert(QStringLiteral("HOME"), QString::fromStdString(scratch));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("orvanta.folders.info=true"));
    env.remove(QStringLiteral("LC_ALL"));
    env.remove(QStringLiteral("LC_MESSAGES"));
    env.insert(QStringLiteral("LANG"), QString::fromLatin1(locale));
    if (!fontConfig.empty()) {
        env.insert(QStringLiteral("FONTCONFIG_FILE"), QString::fromStdString(fontConfig));
    }
    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(QString::fromUtf8(std::getenv("ORVANTA_BIN_DIR")) + QStringLiteral("/orvanta"),
                  {QStringLiteral("--program-folder"), QString::fromStdString(scratch + "folder")});
    QString output;
    test::processEventsUntil(
        [&] {
            program.waitForReadyRead(50);
            output += QString::fromUtf8(program.readAll());
            return output.contains(QStringLiteral("micon:")) ||
                   program.state() == QProcess::NotRunning;
        },
        20000);
    program.kill();  // it waits on the notice (or runs on); either way it has said its piece
    program.waitForFinished();
    return output;
}

TEST(InterfaceFont, WithoutAFontForItsScriptTheProgramSaysSoAndShowsEnglish) {
    test::app();
    const std::string scratch = test::scratchFolder("font-config");
    const std::string latinOnly = scratch + "fonts.conf";
    std::ofstream(latinOnly)
        << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
           "<fontconfig>\n"
           "  <dir>/usr/share/fonts/truetype/dejavu</dir>\n"
           "  <cachedir>"
        << scratch << "cache</cachedir>\n</fontconfig>\n";
    if (!std::filesystem::exists("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf")) {
        GTEST_SKIP() << "the DejaVu fonts (fonts-dejavu-core) are not installed";
    }
    const bool systemHasCjk = !QFontDatabase::families(QFontDatabase::Japanese).isEmpty() &&
                              !QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty();
    struct Case {
        const char* name;
        const char* locale;
        bool latinOnly;
        const char* notice;  // nullptr: none
    };
    const Case cases[] = {
        {"ja-latin", "ja_JP.UTF-8", true, "No Japanese font is installed"},
        {"zh-latin", "zh_CN.UTF-8", true, "No Chinese font is installed"},
        {"en-latin", "en_US.UTF-8", true, nullptr},
        {"ja-system", "ja_JP.UTF-8", false, nullptr},
        {"zh-system", "zh_CN.UTF-8", false, nullptr},
    };
    for (const Case& c : cases) {
        if (!c.latinOnly && !systemHasCjk) {
            continue;  // this system itself has no Japanese or Chinese font
        }
        const QString output = startOutput(c.name, c.locale, c.latinOnly ? latinOnly : "");
        ASSERT_TRUE(output.contains(QStringLiteral("micon:"))) << c.name << ":\n"
                                                               << output.toStdString();
        if (c.notice != nullptr) {
            // Said once, in English.
            EXPECT_EQ(output.count(QString::fromLatin1(c.notice)), 1) << c.name << ":\n"
                                                                      << output.toStdString();
        } else {
            EXPECT_FALSE(output.contains(QStringLiteral("font is installed")))
                << c.name << ":\n"
                << output.toStdString();
        }
    }
}

}  // namespace
}  // namespace orvanta
