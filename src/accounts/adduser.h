#pragma once

#include "platform/controls/DBLookup.h"
#include "platform/controls/Form.h"
#include "platform/core/StringList.h"
#include "platform/db/Connection.h"
#include "platform/db/DataSource.h"
#include "platform/db/Query.h"

#include <QHash>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

// The users of the banking system with the databases in which each has an account: one
// NAME=VALUE line per user, in the order the users were read, the value being the database
// names, each in double quotes, joined by commas. Names are found without regard to
// letter case through an index kept beside the lines, so that a scan of thousands of
// accounts stays linear.
class TDict : private core::StringList {
public:
    using core::StringList::count;
    using core::StringList::isEmpty;
    using core::StringList::lines;
    using core::StringList::nameAt;
    using core::StringList::text;
    using core::StringList::valueAt;
    using core::StringList::operator[];

    void clear();
    // Appends a NAME=VALUE line (a user without databases is "NAME=").
    void append(const QString &line);
    int indexOfName(const QString &name) const;
    bool hasName(const QString &name) const { return indexOfName(name) >= 0; }
    QString value(const QString &name) const;
    // Replaces the value of the named line in place, or appends a line; an empty value
    // removes the line.
    void setValue(const QString &name, const QString &value);

    // Adds one database to the user's value, in double quotes after a comma.
    void AppendValue(const QString &name, const QString &item);
    // The user's databases, read back from the value by the comma-text rule.
    QStringList items(const QString &name) const;

private:
    static QString key(const QString &name) { return name.toCaseFolded(); }
    void index(int line);
    void reindex();

    QHash<QString, int> m_index; // folded name -> its first line
};

// Creates and drops the accounts of the banking system's users in the company databases:
// all users on the left, the databases in which the selected user has an account in the
// middle, and those in which the user has none on the right. It lists the users through
// the central connection and works on the databases through a connection of its own.
class TFormCreateUser : public controls::Form {
    Q_OBJECT
public:
    explicit TFormCreateUser(QWidget *parent = nullptr);
    ~TFormCreateUser() override;

    static constexpr int FixedWidth = 402;
    static constexpr int MinimumHeight = 280;

    // Controls, from left to right under the top bar
    QPushButton *BitBtn1 = nullptr;
    QLabel *Label1 = nullptr;
    controls::DBLookupListBox *DBLookupListBox1 = nullptr;
    QWidget *Panel3 = nullptr;
    QLabel *Label3 = nullptr;
    QListWidget *ListBox1 = nullptr;
    QPushButton *ExcludeBtn = nullptr;
    QPushButton *IncludeBtn = nullptr;
    QLabel *Label2 = nullptr;
    QListWidget *ListBox2 = nullptr;

    // Data components
    db::Connection *Database1 = nullptr;
    db::Query *Query1 = nullptr;
    db::DataSource *DataSource1 = nullptr;
    db::Query *Query3 = nullptr;

    TDict UserDbs;
    core::StringList DbServers;
    bool AskEach = true;

    void RefreshLists();
    void LoadUsers();
    void BuildDatabaseList();
    void ScanDatabases();
    bool SelectServer(const QString &name, const QString &server);
    void ScanUsers(const QString &name);
    void ShowUser(const QString &user);
    bool CreateSelected();
    void CreateUserIn(const QString &user, const QString &server, const QString &name);
    bool DropSelected();
    void DropUserFrom(const QString &user, const QString &server, const QString &name);

    // The user chosen in the user list, or nothing.
    QString SelectedUser() const;

    void IncludeBtnClick();
    void ExcludeBtnClick();
    void BitBtn1Click();

protected:
    void formShow() override { FormShow(); }
    void formHide() override { FormClose(); }
    void resizeEvent(QResizeEvent *event) override;

private:
    void FormCreate();
    void FormShow();
    void FormResize();
    void DBLookupListBox1Click();
    void FormClose();
    QStringList selectedItems(const QListWidget *list) const;
};

extern TFormCreateUser *FormCreateUser;
