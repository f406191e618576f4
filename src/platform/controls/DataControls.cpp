#include "platform/controls/DataControls.h"

#include "platform/controls/Messages.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <QRadioButton>

#include <algorithm>

namespace controls {

namespace {

// A focus that moves to the control's own list or leaves with the window is no leaving.
bool leavesControl(const QFocusEvent *event)
{
    return event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason;
}

// Puts the dataset into edit for the first keystroke. Entering edit may show the row
// anew, so what was typed is put back. False when the dataset refused (the error box has
// said why).
bool beginTyping(FieldLink &link, const QString &typed, const std::function<QString()> &shown,
                 const std::function<void()> &putBack)
{
    try {
        link.edit();
    } catch (const std::exception &e) {
        Messages::error(errorText(e));
        return false;
    }
    if (shown() != typed)
        putBack();
    return true;
}

} // namespace

QValidator::State CaseValidator::validate(QString &input, int &) const
{
    if (m_case == CharCase::Upper)
        input = input.toUpper();
    else if (m_case == CharCase::Lower)
        input = input.toLower();
    return Acceptable;
}

void setCharCase(QLineEdit *edit, CharCase charCase)
{
    edit->setValidator(charCase == CharCase::Normal ? nullptr : new CaseValidator(charCase, edit));
}

QString inputMaskOf(const QString &editMask)
{
    // The framework's mask: '0' a required digit, '9' an optional one, '!' drops leading
    // blanks, then ";1" keeps literals and ";_" names the blank character. A line edit's
    // mask has '9' required and '0' optional.
    const QStringList parts = editMask.split(QLatin1Char(';'));
    QString pattern = parts.value(0);
    const QString blank = parts.value(2, QStringLiteral("_"));
    QString mask;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('!'))
            continue;
        if (c == QLatin1Char('\\') && i + 1 < pattern.size()) {
            mask += QLatin1Char('\\');
            mask += pattern.at(++i);
        } else if (c == QLatin1Char('0')) {
            mask += QLatin1Char('9');
        } else if (c == QLatin1Char('9')) {
            mask += QLatin1Char('0');
        } else if (c == QLatin1Char('L')) {
            mask += QLatin1Char('A');
        } else if (c == QLatin1Char('l')) {
            mask += QLatin1Char('a');
        } else if (c == QLatin1Char('A') || c == QLatin1Char('a') || c == QLatin1Char('C')
                   || c == QLatin1Char('c') || c == QLatin1Char('>') || c == QLatin1Char('<')) {
            mask += c == QLatin1Char('C') ? QLatin1Char('X') : (c == QLatin1Char('c') ? QLatin1Char('x') : c);
        } else {
            // Characters with a meaning in a line edit's mask are escaped to stand for themselves.
            if (QStringLiteral("AaNnXx90Dd#HhBb<>!;\\[]{}").contains(c))
                mask += QLatin1Char('\\');
            mask += c;
        }
    }
    if (mask.isEmpty())
        return QString();
    return mask + QLatin1Char(';') + (blank.isEmpty() ? QStringLiteral(" ") : blank.left(1));
}

// ---- DBEdit -----------------------------------------------------------------------

DBEdit::DBEdit(QWidget *parent) : QLineEdit(parent)
{
    m_link.onChange = [this] { display(); };
    m_link.onUpdate = [this] { write(); };
    // Every change of the text that is not the control's own showing of the field is the
    // user's: typed, pasted, or set by an assistive tool (which sets the text without
    // the line edit reporting it as edited).
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (m_displaying)
            return;
        if (isReadOnly()) {
            display(); // an assistive tool may set the text of a read-only edit too
            return;
        }
        const QString typed = text();
        const int cursor = cursorPosition();
        if (!beginTyping(m_link, typed, [this] { return text(); }, [&] {
                m_displaying = true;
                setText(typed);
                setCursorPosition(cursor);
                m_displaying = false;
            })) {
            display();
            return;
        }
        m_modified = true;
    });
    display();
}

void DBEdit::setDataSource(db::DataSource *source)
{
    m_link.setDataSource(source);
}

void DBEdit::setDataField(const QString &name)
{
    m_link.fieldName = name;
    display();
}

void DBEdit::display()
{
    m_displaying = true;
    m_modified = false;
    const db::Field *f = m_link.field();
    const QString mask = f ? inputMaskOf(f->editMask()) : QString();
    if (inputMask() != mask)
        setInputMask(mask);
    setMaxLength(f && f->dataType() == db::FieldType::String && f->size() > 0 ? f->size() : 32767);
    setReadOnly(!m_link.canModify());
    const QString text = !f ? QString() : (hasFocus() && m_link.canModify() ? f->editText() : f->displayText());
    if (QLineEdit::text() != text)
        setText(text);
    m_displaying = false;
}

