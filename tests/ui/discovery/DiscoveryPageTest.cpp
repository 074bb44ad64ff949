// The Discovery tab. Tests that search run inside a private network namespace whose one
// interface is loopback (support/NetworkNamespace.h), with simulated projectors answering;
// the others give the window no adaptor at all, so nothing is ever sent from this machine.

#include <gtest/gtest.h>

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <chrono>
#include <functional>

#include "platform/AtomicFile.h"
#include "platform/FileLock.h"
#include "support/NetworkNamespace.h"
#include "support/ScriptedPrompt.h"
#include "support/SimProcess.h"
#include "support/UiTestSupport.h"
#include "text/LanguageText.h"
#include "ui/discovery/DiscoveryPage.h"
#include "ui/frame/DesktopProgram.h"
#include "ui/frame/MainWindow.h"
#include "ui/frame/PageTabs.h"
#include "ui/main/MainPage.h"
#include "ui/models/ProjectorRegistryModel.h"

using namespace orvanta;
using testsupport::ipv4;

namespace {

constexpr const char* kInsideVariable = "ORVANTA_DISCOVERY_PAGE_NAMESPACE";

struct Window {
    MainState state;
    ScriptedPrompt prompt;
    std::unique_ptr<MainWindow> frame;
    std::unique_ptr<QAbstractItemModelTester> registeredTester, foundTester;

    // `realAdaptors` only inside the namespace: elsewhere the page gets none to search from.
    explicit Window(const std::string& folder, bool realAdaptors = false) {
        test::app();
        setInterfaceLanguage(LanguageId::English);
        state.programFolder = folder;
        StartupOptions options;
        options.socketLayerAvailable = [] { return true; };
        if (!realAdaptors) {
            options.adaptors = [] { return std::vector<AdaptorEntry>{}; };
        }
        frame = createMainWindow(state, prompt, options);
        using Mode = QAbstractItemModelTester::FailureReportingMode;
        registeredTester = std::make_unique<QAbstractItemModelTester>(
            &frame->pageContext().projectors, Mode::Fatal);
        foundTester =
            std::make_unique<QAbstractItemModelTester>(list("foundList")->model(), Mode::Fatal);
    }
    DiscoveryPage& page() { return *frame->view()->discoveryTab(); }
    void showDiscovery() { frame->view()->tabs()->setCurrentIndex(PageTabs::DiscoveryTab); }
    void showMain() { frame->view()->tabs()->setCurrentIndex(PageTabs::MainTab); }
    QPushButton* button(const char* name) {
        return page().findChild<QPushButton*>(QString::fromLatin1(name));
    }
    QTableView* list(const char* name) {
        return page().findChild<QTableView*>(QString::fromLatin1(name));
    }
    void select(const char* listName, int row) { list(listName)->selectRow(row); }
    bool findEnabled() { return button("findButton")->isEnabled(); }
    // Registry changes run on the model's writer thread: waits until the last one has ended.
    bool settled() {
        return test::processEventsUntil([&] { return !frame->projectors().writing(); });
    }
};

std::string readFile(const std::string& path) {
    std::string s;
    s = readWholeFile(path).valueOr({});
    return s;
}

std::string registryWith(int count, const std::string& extra = "") {
    std::string s = "[RESIST NUM]\r\nNUM=" + std::to_string(count) + "\r\n";
    for (int k = 1; k <= count; ++k) {
        s += "[RESIST PROJECTOR" + std::to_string(k) + "]\r\nNUM=" + std::to_string(k) +
             "\r\nIP=" + std::to_string(0x7FFA0000 + k + 1) + "\r\nProjectorName=P" +
             std::to_string(k) + "\r\nMAC=0\r\nAuth=1\r\nPass=old" + std::to_string(k) + "\r\n";
    }
    return s + extra;
}

// Arms a handler for the next modal dialog; it runs inside the dialog's own event loop.
void onNextDialog(std::function<void(QDialog&)> act) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(*dialog);
        }
    });
    timer->start();
}

