#include "MainWindowFixture.h"

#include "grants/Rights.h"

#include <QAccessible>
#include <QRegularExpression>
#include <QSet>

using controls::MessageKind;

namespace {

QStringList left() { return TDualListDlg::names(DualListDlg->SrcList); }
QStringList right() { return TDualListDlg::names(DualListDlg->DstList); }

QStringList selected(const QListWidget *list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->isSelected())
            names.append(list->item(i)->text());
    }
    return names;
}

void select(QListWidget *list, const QStringList &names)
{
    list->clearSelection();
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setSelected(names.contains(list->item(i)->text()));
}

struct Buttons {
    bool include, includeAll, exclude, excludeAll;
    bool operator==(const Buttons &) const = default;
};

Buttons buttons()
{
    return {DualListDlg->IncludeBtn->isEnabled(), DualListDlg->IncAllBtn->isEnabled(),
            DualListDlg->ExcludeBtn->isEnabled(), DualListDlg->ExAllBtn->isEnabled()};
}

// Opens the dialog with "P"; the action works in it and closes it.
void grantDialog(const std::function<void()> &action)
{
    testsupport::ModalDriver driver;
    driver.then([=](QWidget *) { action(); });
    Form1->BitBtn1->click();
    MainWindowFixture::activate();
}

QStringList stored(MainWindowFixture &f, int program, int company)
{
    auto c = f.servers.connect();
    return testsupport::column(*c, QStringLiteral("select username from user_prog_db where vortalix_prog_id = %1 "
                                                  "and database_id = %2 order by %3").arg(program).arg(company).arg(testsupport::insertionOrder()));
}

// The grants as the server returns them, in no order the statement asks for.
QStringList returned(MainWindowFixture &f, int program, int company)
{
    auto c = f.servers.connect();
    return testsupport::column(*c, QStringLiteral("select username from user_prog_db where vortalix_prog_id = %1 "
                                                  "and database_id = %2").arg(program).arg(company));
}

const QStringList candidates{QStringLiteral("ANNE"), QStringLiteral("EVELIN"), QStringLiteral("KALLE"), QStringLiteral("LIIS"),
                             QStringLiteral("MARGUS"), QStringLiteral("PEETER"), QStringLiteral("TOOMAS")};

} // namespace

class TestRights : public QObject {
    Q_OBJECT
private slots:
    void theDialogShowsThoseGrantedAndTheCandidates();
    void movingOneOrSeveral();
    void movingAll();
    void aMoveThatEmptiesItsList();
    void namesWithoutAnAccountAreGreyed();
    void theGreyingFollowsTheAccountsLastRead();
    void cancelWritesNothing();
    void okReplacesTheGrants();
    void anEmptyRightListDeletesThemAll();
    void aFailingInsertLeavesTheGrantsAsTheyWere();
    void okOverAnotherUsersChangeWritesNothing_data();
    void okOverAnotherUsersChangeWritesNothing();
    void aUserWithoutADealerRoleLeavesForGood();
    void noDialogWithoutAStoredProgramOrACompany();
    void aListThatCannotBeFilledOffersNoOk();
};

