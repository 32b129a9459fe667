#include "app/preferencesdialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "editor/preferences.h"
#include "ui/text.h"

namespace sf::gui {

PreferencesDialog::PreferencesDialog(Preferences& prefs, QWidget* parent)
    : QDialog(parent), prefs_(prefs) {
    setObjectName(QStringLiteral("PreferencesDialog"));
    setWindowTitle(QStringLiteral("Preferences"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;

    host_ = new QLineEdit(fromUtf8(prefs.hostPath), this);
    host_->setObjectName(QStringLiteral("hostPathEdit"));
    drivers_ = new QLineEdit(fromUtf8(prefs.driversRoot), this);
    drivers_->setObjectName(QStringLiteral("driversEdit"));
    host_->setMinimumWidth(360);

    auto* hostLabel = new QLabel(QStringLiteral("Arranta path/name"), this);
    hostLabel->setBuddy(host_);
    auto* driversLabel = new QLabel(QStringLiteral("Root directory of the drivers"), this);
    driversLabel->setBuddy(drivers_);
    auto* browseHost = new QPushButton(tr("Browse..."), this);
    auto* browseDrivers = new QPushButton(tr("Browse..."), this);
    browseHost->setAutoDefault(false);
    browseDrivers->setAutoDefault(false);
    connect(browseHost, &QPushButton::clicked, this, [this] {
        QString p =
            QFileDialog::getOpenFileName(this, QStringLiteral("Arranta path/name"), host_->text());
        if (!p.isEmpty()) host_->setText(p);
    });
    connect(browseDrivers, &QPushButton::clicked, this, [this] {
        QString p = QFileDialog::getExistingDirectory(
            this, QStringLiteral("Root directory of the drivers"), drivers_->text());
        if (!p.isEmpty()) drivers_->setText(p);
    });
    grid->addWidget(hostLabel, 0, 0, 1, 2);
    grid->addWidget(host_, 1, 0);
    grid->addWidget(browseHost, 1, 1);
    grid->addWidget(driversLabel, 2, 0, 1, 2);
    grid->addWidget(drivers_, 3, 0);
    grid->addWidget(browseDrivers, 3, 1);
    layout->addLayout(grid);

    auto* group =
        new QGroupBox(QStringLiteral(" Prefix used to display hexadecimal numbers"), this);
    auto* groupLayout = new QVBoxLayout(group);
    const char* labels[3] = {" 0x (example: 0xFF)", " $ (example: $FF)", " &&H (example: &&HFF)"};
    const char* names[3] = {"prefix0x", "prefixDollar", "prefixAmpH"};
    for (int i = 0; i < 3; ++i) {
        prefix_[i] = new QRadioButton(QString::fromLatin1(labels[i]), group);
        prefix_[i]->setObjectName(QString::fromLatin1(names[i]));
        groupLayout->addWidget(prefix_[i]);
    }
    prefix_[(prefs.hexType >= 0 && prefs.hexType <= 2) ? prefs.hexType : 1]->setChecked(true);
    layout->addWidget(group);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void PreferencesDialog::accept() {
    prefs_.hostPath = host_->text().toStdString();
    prefs_.driversRoot = drivers_->text().toStdString();
    for (int i = 0; i < 3; ++i)
        if (prefix_[i]->isChecked()) prefs_.hexType = i;
    QDialog::accept();
}

}  // namespace sf::gui
