#pragma once

#include "platform/controls/DBGrid.h"
#include "platform/controls/DataControls.h"
#include "platform/controls/Form.h"
#include "platform/db/DataSource.h"
#include "platform/db/Query.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include <functional>

// The programs of one user in one company: those the user may run there ("Granted") and
// the rest of the register ("Available"). Grants and revokes one program at a time, copies
// the user's grants from another company, and starts the printed list of the grants.
class TFormProg : public controls::Form {
    Q_OBJECT
public:
    explicit TFormProg(QWidget *parent = nullptr);

    // Top strip
    QWidget *Panel1 = nullptr;
    controls::DBText *DBText1 = nullptr; // the main window's current company
    QPushButton *BitBtn1 = nullptr;      // "Copy from other DB"
    QLabel *Label1 = nullptr;
    QLineEdit *Edit1 = nullptr; // the user name, in upper case
    QToolButton *SpeedButton1 = nullptr;
    QToolButton *SpeedButton2 = nullptr; // "Print"
    QCheckBox *CheckBox1 = nullptr;
    // Why the last action did less than asked (a copy refused, a filter not applied).
    QLabel *LabelStatus = nullptr;
    // The three columns
    QWidget *Panel3 = nullptr;
    QLabel *Label2 = nullptr;
    controls::DBGrid *DBGrid1 = nullptr; // available
    QWidget *Panel2 = nullptr;
    QPushButton *ExcludeBtn = nullptr; // ">": grant
    QPushButton *IncludeBtn = nullptr; // "<": revoke
    QWidget *Panel4 = nullptr;
    QLabel *Label3 = nullptr;
    controls::DBGrid *DBGrid2 = nullptr; // granted

    // Data components
    db::Query *QueryuserProg = nullptr;
    db::Field *QueryuserProgVORTALIX_PROG_ID = nullptr;
    db::DataSource *DataSource2 = nullptr;
    db::Query *QueryAllProg = nullptr;
    db::Field *QueryAllProgPROG_ID = nullptr;
    db::DataSource *DataSource1 = nullptr;
    db::Query *QueryAdd = nullptr;
    db::Query *QueryDelete = nullptr;
    db::Query *QueryCopyAll = nullptr;

    // The company the lists show and the grants are written in: the main window's company
    // when the window is shown (-1 when it has none), then taken from the main window
    // again each time the lists open.
    double DatabaseId = -1;

    // The user name and the company name the lists were last read for: what the lists
    // hold, whatever the user field and the main window show since.
    const QString &listUser() const { return m_listUser; }
    const QString &listCompany() const { return m_dbName; }

    // The narrowest the window gets, and what the two side panels leave to the arrows.
    static constexpr int smallestWidth = 408;
    static constexpr int arrowColumnWidth = 38;

protected:
    void formShow() override { FormShow(); }
    void formHide() override { FormHide(); }
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildTopStrip();
    void buildColumns();
    void buildData();
    // Places the side panels and the arrows' column between them.
    void placeColumns();
    // The lowest the window gets with nothing in it cut or overlapping.
    int smallestHeight() const;

    void takeCompany();
    // The lists were opened for another user or company than the window now names.
    bool listsOutdated() const;
    void closeLists();
    // Runs a write; on failure the lists are read again, so they show what the
    // database holds, and the error goes on.
    void runWrite(const std::function<void()> &write);
    void SetButtons();
    void note(const QString &text);

    // Returns whether the lists opened; when they cannot, the note says what is missing.
    bool ReopenLists();
    void ReopenAtBookmarks();
    void ApplyRegisterFilter(db::Query *list);
    // Over lists read for another user or company nothing is written: they are read
    // again, and once they are open the note says that nothing was done. Returns
    // whether the lists were outdated.
    bool reloadWhenOutdated(const QString &nothingDone);
    // Grants or revokes (what, as the history names it) the program of the list's current
    // row, its number in `id`, and says so in the note. nothingDone is the note when the
    // lists were outdated, doneBefore when the statement found the change made already
    // (another user's revoke).
    void writeOne(db::Query *list, const db::Field *id, db::Query *statement, const QString &what,
                  const QString &nothingDone, const QString &doneBefore = QString());

    void FormShow();
    void FormHide();
    void FormResize();
    void SpeedButton1Click();
    // Both lists are read alike, for the user named and the main window's company.
    void QueryuserProgBeforeOpen() { ListBeforeOpen(QueryuserProg); }
    void QueryAllProgBeforeOpen() { ListBeforeOpen(QueryAllProg); }
    void ListBeforeOpen(db::Query *list);
    void QueryAllProgAfterOpen();
    void ExcludeBtnClick();
    void IncludeBtnClick();
    void BitBtn1Click();
    void SpeedButton2Click();

    class ButtonsHeld;
    bool m_buttonsHeld = false;
    QWidget *m_columns = nullptr; // holds Panel3, Panel2 and Panel4
    QString m_dbName;     // the company name the lists were opened with
    QString m_listUser;   // the user name the lists were opened with
};

extern TFormProg *FormProg;
