#include "grants/Rights.h"

#include "app/Users.h"
#include "data/Statements.h"
#include "platform/controls/Contrast.h"
#include "platform/controls/Messages.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QSet>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <functional>

TDualListDlg *DualListDlg = nullptr;

// Draws the items of the dialog's lists the dialog's way.
class DualListDelegate : public QStyledItemDelegate {
public:
    DualListDelegate(const TDualListDlg *dialog, bool source, QObject *parent)
        : QStyledItemDelegate(parent), m_dialog(dialog), m_source(source) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (m_source)
            m_dialog->SrcListDrawItem(painter, option, index);
        else
            m_dialog->DstListDrawItem(painter, option, index);
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        return QSize(option.rect.width(), option.fontMetrics.height() + 2);
    }

private:
    const TDualListDlg *m_dialog;
    bool m_source;
};

namespace {

QListWidget *makeList(QWidget *parent, const QString &name)
{
    auto *list = new QListWidget(parent);
    list->setObjectName(name);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setUniformItemSizes(true);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    list->setFont(font);
    return list;
}

QPushButton *moveButton(QWidget *parent, const QString &name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    QFont font = b->font();
    font.setBold(true);
    b->setFont(font);
    b->setAutoDefault(false);
    b->setFixedWidth(36);
    return b;
}

// Adds many items to a list at once. A sorted list would find each one its place and
// move the others; it takes them unsorted and sorts once, by the same comparison it keeps
// for every item added later.
void addAll(QListWidget *list, const std::function<void()> &add)
{
    if (!list->isSortingEnabled()) {
        add();
        return;
    }
    list->setSortingEnabled(false);
    add();
    list->sortItems(Qt::AscendingOrder); // the order the sorted list keeps
    list->setSortingEnabled(true);
}

} // namespace

TDualListDlg::TDualListDlg(QWidget *parent) : controls::Form(parent)
{
    setObjectName(QStringLiteral("DualListDlg"));
    setWindowTitle(QStringLiteral("users"));
    setScreenCentred(true);

    gruserQuery = new db::Query(QStringLiteral("gruserQuery"), Form1->Database1, statements::gruserQuery, this);
    userQuery = new db::Query(QStringLiteral("userQuery"), Form1->Database1, statements::userQuery, this);

    // The header follows the main window's program and company.
    ProgExeText = new controls::DBText(this);
    ProgExeText->setObjectName(QStringLiteral("ProgExeText"));
    ProgExeText->setDataSource(Form1->DataSource1);
    ProgExeText->setDataField(QStringLiteral("PROG_EXE"));
    DbNameText = new controls::DBText(this);
    DbNameText->setObjectName(QStringLiteral("DbNameText"));
    DbNameText->setDataSource(Form1->DataSourceDBs);
    DbNameText->setDataField(QStringLiteral("DB_NAME"));
    ServerText = new controls::DBText(this);
    ServerText->setObjectName(QStringLiteral("ServerText"));
    ServerText->setDataSource(Form1->DataSourceDBs);
    ServerText->setDataField(QStringLiteral("SERVER"));
    ServerText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (controls::DBText *t : {ProgExeText, DbNameText, ServerText}) {
        QFont font = t->font();
        font.setBold(true);
        t->setFont(font);
    }

    SrcLabel = new QLabel(QStringLiteral("user List:"), this);
    SrcLabel->setObjectName(QStringLiteral("SrcLabel"));
    SrcList = makeList(this, QStringLiteral("SrcList"));
    SrcList->setSortingEnabled(true);
    SrcList->setItemDelegate(new DualListDelegate(this, true, SrcList));
    DstLabel = new QLabel(QStringLiteral("Destination List:"), this);
    DstLabel->setObjectName(QStringLiteral("DstLabel"));
    DstList = makeList(this, QStringLiteral("DstList"));
    DstList->setItemDelegate(new DualListDelegate(this, false, DstList));

    IncludeBtn = moveButton(this, QStringLiteral("IncludeBtn"), QStringLiteral(">"));
    IncAllBtn = moveButton(this, QStringLiteral("IncAllBtn"), QStringLiteral(">>"));
    ExcludeBtn = moveButton(this, QStringLiteral("ExcludeBtn"), QStringLiteral("<"));
    ExAllBtn = moveButton(this, QStringLiteral("ExAllBtn"), QStringLiteral("<<"));
    // The arrows say to a screen reader what they move; the lists carry their labels'
    // names, since a list does not take its name from a label.
    IncludeBtn->setAccessibleName(QStringLiteral("Add selected users"));
    IncAllBtn->setAccessibleName(QStringLiteral("Add all users"));
    ExcludeBtn->setAccessibleName(QStringLiteral("Remove selected users"));
    ExAllBtn->setAccessibleName(QStringLiteral("Remove all users"));
    SrcList->setAccessibleName(QStringLiteral("user List"));
    DstList->setAccessibleName(QStringLiteral("Destination List"));

    CancelBtn = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setAutoDefault(false);
    OKBtn = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    ChangesLabel = new QLabel(this);
    ChangesLabel->setObjectName(QStringLiteral("ChangesLabel"));
    ChangesLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont changesFont = ChangesLabel->font();
    changesFont.setBold(true);
    ChangesLabel->setFont(changesFont);
    setButtonResult(CancelBtn, core::ModalResult::Cancel);
    setButtonResult(OKBtn, core::ModalResult::OK);

    auto *grid = new QGridLayout(this);
    grid->addWidget(ProgExeText, 0, 0, 1, 3);
    grid->addWidget(DbNameText, 1, 0);
    grid->addWidget(ServerText, 1, 2);
    grid->addWidget(SrcLabel, 2, 0);
    grid->addWidget(DstLabel, 2, 2);
    grid->addWidget(SrcList, 3, 0);
    auto *buttons = new QVBoxLayout;
    buttons->addStretch();
    for (QPushButton *b : {IncludeBtn, IncAllBtn, ExcludeBtn, ExAllBtn})
        buttons->addWidget(b);
    buttons->addStretch();
    grid->addLayout(buttons, 3, 1);
    grid->addWidget(DstList, 3, 2);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(CancelBtn);
    bottom->addStretch();
    bottom->addWidget(ChangesLabel);
    bottom->addSpacing(6);
    bottom->addWidget(OKBtn);
    grid->addLayout(bottom, 4, 0, 1, 3);
    grid->setColumnMinimumWidth(0, 170);
    grid->setColumnMinimumWidth(2, 170);
    setFixedSize(420, 340);

    auto handle = [this](QPushButton *b, void (TDualListDlg::*handler)()) {
        connect(b, &QPushButton::clicked, this, [this, handler] { controls::guard([this, handler] { (this->*handler)(); }); });
    };
    handle(IncludeBtn, &TDualListDlg::IncludeBtnClick);
    handle(IncAllBtn, &TDualListDlg::IncAllBtnClick);
    handle(ExcludeBtn, &TDualListDlg::ExcludeBtnClick);
    handle(ExAllBtn, &TDualListDlg::ExcAllBtnClick);
}

