// The editor's Prompter: message boxes captioned "Sysforge" with the icon
// the caller names. Every question of the core goes through it, so that
// tests can put a RecordingPrompter in its place (see setPrompter).
#pragma once

#include <QPointer>
#include <QWidget>

#include "framework/prompter.h"

namespace sf::gui {

class QtPrompter : public Prompter {
  public:
    explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    void message(std::string_view text, MessageIcon icon) override;
    Answer ask(std::string_view text, Buttons buttons) override;
    Answer ask(std::string_view text, Buttons buttons, MessageIcon icon) override;

  private:
    QPointer<QWidget> parent_;
};

// The prompter every window and dialog of the editor uses. Defaults to a
// QtPrompter over the active window; tests install a RecordingPrompter.
Prompter& prompter();
// Installs `p` (null restores the default); answers the previous one.
Prompter* setPrompter(Prompter* p);

}  // namespace sf::gui