void DBEdit::write()
{
    if (!m_modified)
        return;
    db::Field *f = m_link.field();
    if (!f)
        return;
    // A mask with nothing but its literals filled in is no value.
    QString value = text();
    if (!inputMask().isEmpty() && std::none_of(value.begin(), value.end(), [](QChar c) { return c.isLetterOrNumber(); }))
        value.clear();
    f->setEditText(value);
    m_modified = false;
}

void DBEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    if (!m_modified)
        display();
}

void DBEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    if (!leavesControl(event))
        return;
    guard([this] { write(); });
    if (!m_modified)
        display();
    emit exited();
}

void DBEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && m_modified) {
        display(); // the typed text is dropped
        return;
    }
    QLineEdit::keyPressEvent(event);
}

// ---- DBMemo -----------------------------------------------------------------------

DBMemo::DBMemo(QWidget *parent) : QPlainTextEdit(parent)
{
    // Tab moves on to the next control, as in every other field, rather than typing a tab.
    setTabChangesFocus(true);
    m_link.onChange = [this] { display(); };
    m_link.onUpdate = [this] { write(); };
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (m_displaying)
            return;
        const QString typed = toPlainText();
        const int cursor = textCursor().position();
        if (!beginTyping(m_link, typed, [this] { return toPlainText(); }, [&] {
                m_displaying = true;
                setPlainText(typed);
                QTextCursor c = textCursor();
                c.setPosition(std::min<int>(cursor, int(typed.size())));
                setTextCursor(c);
                m_displaying = false;
            })) {
            display();
            return;
        }
        m_modified = true;
    });
}

void DBMemo::setDataSource(db::DataSource *source)
{
    m_link.setDataSource(source);
}

void DBMemo::setDataField(const QString &name)
{
    m_link.fieldName = name;
    display();
}

void DBMemo::display()
{
    m_displaying = true;
    m_modified = false;
    const db::Field *f = m_link.field();
    setReadOnly(!m_link.canModify());
    const QString text = f ? f->asString() : QString();
    if (toPlainText() != text)
        setPlainText(text);
    m_displaying = false;
}

void DBMemo::write()
{
    if (!m_modified)
        return;
    if (db::Field *f = m_link.field())
        f->setAsString(toPlainText());
    m_modified = false;
}

void DBMemo::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    if (!leavesControl(event))
        return;
    guard([this] { write(); });
}

// ---- DBComboBox -------------------------------------------------------------------

DBComboBox::DBComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    m_link.onChange = [this] { display(); };
    m_link.onUpdate = [this] { write(); };
    // Typed, or set by an assistive tool, which sets the text without the line edit
    // reporting it as edited.
    connect(lineEdit(), &QLineEdit::textChanged, this, [this] { userChanged(); });
    connect(this, &QComboBox::activated, this, [this] { userChanged(); });
    display();
}

void DBComboBox::setDataSource(db::DataSource *source)
{
    m_link.setDataSource(source);
}

void DBComboBox::setDataField(const QString &name)
{
    m_link.fieldName = name;
    display();
}

void DBComboBox::setItems(const QStringList &list)
{
    const bool wasDisplaying = m_displaying;
    m_displaying = true;
    const QString text = currentText();
    clear();
    addItems(list);
    setEditText(text);
    m_displaying = wasDisplaying;
}

QStringList DBComboBox::items() const
{
    QStringList list;
    for (int i = 0; i < count(); ++i)
        list.append(itemText(i));
    return list;
}

void DBComboBox::userChanged()
{
    if (m_displaying)
        return;
    if (lineEdit()->isReadOnly()) {
        display();
        return;
    }
    const QString typed = currentText();
    const int cursor = lineEdit()->cursorPosition();
    if (!beginTyping(m_link, typed, [this] { return currentText(); }, [&] {
            m_displaying = true;
            setEditText(typed);
            lineEdit()->setCursorPosition(cursor);
            m_displaying = false;
        })) {
        display();
        return;
    }
    m_modified = true;
}