void TestRights::theDialogShowsThoseGrantedAndTheCandidates()
{
    MainWindowFixture f;
    f.connectAs();
    grantDialog([&] {
        QCOMPARE(DualListDlg->windowTitle(), QStringLiteral("Loan application"));
        QCOMPARE(DualListDlg->ProgExeText->text(), QStringLiteral("LOANAPP.EXE"));
        QCOMPARE(DualListDlg->DbNameText->text(), QStringLiteral("VORTA"));
        QCOMPARE(DualListDlg->ServerText->text(), QStringLiteral("VORTA (1)"));
        QCOMPARE(DualListDlg->SrcLabel->text(), QStringLiteral("user List:"));
        QCOMPARE(DualListDlg->DstLabel->text(), QStringLiteral("Destination List:"));
        QCOMPARE(DualListDlg->IncludeBtn->text(), QStringLiteral(">"));
        QCOMPARE(DualListDlg->IncAllBtn->text(), QStringLiteral(">>"));
        QCOMPARE(DualListDlg->ExcludeBtn->text(), QStringLiteral("<"));
        QCOMPARE(DualListDlg->ExAllBtn->text(), QStringLiteral("<<"));
        // A screen reader names the lists by their labels and the arrows by what they move.
        for (QWidget *w : DualListDlg->findChildren<QWidget *>()) {
            if (w->focusPolicy() != Qt::NoFocus && w->isVisibleTo(DualListDlg))
                QVERIFY2(QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).contains(QRegularExpression(QStringLiteral("[A-Za-z]"))),
                         qPrintable(w->objectName()));
        }
        QCOMPARE(QAccessible::queryAccessibleInterface(DualListDlg->SrcList)->text(QAccessible::Name), QStringLiteral("user List"));
        // Granted, in the order the database returns them; candidates sorted, each once
        // (KALLE holds two dealer roles), without those holding the role's admin option.
        const QStringList granted = right();
        QCOMPARE(granted, returned(f, 1, 1));
        QCOMPARE(QSet<QString>(granted.begin(), granted.end()),
                 (QSet<QString>{QStringLiteral("JAAN"), QStringLiteral("KATRIN"), QStringLiteral("MARI"), QStringLiteral("OLDUSER")}));
        QCOMPARE(left(), candidates);
        QVERIFY(selected(DualListDlg->SrcList).isEmpty() && selected(DualListDlg->DstList).isEmpty());
        QCOMPARE(buttons(), (Buttons{true, true, true, true}));
        testsupport::screenshot(DualListDlg, QStringLiteral("users-of-one-program"));
        DualListDlg->CancelBtn->click();
    });
    // A program without grants in the company: the right list is empty.
    Form1->userprogTable->locate(QStringLiteral("PROG_ID"), 4);
    grantDialog([] {
        QVERIFY(right().isEmpty());
        QCOMPARE(buttons(), (Buttons{true, true, false, false}));
        DualListDlg->CancelBtn->click();
    });
}

void TestRights::movingOneOrSeveral()
{
    MainWindowFixture f;
    f.connectAs();
    grantDialog([] {
        // Nothing selected: nothing moves, and the first name of the list is selected.
        DualListDlg->IncludeBtn->click();
        QCOMPARE(left(), candidates);
        QCOMPARE(selected(DualListDlg->SrcList), QStringList{QStringLiteral("ANNE")});
        DualListDlg->ExcludeBtn->click();
        QCOMPARE(selected(DualListDlg->DstList), QStringList{right().first()});
        // Several names go to the end of the right list, the lowest one last.
        const QStringList before = right();
        select(DualListDlg->SrcList, {QStringLiteral("EVELIN"), QStringLiteral("MARGUS")});
        DualListDlg->IncludeBtn->click();
        QCOMPARE(right(), (before + QStringList{QStringLiteral("MARGUS"), QStringLiteral("EVELIN")}));
        // Beside the buttons, what OK would change, also for a screen reader.
        QCOMPARE(DualListDlg->ChangesLabel->text(), QStringLiteral("+2 \u22120"));
        QCOMPARE(QAccessible::queryAccessibleInterface(DualListDlg->ChangesLabel)->text(QAccessible::Name),
                 QStringLiteral("OK grants 2 users"));
        QCOMPARE(left(), (QStringList{QStringLiteral("ANNE"), QStringLiteral("KALLE"), QStringLiteral("LIIS"),
                                      QStringLiteral("PEETER"), QStringLiteral("TOOMAS")}));
        // The one selection left is the name now where the first moved one stood.
        QCOMPARE(selected(DualListDlg->SrcList), QStringList{QStringLiteral("KALLE")});
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(DualListDlg->SrcList));
        // Back to the left: each at its sorted place.
        select(DualListDlg->DstList, {QStringLiteral("MARGUS"), QStringLiteral("EVELIN")});
        DualListDlg->ExcludeBtn->click();
        QCOMPARE(left(), candidates);
        QCOMPARE(right(), before);
        QCOMPARE(DualListDlg->ChangesLabel->text(), QStringLiteral("+0 \u22120"));
        // The moved names were the last ones: the last name is selected.
        QCOMPARE(selected(DualListDlg->DstList), QStringList{before.last()});
        DualListDlg->CancelBtn->click();
    });
}

void TestRights::movingAll()
{
    MainWindowFixture f;
    f.connectAs();
    grantDialog([] {
        const QStringList before = right();
        DualListDlg->IncAllBtn->click();
        QVERIFY(left().isEmpty());
        QCOMPARE(right(), before + candidates);
        QCOMPARE(DualListDlg->ChangesLabel->text(), QStringLiteral("+7 \u22120"));
        QCOMPARE(buttons(), (Buttons{false, false, true, true}));
        DualListDlg->ExAllBtn->click();
        QVERIFY(right().isEmpty());
        QCOMPARE(DualListDlg->ChangesLabel->text(), QStringLiteral("+0 \u22124"));
        QCOMPARE(QAccessible::queryAccessibleInterface(DualListDlg->ChangesLabel)->text(QAccessible::Name),
                 QStringLiteral("OK revokes 4 users"));
        QStringList all = before + candidates;
        all.sort();
        QCOMPARE(left(), all);
        QCOMPARE(buttons(), (Buttons{true, true, false, false}));
        DualListDlg->CancelBtn->click();
    });
}

