// The component model with a real remote client: a tiny line-based server
// on the loopback interface, a client class that connects to it and logs in
// with a user name and password, and a remote echo component reached through
// getComponentFactory and TComPtr. Stopping the server shows the re-login
// path giving up on a broken client.
//
// The library defines only the interfaces; everything that touches a socket
// is here, in the host.
#include <Dozuv2.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace Orvane::Component;
using Orvane::Virad::getErrMsg;
using Orvane::Virad::getLastError;
using Orvane::Virad::setLastError;

namespace {

// Sends one line; false when the connection is gone.
bool sendLine(int fd, const std::string& line) {
    const std::string text = line + "\n";
    return send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

// Reads one line (without its newline); false on end of stream, error or time-out.
bool readLine(int fd, std::string& line) {
    line.clear();
    char c;
    while (recv(fd, &c, 1, 0) == 1) {
        if (c == '\n') {
            return true;
        }
        line += c;
    }
    return false;
}

// The server: "LOGIN user password" answers "OK <user id>" or "DENIED",
// "ECHO text" answers "ECHO text" once logged in, "PING" answers "PONG",
// "LOGOUT" answers "BYE" and closes. One thread serves every connection.
class LoopbackServer {
public:
    LoopbackServer() {
        m_listen = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0; // any free port
        socklen_t length = sizeof address;
        if (bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(m_listen, 8) != 0 ||
            getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            std::perror("loopback server");
            return;
        }
        m_port = ntohs(address.sin_port);
        m_running = true;
        m_thread = std::thread(&LoopbackServer::serve, this);
    }
    ~LoopbackServer() { stop(); }

    int port() const { return m_port; }

    // Ends the thread and closes every connection, as a crashed server would.
    void stop() {
        if (m_running.exchange(false)) {
            m_thread.join();
        }
        for (const auto& connection : m_connections) {
            close(connection.first);
        }
        m_connections.clear();
        if (m_listen >= 0) {
            close(m_listen);
            m_listen = -1;
        }
    }

private:
    struct Connection {
        std::string pending;
        bool loggedIn = false;
    };

    void serve() {
        while (m_running) {
            std::vector<pollfd> watched{{m_listen, POLLIN, 0}};
            for (const auto& connection : m_connections) {
                watched.push_back({connection.first, POLLIN, 0});
            }
            if (poll(watched.data(), watched.size(), 50) <= 0) {
                continue;
            }
            if (watched[0].revents & POLLIN) {
                const int fd = accept(m_listen, nullptr, nullptr);
                if (fd >= 0) {
                    m_connections[fd] = Connection();
                }
            }
            for (std::size_t i = 1; i < watched.size(); ++i) {
                if (watched[i].revents != 0 && !receive(watched[i].fd)) {
                    close(watched[i].fd);
                    m_connections.erase(watched[i].fd);
                }
            }
        }
    }

    // Handles what arrived; false when the connection is over.
    bool receive(int fd) {
        char buffer[256];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return false;
        }
        Connection& connection = m_connections[fd];
        connection.pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; (end = connection.pending.find('\n')) != std::string::npos;) {
            const std::string line = connection.pending.substr(0, end);
            connection.pending.erase(0, end + 1);
            if (!answer(fd, connection, line)) {
                return false;
            }
        }
        return true;
    }

    bool answer(int fd, Connection& connection, const std::string& line) {
        if (line.compare(0, 6, "LOGIN ") == 0) {
            connection.loggedIn = line == "LOGIN alice secret";
            return sendLine(fd, connection.loggedIn ? "OK 1001" : "DENIED");
        }
        if (line.compare(0, 5, "ECHO ") == 0) {
            return sendLine(fd, connection.loggedIn ? line : "DENIED");
        }
        if (line == "PING") {
            return sendLine(fd, "PONG");
        }
        sendLine(fd, "BYE");
        return false;
    }

    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_running{false};
    std::thread m_thread;
    std::map<int, Connection> m_connections; // touched by the server thread until stop() has joined it
};

// A client of the loopback server. The server description carries the
// address in text1, the port in number1, the user name and, in text3, the
// password. Lookups of one server may log in from two threads at once, so
// the connection is guarded.
class LoopbackClient : public IClient {
public:
    void destroy() override { delete this; }
    void* queryInterface(const char*) override { return nullptr; }

