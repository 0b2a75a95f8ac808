#include "programs/printer-app/headless_browser.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string_view>
#include <thread>
#include <vector>

namespace klv::app::testing {

namespace {

using Clock = std::chrono::steady_clock;
using nlohmann::json;

constexpr double kCallSeconds = 30;

std::string DecodeBase64(std::string_view text) {
    std::string bytes;
    unsigned int bits = 0;
    int count = 0;
    for (const char c : text) {
        int value = -1;
        if (c >= 'A' && c <= 'Z')
            value = c - 'A';
        else if (c >= 'a' && c <= 'z')
            value = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            value = c - '0' + 52;
        else if (c == '+')
            value = 62;
        else if (c == '/')
            value = 63;
        if (value < 0)
            continue;
        bits = (bits << 6) | static_cast<unsigned int>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes.push_back(static_cast<char>((bits >> count) & 0xFF));
        }
    }
    return bytes;
}

// A selector inside a JavaScript string literal.
std::string Quoted(const std::string& text) {
    return json(text).dump();
}

} // namespace

HeadlessBrowser::HeadlessBrowser(const std::filesystem::path& dir) {
    int in[2];
    int out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
        error_ = "no pipe";
        return;
    }
    const std::string profile = "--user-data-dir=" + (dir / "browser-profile").string();
    pid_ = fork();
    if (pid_ == 0) {
        // The browser's helpers join its process group, which goes as one.
        setpgid(0, 0);
        // Out of the way of 3 and 4 first, which either end may hold; the
        // copies dup2 makes do not close on exec.
        const int reading = fcntl(in[0], F_DUPFD_CLOEXEC, 10);
        const int writing = fcntl(out[1], F_DUPFD_CLOEXEC, 10);
        dup2(reading, 3);
        dup2(writing, 4);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        // Root has no sandbox in Chromium; the pages are the test's own.
        execlp("chromium", "chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
               "--no-default-browser-check", "--disable-extensions", "--disable-background-networking",
               "--disable-sync", "--hide-scrollbars", "--remote-debugging-pipe", profile.c_str(),
               "about:blank", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    if (pid_ < 0) {
        close(in[1]);
        close(out[0]);
        error_ = "cannot start chromium";
        return;
    }
    toBrowser_ = in[1];
    fromBrowser_ = out[0];
    const json targets = Call("Target.getTargets", json::object(), false);
    if (!targets.is_object())
        return;
    std::string page;
    for (const json& target : targets.value("targetInfos", json::array())) {
        if (target.value("type", "") == "page")
            page = target.value("targetId", "");
    }
    if (page.empty())
        page = Call("Target.createTarget", {{"url", "about:blank"}}, false).value("targetId", "");
    if (page.empty())
        return;
    session_ =
        Call("Target.attachToTarget", {{"targetId", page}, {"flatten", true}}, false).value("sessionId", "");
    // A window of one size whatever the headless mode's frame takes.
    if (!session_.empty() && Call("Page.enable").is_object())
        Call("Emulation.setDeviceMetricsOverride",
             {{"width", 1000}, {"height", 900}, {"deviceScaleFactor", 1}, {"mobile", false}});
}

HeadlessBrowser::~HeadlessBrowser() {
    if (pid_ <= 0)
        return;
    Send({{"id", nextId_++}, {"method", "Browser.close"}});
    close(toBrowser_);
    close(fromBrowser_);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (waitpid(pid_, nullptr, WNOHANG) == 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // Its helpers too, whether or not it has gone.
    kill(-pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

bool HeadlessBrowser::Send(const json& message) {
    const std::string text = message.dump() + std::string(1, '\0');
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(toBrowser_, text.data() + written, text.size() - written);
        if (n <= 0) {
            error_ = "the browser stopped reading";
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

json HeadlessBrowser::Receive(double seconds) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        const std::size_t end = pending_.find('\0');
        if (end != std::string::npos) {
            json message = json::parse(pending_.substr(0, end), nullptr, false);
            pending_.erase(0, end + 1);
            return message;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return nullptr;
        pollfd p{fromBrowser_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buffer[65536];
        const ssize_t n = read(fromBrowser_, buffer, sizeof buffer);
        if (n <= 0) {
            error_ = "the browser closed its pipe";
            return nullptr;
        }
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

json HeadlessBrowser::Call(const std::string& method, const json& params, bool toPage) {
    const int id = nextId_++;
    json message = {{"id", id}, {"method", method}, {"params", params}};
    if (toPage)
        message["sessionId"] = session_;
    if (!Send(message))
        return nullptr;
    const auto deadline = Clock::now() + std::chrono::duration<double>(kCallSeconds);
    while (Clock::now() < deadline) {
        json answer = Receive(std::chrono::duration<double>(deadline - Clock::now()).count());
        if (answer.is_null())
            break;
        if (!answer.contains("id")) {
            events_.push_back(std::move(answer));
            continue;
        }
        if (answer["id"] != id)
            continue;
        if (answer.contains("error")) {
            error_ = method + ": " + answer["error"].dump();
            return nullptr;
        }
        return answer.value("result", json::object());
    }
    error_ = method + ": no answer" + (error_.empty() ? "" : " (" + error_ + ")");
    return nullptr;
}

bool HeadlessBrowser::WaitForEvent(const std::string& method, double seconds) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        while (!events_.empty()) {
            const bool found = events_.front().value("method", "") == method;
            events_.pop_front();
            if (found)
                return true;
        }
        const double left = std::chrono::duration<double>(deadline - Clock::now()).count();
        if (left <= 0) {
            error_ = "no " + method + " within " + std::to_string(seconds) + " seconds";
            return false;
        }
        json message = Receive(left);
        if (message.is_null())
            continue;
        if (!message.contains("id"))
            events_.push_back(std::move(message));
    }
}

bool HeadlessBrowser::Open(const std::string& url) {
    events_.clear();
    const json result = Call("Page.navigate", {{"url", url}});
    if (!result.is_object() || result.contains("errorText")) {
        error_ = "cannot open " + url + (result.is_object() ? ": " + result["errorText"].dump() : "");
        return false;
    }
    return WaitForEvent("Page.loadEventFired", kCallSeconds);
}

json HeadlessBrowser::Evaluate(const std::string& expression) {
    const json result = Call("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}});
    if (!result.is_object() || result.contains("exceptionDetails")) {
        if (result.is_object())
            error_ = expression + ": " + result["exceptionDetails"].dump();
        return nullptr;
    }
    return result.contains("result") ? result["result"].value("value", json()) : json();
}

bool HeadlessBrowser::ClickAt(const std::string& selector) {
    const json box = Evaluate("(() => { const e = document.querySelector(" + Quoted(selector) +
                              "); if (!e) return null; e.scrollIntoView({block: 'center'});"
                              " const r = e.getBoundingClientRect();"
                              " return {x: r.left + r.width / 2, y: r.top + r.height / 2}; })()");
    if (!box.is_object()) {
        error_ = "no element " + selector + " on the page";
        return false;
    }
    for (const char* type : {"mouseMoved", "mousePressed", "mouseReleased"}) {
        json event = {{"type", type}, {"x", box["x"]}, {"y", box["y"]}};
        if (std::string_view(type) != "mouseMoved") {
            event["button"] = "left";
            event["clickCount"] = 1;
        }
        if (Call("Input.dispatchMouseEvent", event).is_null())
            return false;
    }
    return true;
}

bool HeadlessBrowser::Type(const std::string& selector, const std::string& text) {
    if (!ClickAt(selector))
        return false;
    if (Evaluate("document.activeElement === document.querySelector(" + Quoted(selector) +
                 ") && (document.activeElement.select(), true)") != true) {
        error_ = selector + " did not take the focus";
        return false;
    }
    return !Call("Input.insertText", {{"text", text}}).is_null();
}

bool HeadlessBrowser::Click(const std::string& selector) {
    events_.clear();
    return ClickAt(selector) && WaitForEvent("Page.loadEventFired", kCallSeconds);
}

std::string HeadlessBrowser::Screenshot() {
    const json shot = Call("Page.captureScreenshot", {{"format", "png"}, {"captureBeyondViewport", false}});
    return shot.is_object() ? DecodeBase64(shot.value("data", "")) : std::string();
}

} // namespace klv::app::testing