void TestRights::aMoveThatEmptiesItsList()
{
    MainWindowFixture f;
    f.connectAs();
    grantDialog([] {
        DualListDlg->SrcList->selectAll();
        DualListDlg->IncludeBtn->click();
        QVERIFY(left().isEmpty());
        QCOMPARE(right().mid(4), (QStringList{QStringLiteral("TOOMAS"), QStringLiteral("PEETER"), QStringLiteral("MARGUS"),
                                              QStringLiteral("LIIS"), QStringLiteral("KALLE"), QStringLiteral("EVELIN"),
                                              QStringLiteral("ANNE")}));
        QCOMPARE(buttons(), (Buttons{false, false, true, true}));
        QVERIFY(selected(DualListDlg->SrcList).isEmpty());
        DualListDlg->CancelBtn->click();
    });
}

void TestRights::namesWithoutAnAccountAreGreyed()
{
    MainWindowFixture f;
    f.connectAs();
    grantDialog([] {
        const QPalette palette = DualListDlg->DstList->palette();
        const QColor greyed = DualListDlg->textColour(QStringLiteral("OLDUSER"), false, palette);
        const QColor normal = palette.color(QPalette::Active, QPalette::WindowText);
        // Grey, yet readable on the list's white: a contrast of at least 3:1 (by the relative
        // luminance of the accessibility guidelines), well below the names' own.
        auto contrast = [](const QColor &c) {
            auto l = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
            return 1.05 / (0.2126 * l(c.redF()) + 0.7152 * l(c.greenF()) + 0.0722 * l(c.blueF()) + 0.05);
        };
        QCOMPARE(palette.color(QPalette::Base), QColor(Qt::white));
        QVERIFY2(contrast(greyed) >= 3.0 && contrast(greyed) < contrast(normal) - 1, qPrintable(greyed.name()));
        // A screen reader tells them apart.
        auto description = [](const QString &name) {
            return DualListDlg->DstList->findItems(name, Qt::MatchExactly).value(0)->data(Qt::AccessibleDescriptionRole).toString();
        };
        QCOMPARE(description(QStringLiteral("OLDUSER")), QStringLiteral("no account on the server"));
        QCOMPARE(description(QStringLiteral("MARI")), QString());
        QCOMPARE(DualListDlg->textColour(QStringLiteral("MARI"), false, palette), normal);
        QCOMPARE(DualListDlg->textColour(QStringLiteral("mari"), false, palette), normal);
        QCOMPARE(DualListDlg->textColour(QStringLiteral("OLDUSER"), true, palette), palette.color(QPalette::HighlightedText));
        // And so they are drawn: the row of OLDUSER holds the greyed colour, MARI's the normal one.
        const QImage picture = DualListDlg->DstList->viewport()->grab().toImage();
        auto rowHas = [&](const QString &name, const QColor &colour) {
            const QList<QListWidgetItem *> items = DualListDlg->DstList->findItems(name, Qt::MatchExactly);
            const QRect rect = DualListDlg->DstList->visualItemRect(items.value(0));
            for (int y = rect.top(); y <= rect.bottom(); ++y)
                for (int x = rect.left(); x < std::min(rect.right(), 80); ++x)
                    if (QColor(picture.pixel(x, y)) == colour)
                        return true;
            return false;
        };
        QVERIFY(rowHas(QStringLiteral("OLDUSER"), greyed));
        QVERIFY(!rowHas(QStringLiteral("OLDUSER"), normal));
        QVERIFY(rowHas(QStringLiteral("MARI"), normal));
        DualListDlg->CancelBtn->click();
    });
}