QStringList TDualListDlg::names(const QListWidget *list)
{
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result.append(list->item(i)->text());
    return result;
}

void TDualListDlg::FormShow()
{
    const QString company = Form1->chosenCompany().name;
    const double program = Form1->userprogTablePROG_ID->asFloat();
    DstList->clear();
    m_grantedWhenShown.clear();
    m_grantedSet.clear();
    gruserQuery->paramByName(QStringLiteral("d_name")).setAsString(company);
    gruserQuery->paramByName(QStringLiteral("p_id")).setAsFloat(program);
    gruserQuery->open();
    QStringList granted;
    granted.reserve(gruserQuery->recordCount());
    const db::Field &grantee = gruserQuery->field(0);
    for (gruserQuery->first(); !gruserQuery->eof(); gruserQuery->next())
        granted.append(grantee.asString());
    gruserQuery->close();
    DstList->addItems(granted);
    m_grantedWhenShown = granted;
    m_grantedSet = QSet<QString>(granted.cbegin(), granted.cend());

    userQuery->close();
    userQuery->paramByName(QStringLiteral("d_name")).setAsString(company);
    userQuery->paramByName(QStringLiteral("p_id")).setAsFloat(program);
    userQuery->open();
    SrcList->clear();
    // An account holding several dealer roles comes once per role; it is offered once.
    QStringList offered;
    QSet<QString> seen;
    const db::Field &user = userQuery->field(0);
    for (userQuery->first(); !userQuery->eof(); userQuery->next()) {
        QString name = user.asString();
        if (!seen.contains(name)) {
            seen.insert(name);
            offered.append(std::move(name));
        }
    }
    userQuery->close();
    addAll(SrcList, [&] { SrcList->addItems(offered); });
    describeAccounts(SrcList);
    describeAccounts(DstList);
    SetButtons();
}

void TDualListDlg::IncludeBtnClick()
{
    const int index = GetFirstSelection(SrcList);
    MoveSelected(SrcList, DstList);
    SetItem(SrcList, index);
}

