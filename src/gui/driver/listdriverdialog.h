// "List driver generator": the bank layout of an instrument that needs only
// a list driver; OK makes a new, untitled driver source of it. The values
// typed are offered again at the next opening while the program runs.
#pragma once

#include <QDialog>
#include <array>
#include <memory>

#include "driver/listdriver.h"

class QLineEdit;

namespace sf::gui {

class ListDriverDialog : public QDialog {
    Q_OBJECT
  public:
    explicit ListDriverDialog(QWidget* parent = nullptr);

    // The values of the last OK (empty at the first use).
    static ListDriverValues& savedValues();

    // After OK: the new source, or null when the driver name or the first
    // bank name was empty (nothing is made then, and nothing said).
    std::unique_ptr<SourceRecord> takeRecord() { return std::move(record_); }

    QLineEdit* driverName() const { return name_; }
    QLineEdit* patchNameLength() const { return nameLength_; }
    QLineEdit* columns() const { return columns_; }
    QLineEdit* rows() const { return rows_; }
    QLineEdit* bankName(int row) const { return banks_[static_cast<std::size_t>(row)]; }
    QLineEdit* bankSelect(int row) const { return selects_[static_cast<std::size_t>(row)]; }
    QLineEdit* firstProgram(int row) const { return firsts_[static_cast<std::size_t>(row)]; }

    void accept() override;

  private:
    ListDriverValues values() const;

    QLineEdit* name_;
    QLineEdit* nameLength_;
    QLineEdit* columns_;
    QLineEdit* rows_;
    std::array<QLineEdit*, kListDriverRows> banks_{};
    std::array<QLineEdit*, kListDriverRows> selects_{};
    std::array<QLineEdit*, kListDriverRows> firsts_{};
    std::unique_ptr<SourceRecord> record_;
};

}  // namespace sf::gui