    bool login() override {
        ServerInfo info;
        getServerInfo(info);
        std::lock_guard<std::mutex> guard(m_mutex);
        disconnect();
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        timeval limit = {2, 0};
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(info.number1));
        inet_pton(AF_INET, info.text1, &address.sin_addr);
        if (connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            disconnect();
            setLastError(kErrorNotLoggedIn);
            return false;
        }
        std::string reply;
        if (!sendLine(m_fd, std::string("LOGIN ") + info.userName + " " + info.text3) || !readLine(m_fd, reply) ||
            reply.compare(0, 3, "OK ") != 0) {
            disconnect();
            setLastError(kErrorUserOrPasswordInvalid);
            return false;
        }
        m_userId = std::stoi(reply.substr(3));
        return true;
    }

    bool checkBroken() override {
        std::lock_guard<std::mutex> guard(m_mutex);
        std::string reply;
        return m_fd < 0 || !sendLine(m_fd, "PING") || !readLine(m_fd, reply) || reply != "PONG";
    }

    bool logout() override {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (m_fd >= 0) {
            sendLine(m_fd, "LOGOUT");
        }
        disconnect();
        return true;
    }

    bool getUserID(int& userId) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        userId = m_userId;
        return true;
    }

    // One request and its answer; empty when the server is gone.
    std::string request(const std::string& line) {
        std::lock_guard<std::mutex> guard(m_mutex);
        std::string reply;
        return m_fd >= 0 && sendLine(m_fd, line) && readLine(m_fd, reply) ? reply : std::string();
    }

private:
    void disconnect() {
        if (m_fd >= 0) {
            close(m_fd);
            m_fd = -1;
        }
    }

    std::mutex m_mutex;
    int m_fd = -1;
    int m_userId = -1;
};

class LoopbackClientFactory : public IClient::IFactory {
public:
    const char* clsid() const override { return "Loopback"; }
    IClient* create(const ServerInfo&) override { return new LoopbackClient; }
};

// A remote component: it works through the client it was made for.
class EchoComponent : public IUnknown {
public:
    explicit EchoComponent(IClient* client) : m_client(static_cast<LoopbackClient*>(client)) {}
    void destroy() override { delete this; }
    void* queryInterface(const char*) override { return this; }

    std::string echo(const char* text) { return m_client->request(std::string("ECHO ") + text); }

private:
    LoopbackClient* m_client;
};

class EchoFactory : public IFactoryUnknown {
public:
    const char* clsid() const override { return "Loopback.Echo"; }
    EchoComponent* create(IClient* client) { return new EchoComponent(client); }
};

// What generated code does: find the factory (logging the client in), make
// the object and keep it with its client.
TComPtr<EchoComponent> makeEcho(EchoFactory& expected, const ServerInfo& server) {
    IClient* client = nullptr;
    IFactoryUnknown* factory = Detail::CComponentHelper::getComponentFactory("IEcho", "Loopback.Echo", server, client);
    if (factory != &expected) {
        return TComPtr<EchoComponent>();
    }
    auto* object = static_cast<EchoComponent*>(
        Detail::CComponentHelper::makeComponentObject(static_cast<EchoFactory*>(factory)->create(client)));
    return TComPtr<EchoComponent>(object, client);
}

} // namespace

void componentDemo() {
    LoopbackServer server;
    std::printf("loopback server on 127.0.0.1:%d\n", server.port());
    static LoopbackClientFactory clients; // the registry keeps factories for the life of the process
    static EchoFactory echoes;
    clients.registerFactory(IClient::IFactory::iid());
    echoes.registerFactory("IEcho");

    ServerInfo info;
    info.text1 = "127.0.0.1";
    info.number1 = server.port();
    info.userName = "alice";
    info.text3 = "secret";
    {
        TComPtr<EchoComponent> echo = makeEcho(echoes, info);
        if (!echo) {
            std::printf("lookup failed: %s\n", getErrMsg(getLastError()));
            return;
        }
        std::printf("logged in as user %d; the server says \"%s\"\n", IClient::getCurrentUserID(),
                    echo->echo("hello over loopback").c_str());
        TComPtr<EchoComponent> again = makeEcho(echoes, info);
        std::printf("a second lookup shares the client: %s\n", again.client() == echo.client() ? "yes" : "no");

        server.stop();
        const std::string reply = echo->echo("anyone there?");
        std::printf("server stopped; the echo now gets %s\n", reply.empty() ? "no answer" : reply.c_str());
        const int level = Orvane::Virad::getPrintLogLevel();
        Orvane::Virad::setPrintLogLevel(6); // the re-login failure is reported at debug level
        setLastError(0);
        TComPtr<EchoComponent> broken = makeEcho(echoes, info);
        Orvane::Virad::setPrintLogLevel(level);
        std::printf("lookup after the break: %s, last error 0x%08X \"%s\"\n", broken ? "found" : "none",
                    static_cast<unsigned>(getLastError()), getErrMsg(getLastError()));
    }
    echoes.unregisterFactory("IEcho");
    clients.unregisterFactory(IClient::IFactory::iid());
}