void TDualListDlg::ExcludeBtnClick()
{
    const int index = GetFirstSelection(DstList);
    MoveSelected(DstList, SrcList);
    SetItem(DstList, index);
}

void TDualListDlg::IncAllBtnClick()
{
    addAll(DstList, [this] {
        for (int i = 0; i < SrcList->count(); ++i)
            DstList->addItem(SrcList->item(i)->clone());
    });
    SrcList->clear();
    SetItem(SrcList, 0);
}

void TDualListDlg::ExcAllBtnClick()
{
    addAll(SrcList, [this] {
        for (int i = 0; i < DstList->count(); ++i)
            SrcList->addItem(DstList->item(i)->clone());
    });
    DstList->clear();
    SetItem(DstList, 0);
}

void TDualListDlg::MoveSelected(QListWidget *list, QListWidget *items)
{
    // From the last to the first: the right list gets the lowest of the moved last.
    for (int i = list->count() - 1; i >= 0; --i) {
        if (list->item(i)->isSelected()) {
            std::unique_ptr<QListWidgetItem> item(list->takeItem(i));
            item->setSelected(false);
            items->addItem(item.release());
        }
    }
}

int TDualListDlg::GetFirstSelection(const QListWidget *list) const
{
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->isSelected())
            return i;
    }
    return -1;
}

void TDualListDlg::SetItem(QListWidget *list, int index)
{
    list->setFocus();
    const int last = list->count() - 1;
    if (index == -1)
        index = 0;
    else if (index > last)
        index = last;
    if (index >= 0 && index <= last)
        list->item(index)->setSelected(true);
    SetButtons();
}

void TDualListDlg::SetButtons()
{
    const bool source = SrcList->count() > 0;
    const bool destination = DstList->count() > 0;
    IncludeBtn->setEnabled(source);
    IncAllBtn->setEnabled(source);
    ExcludeBtn->setEnabled(destination);
    ExAllBtn->setEnabled(destination);
    ShowChanges();
}

void TDualListDlg::ShowChanges()
{
    // Every name on the right that was not granted is a grant; every name granted that
    // is no longer there, a revoke.
    int kept = 0;
    int added = 0;
    for (int i = 0; i < DstList->count(); ++i) {
        if (m_grantedSet.contains(DstList->item(i)->text()))
            ++kept;
        else
            ++added;
    }
    const int removed = int(m_grantedSet.size()) - kept;
    ChangesLabel->setText(QStringLiteral("+%1 \u2212%2").arg(added).arg(removed));
    auto users = [](int n) { return n == 1 ? QStringLiteral("1 user") : QStringLiteral("%1 users").arg(n); };
    QStringList changes;
    if (added > 0)
        changes.append(QStringLiteral("grants ") + users(added));
    if (removed > 0)
        changes.append(QStringLiteral("revokes ") + users(removed));
    const QString said = changes.isEmpty() ? QStringLiteral("OK changes nothing")
                                           : QStringLiteral("OK ") + changes.join(QStringLiteral(" and "));
    ChangesLabel->setAccessibleName(said);
    ChangesLabel->setToolTip(said);
}

void TDualListDlg::SrcListDrawItem(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    drawItem(painter, option, index);
}

void TDualListDlg::DstListDrawItem(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    drawItem(painter, option, index);
}

QColor TDualListDlg::textColour(const QString &name, bool selected, const QPalette &palette) const
{
    if (selected)
        return palette.color(QPalette::HighlightedText);
    if (Form1->isServerUser(name))
        return palette.color(QPalette::Active, QPalette::WindowText);
    // Greyed, yet dark enough on the list's background to be read.
    return controls::withContrast(palette.color(QPalette::Disabled, QPalette::WindowText),
                                  palette.color(QPalette::Active, QPalette::Base), greyedContrast);
}

void TDualListDlg::describeAccounts(QListWidget *list) const
{
    // A screen reader tells the greyed names apart by what the grey means.
    for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem *item = list->item(i);
        item->setData(Qt::AccessibleDescriptionRole,
                      Form1->isServerUser(item->text()) ? QString() : QStringLiteral("no account on the server"));
    }
}

void TDualListDlg::drawItem(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette &palette = option.palette;
    painter->save();
    painter->fillRect(option.rect, selected ? palette.highlight() : palette.base());
    const QString name = index.data().toString();
    painter->setPen(textColour(name, selected, palette));
    painter->setFont(option.font);
    painter->drawText(option.rect.adjusted(2, 1, 0, 0), Qt::AlignLeft | Qt::AlignTop, name);
    painter->restore();
}
