#include "MainWindowFixture.h"

#include "app/filter.h"

#include <QGridLayout>

using controls::MessageKind;

namespace {

// Opens the filter dialog from the main window, lets the action fill it, and presses the
// button it names.
void runFilter(const std::function<void()> &fill, QPushButton *TFormFilter::*button)
{
    testsupport::ModalDriver driver;
    driver.then([=](QWidget *) {
        fill();
        (FormFilter->*button)->click();
    });
    Form1->SpeedButtonFilter->click();
}

void resetPatterns()
{
    for (QLineEdit *e : FormFilter->edits())
        e->setText(QStringLiteral("*"));
    FormFilter->RadioGroup1->setItemIndex(0);
}

} // namespace

class TestFilterDialog : public QObject {
    Q_OBJECT
private slots:
    void theDialog();
    void filterTexts_data();
    void filterTexts();
    void setFilterNarrowsTheRegisterIgnoringCase();
    void unsetAndCancelKeepThePatterns();
    void aPatternWithAQuoteMatchesItself();
    void aFilterTooLongIsRefused();
};

void TestFilterDialog::theDialog()
{
    MainWindowFixture f;
    QCOMPARE(FormFilter->windowTitle(), QStringLiteral("Filter"));
    const QStringList names{QStringLiteral("EditProg_name"), QStringLiteral("EditProg_exe"), QStringLiteral("EditProg_Author"),
                            QStringLiteral("EditVersion"), QStringLiteral("EditProg_group"), QStringLiteral("EditClientPath"),
                            QStringLiteral("EditServerPath"), QStringLiteral("EditUser_Name")};
    const QStringList labels{QStringLiteral("Prog name"), QStringLiteral("Exe name"), QStringLiteral("Author"),
                             QStringLiteral("Version"), QStringLiteral("Group"), QStringLiteral("Client path"),
                             QStringLiteral("Server path"), QStringLiteral("Resp. user")};
    const QList<QLineEdit *> edits = FormFilter->edits();
    QCOMPARE(edits.size(), 8);
    for (int i = 0; i < edits.size(); ++i) {
        QCOMPARE(edits.at(i)->objectName(), names.at(i));
        QCOMPARE(edits.at(i)->text(), QStringLiteral("*"));
        bool labelled = false;
        for (QLabel *l : FormFilter->findChildren<QLabel *>())
            labelled = labelled || (l->buddy() == edits.at(i) && l->text() == labels.at(i));
        QVERIFY2(labelled, qPrintable(labels.at(i)));
    }
    QCOMPARE(FormFilter->RadioGroup1->title(), QStringLiteral("Type"));
    QCOMPARE(FormFilter->RadioGroup1->itemIndex(), 0);
    const QStringList types{QStringLiteral("None"), QStringLiteral("Win"), QStringLiteral("WebRep"), QStringLiteral("Script"),
                            QStringLiteral("Other"), QStringLiteral("WebProg"), QStringLiteral("WebBank")};
    auto *grid = static_cast<QGridLayout *>(FormFilter->RadioGroup1->layout());
    for (int i = 0; i < types.size(); ++i) {
        QCOMPARE(FormFilter->RadioGroup1->button(i)->text(), types.at(i));
        int row = 0, column = 0, rows = 0, columns = 0;
        grid->getItemPosition(grid->indexOf(FormFilter->RadioGroup1->button(i)), &row, &column, &rows, &columns);
        QCOMPARE(row * 4 + column, i); // four columns
    }
    QCOMPARE(FormFilter->BitBtn1->text(), QStringLiteral("Cancel"));
    QCOMPARE(FormFilter->BitBtn2->text(), QStringLiteral("Set Filter"));
    QVERIFY(FormFilter->BitBtn2->isDefault());
    QCOMPARE(FormFilter->BitBtn3->text(), QStringLiteral("&Unset filter"));
    QVERIFY(FormFilter->minimumSize() == FormFilter->maximumSize());
    testsupport::screenshot(FormFilter, QStringLiteral("filter-dialog"));
}

void TestFilterDialog::filterTexts_data()
{
    QTest::addColumn<QStringList>("patterns");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    const QStringList all(8, QStringLiteral("*"));
    QStringList author = all;
    author[2] = QStringLiteral("ab*");
    QTest::newRow("author and Script") << author << 3 << "Prog_Author='ab*' and prog_type='3'";
    QTest::newRow("nothing") << all << 0 << "";
    QStringList empty = all;
    empty[0] = QString();
    QTest::newRow("an empty pattern") << empty << 0 << "";
    QStringList blanks = all;
    blanks[0] = QStringLiteral("   ");
    QTest::newRow("blanks are a pattern") << blanks << 0 << "Prog_name='   '";
    QStringList several = all;
    several[1] = QStringLiteral("LOAN*");
    several[4] = QStringLiteral("Loans");
    several[7] = QStringLiteral("MARI");
    QTest::newRow("several") << several << 6 << "Prog_exe='LOAN*' and Prog_group='Loans' and User_Name='MARI' and prog_type='6'";
    QStringList quoted = all;
    quoted[2] = QStringLiteral("O'Brien");
    QTest::newRow("a quote is doubled") << quoted << 0 << "Prog_Author='O''Brien'";
    QStringList every;
    for (const char *c : {"a", "b", "c", "d", "e", "f", "g", "h"})
        every.append(QLatin1String(c));
    QTest::newRow("every column") << every << 1
        << "Prog_name='a' and Prog_exe='b' and Prog_Author='c' and Version='d' and Prog_group='e' and "
           "ClientPath='f' and ServerPath='g' and User_Name='h' and prog_type='1'";
}