void TestRights::theGreyingFollowsTheAccountsLastRead()
{
    MainWindowFixture f;
    f.connectAs();
    const QPalette palette = DualListDlg->DstList->palette();
    const QColor greyed = DualListDlg->textColour(QStringLiteral("OLDUSER"), false, palette); // never an account
    const QColor normal = palette.color(QPalette::Active, QPalette::WindowText);
    f.servers.connect(QStringLiteral("system"), QStringLiteral("manager"))
        ->backend()
        .execute(QStringLiteral("drop user mari"), {});
    // The accounts are those read at the connect until the server is asked again.
    QCOMPARE(DualListDlg->textColour(QStringLiteral("Mari"), false, palette), normal);
    Form1->DBLookupComboBox1->choose(0);
    Form1->DBLookupComboBox1->hidePopup();
    QTRY_COMPARE(DualListDlg->textColour(QStringLiteral("MARI"), false, palette), greyed);
    QCOMPARE(DualListDlg->textColour(QStringLiteral("jaan"), false, palette), normal);
    // A disconnect and a new showing of the main window forget them all.
    Form1->SpeedButton1->click();
    Form1->hide();
    Form1->show();
    QCOMPARE(DualListDlg->textColour(QStringLiteral("JAAN"), false, palette), greyed);
}

void TestRights::cancelWritesNothing()
{
    MainWindowFixture f;
    f.connectAs();
    const QStringList before = stored(f, 1, 1);
    grantDialog([] {
        DualListDlg->IncAllBtn->click();
        DualListDlg->CancelBtn->click();
    });
    QCOMPARE(stored(f, 1, 1), before);
    grantDialog([&] {
        QCOMPARE(right(), returned(f, 1, 1));
        DualListDlg->CancelBtn->click();
    });
}

void TestRights::okReplacesTheGrants()
{
    MainWindowFixture f;
    f.connectAs();
    // OK without a move writes the same names again, in the order of the right list.
    QStringList shown;
    grantDialog([&] {
        shown = right();
        DualListDlg->OKBtn->click();
    });
    QCOMPARE(stored(f, 1, 1), shown);
    // Moves become the grants; the other companies' grants stay.
    grantDialog([] {
        select(DualListDlg->DstList, {QStringLiteral("JAAN")});
        DualListDlg->ExcludeBtn->click();
        select(DualListDlg->SrcList, {QStringLiteral("KALLE"), QStringLiteral("ANNE")});
        DualListDlg->IncludeBtn->click();
        DualListDlg->OKBtn->click();
    });
    QStringList expected = shown;
    expected.removeAll(QStringLiteral("JAAN"));
    expected << QStringLiteral("KALLE") << QStringLiteral("ANNE");
    QCOMPARE(stored(f, 1, 1), expected);
    QCOMPARE(stored(f, 1, 2), QStringList{QStringLiteral("PEETER")});
    QStringList sorted = expected;
    sorted.sort();
    QCOMPARE(MainWindowFixture::gridUsers(), sorted);
    auto c = f.servers.connect();
    QCOMPARE(testsupport::column(*c, QStringLiteral("select count(*) from user_prog_db where ordinal is null")),
             QStringList{QString::number(expected.size())}); // the insert leaves the ordinal out
}

void TestRights::anEmptyRightListDeletesThemAll()
{
    MainWindowFixture f;
    f.connectAs();
    grantDialog([] {
        DualListDlg->ExAllBtn->click();
        DualListDlg->OKBtn->click();
    });
    QVERIFY(stored(f, 1, 1).isEmpty());
    QVERIFY(MainWindowFixture::gridUsers().isEmpty());
    QCOMPARE(stored(f, 1, 10), QStringList{QStringLiteral("LIIS")});
}

void TestRights::aFailingInsertLeavesTheGrantsAsTheyWere()
{
    MainWindowFixture f;
    f.connectAs();
    const QStringList before = stored(f, 1, 1);
    grantDialog([] {
        DualListDlg->ExAllBtn->click();
        select(DualListDlg->SrcList, {QStringLiteral("ANNE")});
        DualListDlg->IncludeBtn->click();
        DualListDlg->DstList->addItem(QString(31, QLatin1Char('Z'))); // a name no account can have
        DualListDlg->OKBtn->click();
    });
    const QStringList errors = f.messages.texts(MessageKind::Error);
    QCOMPARE(errors.size(), 1);
    QVERIFY2(testsupport::isServerError(errors.first(), QStringLiteral("ORA-12899"), QStringLiteral("(22001)")),
             qPrintable(errors.first()));
    QCOMPARE(stored(f, 1, 1), before);
    QVERIFY(!Form1->Database1->inTransaction());
    QCOMPARE(MainWindowFixture::gridUsers().size(), before.size());
}

