#include "ui/guard.h"

#include <cstdio>
#include <exception>

#include "ui/qtprompter.h"

namespace sf::gui {

namespace {

// While one failure is being reported, further ones (the same fault met
// again by a repaint under the message box, say) only go to standard error.
bool reporting = false;

void report(std::string_view what) {
    const std::string text = unexpectedFailureText(what);
    if (reporting) {
        std::fprintf(stderr, "sysforge: %s\n", text.c_str());
        return;
    }
    reporting = true;
    try {
        prompter().message(text, MessageIcon::Stop);
    } catch (...) {
        std::fprintf(stderr, "sysforge: %s\n", text.c_str());
    }
    reporting = false;
}

}  // namespace

std::string unexpectedFailureText(std::string_view what) {
    std::string text = "An unexpected error stopped this command";
    text += what.empty() ? std::string(".") : ": " + std::string(what);
    text += "\nThe open documents are kept. Save your work and check it before you go on.";
    return text;
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        report(e.what());
    } catch (const std::string& message) {
        report(message);
    } catch (...) {
        report({});
    }
    return false;
}

}  // namespace sf::gui
