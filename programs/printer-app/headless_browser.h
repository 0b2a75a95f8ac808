// Headless Chromium driven as a user would drive it, over the DevTools
// protocol on a pipe (--remote-debugging-pipe: the browser reads
// NUL-terminated JSON messages on its fd 3 and writes them on its fd 4),
// so the tests need no Node.js and no WebDriver. One tab; the browser and
// its profile go away with the object.
//
//   HeadlessBrowser browser(dir);
//   browser.Open("http://127.0.0.1:8000/lab/printing");
//   browser.Type("input[name=klvps-watermark]", "DRAFT");
//   browser.Click("input[type=submit]");
#pragma once

#include <nlohmann/json.hpp>

#include <sys/types.h>

#include <deque>
#include <filesystem>
#include <string>

namespace klv::app::testing {

class HeadlessBrowser {
public:
    // Starts Chromium with a profile under dir; Running() says whether it
    // answers. Error() holds what went wrong last.
    explicit HeadlessBrowser(const std::filesystem::path& dir);
    ~HeadlessBrowser();
    HeadlessBrowser(const HeadlessBrowser&) = delete;
    HeadlessBrowser& operator=(const HeadlessBrowser&) = delete;

    bool Running() const { return !session_.empty(); }
    const std::string& Error() const { return error_; }

    // Loads a page and waits until it has loaded.
    bool Open(const std::string& url);
    // The value of a JavaScript expression in the page (null on error).
    nlohmann::json Evaluate(const std::string& expression);
    // Clicks into the element, selects what it holds and types text over it.
    bool Type(const std::string& selector, const std::string& text);
    // Clicks the element with the mouse and waits for the page it loads.
    bool Click(const std::string& selector);
    // The page as the window shows it, PNG bytes.
    std::string Screenshot();

private:
    nlohmann::json Call(const std::string& method, const nlohmann::json& params = nlohmann::json::object(),
                        bool toPage = true);
    bool Send(const nlohmann::json& message);
    nlohmann::json Receive(double seconds);
    bool WaitForEvent(const std::string& method, double seconds);
    bool ClickAt(const std::string& selector);

    pid_t pid_ = -1;
    int toBrowser_ = -1;
    int fromBrowser_ = -1;
    int nextId_ = 1;
    std::string session_;
    std::string pending_; // bytes read after the last whole message
    std::deque<nlohmann::json> events_;
    std::string error_;
};

} // namespace klv::app::testing
