#pragma once

#include "TempServers.h"
#include "WindowDriver.h"

#include "app/Users.h"
#include "app/VortalixLogin.h"
#include "app/Windows.h"

#include <QApplication>
#include <QTest>

#include <memory>

// The whole program on fresh demonstration servers: the fourteen windows, the messages
// they show, and a driver for their modal dialogs.
struct MainWindowFixture {
    testsupport::TempServers servers;
    testsupport::MessageLog messages;
    std::unique_ptr<Windows> windows = std::make_unique<Windows>();
    QStringList statuses;
    QStringList busyStatuses; // the status texts shown with the busy cursor

    MainWindowFixture()
    {
        QObject::connect(Form1->StatusBar1, &QStatusBar::messageChanged, [this](const QString &text) {
            statuses.append(text);
            if (const QCursor *cursor = QApplication::overrideCursor(); cursor && cursor->shape() == Qt::WaitCursor)
                busyStatuses.append(text);
        });
        Form1->show();
        activate();
    }

    // Answers the login dialog with the values given and presses its OK (or Cancel).
    void connectAs(const QString &password = QStringLiteral("lumivar"), const QString &login = QStringLiteral("vortalix"),
                   const QString &server = QStringLiteral("LIVE"), bool ok = true)
    {
        testsupport::ModalDriver driver;
        driver.then([=](QWidget *dialog) {
            QCOMPARE(dialog, static_cast<QWidget *>(LoginForm));
            LoginForm->ConnComboBox->setEditText(server);
            LoginForm->LoginEdit->setText(login);
            LoginForm->PasswdEdit->setText(password);
            (ok ? LoginForm->BitBtn1 : LoginForm->BitBtn2)->click();
        });
        Form1->SpeedButton1->click();
        activate();
    }

    // After a modal dialog the main window is made active again, as a user's click would.
    static void activate()
    {
        Form1->activateWindow();
        if (!QTest::qWaitForWindowActive(Form1))
            QTest::qFail("the main window did not become active", __FILE__, __LINE__);
    }

    // The names the users grid shows.
    static QStringList gridUsers()
    {
        QStringList names;
        auto *model = Form1->DBGrid1->model();
        for (int row = 0; row < model->rowCount(); ++row)
            names.append(model->index(row, 0).data().toString());
        return names;
    }
};
