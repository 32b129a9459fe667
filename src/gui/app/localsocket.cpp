#include "app/localsocket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace sf::gui {

namespace {

bool toAddress(const QByteArray& path, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.isEmpty() || static_cast<std::size_t>(path.size()) >= sizeof addr.sun_path)
        return false;
    std::memcpy(addr.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    return true;
}

// Waits until `fd` is ready for `events`, at most `ms` milliseconds in all.
bool waitFor(int fd, short events, const QElapsedTimer& since, int ms) {
    for (;;) {
        const qint64 left = ms - since.elapsed();
        if (left <= 0) return false;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(left));
        if (n > 0) return true;
        if (n < 0 && errno != EINTR) return false;
    }
}

// One accepted connection: collects the bytes, answers once, and goes when
// the client hangs up or sends too much.
class Connection : public QObject {
  public:
    Connection(int fd, std::size_t maxBytes, const LocalServer::Handler& handler, QObject* parent)
        : QObject(parent), fd_(fd), maxBytes_(maxBytes), handler_(handler) {
        notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] { readAll(); });
    }
    ~Connection() override { ::close(fd_); }

  private:
    void readAll() {
        char chunk[4096];
        for (;;) {
            const ssize_t n = ::read(fd_, chunk, sizeof chunk);
            if (n > 0) {
                buffer_.insert(buffer_.end(), chunk, chunk + n);
                if (buffer_.size() > maxBytes_) return finish();
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
            return finish();  // end of the stream or an error
        }
        const std::vector<std::uint8_t> reply = handler_(buffer_);
        if (reply.empty()) return;
        buffer_.clear();
        // A short reply to a waiting client: the socket buffer takes it.
        [[maybe_unused]] auto n = ::send(fd_, reply.data(), reply.size(), MSG_NOSIGNAL);
    }
    void finish() {
        notifier_->setEnabled(false);
        deleteLater();
    }

    int fd_;
    std::size_t maxBytes_;
    const LocalServer::Handler& handler_;
    QSocketNotifier* notifier_;
    std::vector<std::uint8_t> buffer_;
};

}  // namespace

QString localSocketPath(const QString& name) {
    if (name.startsWith(QLatin1Char('/'))) return name;
    return QDir::tempPath() + QLatin1Char('/') + name;
}

LocalServer::LocalServer(std::size_t maxBytes, Handler handler, QObject* parent)
    : QObject(parent), maxBytes_(maxBytes), handler_(std::move(handler)) {}

LocalServer::~LocalServer() {
    // The connections go first: they refer to the handler.
    for (QObject* child : children())
        if (child != notifier_) delete child;
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(QFile::encodeName(path_).constData());
    }
}

bool LocalServer::listen(const QString& name) {
    if (fd_ >= 0) return false;
    const QString path = localSocketPath(name);
    const QByteArray target = QFile::encodeName(path);
    sockaddr_un addr;
    if (!toAddress(target, addr)) return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    // The socket file is made with the socket's own permissions: only the
    // user can ever connect, from the moment it has its name. (No folder of
    // our own for it: making and removing one costs milliseconds on some
    // disks.) Binding fails when the name is taken, by a live copy or a
    // stale file.
    bool ok = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 &&
              ::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    if (ok) {
        struct stat st {};
        ok = ::lstat(target.constData(), &st) == 0 && S_ISSOCK(st.st_mode) &&
             (st.st_mode & 077) == 0 && ::listen(fd, 16) == 0;
        if (!ok) ::unlink(target.constData());
    }
    if (!ok) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    path_ = path;
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { acceptAll(); });
    return true;
}

void LocalServer::remove(const QString& name) {
    ::unlink(QFile::encodeName(localSocketPath(name)).constData());
}

void LocalServer::acceptAll() {
    for (;;) {
        const int client = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (client < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;
        }
        new Connection(client, maxBytes_, handler_, this);
    }
}

bool sendToLocalServer(const QString& name, const std::vector<std::uint8_t>& bytes,
                       std::size_t replyBytes, int connectMs, int replyMs) {
    sockaddr_un addr;
    if (!toAddress(QFile::encodeName(localSocketPath(name)), addr)) return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    QElapsedTimer timer;
    timer.start();
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        // A full backlog: the server is there but busy.
        if (errno != EAGAIN && errno != EINPROGRESS) return false;
        if (!waitFor(fd, POLLOUT, timer, connectMs)) return false;
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) return false;
    }
    std::size_t sent = 0;
    timer.restart();
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(fd, POLLOUT, timer, 2000)) return false;
        } else {
            return false;
        }
    }
    // The receipt: the running copy has everything before we go.
    timer.restart();
    std::size_t got = 0;
    char reply[16];
    while (got < replyBytes && waitFor(fd, POLLIN, timer, replyMs)) {
        const ssize_t n = ::read(fd, reply, sizeof reply);
        if (n > 0)
            got += static_cast<std::size_t>(n);
        else if (n == 0 || (errno != EINTR && errno != EAGAIN))
            break;
    }
    return true;
}

}  // namespace sf::gui