void fillManualEntry(QDialog& d, const char* last, const char* password) {
    d.findChild<QLineEdit*>(QStringLiteral("ipPart1"))->setText(QStringLiteral("192"));
    d.findChild<QLineEdit*>(QStringLiteral("ipPart2"))->setText(QStringLiteral("168"));
    d.findChild<QLineEdit*>(QStringLiteral("ipPart3"))->setText(QStringLiteral("0"));
    d.findChild<QLineEdit*>(QStringLiteral("ipPart4"))->setText(QString::fromLatin1(last));
    d.findChild<QLineEdit*>(QStringLiteral("password"))->setText(QString::fromLatin1(password));
    d.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
}

}  // namespace

TEST(DiscoveryPage, RefusesWithoutSelectionAndWhenFullBeforeOpeningADialog) {
    const std::string folder = test::scratchFolder("refusals");
    ASSERT_TRUE(writeFileAtomically(folder + "LastPj.txt", registryWith(64)).ok());
    Window w(folder);
    w.showDiscovery();
    struct Case {
        const char* button;
        const char* text;
    };
    const Case cases[] = {
        {"registrationButton", "Please select a PROJECTOR"},
        {"deleteButton", "Please select a PROJECTOR"},
        {"passwordButton", "Please select a PROJECTOR"},
        {"configureManuallyButton",
         "Maximun PROJECTOR registration number is 64.\nPlease delete a PROJECTOR in the list."},
    };
    for (const Case& c : cases) {
        w.prompt.clear();
        w.button(c.button)->click();
        EXPECT_EQ(w.prompt.texts(), std::vector<std::string>{c.text}) << c.button;
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << c.button;
    }
    EXPECT_EQ(readFile(folder + "LastPj.txt"), registryWith(64));
}

TEST(DiscoveryPage, ManualEntryIsRegisteredOnceAndEveryTabFollows) {
    const std::string folder = test::scratchFolder("manual");
    Window w(folder);
    w.showDiscovery();
    auto* mainList =
        w.frame->view()->mainTab()->findChild<QComboBox*>(QStringLiteral("projectorList"));
    ASSERT_NE(mainList, nullptr);

    onNextDialog([](QDialog& d) { fillManualEntry(d, "10", "secret"); });
    w.button("configureManuallyButton")->click();
    ASSERT_TRUE(w.settled());
    ASSERT_EQ(w.list("registeredList")->model()->rowCount(), 1);
    EXPECT_EQ(mainList->count(), 1);
    EXPECT_EQ(mainList->itemText(0), QStringLiteral("192.168.0.10"));
    const std::string written = readFile(folder + "LastPj.txt");
    EXPECT_NE(written.find("IP=-1062731766"), std::string::npos) << written;
    EXPECT_NE(written.find("MAC=-----"), std::string::npos) << written;
    EXPECT_NE(written.find("Pass=secret"), std::string::npos) << written;

    // The same address again, with another password: refused, nothing written.
    onNextDialog([](QDialog& d) { fillManualEntry(d, "10", "other"); });
    w.button("configureManuallyButton")->click();
    EXPECT_EQ(w.prompt.texts(), std::vector<std::string>{"Same IP-Address already exists."});
    EXPECT_EQ(readFile(folder + "LastPj.txt"), written);

    // A part above 255 is refused inside the dialog: nothing of it is registered.
    w.prompt.clear();
    onNextDialog([](QDialog& d) {
        fillManualEntry(d, "300", "pw");
        EXPECT_TRUE(d.isVisible());
        d.reject();
    });
    w.button("configureManuallyButton")->click();
    EXPECT_EQ(w.prompt.texts(),
              std::vector<std::string>{formatText(Text::IpPartOutOfRange, {300})});
    EXPECT_EQ(readFile(folder + "LastPj.txt"), written);

    // Cancel adds nothing.
    onNextDialog([](QDialog& d) { d.reject(); });
    w.button("configureManuallyButton")->click();
    EXPECT_EQ(w.list("registeredList")->model()->rowCount(), 1);
}

