// Questions and messages to the user, behind a small interface so that core
// code can report and ask while tests script the answers. The editor shows
// them as message boxes captioned "Sysforge"; the command line prints
// messages on standard error.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sf {

enum class MessageIcon { Stop, Exclamation, Information, Question };
enum class Answer { Ok, Yes, No, Cancel };
enum class Buttons { Ok, YesNo, YesNoCancel, OkCancel };

class Prompter {
  public:
    virtual ~Prompter() = default;
    virtual void message(std::string_view text, MessageIcon icon) = 0;
    virtual Answer ask(std::string_view text, Buttons buttons) = 0;
    // A box of `buttons` under `icon` (ask() shows the question mark): a
    // failure the user may go on from or cancel.
    virtual Answer ask(std::string_view text, Buttons buttons, MessageIcon icon) {
        (void)icon;
        return ask(text, buttons);
    }
};

// Collects every message and answers questions from a scripted list (Yes when
// the list runs out). Used by tests and by batch callers.
class RecordingPrompter : public Prompter {
  public:
    struct Entry {
        std::string text;
        MessageIcon icon;
    };
    std::vector<Entry> messages;
    std::vector<Answer> answers;

    void message(std::string_view text, MessageIcon icon) override {
        messages.push_back({std::string(text), icon});
    }
    Answer ask(std::string_view text, Buttons buttons) override {
        return ask(text, buttons, MessageIcon::Question);
    }
    Answer ask(std::string_view text, Buttons, MessageIcon icon) override {
        messages.push_back({std::string(text), icon});
        if (answers.empty()) return Answer::Yes;
        Answer a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
};

}  // namespace sf
