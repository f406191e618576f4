#pragma once

#include "platform/controls/DataControls.h"
#include "platform/controls/Form.h"
#include "platform/db/Query.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QStyleOptionViewItem>

// Decides which users may run one program in one company: candidates on the left, the
// users granted on the right. The main window writes the right-hand list when the dialog
// closes with OK.
class TDualListDlg : public controls::Form {
    Q_OBJECT
public:
    explicit TDualListDlg(QWidget *parent = nullptr);

    controls::DBText *ProgExeText = nullptr;
    controls::DBText *DbNameText = nullptr;
    controls::DBText *ServerText = nullptr;
    QLabel *SrcLabel = nullptr;
    QListWidget *SrcList = nullptr;
    QPushButton *IncludeBtn = nullptr;
    QPushButton *IncAllBtn = nullptr;
    QPushButton *ExcludeBtn = nullptr;
    QPushButton *ExAllBtn = nullptr;
    QLabel *DstLabel = nullptr;
    QListWidget *DstList = nullptr;
    QPushButton *CancelBtn = nullptr;
    // What OK will change: "+3 −1", three users granted and one revoked.
    QLabel *ChangesLabel = nullptr;
    QPushButton *OKBtn = nullptr;

    db::Query *gruserQuery = nullptr;
    db::Query *userQuery = nullptr;

    // The names of a list, top to bottom.
    static QStringList names(const QListWidget *list);
    // The users granted the program when the dialog read its lists.
    const QStringList &grantedWhenShown() const { return m_grantedWhenShown; }
    // The colour a name is drawn in: the selection's, or greyed when the server has no
    // account of that name.
    QColor textColour(const QString &name, bool selected, const QPalette &palette) const;
    // The least contrast of a greyed name with the list's background.
    static constexpr double greyedContrast = 3.0;

    void IncludeBtnClick();
    void ExcludeBtnClick();
    void IncAllBtnClick();
    void ExcAllBtnClick();
    void MoveSelected(QListWidget *list, QListWidget *items);
    int GetFirstSelection(const QListWidget *list) const;
    void SetItem(QListWidget *list, int index);
    void SetButtons();
    // Tells what OK will change, counted against the users granted when the dialog read
    // its lists.
    void ShowChanges();

protected:
    void formShow() override { FormShow(); }

private:
    friend class DualListDelegate;
    void FormShow();
    void SrcListDrawItem(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const;
    void DstListDrawItem(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const;
    void drawItem(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const;

    QStringList m_grantedWhenShown;
    QSet<QString> m_grantedSet; // the same names, to count against
    void describeAccounts(QListWidget *list) const;
};

extern TDualListDlg *DualListDlg;
