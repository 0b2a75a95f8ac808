// loopback-printer: a network printer on 127.0.0.1 for the print-server
// tests. It accepts AppSocket (raw TCP) connections and keeps what each one
// sends in a file of its own, so a test can read back exactly the bytes a
// spooler delivered, job by job.
//
//   loopback-printer --dir DIR [--port N] [--bytes-per-second N]
//
// It prints "listening PORT" once it listens (port 0 chooses a free one).
// Each connection is written to DIR/job-NNNN.partial while it lasts and
// renamed when it ends: job-NNNN.prn when the sender closed it (all it sent
// arrived), job-NNNN.reset when it broke off. Commands on standard input,
// one a line, each answered on standard output:
//   stop          close the listening socket ("stopped"); open connections go on
//   listen        listen again on the same port ("listening PORT")
//   rate N        read at most N bytes a second from now on, 0 for no limit ("ok")
//   count         the number of connections that have ended ("count N")
// It exits at the end of standard input, so it never outlives its test; a
// connection still open five seconds later is left as .partial.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::atomic<long> gBytesPerSecond{0};
std::atomic<int> gEnded{0};
std::atomic<int> gOpen{0};

int Listen(int port, int* boundPort) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(fd, 16) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        close(fd);
        return -1;
    }
    *boundPort = ntohs(address.sin_port);
    return fd;
}

std::string JobName(int number) {
    char name[32];
    std::snprintf(name, sizeof name, "job-%04d", number);
    return name;
}

// Reads one connection to its end, at the rate in force.
void Receive(int fd, fs::path dir, int number) {
    const fs::path partial = dir / (JobName(number) + ".partial");
    bool whole = false;
    {
        std::ofstream out(partial, std::ios::binary);
        std::vector<char> buffer(4096);
        for (;;) {
            const long rate = gBytesPerSecond.load();
            const std::size_t want =
                rate > 0 ? std::min<std::size_t>(buffer.size(), rate / 10 + 1) : buffer.size();
            const ssize_t got = recv(fd, buffer.data(), want, 0);
            if (got == 0) {
                whole = true;
                break;
            }
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            out.write(buffer.data(), got);
            out.flush();
            if (rate > 0)
                std::this_thread::sleep_for(std::chrono::microseconds(got * 1000000L / rate));
        }
    }
    close(fd);
    std::error_code ignored;
    fs::rename(partial, dir / (JobName(number) + (whole ? ".prn" : ".reset")), ignored);
    ++gEnded;
    --gOpen;
}

void Answer(const std::string& line) {
    std::cout << line << std::endl;
}

} // namespace

int main(int argc, char** argv) {
    fs::path dir;
    int port = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--dir")
            dir = argv[i + 1];
        else if (option == "--port")
            port = std::atoi(argv[i + 1]);
        else if (option == "--bytes-per-second")
            gBytesPerSecond = std::atol(argv[i + 1]);
        else
            dir.clear();
    }
    if (dir.empty() || argc % 2 == 0 || !fs::is_directory(dir)) {
        std::cerr << "Usage: loopback-printer --dir DIR [--port N] [--bytes-per-second N]\n";
        return 2;
    }
    int listener = Listen(port, &port);
    if (listener < 0) {
        std::cerr << "loopback-printer: cannot listen on 127.0.0.1:" << port << ": " << std::strerror(errno)
                  << "\n";
        return 1;
    }
    Answer("listening " + std::to_string(port));

    int next = 1;
    std::string pending;
    for (bool open = true; open;) {
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {listener, POLLIN, 0}};
        if (poll(fds, listener >= 0 ? 2 : 1, 1000) < 0 && errno != EINTR)
            break;
        if (listener >= 0 && (fds[1].revents & POLLIN)) {
            const int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection >= 0) {
                ++gOpen;
                std::thread(Receive, connection, dir, next++).detach();
            }
        }
        if (!(fds[0].revents & (POLLIN | POLLHUP)))
            continue;
        char chunk[256];
        const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0) {
            open = false;
            continue;
        }
        pending.append(chunk, static_cast<std::size_t>(got));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
            const std::string command = pending.substr(0, end);
            if (command == "stop") {
                if (listener >= 0)
                    close(listener);
                listener = -1;
                Answer("stopped");
            } else if (command == "listen") {
                if (listener < 0)
                    listener = Listen(port, &port);
                Answer(listener >= 0 ? "listening " + std::to_string(port)
                                     : std::string("error ") + std::strerror(errno));
            } else if (command.rfind("rate ", 0) == 0) {
                gBytesPerSecond = std::atol(command.c_str() + 5);
                Answer("ok");
            } else if (command == "count") {
                Answer("count " + std::to_string(gEnded.load()));
            } else {
                Answer("error unknown command");
            }
        }
    }
    if (listener >= 0)
        close(listener);
    for (int i = 0; i < 50 && gOpen.load() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::fflush(stdout);
    std::_Exit(0);
}
