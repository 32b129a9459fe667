// "ROM patch names": the names of a ROM sub-bank as one line per patch, with
// "&Check", "Import" and a checked OK. A thin view over sf::PatchNameEditor.
#pragma once

#include <QDialog>

#include "source/romnames.h"

class QPlainTextEdit;

namespace sf::gui {

class PatchNameDialog : public QDialog {
    Q_OBJECT
  public:
    PatchNameDialog(PatchNameEditor& editor, QWidget* parent);

    QPlainTextEdit* textBox() const { return text_; }
    // "Import" with a chosen file (the button asks for one).
    void importFile(const QString& path);

    void accept() override;

  private:
    void takeText();

    PatchNameEditor& editor_;
    QPlainTextEdit* text_;
};

// Opens the dialog for a sub-bank; on OK its block replaces the old one.
bool editRomNames(QWidget* parent, SourceRecord& r, int module, int subBank);

}  // namespace sf::gui
