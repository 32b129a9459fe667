// A value editor opened from the settings tree: a double click on "Macros /
// Parameters" opens the macro editor builder; after OK the group's tool tip
// tells it holds macros (its Value stays empty, as for every group), the
// document has an undo step, and undo takes it back.
#include <QTest>

#include "editor/document.h"
#include "patchtools/install_editors.h"
#include "patchtools/macrodialog.h"
#include "source/sourceview.h"
#include "source/valuetext.h"
#include "support/modal_driver.h"

using namespace sf;
using namespace sf::gui;
using namespace sf::testsupport;

class EditorsTreeTest : public QObject {
    Q_OBJECT
  private slots:
    void doubleClickOpensTheMacroEditor() {
        installValueEditors();
        auto r = newSource();
        r->setModU16(0, rec::kModFlags,
                     static_cast<std::uint16_t>(r->modU16(0, rec::kModFlags) | 0x08));
        r->setModU16(0, rec::kModHasMacro, 1);
        SourceDoc doc(std::move(r));
        SourceView view(doc, {});
        view.resize(1000, 700);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        const SettingRef macros = makeRef(307, 0);
        QVERIFY(view.selectRef(macros));
        const QModelIndex value = view.tree()->currentIndex().siblingAtColumn(1);
        onNextDialog<MacroEditorDialog>([](MacroEditorDialog* d) {
            click(d, "addMacroButton");
            click(d, "okButton");
        });
        doubleClick(view.tree(), value);
        QCOMPARE(missedDialogs(), 0);
        QVERIFY(doc.working().block(0, rec::kSlotMacros).has_value());
        QVERIFY(doc.isModified());
        QCOMPARE(doc.undoList().size(), std::size_t{1});

        QVERIFY(view.selectRef(makeRef(306, 0)));
        const QModelIndex group = view.tree()->currentIndex().siblingAtColumn(1);
        QCOMPARE(group.data().toString(), QString());
        QCOMPARE(group.data(Qt::ToolTipRole).toString(),
                 QStringLiteral("This module holds a macro list."));
        QVERIFY(doc.undo());
        QVERIFY(!doc.working().block(0, rec::kSlotMacros).has_value());
        QTRY_VERIFY(view.selectRef(makeRef(306, 0)));
        QCOMPARE(view.tree()->currentIndex().siblingAtColumn(1).data(Qt::ToolTipRole), QVariant());
    }
};

QTEST_MAIN(EditorsTreeTest)
#include "editors_tree_test.moc"
