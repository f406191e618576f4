#include "grants/chosedb.h"

#include "app/Users.h"
#include "data/Statements.h"

#include <QHBoxLayout>
#include <QScopeGuard>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

TFormChoseDB *FormChoseDB = nullptr;

TFormChoseDB::TFormChoseDB(QWidget *parent) : controls::Form(parent)
{
    setObjectName(QStringLiteral("FormChoseDB"));
    setWindowTitle(QStringLiteral("Choose DB"));
    setScreenCentred(true);

    Query1 = new db::Query(QStringLiteral("Query1"), Form1->Database1, statements::ChoseDbQuery1, this);
    DataSource1 = new db::DataSource(this);
    DataSource1->setDataSet(Query1);

    Memo1 = new QTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setFocusPolicy(Qt::NoFocus);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    Memo1->setPalette(palette);
    QTextOption centred = Memo1->document()->defaultTextOption();
    centred.setAlignment(Qt::AlignHCenter);
    Memo1->document()->setDefaultTextOption(centred);
    Memo1->setPlainText(QStringLiteral("\nChoose database from where to \ncopy all grants for chosen user"));
    // The three lines stay whole however narrow the dialog is made: the memo keeps the
    // width of its longest line and its height of three lines.
    Memo1->setLineWrapMode(QTextEdit::NoWrap);
    const int margins = 2 * int(std::ceil(Memo1->document()->documentMargin())) + 2 * Memo1->frameWidth();
    int widest = 0;
    for (const QString &line : Memo1->toPlainText().split(QLatin1Char('\n')))
        widest = std::max(widest, Memo1->fontMetrics().horizontalAdvance(line));
    Memo1->setMinimumWidth(widest + margins + 4);
    Memo1->setFixedHeight(Memo1->fontMetrics().lineSpacing() * 3 + 12);

    DBLookupListBox1 = new controls::DBLookupListBox(this);
    DBLookupListBox1->setObjectName(QStringLiteral("DBLookupListBox1"));
    DBLookupListBox1->setAccessibleName(QStringLiteral("Database to copy from"));
    DBLookupListBox1->setListSource(DataSource1);
    DBLookupListBox1->setKeyField(QStringLiteral("DATABASE_ID"));
    DBLookupListBox1->setListField(QStringLiteral("DB_NAME"));

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setAutoDefault(false);
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setDefault(true);
    setButtonResult(BitBtn1, core::ModalResult::Cancel);
    setButtonResult(BitBtn2, core::ModalResult::OK);
    // A double click on a line chooses it.
    connect(DBLookupListBox1, &QListWidget::itemDoubleClicked, this, [this] {
        if (BitBtn2->isEnabled())
            BitBtn2->click();
    });

    auto *column = new QVBoxLayout(this);
    column->addWidget(Memo1);
    column->addWidget(DBLookupListBox1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn1);
    buttons->addStretch();
    buttons->addWidget(BitBtn2);
    column->addLayout(buttons);
    resize(260, 280);
}

double TFormChoseDB::ChooseDatabase(double databaseId)
{
    const auto closeList = qScopeGuard([this] { Query1->close(); });
    Query1->close();
    Query1->paramByName(QStringLiteral("database_id")).setAsFloat(databaseId);
    Query1->open();
    BitBtn2->setEnabled(!Query1->isEmpty());
    double result = -1;
    if (showModal() == core::ModalResult::OK) {
        // The line shown as chosen; a choice of an earlier opening that is not offered
        // this time is no choice.
        const QListWidgetItem *line = DBLookupListBox1->currentItem();
        if (line && line->isSelected() && !DBLookupListBox1->keyValue().isNull())
            result = db::Field::floatOf(DBLookupListBox1->keyValue());
    }
    ChosenDatabaseId = result;
    return result;
}
