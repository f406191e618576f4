#include "lookup/dbs.h"

#include "app/Users.h"
#include "data/History.h"
#include "data/Statements.h"
#include "platform/controls/Messages.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QScopeGuard>
#include <QStyle>
#include <QVBoxLayout>

#include <optional>

TFormDBs *FormDBs = nullptr;

namespace {

// The table of companies: a company added, renamed (a name or its number changed) or
// deleted leaves its row of the history in the same transaction as the write.
class CompanyTable : public db::Table {
public:
    using db::Table::Table;

protected:
    void applyInsert(db::Row &row) override
    {
        recorded([&] { db::Table::applyInsert(row); }, [&] { return entry(history::action::AddCompany, row); });
    }

    void applyUpdate(const db::Row &old, db::Row &row) override
    {
        QStringList changes;
        for (const char *column : {"V_COMPANY", "DB_NAME", "COMPANY_NAME", "FIRMA_NIMI"}) {
            const int c = columnOf(QLatin1String(column));
            if (c < 0 || db::Row::same(old, c, row, c))
                continue;
            changes.append(QStringLiteral("%1: %2 -> %3").arg(QLatin1String(column), text(old, c), text(row, c)));
        }
        if (changes.isEmpty()) {
            db::Table::applyUpdate(old, row); // the dates or the ID: no name changed
            return;
        }
        recorded([&] { db::Table::applyUpdate(old, row); }, [&] {
            history::Entry e = entry(history::action::RenameCompany, row);
            e.detail = changes.join(QStringLiteral("; "));
            return e;
        });
    }

    void applyDelete(const db::Row &old) override
    {
        recorded([&] { db::Table::applyDelete(old); }, [&] { return entry(history::action::DeleteCompany, old); });
    }

private:
    QString text(const db::Row &row, int column) const
    {
        return db::Field::textOf(row.value(column), columns().at(column).type);
    }

    history::Entry entry(const QString &what, const db::Row &row) const
    {
        history::Entry e;
        e.what = what;
        e.company = row.value(columnOf(QStringLiteral("V_COMPANY")));
        e.companyName = row.value(columnOf(QStringLiteral("DB_NAME"))).toString();
        return e;
    }

    template <typename Write, typename Entry>
    void recorded(Write write, Entry entryOf)
    {
        db::Connection &database = *connection();
        if (!history::kept(database)) {
            write();
            return;
        }
        // Inside a transaction of the caller's the write and its row are part of it.
        std::optional<db::Transaction> transaction;
        if (!database.inTransaction())
            transaction.emplace(database);
        write();
        history::record(database, entryOf());
        if (transaction)
            transaction->commit();
    }
};

} // namespace

TFormDBs::TFormDBs(QWidget *parent) : controls::Form(parent)
{
    setObjectName(QStringLiteral("FormDBs"));
    setWindowTitle(QStringLiteral("Companies"));

    // ---- controls
    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    Panel2->setFixedHeight(22);

    DBGrid1 = new controls::DBGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("Companies"));
    DBGrid1->setIndicator(true);
    DBGrid1->setTitles(true);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("&Close"), Panel1);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    // Enter in the grid belongs to the grid's editing; it never closes the window.
    BitBtn1->setAutoDefault(false);

    auto *bottom = new QHBoxLayout(Panel1);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->addStretch();
    bottom->addWidget(BitBtn1);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 6);
    column->setSpacing(4);
    column->addWidget(Panel2);
    column->addWidget(DBGrid1, 1);
    column->addWidget(Panel1);

    // ---- data components
    Table1 = new CompanyTable(this);
    Table1->setObjectName(QStringLiteral("Table1"));
    Table1->setConnection(Form1->Database1);
    Table1->setTableName(statements::SysParamsTable);
    Table1->setIndexFieldNames(QStringLiteral("V_COMPANY"));
    // A row is named by all its old values, so a row another user changed meanwhile is
    // refused rather than overwritten.
    Table1->setUpdateMode(db::Table::UpdateMode::WhereAll);
    using db::FieldType;
    Table1ID = &Table1->addField(QStringLiteral("ID"), FieldType::Float).setRange(1, 1).setVisible(false);
    Table1SYSTEM_DATE = &Table1->addField(QStringLiteral("SYSTEM_DATE"), FieldType::DateTime).setVisible(false);
    Table1REPORT_DATE = &Table1->addField(QStringLiteral("REPORT_DATE"), FieldType::DateTime).setVisible(false);
    Table1FIRMA_NIMI = &Table1->addField(QStringLiteral("FIRMA_NIMI"), FieldType::String, 50).setDisplayWidth(22);
    Table1COMPANY_NAME = &Table1->addField(QStringLiteral("COMPANY_NAME"), FieldType::String, 50).setDisplayWidth(22);
    Table1V_COMPANY = &Table1->addField(QStringLiteral("V_COMPANY"), FieldType::Float).setRequired(true).setWholeNumbers(true).setDisplayWidth(5);
    Table1DB_NAME = &Table1->addField(QStringLiteral("DB_NAME"), FieldType::String, 20).setRequired(true).setDisplayWidth(12);
    Table1->onNewRecord = [this](db::DataSet &) { Table1NewRecord(); };
    DataSource1 = new db::DataSource(this);
    DataSource1->setDataSet(Table1);
    QueryMAXID = new db::Query(QStringLiteral("QueryMAXID"), Form1->Database1, statements::QueryMAXID, this);

    DBGrid1->setDataSource(DataSource1);
    DBGrid1->setColumns({{QStringLiteral("V_COMPANY"), QStringLiteral("ID")},
                         {QStringLiteral("DB_NAME"), QStringLiteral("Short name")},
                         {QStringLiteral("COMPANY_NAME"), QStringLiteral("Name (english)")},
                         {QStringLiteral("FIRMA_NIMI"), QStringLiteral("Name (eesti keeles)")}});
    DBGrid1->horizontalHeader()->setStretchLastSection(true);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { reject(); });
    setTabOrder(DBGrid1, BitBtn1);
    resize(580, 300);
    setMinimumSize(320, 200);
}

TFormDBs::~TFormDBs()
{
    Table1->close();
    QueryMAXID->close();
}

void TFormDBs::done(int result)
{
    bool saved = false;
    controls::guard([&] {
        FormClose();
        saved = true;
    });
    if (saved)
        controls::Form::done(result);
}

// ---- handlers -------------------------------------------------------------------------

void TFormDBs::FormShow()
{
    Table1->open();
    DBGrid1->setFocus();
}

void TFormDBs::Table1NewRecord()
{
    double next = 0;
    {
        const auto closeQuery = qScopeGuard([this] { QueryMAXID->close(); });
        QueryMAXID->close();
        QueryMAXID->open();
        // No company stored: the statement yields no value, which numbers the first one 0.
        next = QueryMAXID->field(0).asFloat();
    }
    Table1V_COMPANY->setAsFloat(next);
    Table1ID->setAsFloat(1);
}

void TFormDBs::FormClose()
{
    if (!Table1->active())
        return;
    Table1->edit(); // an empty table starts a new, numbered row here
    Table1->updateRecord();
    // A new row is saved as it stands. A stored row nobody changed writes nothing, and is
    // not checked either: a row another tool stored with values the fields would refuse
    // must not keep the window from closing.
    if (Table1->state() == db::DataSetState::Insert || Table1->modified())
        Table1->post();
    else
        Table1->cancel();
    Table1->close();
}
