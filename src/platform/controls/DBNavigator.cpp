#include "platform/controls/DBNavigator.h"

#include "platform/controls/Messages.h"

#include <QFocusFrame>
#include <QHBoxLayout>
#include <QKeyEvent>

namespace controls {

namespace {

struct Action {
    const char *glyph;
    const char *hint;
    const char *name;
};

constexpr Action navigatorActions[DBNavigator::ButtonCount] = {
    {"|◀", "First record", "First"},  {"◀", "Prior record", "Prior"},   {"▶", "Next record", "Next"},
    {"▶|", "Last record", "Last"},    {"+", "Insert record", "Insert"}, {"−", "Delete record", "Delete"},
    {"▲", "Edit record", "Edit"},     {"✔", "Post edit", "Post"},       {"✘", "Cancel edit", "Cancel"},
    {"↻", "Refresh data", "Refresh"},
};

} // namespace

DBNavigator::DBNavigator(QWidget *parent) : QWidget(parent)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (int i = 0; i < ButtonCount; ++i) {
        auto *b = new QToolButton(this);
        b->setText(QString::fromUtf8(navigatorActions[i].glyph));
        b->setToolTip(QLatin1String(navigatorActions[i].hint));
        b->setObjectName(QLatin1String(navigatorActions[i].name));
        b->setFixedSize(22, 22);
        b->setFocusPolicy(Qt::NoFocus);
        b->setAccessibleName(b->toolTip());
        row->addWidget(b);
        m_buttons[std::size_t(i)] = b;
        connect(b, &QToolButton::clicked, this, [this, i] { click(Button(i)); });
    }
    // The navigator is one stop in the tab order; the arrow keys choose a button in it,
    // Space or Enter presses that button.
    setFocusPolicy(Qt::TabFocus);
    m_focusFrame = new QFocusFrame(this);
    m_focusFrame->hide();
    updateButtons();
}

void DBNavigator::showFocusedButton()
{
    if (hasFocus()) {
        m_focusFrame->setWidget(m_buttons.at(std::size_t(m_focused)));
        m_focusFrame->show();
    } else {
        m_focusFrame->hide();
    }
}

void DBNavigator::nameFocusedButton()
{
    // The navigator keeps the focus while the arrow keys choose a button: its name says
    // which one, and a change of the name is what an assistive tool reads out.
    const QToolButton *b = m_buttons.at(std::size_t(m_focused));
    setAccessibleName(QStringLiteral("Record navigator: ") + b->toolTip()
                      + (b->isEnabled() ? QString() : QStringLiteral(", unavailable")));
}

void DBNavigator::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    showFocusedButton();
}

void DBNavigator::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    showFocusedButton();
}

void DBNavigator::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        m_focused = (m_focused + ButtonCount - 1) % ButtonCount;
        showFocusedButton();
        nameFocusedButton();
        break;
    case Qt::Key_Right:
        m_focused = (m_focused + 1) % ButtonCount;
        showFocusedButton();
        nameFocusedButton();
        break;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        click(Button(m_focused));
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void DBNavigator::click(Button which)
{
    db::DataSet *ds = dataSet();
    if (!ds || !m_buttons.at(which)->isEnabled())
        return;
    guard([&] {
        switch (which) {
        case First: ds->first(); break;
        case Prior: ds->prior(); break;
        case Next: ds->next(); break;
        case Last: ds->last(); break;
        case Insert: ds->insert(); break;
        case Delete:
            if (Messages::askYesNo(QStringLiteral("Delete record?"), Messages::Default::No))
                ds->remove();
            break;
        case Edit: ds->edit(); break;
        case Post: ds->post(); break;
        case Cancel: ds->cancel(); break;
        case Refresh: ds->refresh(); break;
        case ButtonCount: break;
        }
    });
    updateButtons();
}

void DBNavigator::dataEvent(db::DataEvent event, db::Field *)
{
    if (event != db::DataEvent::UpdateRecord && event != db::DataEvent::FieldChanged)
        updateButtons();
}

void DBNavigator::updateButtons()
{
    const db::DataSet *ds = dataSet();
    const bool active = ds && ds->active();
    const bool editing = active && ds->isEditing();
    const bool canModify = active && ds->canModify();
    // Moving is offered where there is a row to move to.
    const bool up = active && ds->recNo() > 0;
    const bool down = active && ds->recNo() < ds->recordCount() - 1;
    m_buttons[First]->setEnabled(up);
    m_buttons[Prior]->setEnabled(up);
    m_buttons[Next]->setEnabled(down);
    m_buttons[Last]->setEnabled(down);
    m_buttons[Insert]->setEnabled(canModify);
    m_buttons[Delete]->setEnabled(canModify && !ds->isEmpty());
    m_buttons[Edit]->setEnabled(canModify && !editing);
    m_buttons[Post]->setEnabled(canModify && editing);
    m_buttons[Cancel]->setEnabled(canModify && editing);
    m_buttons[Refresh]->setEnabled(active);
    nameFocusedButton();
}

} // namespace controls
