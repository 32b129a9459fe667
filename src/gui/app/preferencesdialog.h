// "Preferences...": the host program, the drivers root and the prefix of
// hexadecimal numbers. Works on copies; OK writes them into the preferences.
#pragma once

#include <QDialog>

class QLineEdit;
class QRadioButton;

namespace sf {
struct Preferences;
}

namespace sf::gui {

class PreferencesDialog : public QDialog {
    Q_OBJECT
  public:
    PreferencesDialog(Preferences& prefs, QWidget* parent = nullptr);

    QLineEdit* hostPathEdit() const { return host_; }
    QLineEdit* driversEdit() const { return drivers_; }
    QRadioButton* prefixButton(int index) const { return prefix_[index]; }

    void accept() override;

  private:
    Preferences& prefs_;
    QLineEdit* host_;
    QLineEdit* drivers_;
    QRadioButton* prefix_[3];
};

}  // namespace sf::gui
