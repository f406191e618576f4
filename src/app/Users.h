#pragma once

#include "platform/controls/DBGrid.h"
#include "platform/controls/DBLookup.h"
#include "platform/controls/DBNavigator.h"
#include "platform/controls/DataControls.h"
#include "platform/core/StringList.h"
#include "platform/db/Connection.h"
#include "platform/db/DataSource.h"
#include "platform/db/Query.h"
#include "platform/db/Table.h"

#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QSet>
#include <QStatusBar>
#include <QToolButton>

// The main window: the connection and its login, the register of programs with its
// editing controls and filter, the company selector, and the users who may run the current
// program in the selected company. Its buttons lead to every other window.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // Right column
    QWidget *Panel2 = nullptr;
    QWidget *Panel3 = nullptr;
    QToolButton *SpeedButton2 = nullptr;
    QToolButton *SpeedButtonDB = nullptr;
    QToolButton *SpeedButtonUSR = nullptr;
    QToolButton *SpeedButtonHistory = nullptr;
    QToolButton *SpeedButton1 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    controls::DBLookupComboBox *DBLookupComboBox1 = nullptr;
    QPushButton *BitBtn2 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    controls::DBGrid *DBGrid1 = nullptr;

    // Left area: the register
    QWidget *Panel1 = nullptr;
    QWidget *Panel5 = nullptr;
    controls::DBNavigator *DBNavigator1 = nullptr;
    QToolButton *SpeedButton3 = nullptr;
    QToolButton *SpeedButtonFilter = nullptr;
    controls::DBText *DBText1 = nullptr;
    controls::DBEdit *DBEdit1 = nullptr;
    controls::DBEdit *DBEdit6 = nullptr;
    controls::DBEdit *DBEdit3 = nullptr;
    controls::DBEdit *DBEdit2 = nullptr;
    controls::DBEdit *DBEdit4 = nullptr;
    controls::DBComboBox *DBComboBox2 = nullptr;
    controls::DBComboBox *DBComboBox1 = nullptr;
    controls::DBEdit *DBEdit5 = nullptr;
    controls::DBEdit *DBEdit7 = nullptr;
    controls::DBEdit *DBEdit8 = nullptr;
    controls::DBEdit *DBEdit9 = nullptr;
    controls::DBEdit *DBEdit10 = nullptr;
    controls::DBRadioGroup *DBRadioGroup1 = nullptr;
    controls::DBImage *DBImage1 = nullptr;
    QWidget *Panel4 = nullptr;
    QLabel *LabelDescription = nullptr;
    controls::DBMemo *DBMemo1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;

    // Data components
    db::Connection *Database1 = nullptr;
    db::Connection *Database2 = nullptr;
    db::Table *userprogTable = nullptr;
    db::DataSource *DataSource1 = nullptr;
    db::Field *userprogTablePROG_ID = nullptr;
    db::Query *QueryDBs = nullptr;
    db::DataSource *DataSourceDBs = nullptr;
    db::Query *QueryUsers = nullptr;
    db::DataSource *DataSourceUsers = nullptr;
    db::Query *Query2 = nullptr;
    db::DataSource *DataSource3 = nullptr;
    db::Query *QueryDBusers = nullptr;
    db::Query *QueryDelete = nullptr;
    db::Query *QueryAdd = nullptr;
    db::Query *QueryGranted = nullptr;
    QFileDialog *OpenDialog1 = nullptr;

    // Operations the other windows use
    // The chosen company, the one rule of every window that acts for it: the company
    // whose name the selector shows and whose number is the selector's key, when the
    // company list stands on that company too. Its number is taken as stored, never
    // rounded. Without a name no company is chosen.
    struct Company {
        double id = -1;
        QString name;
        bool valid() const { return !name.isEmpty(); }
        // The record filter that holds this company's rows and no other's: its number
        // written out whole, or a filter that holds none when no company is chosen.
        QString filter() const;
    };
    Company chosenCompany() const;
    void ShowStatus(const QString &text);
    // A status text of the program's own about the user's last action; the register's
    // next move or change puts the status it replaced back.
    void ShowNote(const QString &text);
    // The steps of a long operation in the status text, each shown at once (pending
    // painting let through, the user's input kept for later); the status text from
    // before comes back when the operation ends, however it ends. The steps of an
    // operation inside another are the outer one's.
    class Progress {
    public:
        explicit Progress(TForm1 &form);
        ~Progress();
        Progress(const Progress &) = delete;
        Progress &operator=(const Progress &) = delete;
        void step(const QString &text);

    private:
        TForm1 &m_form;
        QString m_before;
        bool m_outermost;
    };
    // refreshRegister false leaves out the register's refresh where the register was read
    // a moment ago (the connect).
    void FillCombo(bool refreshRegister = true);
    bool LoginAs(db::Connection *database, const QString &user);
    void AskPassword(const QString &user);
    void FindUsers();
    void LoadIcon(const QString &fileName);
    // Builds the register's filter text from the filter dialog, leaving the filter off.
    // A filter longer than the register takes is refused with a message and nothing
    // changes; returns whether the text was built.
    bool BuildFilter();
    // The filter text the dialog's patterns make, before any length check.
    static QString filterText(const QList<QLineEdit *> &edits, int type);
    static constexpr int filterLimit = 255;

    const core::StringList &passwords() const { return Passwords; }
    const core::StringList &serverUsers() const { return ServerUsers; }
    // Whether the server has an account of that name, letter case ignored: a look-up in
    // an index of ServerUsers, for the lists that ask once for every name they draw.
    bool isServerUser(const QString &name) const { return m_serverUserKeys.contains(name.toCaseFolded()); }

    // The eight long edits, whose width follows the left area.
    QList<QWidget *> longEdits() const;

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildRightColumn();
    void buildRegister();
    void buildData();
    void setConnectedButtons(bool enabled);

    void FormCreate();
    void FormShow();
    void FormResize();
    void Panel1Resize();
    void SpeedButton1Click();
    void DBLookupComboBox1CloseUp();
    void SpeedButton2Click();
    void SpeedButtonDBClick();
    void SpeedButtonUSRClick();
    void SpeedButtonHistoryClick();
    void SpeedButton3Click();
    void SpeedButtonFilterClick();
    void BitBtn1Click();
    // Replaces the grants of a program in a company by the names granted, when the
    // grants stored are still those read; false, writing nothing, when they are not.
    bool ReplaceGrants(double program, double company, const QStringList &read, const QStringList &granted);
    void BitBtn2Click();
    void DBImage1Click();
    void DBComboBox1Exit();

    void registerActed();

    core::StringList Passwords;
    QString m_passwordsOf; // the login whose run the cached passwords belong to
    core::StringList ServerUsers;
    QSet<QString> m_serverUserKeys; // the names of ServerUsers, case folded
    controls::FieldLink m_registerWatch;
    QString m_statusBeforeNote;
    int m_progressDepth = 0;
    bool m_noteShown = false;
};

extern TForm1 *Form1;