void TestFilterDialog::filterTexts()
{
    QFETCH(QStringList, patterns);
    QFETCH(int, type);
    QFETCH(QString, text);
    MainWindowFixture f;
    for (int i = 0; i < patterns.size(); ++i)
        FormFilter->edits().at(i)->setText(patterns.at(i));
    QCOMPARE(TForm1::filterText(FormFilter->edits(), type), text);
}

void TestFilterDialog::setFilterNarrowsTheRegisterIgnoringCase()
{
    MainWindowFixture f;
    f.connectAs();
    runFilter([] { FormFilter->EditProg_Author->setText(QStringLiteral("ta*")); }, &TFormFilter::BitBtn2);
    QVERIFY(Form1->userprogTable->filtered());
    QCOMPARE(Form1->userprogTable->filter(), QStringLiteral("Prog_Author='ta*'"));
    QCOMPARE(Form1->userprogTable->recordCount(), 2); // Tamm's two programs
    runFilter([] {
        resetPatterns();
        FormFilter->EditProg_exe->setText(QStringLiteral("payord.exe"));
    }, &TFormFilter::BitBtn2);
    QCOMPARE(Form1->userprogTable->recordCount(), 1);
    QCOMPARE(Form1->DBEdit6->text(), QStringLiteral("PAYORD.EXE"));
    QCOMPARE(MainWindowFixture::gridUsers(), (QStringList{QStringLiteral("LIIS"), QStringLiteral("TOOMAS")}));
    runFilter([] {
        resetPatterns();
        FormFilter->RadioGroup1->button(3)->click(); // Script
    }, &TFormFilter::BitBtn2);
    QCOMPARE(Form1->userprogTable->filter(), QStringLiteral("prog_type='3'"));
    QCOMPARE(Form1->userprogTable->recordCount(), 3);
    // Every pattern "*" and no type: the text is empty and every row shows.
    runFilter([] { resetPatterns(); }, &TFormFilter::BitBtn2);
    QVERIFY(Form1->userprogTable->filtered());
    QCOMPARE(Form1->userprogTable->filter(), QString());
    QCOMPARE(Form1->userprogTable->recordCount(), 30);
}

void TestFilterDialog::unsetAndCancelKeepThePatterns()
{
    MainWindowFixture f;
    f.connectAs();
    runFilter([] { FormFilter->EditProg_group->setText(QStringLiteral("cards")); }, &TFormFilter::BitBtn2);
    QCOMPARE(Form1->userprogTable->recordCount(), 3);
    runFilter([] { QCOMPARE(FormFilter->EditProg_group->text(), QStringLiteral("cards")); }, &TFormFilter::BitBtn3);
    QVERIFY(!Form1->userprogTable->filtered());
    QCOMPARE(Form1->userprogTable->filter(), QStringLiteral("Prog_group='cards'"));
    QCOMPARE(Form1->userprogTable->recordCount(), 30);
    runFilter([] {}, &TFormFilter::BitBtn2);
    QCOMPARE(Form1->userprogTable->recordCount(), 3);
    // Cancel after changing the patterns: the filter stays, the dialog keeps the change.
    runFilter([] {
        FormFilter->EditProg_group->setText(QStringLiteral("web"));
        FormFilter->RadioGroup1->button(6)->click();
    }, &TFormFilter::BitBtn1);
    QCOMPARE(Form1->userprogTable->filter(), QStringLiteral("Prog_group='cards'"));
    QCOMPARE(Form1->userprogTable->recordCount(), 3);
    runFilter([] {
        QCOMPARE(FormFilter->EditProg_group->text(), QStringLiteral("web"));
        QCOMPARE(FormFilter->RadioGroup1->itemIndex(), 6);
    }, &TFormFilter::BitBtn2);
    QCOMPARE(Form1->userprogTable->recordCount(), 2);
}

void TestFilterDialog::aPatternWithAQuoteMatchesItself()
{
    MainWindowFixture f;
    f.connectAs();
    auto other = f.servers.connect();
    other->backend().execute(QStringLiteral("update vortalix_prog set prog_author = 'O''Brien' where prog_id = 7"), {});
    Form1->userprogTable->refresh();
    runFilter([] { FormFilter->EditProg_Author->setText(QStringLiteral("o'b*")); }, &TFormFilter::BitBtn2);
    QCOMPARE(Form1->userprogTable->recordCount(), 1);
    QCOMPARE(Form1->DBEdit3->text(), QStringLiteral("O'Brien"));
    QVERIFY(f.messages.entries().isEmpty());
}

void TestFilterDialog::aFilterTooLongIsRefused()
{
    MainWindowFixture f;
    f.connectAs();
    runFilter([] { FormFilter->EditProg_group->setText(QStringLiteral("loans")); }, &TFormFilter::BitBtn2);
    QCOMPARE(Form1->userprogTable->recordCount(), 4);
    runFilter([] {
        for (QLineEdit *e : FormFilter->edits())
            e->setText(QString(30, QLatin1Char('x')) + QLatin1Char('*'));
    }, &TFormFilter::BitBtn2);
    const QStringList shown = f.messages.texts(MessageKind::Warning);
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.first().contains(QLatin1String("at most 255")));
    QVERIFY(Form1->userprogTable->filtered());
    QCOMPARE(Form1->userprogTable->filter(), QStringLiteral("Prog_group='loans'"));
    QCOMPARE(Form1->userprogTable->recordCount(), 4);
    // Exactly at the limit is taken.
    runFilter([] {
        resetPatterns();
        FormFilter->EditProg_name->setText(QString(255 - 12, QLatin1Char('y')));
    }, &TFormFilter::BitBtn2);
    QCOMPARE(Form1->userprogTable->filter().size(), 255);
    QCOMPARE(Form1->userprogTable->recordCount(), 0);
}

QTEST_MAIN(TestFilterDialog)
#include "tst_filterdialog.moc"