TEST(DiscoveryPage, DeleteAsksFirstAndThenMakesTheFirstRowCurrent) {
    const std::string folder = test::scratchFolder("delete");
    ASSERT_TRUE(writeFileAtomically(folder + "LastPj.txt", registryWith(3)).ok());
    Window w(folder);
    w.showDiscovery();
    w.select("registeredList", 2);
    EXPECT_EQ(w.state.currentProjector, 2);

    w.prompt.queue(PromptAnswer::No);
    w.button("deleteButton")->click();
    EXPECT_EQ(w.prompt.texts(),
              std::vector<std::string>{"[ 127.250.0.4 ] will be deleted. Are you sure?"});
    EXPECT_EQ(w.list("registeredList")->model()->rowCount(), 3);

    w.select("registeredList", 1);
    w.prompt.queue(PromptAnswer::Yes);
    w.button("deleteButton")->click();
    ASSERT_TRUE(w.settled());
    EXPECT_EQ(w.state.currentProjector, 0);
    const ProjectorRegistry onDisk = loadRegistry(folder);
    ASSERT_EQ(onDisk.count(), 2u);
    EXPECT_EQ(onDisk.records[0].address, ipv4("127.250.0.2"));
    EXPECT_EQ(onDisk.records[1].address, ipv4("127.250.0.4"));
    EXPECT_EQ(w.list("registeredList")->model()->rowCount(), 2);
}

TEST(DiscoveryPage, PasswordCancelWritesBackTheKeptValuesAndOkTheNewOnes) {
    const std::string folder = test::scratchFolder("password");
    ASSERT_TRUE(writeFileAtomically(folder + "LastPj.txt", registryWith(2)).ok());
    Window w(folder);
    w.showDiscovery();
    // Someone edits the file behind the page's back; the page still holds what it loaded.
    std::string edited = registryWith(2);
    edited.replace(edited.find("Pass=old2"), 9, "Pass=zzz2");
    ASSERT_TRUE(writeFileAtomically(folder + "LastPj.txt", edited).ok());

    w.select("registeredList", 1);
    QString heading;
    onNextDialog([&](QDialog& d) {
        heading = d.findChild<QLabel*>(QStringLiteral("heading"))->text();
        d.reject();
    });
    w.button("passwordButton")->click();
    ASSERT_TRUE(w.settled());
    EXPECT_EQ(heading, QStringLiteral("[ 127.250.0.3 ]"));
    EXPECT_EQ(readFile(folder + "LastPj.txt"), registryWith(2));

    onNextDialog([](QDialog& d) {
        d.findChild<QLineEdit*>(QStringLiteral("password"))->setText(QStringLiteral("new"));
        d.accept();
    });
    w.button("passwordButton")->click();
    ASSERT_TRUE(w.settled());
    EXPECT_EQ(loadRegistry(folder).records[1].password, "new");
    EXPECT_EQ(loadRegistry(folder).records[1].authentication, 1);
    EXPECT_EQ(w.frame->pageContext().projectors.record(1)->password, "new");
}

