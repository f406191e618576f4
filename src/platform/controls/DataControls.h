#pragma once

#include "platform/controls/FieldLink.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QValidator>

namespace controls {

// Forces typed letters into one case.
class CaseValidator : public QValidator {
public:
    CaseValidator(CharCase charCase, QObject *parent) : QValidator(parent), m_case(charCase) {}
    State validate(QString &input, int &pos) const override;

private:
    CharCase m_case;
};

// Gives a line edit a letter case: typed letters are turned into it.
void setCharCase(QLineEdit *edit, CharCase charCase);

// The input mask a field's edit mask ("!99/99/00;1;_") stands for in a line edit.
QString inputMaskOf(const QString &editMask);

// An edit of one field. It shows the field's display text, or its edit text while it has
// the focus; typing puts the dataset into edit, and the text is written into the field
// when the control is left or before a post.
class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DBEdit(QWidget *parent = nullptr);
    void setDataSource(db::DataSource *source);
    void setDataField(const QString &name);
    const QString &dataField() const { return m_link.fieldName; }
    void setCharCase(CharCase charCase) { controls::setCharCase(this, charCase); }
    bool isModified() const { return m_modified; }

signals:
    void exited();

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void display();
    void write();

    FieldLink m_link;
    bool m_modified = false;
    bool m_displaying = false;
};

// A multi-line edit of one field.
class DBMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit DBMemo(QWidget *parent = nullptr);
    void setDataSource(db::DataSource *source);
    void setDataField(const QString &name);

protected:
    void focusOutEvent(QFocusEvent *event) override;

private:
    void display();
    void write();

    FieldLink m_link;
    bool m_modified = false;
    bool m_displaying = false;
};

// A combo box of one field: its items are offered, and any text may be typed.
class DBComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DBComboBox(QWidget *parent = nullptr);
    void setDataSource(db::DataSource *source);
    void setDataField(const QString &name);
    // Replaces the items without touching the text shown.
    void setItems(const QStringList &items);
    QStringList items() const;

signals:
    // The control lost the focus (not to its own list).
    void exited();

protected:
    void focusOutEvent(QFocusEvent *event) override;

private:
    void display();
    void write();
    void userChanged();

    FieldLink m_link;
    bool m_modified = false;
    bool m_displaying = false;
};

// A captioned group of choices, laid out in columns; at most one is chosen.
class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit RadioGroup(QWidget *parent = nullptr);
    void setItems(const QStringList &captions, int columns);
    int itemIndex() const; // -1 when none is chosen
    void setItemIndex(int index);
    QAbstractButton *button(int index) const;

signals:
    // A user chose the item (mouse, keys or an assistive tool).
    void chosen(int index);

private:
    QButtonGroup *m_group;
    bool m_setting = false;
};

// A group of choices that store values in one field; a value that is not among them
// shows no choice.
class DBRadioGroup : public RadioGroup {
    Q_OBJECT
public:
    explicit DBRadioGroup(QWidget *parent = nullptr);
    void setDataSource(db::DataSource *source);
    void setDataField(const QString &name);
    // Captions and the values they store.
    void setItems(const QStringList &captions, const QStringList &values, int columns);

signals:
    void changed();

private:
    void display();
    void choose(int index);

    FieldLink m_link;
    QStringList m_values;
    bool m_displaying = false;
};

// A label that shows one field.
class DBText : public QLabel {
    Q_OBJECT
public:
    explicit DBText(QWidget *parent = nullptr);
    void setDataSource(db::DataSource *source);
    void setDataField(const QString &name);

private:
    void display();

    FieldLink m_link;
};

// An image box that acts as a button: a click, or Space while it has the focus, is
// reported, and assistive tools see a button.
class DBImage : public QAbstractButton {
    Q_OBJECT
public:
    explicit DBImage(QWidget *parent = nullptr);
    const QImage &picture() const { return m_picture; }
    void setPicture(const QImage &picture);
    QSize sizeHint() const override { return {34, 34}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_picture;
};

} // namespace controls
