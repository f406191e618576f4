#include "app/VortalixLogin.h"

#include "data/Connections.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QProxyStyle>
#include <QStyle>

TLoginForm *LoginForm = nullptr;

namespace {

// Shows every character of a password as '*'.
class AsteriskStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

TLoginForm::TLoginForm(QWidget *parent) : controls::Form(parent)
{
    setObjectName(QStringLiteral("LoginForm"));
    setWindowTitle(QStringLiteral("Vortalix login"));
    setScreenCentred(true);
    setStyleSheet(QStringLiteral("TLoginForm { background: #808000; }"
                                 "QLabel { color: white; font-weight: bold; }"
                                 "QLineEdit, QComboBox { background: #808000; color: white; font-weight: bold; "
                                 "border: 1px solid #c8c890; padding: 2px; }"
                                 "QComboBox QAbstractItemView { background: #808000; color: white; "
                                 "selection-background-color: #5a5a00; }"));

    Label4 = new QLabel(this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setAlignment(Qt::AlignCenter);
    QFont titleFont = Label4->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    Label4->setFont(titleFont);

    // Each label names its field for assistive tools and leads to it with Alt and the
    // underlined letter.
    Label1 = new QLabel(QStringLiteral("&Server"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    ConnComboBox = new QComboBox(this);
    ConnComboBox->setObjectName(QStringLiteral("ConnComboBox"));
    ConnComboBox->setEditable(true);
    ConnComboBox->setInsertPolicy(QComboBox::NoInsert);
    ConnComboBox->addItems({connections::CentralServer, connections::SecondServer});
    ConnComboBox->setEditText(connections::CentralServer);

    Label2 = new QLabel(QStringLiteral("&Login name"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    LoginEdit = new QLineEdit(this);
    LoginEdit->setObjectName(QStringLiteral("LoginEdit"));

    Label3 = new QLabel(QStringLiteral("&Password"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    PasswdEdit = new QLineEdit(this);
    PasswdEdit->setObjectName(QStringLiteral("PasswdEdit"));
    PasswdEdit->setEchoMode(QLineEdit::Password);
    Label1->setBuddy(ConnComboBox);
    Label2->setBuddy(LoginEdit);
    Label3->setBuddy(PasswdEdit);
    auto *asterisks = new AsteriskStyle;
    asterisks->setParent(this);
    PasswdEdit->setStyle(asterisks);

    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    setButtonResult(BitBtn1, core::ModalResult::OK);
    setButtonResult(BitBtn2, core::ModalResult::Cancel);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(16, 12, 16, 12);
    grid->setHorizontalSpacing(10);
    grid->addWidget(Label4, 0, 0, 1, 2);
    grid->addWidget(Label1, 1, 0);
    grid->addWidget(ConnComboBox, 1, 1);
    grid->addWidget(Label2, 2, 0);
    grid->addWidget(LoginEdit, 2, 1);
    grid->addWidget(Label3, 3, 0);
    grid->addWidget(PasswdEdit, 3, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn2);
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    grid->addLayout(buttons, 4, 0, 1, 2);
    grid->setColumnMinimumWidth(1, 180);

    setTabOrder(ConnComboBox, LoginEdit);
    setTabOrder(LoginEdit, PasswdEdit);
    setTabOrder(PasswdEdit, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);

    setFixedSize(std::max(340, sizeHint().width()), sizeHint().height() + Label4->fontMetrics().height());
    FormCreate();
}

void TLoginForm::FormCreate()
{
    LoginEdit->clear();
    PasswdEdit->clear();
}

void TLoginForm::FormShow()
{
    PasswdEdit->clear();
    PasswdEdit->setFocus();
}