void TestRights::okOverAnotherUsersChangeWritesNothing_data()
{
    QTest::addColumn<QString>("other"); // what another administrator does while the dialog is open
    QTest::addColumn<QStringList>("after");
    QTest::newRow("a grant added") << QStringLiteral("insert into user_prog_db (username,vortalix_prog_id,database_id,ordinal) "
                                                     "values ('ANNE',1,1,0)")
                                   << QStringList{"ANNE", "JAAN", "KATRIN", "MARI", "OLDUSER"};
    QTest::newRow("a grant revoked") << QStringLiteral("delete from user_prog_db where username = 'JAAN' and vortalix_prog_id = 1 "
                                                       "and database_id = 1")
                                     << QStringList{"KATRIN", "MARI", "OLDUSER"};
    QTest::newRow("one added, one revoked")
        << QStringLiteral("update user_prog_db set username = 'ANNE' where username = 'JAAN' and vortalix_prog_id = 1 "
                          "and database_id = 1")
        << QStringList{"ANNE", "KATRIN", "MARI", "OLDUSER"};
}

void TestRights::okOverAnotherUsersChangeWritesNothing()
{
    QFETCH(QString, other);
    QFETCH(QStringList, after);
    MainWindowFixture f;
    f.connectAs();
    testsupport::ModalDriver driver;
    driver.then([&](QWidget *) {
        f.servers.connect()->backend().execute(other, {});
        DualListDlg->OKBtn->click(); // nothing moved
    });
    QStringList reread;
    driver.then([&](QWidget *) {
        // The dialog opens again over the grants as stored now; its OK then saves.
        reread = right();
        select(DualListDlg->DstList, {QStringLiteral("OLDUSER")});
        DualListDlg->ExcludeBtn->click();
        DualListDlg->OKBtn->click();
    });
    Form1->BitBtn1->click();
    QCOMPARE(driver.pending(), 0);
    const QStringList warnings = f.messages.texts(MessageKind::Warning);
    QCOMPARE(warnings.size(), 1);
    QVERIFY2(warnings.first().contains(QLatin1String("Another user changed the grants of this program in this company")),
             qPrintable(warnings.first()));
    reread.sort();
    QCOMPARE(reread, after);
    after.removeAll(QStringLiteral("OLDUSER"));
    QStringList now = stored(f, 1, 1);
    now.sort();
    QCOMPARE(now, after);
    QCOMPARE(MainWindowFixture::gridUsers(), after);
    QVERIFY(!Form1->Database1->inTransaction());
}

void TestRights::aUserWithoutADealerRoleLeavesForGood()
{
    MainWindowFixture f;
    f.connectAs();
    grantDialog([] {
        QVERIFY(right().contains(QStringLiteral("OLDUSER")));
        select(DualListDlg->DstList, {QStringLiteral("OLDUSER")});
        DualListDlg->ExcludeBtn->click();
        QVERIFY(left().contains(QStringLiteral("OLDUSER")));
        DualListDlg->OKBtn->click();
    });
    grantDialog([] {
        QVERIFY(!left().contains(QStringLiteral("OLDUSER")));
        QVERIFY(!right().contains(QStringLiteral("OLDUSER")));
        DualListDlg->CancelBtn->click();
    });
}

void TestRights::noDialogWithoutAStoredProgramOrACompany()
{
    MainWindowFixture f;
    f.connectAs();
    Form1->DBNavigator1->click(controls::DBNavigator::Insert);
    Form1->BitBtn1->click(); // no modal window may appear
    QVERIFY(Form1->StatusBar1->currentMessage().contains(QLatin1String("not saved yet")));
    Form1->DBNavigator1->click(controls::DBNavigator::Cancel);
    Form1->DBLookupComboBox1->setKeyValue(99);
    Form1->BitBtn1->click();
    QCOMPARE(Form1->StatusBar1->currentMessage(), QStringLiteral("Choose a company first"));
    QCOMPARE(stored(f, 1, 1).size(), 4);
    QVERIFY(f.messages.entries().isEmpty());
}

void TestRights::aListThatCannotBeFilledOffersNoOk()
{
    MainWindowFixture f;
    f.connectAs();
    const QStringList before = stored(f, 1, 1);
    QVERIFY(!before.isEmpty());
    // Another session takes the grants' view away after the main window connected.
    f.servers.connect()->backend().execute(QStringLiteral("drop view user_list_db"), {});
    Form1->BitBtn1->click(); // no modal window may appear: a half-filled dialog must not offer OK
    QVERIFY(!DualListDlg->isVisible());
    const QStringList errors = f.messages.texts(MessageKind::Error);
    QCOMPARE(errors.size(), 1);
    QVERIFY2(testsupport::isServerError(errors.first(), QStringLiteral("ORA-00942"), QStringLiteral("(42P01)")),
             qPrintable(errors.first()));
    QCOMPARE(stored(f, 1, 1), before);
}

QTEST_MAIN(TestRights)
#include "tst_rights.moc"
