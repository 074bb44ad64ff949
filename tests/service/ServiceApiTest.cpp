// orvanta-service started as users start it, talked to over real HTTP, with simulated
// projectors on 127.0.129.x.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <thread>

#include "service/ServiceTestSupport.h"

namespace orvanta {
namespace {

using testsupport::countLines;
using testsupport::HttpAnswer;
using testsupport::ServiceRig;
using testsupport::SimProcess;
using testsupport::waitForCount;

const std::string kSendWelcome =
    R"({"file":"Welcome","slot":3,"target":{"projector":"127.0.129.2"}})";

TEST(ServiceApi, EveryEndpointAnswersOnlyTheRightsOfItsToken) {
    SimProcess sim({"--address", "127.0.129.2", "--password", "pw", "--save-polls", "0"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    ServiceRig rig("service-rights");
    ASSERT_TRUE(rig.registerProjector("127.0.129.2"));
    ASSERT_TRUE(rig.addGroup("Hall", {"127.0.129.2"}));
    const std::string reader = rig.addToken("reader", "read");
    const std::string controller = rig.addToken("controller", "control");
    const std::string sender = rig.addToken("sender", "send");
    const std::string revoked = rig.addToken("gone", "read,control,send");
    ASSERT_FALSE(revoked.empty());
    ASSERT_TRUE(rig.start()) << rig.process().output();
    ASSERT_EQ(rig.folders().run({"tokens", "revoke", "gone"}).status, 0);

    const std::string target = R"("target":{"projector":"127.0.129.2"})";
    struct Case {
        std::string method, path, body, token;
        int status;
    };
    const std::vector<Case> cases = {
        {"GET", "/v1/health", "", "", 200},
        {"GET", "/v1/openapi.json", "", "", 200},
        {"GET", "/v1/fleet", "", "", 401},
        {"GET", "/v1/fleet", "", "ovt_0123", 401},
        {"GET", "/v1/fleet", "", revoked, 401},
        {"GET", "/v1/fleet", "", reader, 200},
        {"GET", "/v1/projectors", "", reader, 200},
        {"GET", "/v1/groups", "", reader, 200},
        {"GET", "/v1/templates", "", reader, 200},
        {"GET", "/v1/history?since=2020-01-01", "", reader, 200},
        {"GET", "/v1/fleet", "", sender, 403},
        {"POST", "/v1/show", "{" + target + R"(,"slot":3})", reader, 403},
        {"POST", "/v1/send", kSendWelcome, controller, 403},
        {"POST", "/v1/send", kSendWelcome, sender, 200},
        {"POST", "/v1/show", "{" + target + R"(,"slot":3})", controller, 200},
        {"POST", "/v1/hide", "{" + target + R"(,"slot":3})", controller, 200},
        {"POST", "/v1/mute", "{" + target + "}", controller, 200},
        {"POST", "/v1/clear", "{" + target + R"(,"slot":"all"})", controller, 200},
        {"GET", "/v1/send", "", sender, 405},
        {"GET", "/v1/nothing", "", reader, 404},
    };
    for (const Case& c : cases) {
        const HttpAnswer a =
            c.method == "GET" ? rig.get(c.path, c.token) : rig.post(c.path, c.body, c.token);
        EXPECT_EQ(a.status, c.status) << c.method << " " << c.path << " " << a.body;
        EXPECT_TRUE(a.json().is_object() || a.json().is_array()) << c.path << a.body;
        if (c.status == 200 && c.method == "POST") {
            EXPECT_EQ(a.json()["rows"][0]["result"], "complete") << c.path << a.body;
        }
        if (c.status == 401) {
            EXPECT_TRUE(a.hasHeader("WWW-Authenticate: Bearer")) << a.head;
        }
    }
    // The reads answer what the folder holds, never a password.
    const nlohmann::json groups = rig.get("/v1/groups", reader).json();
    EXPECT_EQ(groups[0]["name"], "Hall");
    EXPECT_EQ(groups[0]["members"][0]["address"], "127.0.129.2");
    EXPECT_EQ(rig.get("/v1/projectors", reader).body.find("pw"), std::string::npos);
    EXPECT_EQ(rig.get("/v1/openapi.json").json()["openapi"], "3.0.3");
}

TEST(ServiceApi, BadRequestsAreRefusedByNameAndSendNothing) {
    SimProcess sim({"--address", "127.0.129.10", "--password", "pw", "--save-polls", "0"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    ServiceRig rig("service-bad");
    ASSERT_TRUE(rig.registerProjector("127.0.129.10"));
    const std::string token = rig.addToken("panel", "read,control,send");
    ASSERT_TRUE(rig.start()) << rig.process().output();

    const std::string to = R"("target":{"projector":"127.0.129.10"})";
    struct Case {
        std::string path, body;
        int status;
        std::string field;
    };
    const std::vector<Case> cases = {
        {"/v1/send", std::string(70 * 1024, ' '), 413, ""},
        {"/v1/send", R"({"file":"Welcome",)", 400, ""},
        {"/v1/send", "[1,2]", 400, ""},
        {"/v1/send", "{" + to + R"(,"file":"Welcome","colour":"red"})", 400, "colour"},
        {"/v1/send", "{" + to + R"(,"file":7})", 400, "file"},
        {"/v1/send", "{" + to + R"(,"file":"Welcome","slot":13})", 400, "slot"},
        {"/v1/send", "{" + to + R"(,"file":"Welcome","startup":5})", 400, "startup"},
        {"/v1/send", "{" + to + R"(,"file":"../LastPj.txt"})", 400, "file"},
        {"/v1/send", "{" + to + R"(,"file":"Missing"})", 422, "file"},
        {"/v1/send", R"({"file":"Welcome"})", 422, "target"},
        {"/v1/send", R"({"file":"Welcome","target":{"group":"Nowhere"}})", 404, "target.group"},
        {"/v1/send", R"({"file":"Welcome","target":{"projector":"127.0.129.99"}})", 404,
         "target.projector"},
        {"/v1/send", R"({"file":"Welcome","target":{"projector":"x","all":true}})", 400, "target"},
        {"/v1/show", "{" + to + "}", 422, "slot"},
        {"/v1/show", "{" + to + R"(,"slot":"3"})", 400, "slot"},
        {"/v1/clear", "{" + to + R"(,"slot":"most"})", 400, "slot"},
        {"/v1/mute", "{" + to + R"(,"dry_run":"yes"})", 400, "dry_run"},
    };
    for (const Case& c : cases) {
        const HttpAnswer a = rig.post(c.path, c.body, token);
        EXPECT_EQ(a.status, c.status) << c.body.substr(0, 80) << " -> " << a.body;
        const nlohmann::json j = a.json();
        ASSERT_TRUE(j.is_object()) << a.body;
        EXPECT_FALSE(j.value("error", "").empty()) << a.body;
        EXPECT_EQ(j.value("field", ""), c.field) << c.body.substr(0, 80) << " -> " << a.body;
    }
    // Health still answers, and the projector was never told anything.
    EXPECT_EQ(rig.get("/v1/health").status, 200);
    EXPECT_EQ(countLines(sim, "PUT"), 0u) << sim.output();
    EXPECT_EQ(countLines(sim, "CTRL 3510"), 0u) << sim.output();
    EXPECT_EQ(countLines(sim, "CTRL 2002"), 0u) << sim.output();
}

TEST(ServiceApi, RepeatedWrongTokensAreSlowedDownButValidOnesAndHealthAreNot) {
    ServiceRig rig("service-throttle");
    const std::string token = rig.addToken("panel", "read");
    ASSERT_TRUE(rig.start()) << rig.process().output();
    int refused = 0;
    for (int i = 0; i < 8; ++i) {
        const HttpAnswer a = rig.get("/v1/fleet", "ovt_wrong");
        if (a.status == 429) {
            ++refused;
            EXPECT_TRUE(a.hasHeader("Retry-After:")) << a.head;
        } else {
            EXPECT_EQ(a.status, 401);
        }
    }
    EXPECT_GE(refused, 2);
    // The right token is not slowed down (a panel beside a script with a stale token), and
    // health never is.
    EXPECT_EQ(rig.get("/v1/fleet", token).status, 200);
    EXPECT_EQ(rig.get("/v1/health").status, 200);
}

TEST(ServiceApi, GroupSendRecordsEveryProjectorAndRequestWithTheTokenName) {
    SimProcess sims({"--address", "127.0.129.20", "--address", "127.0.129.21", "--password", "pw",
                     "--save-polls", "0"});
    ASSERT_TRUE(sims.ready()) << sims.output();
    ServiceRig rig("service-group");
    ASSERT_TRUE(rig.registerProjector("127.0.129.20"));
    ASSERT_TRUE(rig.registerProjector("127.0.129.21"));
    ASSERT_TRUE(rig.addGroup("Hall A", {"127.0.129.20", "127.0.129.21"}));
    const std::string token = rig.addToken("fire-panel", "read,send");
    ASSERT_TRUE(rig.start()) << rig.process().output();

    const HttpAnswer sent = rig.post(
        "/v1/send",
        R"({"file":"Welcome.ovx","slot":3,"show":true,"startup":"repeat","target":{"group":"Hall A"}})",
        token);
    ASSERT_EQ(sent.status, 200) << sent.body;
    const nlohmann::json j = sent.json();
    ASSERT_EQ(j["rows"].size(), 2u) << sent.body;
    for (const auto& row : j["rows"]) {
        EXPECT_EQ(row["result"], "complete") << sent.body;
        EXPECT_EQ(row["text"], "    Complete.") << sent.body;
    }
    EXPECT_EQ(j["summary"]["text"], "2 of 2 complete, 0 failed");
    EXPECT_TRUE(waitForCount(sims, "PUT", 2)) << sims.output();
    EXPECT_TRUE(waitForCount(sims, "CTRL 3510", 2)) << sims.output();

    const nlohmann::json history = rig.get("/v1/history", token).json();
    ASSERT_TRUE(history.is_array());
    int sends = 0;
    int requests = 0;
    for (const auto& r : history) {
        if (r["command"] == "send") {
            ++sends;
            EXPECT_EQ(r["token"], "fire-panel");
            EXPECT_EQ(r["client"], "127.0.0.1");
            EXPECT_EQ(r["result"], "done");
        }
        if (r["command"] == "request" && r["detail"] == "POST /v1/send") {
            ++requests;
            EXPECT_EQ(r["token"], "fire-panel");
            EXPECT_EQ(r["text"], "200");
        }
        EXPECT_EQ(r.dump().find("ovt_"), std::string::npos) << "a token in the history";
    }
    EXPECT_EQ(sends, 2);
    EXPECT_EQ(requests, 1);
}

TEST(ServiceApi, TemplateSendsFillTheFieldsOrNameTheOneAtFault) {
    SimProcess sim({"--address", "127.0.129.80", "--password", "pw", "--save-polls", "0"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    ServiceRig rig("service-templates");
    ASSERT_TRUE(rig.registerProjector("127.0.129.80"));
    const std::string token = rig.addToken("bells", "read,send");
    ASSERT_TRUE(rig.start()) << rig.process().output();

    const nlohmann::json list = rig.get("/v1/templates", token).json();
    ASSERT_TRUE(list.is_array() && !list.empty()) << list.dump();
    const auto room = std::find_if(list.begin(), list.end(), [](const nlohmann::json& t) {
        return t["name"] == "Room closed";
    });
    ASSERT_NE(room, list.end()) << list.dump();

    const std::string to = R"("target":{"projector":"127.0.129.80"})";
    struct Case {
        std::string body;
        int status;
        std::string field;  // of a refusal
    };
    const std::vector<Case> cases = {
        {R"({"template":"Room closed","fields":{"room":"B\u000512","moved":"C 3"},)" + to + "}",
         422, "fields.room"},
        {R"({"template":"Room closed","fields":{"room":"B 12","colour":"red"},)" + to + "}", 422,
         "fields.colour"},
        {R"({"template":"No such","fields":{},)" + to + "}", 404, "template"},
        {R"({"template":"Room closed","fields":{"room":"B 12","moved":"C 3"},"dry_run":true,)" +
             to + "}",
         200, ""},
        {R"({"template":"Room closed","fields":{"room":"B 12","moved":"C 3"},"slot":2,)" + to + "}",
         200, ""},
    };
    for (const Case& c : cases) {
        const HttpAnswer a = rig.post("/v1/send", c.body, token);
        EXPECT_EQ(a.status, c.status) << c.body << " -> " << a.body;
        if (c.status != 200) {
            EXPECT_EQ(a.json().value("field", ""), c.field) << a.body;
        }
    }
    // Only the last one went out, filled.
    EXPECT_TRUE(waitForCount(sim, "PUT", 1)) << sim.output();
    const nlohmann::json history = rig.get("/v1/history", token).json();
    const auto sent = std::find_if(history.begin(), history.end(),
                                   [](const nlohmann::json& r) { return r["command"] == "send"; });
    ASSERT_NE(sent, history.end()) << history.dump();
    EXPECT_NE((*sent)["message"].get<std::string>().find("B 12"), std::string::npos)
        << sent->dump();
}

TEST(ServiceApi, RetryWithTheSameKeyGetsTheFirstAnswerAcrossARestart) {
    SimProcess sim({"--address", "127.0.129.30", "--password", "pw", "--save-polls", "0"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    ServiceRig rig("service-idempotent");
    ASSERT_TRUE(rig.registerProjector("127.0.129.30"));
    const std::string token = rig.addToken("panel", "send");
    ASSERT_TRUE(rig.start()) << rig.process().output();
    const std::string body = R"({"file":"Welcome","slot":3,"target":{"projector":"127.0.129.30"}})";
    const HttpAnswer first = rig.post("/v1/send", body, token, {"Idempotency-Key: alarm-42"});
    ASSERT_EQ(first.status, 200) << first.body;
    ASSERT_TRUE(rig.start()) << rig.process().output();
    const HttpAnswer again = rig.post("/v1/send", body, token, {"Idempotency-Key: alarm-42"});
    EXPECT_EQ(again.status, 200);
    EXPECT_EQ(again.body, first.body);
    EXPECT_TRUE(again.hasHeader("Idempotent-Replayed: true")) << again.head;
    EXPECT_TRUE(waitForCount(sim, "PUT", 1)) << sim.output();
    // The same key for another request is refused, and nothing is sent.
    const HttpAnswer other =
        rig.post("/v1/send", R"({"file":"Welcome","slot":4,"target":{"projector":"127.0.129.30"}})",
                 token, {"Idempotency-Key: alarm-42"});
    EXPECT_EQ(other.status, 422) << other.body;
    EXPECT_TRUE(waitForCount(sim, "PUT", 1)) << sim.output();
}

TEST(ServiceApi, DryRunNamesTheTargetsAndSendsNothing) {
    SimProcess sim({"--address", "127.0.129.40", "--password", "pw"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    ServiceRig rig("service-dry");
    ASSERT_TRUE(rig.registerProjector("127.0.129.40"));
    ASSERT_TRUE(rig.registerProjector("127.0.129.41"));  // nobody there
    const std::string token = rig.addToken("panel", "read,send");
    ASSERT_TRUE(rig.start({"--config", rig.folders().path("none.conf")}) == false);
    ASSERT_TRUE(rig.start()) << rig.process().output();
    // The fleet watch has asked both once.
    ASSERT_TRUE(sim.waitForLine("CTRL 0F01")) << sim.output();
    nlohmann::json fleet;
    for (int i = 0; i < 500; ++i) {
        fleet = rig.get("/v1/fleet", token).json();
        if (fleet.size() == 2 && !fleet[0]["reachable"].is_null() &&
            !fleet[1]["reachable"].is_null()) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(fleet.size(), 2u);
    EXPECT_EQ(fleet[0]["reachable"], true) << fleet.dump();
    EXPECT_EQ(fleet[1]["reachable"], false) << fleet.dump();

    const HttpAnswer dry =
        rig.post("/v1/send", R"({"file":"Welcome","dry_run":true,"target":{"all":true}})", token);
    ASSERT_EQ(dry.status, 200) << dry.body;
    const nlohmann::json rows = dry.json()["rows"];
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]["address"], "127.0.129.40");
    EXPECT_EQ(rows[0]["answered_last_refresh"], true);
    EXPECT_EQ(rows[1]["answered_last_refresh"], false);
    EXPECT_GT(rows[0]["encoded_bytes"].get<int>(), 0);
    EXPECT_EQ(countLines(sim, "PUT"), 0u) << sim.output();
}

TEST(ServiceApi, SlowIdleAndFloodingClientsDoNotHoldUpOthers) {
    SimProcess sim({"--address", "127.0.129.50", "--password", "pw", "--save-polls", "0"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    ServiceRig rig("service-slow");
    ASSERT_TRUE(rig.registerProjector("127.0.129.50"));
    const std::string token = rig.addToken("panel", "read,send");
    ASSERT_TRUE(rig.start()) << rig.process().output();

    // From other addresses: idle connections, a client that sends its request a byte at a
    // time, and two that send requests as fast as they are answered (one with a wrong token).
    std::vector<int> idle;
    for (int i = 0; i < 40; ++i) {
        idle.push_back(testsupport::connectLoopback(rig.port(), "127.0.0.7"));
    }
    std::atomic<bool> done{false};
    std::thread slow([&] {
        const int fd = testsupport::connectLoopback(rig.port(), "127.0.0.8");
        const std::string request =
            "POST /v1/send HTTP/1.1\r\nHost: x\r\nContent-Length: 200\r\n\r\n";
        for (std::size_t i = 0; i < request.size() && !done; ++i) {
            testsupport::sendAll(fd, request.substr(i, 1));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ::close(fd);
    });
    std::atomic<int> flooded{0};
    std::vector<std::thread> flood;
    for (const std::string& t : {token, std::string("ovt_wrong")}) {
        flood.emplace_back([&, t] {
            while (!done) {
                testsupport::http(rig.port(), "GET", "/v1/fleet", {}, {testsupport::bearer(t)},
                                  "127.0.0.9");
                ++flooded;
            }
        });
    }
    while (flooded < 50) {
        std::this_thread::yield();
    }
    EXPECT_EQ(rig.get("/v1/health").status, 200);
    const HttpAnswer sent =
        rig.post("/v1/send", R"({"file":"Welcome","target":{"all":true}})", token);
    done = true;
    EXPECT_EQ(sent.status, 200) << sent.body;
    EXPECT_EQ(sent.json().value("/rows/0/result"_json_pointer, ""), "complete") << sent.body;
    slow.join();
    for (std::thread& t : flood) {
        t.join();
    }
    for (const int fd : idle) {
        ::close(fd);
    }
}

TEST(ServiceApi, TwoRequestsForOneProjectorAreBothCarriedOut) {
    SimProcess sim({"--address", "127.0.129.60", "--password", "pw", "--save-polls", "2"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    ServiceRig rig("service-turns");
    ASSERT_TRUE(rig.registerProjector("127.0.129.60"));
    const std::string token = rig.addToken("panel", "send");
    ASSERT_TRUE(rig.start()) << rig.process().output();
    const auto send = [&](int slot) {
        return rig.post("/v1/send",
                        R"({"file":"Welcome","slot":)" + std::to_string(slot) +
                            R"(,"target":{"projector":"127.0.129.60"}})",
                        token);
    };
    auto first = std::async(std::launch::async, send, 1);
    auto second = std::async(std::launch::async, send, 2);
    for (const HttpAnswer& a : {first.get(), second.get()}) {
        EXPECT_EQ(a.status, 200);
        EXPECT_EQ(a.json()["rows"][0]["result"], "complete") << a.body;
    }
    EXPECT_TRUE(waitForCount(sim, "PUT", 2)) << sim.output();
}

TEST(ServiceApi, StopDuringAGroupSendLeavesNoProjectorWithHalfAMessage) {
    SimProcess sims({"--address", "127.0.129.70", "--address", "127.0.129.71", "--password", "pw",
                     "--save-polls", "1000"});
    ASSERT_TRUE(sims.ready()) << sims.output();
    ServiceRig rig("service-stop");
    ASSERT_TRUE(rig.registerProjector("127.0.129.70"));
    ASSERT_TRUE(rig.registerProjector("127.0.129.71"));
    const std::string token = rig.addToken("panel", "send");
    ASSERT_TRUE(rig.start()) << rig.process().output();
    auto sent = std::async(std::launch::async, [&] {
        return rig.post("/v1/send", R"({"file":"Welcome","slot":5,"target":{"all":true}})", token);
    });
    // Both projectors are saving the message when the stop comes.
    ASSERT_TRUE(sims.waitForLine("127.0.129.70:9719 STAT", std::chrono::seconds(20)))
        << sims.output();
    ASSERT_TRUE(sims.waitForLine("127.0.129.71:9719 STAT", std::chrono::seconds(20)))
        << sims.output();
    ::kill(rig.process().pid(), SIGTERM);
    const HttpAnswer a = sent.get();
    ASSERT_EQ(a.status, 200) << a.body;
    const nlohmann::json answer = a.json();
    for (const auto& row : answer["rows"]) {
        EXPECT_EQ(row["result"], "cancelled") << a.body;
    }
    EXPECT_TRUE(waitForCount(sims, "CANCEL | digest ok | CANCEL 0", 2)) << sims.output();
    const int status = rig.process().stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << rig.process().output();
}

}  // namespace
}  // namespace orvanta

namespace orvanta {
namespace {

// What `command` prints on standard output.
std::string runShell(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char chunk[4096];
        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, p)) > 0;) {
            out.append(chunk, n);
        }
        ::pclose(p);
    }
    return out;
}

TEST(ServiceApi, BeyondLoopbackItIsEncryptedOrSaysItIsNot) {
    if (runShell("command -v openssl && command -v curl").find("curl") == std::string::npos) {
        GTEST_SKIP() << "openssl and curl are needed";
    }
    ServiceRig rig("service-tls");
    const std::string cert = rig.folders().path("cert.pem");
    const std::string key = rig.folders().path("key.pem");
    runShell("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 -keyout " +
             key + " -out " + cert + " 2>/dev/null");
    ASSERT_TRUE(std::filesystem::exists(cert));
    const std::string tlsConfig = rig.folders().path("tls.conf");
    ASSERT_TRUE(writeFileAtomically(tlsConfig, "[service]\nlisten = 0.0.0.0:0\ncertificate = " +
                                                   cert + "\nkey = " + key + "\n")
                    .ok());
    const std::string plainConfig = rig.folders().path("plain.conf");
    ASSERT_TRUE(writeFileAtomically(plainConfig, "[service]\nlisten = 0.0.0.0:0\n").ok());

    struct Case {
        std::string config;
        std::string scheme;
        bool tls;
        bool warning;
    };
    for (const Case& c :
         {Case{tlsConfig, "https", true, false}, Case{plainConfig, "http", false, true}}) {
        ASSERT_TRUE(rig.start({"--config", c.config, "--listen", "0.0.0.0:0"}))
            << rig.process().output();
        const unsigned port = rig.port();
        const nlohmann::json health =
            nlohmann::json::parse(runShell("curl -sk --max-time 20 " + c.scheme +
                                           "://127.0.0.1:" + std::to_string(port) + "/v1/health"),
                                  nullptr, false);
        ASSERT_TRUE(health.is_object()) << rig.process().output();
        EXPECT_EQ(health["tls"], c.tls) << health.dump();
        EXPECT_EQ(health.contains("warning"), c.warning) << health.dump();
        EXPECT_EQ(rig.process().waitForLine("without TLS", std::chrono::milliseconds(100)),
                  c.warning)
            << rig.process().output();
    }
}

}  // namespace
}  // namespace orvanta
