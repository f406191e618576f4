#pragma once

#include "platform/db/DataSource.h"

#include <QFocusFrame>
#include <QToolButton>
#include <QWidget>

#include <array>

namespace controls {

// The ten actions on a data source's rows, each enabled as the dataset's state allows.
class DBNavigator : public QWidget, private db::DataLink {
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh, ButtonCount };

    explicit DBNavigator(QWidget *parent = nullptr);
    void setDataSource(db::DataSource *source) { db::DataLink::setDataSource(source); }
    QToolButton *button(Button which) const { return m_buttons.at(which); }
    // Runs an action as its button does (the delete asks first).
    void click(Button which);

    // The button that Space or Enter presses while the navigator has the focus.
    Button focusedButton() const { return Button(m_focused); }

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void dataEvent(db::DataEvent event, db::Field *field) override;
    void updateButtons();
    void showFocusedButton();
    void nameFocusedButton();

    std::array<QToolButton *, ButtonCount> m_buttons{};
    QFocusFrame *m_focusFrame = nullptr;
    int m_focused = First;
};

} // namespace controls