TEST(DiscoveryPage, AWriteThatFailsIsReportedAndNothingIsLost) {
    const std::string folder = test::scratchFolder("readonly");
    ASSERT_TRUE(writeFileAtomically(folder + "LastPj.txt", registryWith(1)).ok());
    Window w(folder);
    w.showDiscovery();
    // A read-only folder; root ignores the mode bits, so it gets an immutable folder instead.
    ::chmod(folder.c_str(), 0555);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    int flags = 0;
    const bool immutable = ::geteuid() == 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                           (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    auto restore = [&] {
        if (immutable) {
            flags &= ~FS_IMMUTABLE_FL;
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        ::close(fd);
        ::chmod(folder.c_str(), 0755);
    };
    if (::access(folder.c_str(), W_OK) == 0 && !immutable) {
        restore();
        GTEST_SKIP() << "cannot make a folder read-only here";
    }
    onNextDialog([](QDialog& d) { fillManualEntry(d, "20", "pw"); });
    w.button("configureManuallyButton")->click();
    EXPECT_TRUE(w.settled());
    w.select("registeredList", 0);
    w.prompt.queue(PromptAnswer::Yes);
    w.button("deleteButton")->click();
    EXPECT_TRUE(w.settled());
    restore();

    const std::vector<std::string> texts = w.prompt.texts();
    ASSERT_EQ(texts.size(), 3u);
    for (std::size_t i : {0, 2}) {
        EXPECT_EQ(texts[i].rfind(languageText(Text::RegistryWriteFailed), 0), 0u) << texts[i];
        EXPECT_EQ(w.prompt.entries()[i].icon, PromptIcon::Warning);
    }
    EXPECT_EQ(readFile(folder + "LastPj.txt"), registryWith(1));
    EXPECT_EQ(w.list("registeredList")->model()->rowCount(), 1);
}

TEST(DiscoveryPage, RegistryChangesGoOnWhileAnotherProgramHoldsTheLock) {
    struct Case {
        const char* button;
        std::function<void(Window&)> prepare;
        std::function<void(const ProjectorRegistry&)> check;
    };
    const Case cases[] = {
        {"configureManuallyButton",
         [](Window&) { onNextDialog([](QDialog& d) { fillManualEntry(d, "30", "pw"); }); },
         [](const ProjectorRegistry& l) {
             ASSERT_EQ(l.count(), 3u);
             EXPECT_EQ(l.records[2].address, ipv4("192.168.0.30"));
         }},
        {"deleteButton",
         [](Window& w) {
             w.select("registeredList", 0);
             w.prompt.queue(PromptAnswer::Yes);
         },
         [](const ProjectorRegistry& l) {
             ASSERT_EQ(l.count(), 1u);
             EXPECT_EQ(l.records[0].address, ipv4("127.250.0.3"));
         }},
        {"passwordButton",
         [](Window& w) {
             w.select("registeredList", 1);
             onNextDialog([](QDialog& d) {
                 d.findChild<QLineEdit*>(QStringLiteral("password"))->setText(QStringLiteral("n"));
                 d.accept();
             });
         },
         [](const ProjectorRegistry& l) { EXPECT_EQ(l.records.at(1).password, "n"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        const std::string folder = test::scratchFolder("locked");
        ASSERT_TRUE(writeFileAtomically(folder + "LastPj.txt", registryWith(2)).ok());
        Window w(folder);
        w.showDiscovery();
        auto acquired = FileLock::acquire(registryPath(folder), std::chrono::milliseconds(0));
        ASSERT_TRUE(acquired.ok());
        std::optional<FileLock> lock(std::move(acquired).value());
        c.prepare(w);
        w.button(c.button)->click();
        // The click has returned with the change still waiting for the lock: nothing is
        // reported yet, and no second change can start before this one has ended.
        EXPECT_TRUE(w.frame->projectors().writing());
        for (const char* other :
             {"registrationButton", "configureManuallyButton", "deleteButton", "passwordButton"}) {
            EXPECT_FALSE(w.button(other)->isEnabled()) << other;
        }
        EXPECT_EQ(readFile(folder + "LastPj.txt"), registryWith(2));
        const std::size_t asked = w.prompt.texts().size();
        lock.reset();
        ASSERT_TRUE(w.settled());
        EXPECT_EQ(w.prompt.texts().size(), asked);  // no failure to report
        c.check(loadRegistry(folder));
        EXPECT_EQ(w.frame->projectors().registry().records, loadRegistry(folder).records);
        EXPECT_TRUE(w.button(c.button)->isEnabled());
    }
}

// ---------------------------------------------------------------------------------------
// With simulated projectors answering, inside the namespace.

TEST(DiscoveryPageNamespace, FindsRegistersAndKeepsRows) {
    if (testsupport::insideNamespace(kInsideVariable)) {
        GTEST_SKIP() << "already inside the namespace";
    }
    const testsupport::NamespaceRun run =
        testsupport::runInNetworkNamespace(kInsideVariable, "DiscoveryPageInner.*");
    if (!run.skipReason.empty()) {
        GTEST_SKIP() << run.skipReason;
    }
    EXPECT_EQ(run.inner.exitCode, 0) << run.inner.output;
    EXPECT_NE(run.inner.output.find("[  PASSED  ] 1 test"), std::string::npos) << run.inner.output;
    EXPECT_EQ(run.inner.output.find("SKIPPED"), std::string::npos) << run.inner.output;
}

namespace {

class DiscoveryPageInner : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testsupport::insideNamespace(kInsideVariable)) {
            GTEST_SKIP() << "runs only inside the private network namespace";
        }
        for (const AdaptorEntry& a : enumerateAdaptors().valueOr({})) {
            ASSERT_EQ(a.address >> 24, 127u) << a.description << ": refusing to search here";
        }
    }
    static void expectAnswering(testsupport::SimProcess& sim) {
        ASSERT_TRUE(sim.ready()) << sim.output();
        ASSERT_TRUE(sim.waitForLine("discovery: answering")) << sim.output();
    }
    static std::vector<std::uint32_t> foundAddresses(Window& w) {
        std::vector<std::uint32_t> out;
        auto* model = w.list("foundList")->model();
        for (int r = 0; r < model->rowCount(); ++r) {
            out.push_back(ipv4(model->index(r, 2).data().toString().toLatin1().constData()));
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    // The search has ended and the rows are `expected`. A row comes once the projector's
    // command port has answered a probe, which may be after the search itself has ended.
    static bool searchEndsWith(Window& w, const std::vector<std::uint32_t>& expected) {
        return test::processEventsUntil(
            [&] { return w.findEnabled() && foundAddresses(w) == expected; }, kRunLimitMs);
    }
    static constexpr int kRunLimitMs = 30000;
};

}  // namespace

TEST_F(DiscoveryPageInner, FindsEachReachableProjectorOnceRegistersAndKeepsRows) {
    testsupport::SimProcess hallA({"--address", "127.0.0.2", "--name", "Hall A", "--discovery"});
    testsupport::SimProcess hallB({"--address", "127.0.0.3", "--discovery"});
    // Answers the search, but its command port is elsewhere.
    testsupport::SimProcess deaf({"--address", "127.0.0.4", "--port", "9800", "--discovery"});
    expectAnswering(hallA);
    expectAnswering(hallB);
    expectAnswering(deaf);
    Window w(test::scratchFolder("found"), true);
    const std::string& folder = w.state.programFolder;
    // Every adaptor is searched by default, loopback too; the drop-down narrows the search.
    auto* choice = w.page().findChild<QComboBox*>(QStringLiteral("adaptorChoice"));
    ASSERT_EQ(choice->count(), 2);
    EXPECT_EQ(choice->currentIndex(), 0);
    EXPECT_EQ(choice->currentText(), QStringLiteral("All adaptors"));
    w.showDiscovery();
    const std::vector<std::uint32_t> both = {ipv4("127.0.0.2"), ipv4("127.0.0.3")};
    // Two rounds, answered twice each: one row each.
    ASSERT_TRUE(searchEndsWith(w, both)) << foundAddresses(w).size();
    EXPECT_TRUE(deaf.waitForLine("127.0.0.4 answered")) << deaf.output();

    // Narrowed to the one adaptor: searched again, and the choice is written at once.
    choice->setCurrentIndex(1);
    emit choice->activated(1);
    EXPECT_FALSE(w.findEnabled());
    EXPECT_EQ(w.list("foundList")->model()->rowCount(), 0);
    ASSERT_TRUE(searchEndsWith(w, both)) << foundAddresses(w).size();
    ASSERT_TRUE(w.settled());
    EXPECT_EQ(findSavedAdaptor(folder,
                               {choice->itemText(1).section(QLatin1Char(' '), 0, 0).toStdString()}),
              std::optional<std::size_t>(0));

    w.select("foundList", 0);
    w.button("registrationButton")->click();
    ASSERT_TRUE(w.settled());
    w.button("registrationButton")->click();
    EXPECT_EQ(w.prompt.texts(), std::vector<std::string>{"Same IP-Address already exists."});
    ASSERT_EQ(loadRegistry(folder).count(), 1u);
    EXPECT_EQ(loadRegistry(folder).records[0].authentication, 1);

    // Back on the tab: the earlier rows stay while the new run adds nothing twice.
    w.showMain();
    w.showDiscovery();
    EXPECT_EQ(foundAddresses(w), both);
    ASSERT_TRUE(test::processEventsUntil([&] { return w.findEnabled(); }, kRunLimitMs));
    EXPECT_EQ(foundAddresses(w), both);

    w.button("findButton")->click();
    EXPECT_EQ(w.list("foundList")->model()->rowCount(), 0);
    EXPECT_EQ(choice->currentIndex(), 1);  // "Find" keeps the narrowed search
    ASSERT_TRUE(searchEndsWith(w, both)) << foundAddresses(w).size();

    // Back to every adaptor: remembered as no narrowing.
    choice->setCurrentIndex(0);
    emit choice->activated(0);
    ASSERT_TRUE(test::processEventsUntil([&] { return w.findEnabled(); }, kRunLimitMs));
    ASSERT_TRUE(w.settled());
    EXPECT_EQ(findSavedAdaptor(folder, {"lo"}), std::nullopt);
}
