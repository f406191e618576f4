#include "lookup/find.h"

#include "app/Users.h"
#include "data/Statements.h"
#include "platform/controls/Messages.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QVBoxLayout>

TFormFind *FormFind = nullptr;

TFormFind::TFormFind(QWidget *parent) : controls::Form(parent)
{
    setObjectName(QStringLiteral("FormFind"));
    setWindowTitle(QStringLiteral("FormFind"));

    QueryExe = new db::Query(QStringLiteral("QueryExe"), Form1->Database1, statements::QueryExe, this);
    using db::FieldType;
    QueryExe->addField(QStringLiteral("PROG_ID"), FieldType::Float).setVisible(false);
    QueryExe->addField(QStringLiteral("PROG_GROUP"), FieldType::String, columns::ProgGroup).setDisplayWidth(8);
    QueryExe->addField(QStringLiteral("PROG_EXE"), FieldType::String, columns::ProgExe).setDisplayWidth(32);
    QueryExe->addField(QStringLiteral("PROG_NAME"), FieldType::String, columns::ProgName).setDisplayWidth(32);
    QueryExe->addField(QStringLiteral("PROG_AUTHOR"), FieldType::String, columns::ProgAuthor).setDisplayWidth(8);

    QueryUsr = new db::Query(QStringLiteral("QueryUsr"), Form1->Database1, statements::QueryUsr, this);
    QueryUsr->addField(QStringLiteral("USERNAME"), FieldType::String, columns::UserName).setDisplayWidth(8);
    QueryUsr->addField(QStringLiteral("PROG_GROUP"), FieldType::String, columns::ProgGroup).setDisplayWidth(8);
    QueryUsr->addField(QStringLiteral("PROG_ID"), FieldType::Float).setVisible(false);
    QueryUsr->addField(QStringLiteral("PROG_EXE"), FieldType::String, columns::ProgExe).setDisplayWidth(32);

    // A search may match a hundred thousand grants: the grid shows the first rows at once,
    // and the rest comes as it is scrolled or while the window waits for the user.
    for (db::Query *q : {QueryExe, QueryUsr})
        q->setFetchOnDemand(true);
    DataSource1 = new db::DataSource(this);

    EditFind = new QLineEdit(QStringLiteral("%"), this);
    EditFind->setObjectName(QStringLiteral("EditFind"));
    controls::setCharCase(EditFind, controls::CharCase::Lower);
    EditFind->setAccessibleName(QStringLiteral("Search text")); // the field has no label
    // Room for a pattern such as "%loanapp%" however small the window is made.
    EditFind->setMinimumWidth(EditFind->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 16);
    RadioButtonExe = new QRadioButton(QStringLiteral("EXE. name"), this);
    RadioButtonExe->setObjectName(QStringLiteral("RadioButtonExe"));
    RadioButtonExe->setChecked(true);
    RadioButtonUser = new QRadioButton(QStringLiteral("Username"), this);
    RadioButtonUser->setObjectName(QStringLiteral("RadioButtonUser"));
    BitBtn3 = new QPushButton(QStringLiteral("Otsi"), this);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    BitBtn3->setDefault(true);

    DBGrid1 = new controls::DBGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setDataSource(DataSource1);
    DBGrid1->setReadOnly(true);
    DBGrid1->setRowSelect(true);
    DBGrid1->setAccessibleName(QStringLiteral("Found"));

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    for (QPushButton *b : {BitBtn1, BitBtn2})
        b->setAutoDefault(false);
    setButtonResult(BitBtn1, core::ModalResult::OK);
    setButtonResult(BitBtn2, core::ModalResult::Cancel);

    auto *top = new QHBoxLayout;
    top->addWidget(EditFind, 1);
    top->addWidget(RadioButtonExe);
    top->addWidget(RadioButtonUser);
    top->addWidget(BitBtn3);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(BitBtn1);
    bottom->addWidget(BitBtn2);
    auto *column = new QVBoxLayout(this);
    column->addLayout(top);
    column->addWidget(DBGrid1, 1);
    column->addLayout(bottom);
    resize(640, 420);

    connect(BitBtn3, &QPushButton::clicked, this, [this] { controls::guard([this] { SpeedButton1Click(); }); });
    connect(DBGrid1, &QAbstractItemView::doubleClicked, this, [this] { DBGrid1DblClick(); });
}

void TFormFind::SpeedButton1Click()
{
    QueryExe->close();
    QueryUsr->close();
    if (RadioButtonExe->isChecked()) {
        QueryExe->params()[0].setAsString(EditFind->text());
        DataSource1->setDataSet(QueryExe);
        QueryExe->open();
        ResultQuery = QueryExe;
    } else {
        QueryUsr->paramByName(QStringLiteral("usr")).setAsString(EditFind->text());
        QueryUsr->paramByName(QStringLiteral("dname")).setAsString(Form1->chosenCompany().name);
        DataSource1->setDataSet(QueryUsr);
        QueryUsr->open();
        ResultQuery = QueryUsr;
    }
}

void TFormFind::DBGrid1DblClick()
{
    setModalResult(core::ModalResult::OK);
}
