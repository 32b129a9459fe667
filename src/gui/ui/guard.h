// The editor's last line of defence. An exception that no command caught is
// a fault of the program; it must not leave Qt's event loop, which would end
// the program and lose every unsaved document. The application object
// catches it where the event that ran the command is delivered, reports it in
// a message box and carries on.
#pragma once

#include <QApplication>
#include <string>
#include <string_view>

namespace sf::gui {

class GuardedApplication : public QApplication {
  public:
    GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
};

// The text of the message box for an exception that escaped a command; `what`
// is the exception's own text (empty when it has none).
std::string unexpectedFailureText(std::string_view what);

}  // namespace sf::gui
