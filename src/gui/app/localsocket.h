// The single-instance socket on plain Unix domain sockets: a server that
// hands each request on as it arrives and a blocking client. The socket
// file lies in the temporary folder (TMPDIR or /tmp) under the given name
// and can be opened by its owner only.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

class QSocketNotifier;

namespace sf::gui {

// Where a socket of this name lies.
QString localSocketPath(const QString& name);

class LocalServer : public QObject {
  public:
    // Gets the bytes received so far on one connection and answers the reply
    // to send once they make a whole request (empty: wait for more). A
    // connection whose bytes exceed `maxBytes` is dropped unanswered.
    using Handler = std::function<std::vector<std::uint8_t>(const std::vector<std::uint8_t>&)>;

    LocalServer(std::size_t maxBytes, Handler handler, QObject* parent = nullptr);
    ~LocalServer() override;

    // Listens under `name`; false when the name is taken (or the socket
    // cannot be made).
    bool listen(const QString& name);
    // Removes a socket file left behind under `name`.
    static void remove(const QString& name);

  private:
    void acceptAll();

    std::size_t maxBytes_;
    Handler handler_;
    int fd_ = -1;
    QString path_;
    QSocketNotifier* notifier_ = nullptr;
};

// Connects to the server `name`, sends `bytes` and waits for a reply of
// `replyBytes` bytes. False when no server answers the connection within
// `connectMs` or the sending fails; a missing reply after `replyMs` still
// counts as delivered.
bool sendToLocalServer(const QString& name, const std::vector<std::uint8_t>& bytes,
                       std::size_t replyBytes, int connectMs, int replyMs);

}  // namespace sf::gui