void DBComboBox::display()
{
    m_displaying = true;
    m_modified = false;
    const db::Field *f = m_link.field();
    lineEdit()->setReadOnly(!m_link.canModify());
    lineEdit()->setMaxLength(f && f->dataType() == db::FieldType::String && f->size() > 0 ? f->size() : 32767);
    const QString text = f ? f->displayText() : QString();
    if (currentText() != text)
        setEditText(text);
    m_displaying = false;
}

void DBComboBox::write()
{
    if (!m_modified)
        return;
    if (db::Field *f = m_link.field())
        f->setEditText(currentText());
    m_modified = false;
}

void DBComboBox::focusOutEvent(QFocusEvent *event)
{
    QComboBox::focusOutEvent(event);
    if (!leavesControl(event))
        return;
    guard([this] { write(); });
    emit exited();
}

// ---- RadioGroup and DBRadioGroup -------------------------------------------------

RadioGroup::RadioGroup(QWidget *parent) : QGroupBox(parent), m_group(new QButtonGroup(this))
{
    // A choice made by mouse, by the arrow keys or by an assistive tool's toggle all check
    // a button; only the group's own setting of its index is no choice.
    connect(m_group, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked && !m_setting)
            emit chosen(id);
    });
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(6, 2, 4, 2);
    grid->setHorizontalSpacing(2);
    grid->setVerticalSpacing(0);
}

void RadioGroup::setItems(const QStringList &captions, int columns)
{
    auto *grid = static_cast<QGridLayout *>(layout());
    for (QAbstractButton *b : m_group->buttons()) {
        m_group->removeButton(b);
        delete b;
    }
    for (int i = 0; i < captions.size(); ++i) {
        auto *b = new QRadioButton(captions.at(i), this);
        b->setObjectName(objectName() + QLatin1Char('.') + captions.at(i));
        m_group->addButton(b, i);
        grid->addWidget(b, i / columns, i % columns);
    }
}

int RadioGroup::itemIndex() const
{
    return m_group->checkedId();
}

void RadioGroup::setItemIndex(int index)
{
    // Exclusive buttons cannot all be unchecked; for "none" the rule is lifted a moment.
    const bool wasSetting = m_setting;
    m_setting = true;
    m_group->setExclusive(false);
    for (QAbstractButton *b : m_group->buttons())
        b->setChecked(m_group->id(b) == index);
    m_group->setExclusive(true);
    m_setting = wasSetting;
}

QAbstractButton *RadioGroup::button(int index) const
{
    return m_group->button(index);
}

DBRadioGroup::DBRadioGroup(QWidget *parent) : RadioGroup(parent)
{
    m_link.onChange = [this] { display(); };
    connect(this, &RadioGroup::chosen, this, [this](int index) { choose(index); });
}

void DBRadioGroup::setDataSource(db::DataSource *source)
{
    m_link.setDataSource(source);
}

void DBRadioGroup::setDataField(const QString &name)
{
    m_link.fieldName = name;
    display();
}

void DBRadioGroup::setItems(const QStringList &captions, const QStringList &values, int columns)
{
    RadioGroup::setItems(captions, columns);
    m_values = values;
    display();
}

void DBRadioGroup::display()
{
    m_displaying = true;
    const db::Field *f = m_link.field();
    setItemIndex(f ? int(m_values.indexOf(f->asString())) : -1);
    m_displaying = false;
}

void DBRadioGroup::choose(int index)
{
    if (m_displaying)
        return;
    guard([&] {
        db::Field *f = m_link.field();
        if (!f || !m_link.canModify())
            return;
        m_link.edit();
        f->setAsString(m_values.value(index));
        emit changed();
    });
    display();
}

// ---- DBText -----------------------------------------------------------------------

DBText::DBText(QWidget *parent) : QLabel(parent)
{
    m_link.onChange = [this] { display(); };
}

void DBText::setDataSource(db::DataSource *source)
{
    m_link.setDataSource(source);
}

void DBText::setDataField(const QString &name)
{
    m_link.fieldName = name;
    display();
}

void DBText::display()
{
    const db::Field *f = m_link.field();
    setText(f ? f->displayText() : QString());
}

// ---- DBImage ----------------------------------------------------------------------

DBImage::DBImage(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setContentsMargins(1, 1, 1, 1); // the box's line
}

void DBImage::setPicture(const QImage &picture)
{
    m_picture = picture;
    update();
}

void DBImage::paintEvent(QPaintEvent *)
{
    // White inside a box, the picture at the top left corner.
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const QRect inside = contentsRect();
    painter.save();
    painter.setClipRect(inside);
    painter.drawImage(inside.topLeft(), m_picture);
    painter.restore();
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = inside.adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

} // namespace controls
