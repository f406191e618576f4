#include "app/filter.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QStyle>

TFormFilter *FormFilter = nullptr;

TFormFilter::TFormFilter(QWidget *parent) : controls::Form(parent)
{
    setObjectName(QStringLiteral("FormFilter"));
    setWindowTitle(QStringLiteral("Filter"));
    setScreenCentred(true);
    auto *grid = new QGridLayout(this);
    const QList<QPair<QString, QString>> rows{
        {QStringLiteral("Prog name"), QStringLiteral("EditProg_name")},
        {QStringLiteral("Exe name"), QStringLiteral("EditProg_exe")},
        {QStringLiteral("Author"), QStringLiteral("EditProg_Author")},
        {QStringLiteral("Version"), QStringLiteral("EditVersion")},
        {QStringLiteral("Group"), QStringLiteral("EditProg_group")},
        {QStringLiteral("Client path"), QStringLiteral("EditClientPath")},
        {QStringLiteral("Server path"), QStringLiteral("EditServerPath")},
        {QStringLiteral("Resp. user"), QStringLiteral("EditUser_Name")},
    };
    QList<QLineEdit *> made;
    for (int i = 0; i < rows.size(); ++i) {
        auto *label = new QLabel(rows.at(i).first, this);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto *edit = new QLineEdit(QStringLiteral("*"), this);
        edit->setObjectName(rows.at(i).second);
        label->setBuddy(edit);
        grid->addWidget(label, i, 0);
        grid->addWidget(edit, i, 1);
        made.append(edit);
    }
    EditProg_name = made.at(0);
    EditProg_exe = made.at(1);
    EditProg_Author = made.at(2);
    EditVersion = made.at(3);
    EditProg_group = made.at(4);
    EditClientPath = made.at(5);
    EditServerPath = made.at(6);
    EditUser_Name = made.at(7);

    RadioGroup1 = new controls::RadioGroup(this);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioGroup1->setTitle(QStringLiteral("Type"));
    // A choice's position is the type code it selects: "Win" is 1, "WebBank" 6.
    RadioGroup1->setItems({QStringLiteral("None"), QStringLiteral("Win"), QStringLiteral("WebRep"),
                           QStringLiteral("Script"), QStringLiteral("Other"), QStringLiteral("WebProg"),
                           QStringLiteral("WebBank")},
                          4);
    RadioGroup1->setItemIndex(0);
    grid->addWidget(RadioGroup1, rows.size(), 0, 1, 2);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogApplyButton), QStringLiteral("Set Filter"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setDefault(true);
    BitBtn3 = new QPushButton(QStringLiteral("&Unset filter"), this);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    for (QPushButton *b : {BitBtn1, BitBtn3})
        b->setAutoDefault(false);
    setButtonResult(BitBtn1, core::ModalResult::Cancel);
    setButtonResult(BitBtn2, core::ModalResult::OK);
    setButtonResult(BitBtn3, core::ModalResult::No);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn1);
    buttons->addStretch();
    buttons->addWidget(BitBtn3);
    buttons->addWidget(BitBtn2);
    grid->addLayout(buttons, rows.size() + 1, 0, 1, 2);
    grid->setColumnMinimumWidth(1, 260);
    setFixedSize(sizeHint());
}

QList<QLineEdit *> TFormFilter::edits() const
{
    return {EditProg_name, EditProg_exe, EditProg_Author, EditVersion,
            EditProg_group, EditClientPath, EditServerPath, EditUser_Name};
}
