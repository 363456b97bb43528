#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "common/Startup.h"
#include "tests/ui/QtTestApp.h"
#include "ui/QtDialogs.h"

namespace {

// Runs `act` on the modal dialog as soon as it is shown.
void WhenModalShown(std::function<void(QWidget*)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        }
    });
    timer->start();
}

class QtDialogsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        QApplication& app = testsupport::EnsureQtApp();
        static bool translated = core::InstallItalianTranslation(app);
        (void)translated;
    }
    ui::QtDialogs dialogs;
};

}  // namespace

TEST(QtDialogsMapping, IconsButtonsAndResults)
{
    EXPECT_EQ(ui::ToQtIcon(core::MsgIcon::Critical), QMessageBox::Critical);
    EXPECT_EQ(ui::ToQtIcon(core::MsgIcon::Exclamation), QMessageBox::Warning);
    EXPECT_EQ(ui::ToQtIcon(core::MsgIcon::None), QMessageBox::NoIcon);
    EXPECT_EQ(ui::ToQtButtons(core::MsgButtons::YesNo), QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(ui::ToQtButtons(core::MsgButtons::Ok), QMessageBox::Ok);
    EXPECT_EQ(ui::FromQtButton(QMessageBox::No), core::MsgResult::No);
}

TEST(QtDialogsMapping, NameFiltersCarryTheirPatternsBlankSeparated)
{
    const QStringList filters = ui::ToNameFilters({{"Access (*.mdb)", "*.mdb"}, {"Testo", "*.txt;*.csv"}});
    ASSERT_EQ(filters.size(), 2);
    EXPECT_EQ(filters[0], "Access (*.mdb) (*.mdb)");
    EXPECT_EQ(filters[1], "Testo (*.txt *.csv)");
}

TEST_F(QtDialogsTest, QuestionShowsItalianButtonsTitleIconAndDetails)
{
    QString title, text, details;
    QStringList buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    WhenModalShown([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        details = box->detailedText();
        icon = box->icon();
        for (QAbstractButton* b : box->buttons())
            buttons << b->text().remove('&');
        box->button(QMessageBox::No)->click();
    });
    const core::MsgResult answer = dialogs.MessageBox("Procedere?", core::MsgButtons::YesNo,
                                                      core::MsgIcon::Exclamation, "Varnel", "riga 1\nriga 2");
    EXPECT_EQ(answer, core::MsgResult::No);
    EXPECT_EQ(title, "Varnel");
    EXPECT_EQ(text, "Procedere?");
    EXPECT_EQ(details, "riga 1\nriga 2");
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_TRUE(buttons.contains(QString::fromUtf8("Sì"))) << buttons.join(",").toStdString();
    EXPECT_TRUE(buttons.contains("No"));
}

TEST_F(QtDialogsTest, MessageWithoutDetailsHasNoDetailsButton)
{
    QString details = "unset";
    WhenModalShown([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        details = box->detailedText();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(dialogs.MessageBox("Fatto", core::MsgButtons::Ok, core::MsgIcon::Information, "Tessily"),
              core::MsgResult::Ok);
    EXPECT_TRUE(details.isEmpty());
}

TEST_F(QtDialogsTest, PasswordInputHidesTheTextAndCancelGivesEmpty)
{
    QLineEdit::EchoMode echo = QLineEdit::Normal;
    WhenModalShown([&](QWidget* w) {
        auto* input = qobject_cast<QInputDialog*>(w);
        ASSERT_NE(input, nullptr);
        echo = input->textEchoMode();
        input->setTextValue("segreto");
        input->accept();
    });
    EXPECT_EQ(dialogs.InputBox("Password:", "Varnel", {}, true), "segreto");
    EXPECT_EQ(echo, QLineEdit::Password);

    WhenModalShown([&](QWidget* w) {
        auto* input = qobject_cast<QInputDialog*>(w);
        echo = input->textEchoMode();
        input->setTextValue("scritto ma annullato");
        input->reject();
    });
    EXPECT_EQ(dialogs.InputBox("Nome:", "Varnel", "x"), "");
    EXPECT_EQ(echo, QLineEdit::Normal);
}

TEST_F(QtDialogsTest, FileDialogOffersTheTypesAndReportsTheChosenOne)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("arch.db");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QStringList offered;
    QString selected, shownDir;
    WhenModalShown([&](QWidget* w) {
        auto* fd = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(fd, nullptr);
        offered = fd->nameFilters();
        selected = fd->selectedNameFilter();
        shownDir = fd->directory().absolutePath();
        fd->selectFile(file);
        static_cast<QDialog*>(fd)->accept();
    });
    core::FileDialogRequest request;
    request.filters = {{"Access (*.mdb)", "*.mdb"}, {"SQLite (*.db)", "*.db"}};
    request.filterIndex = 2;
    request.initialDir = dir.path().toStdString();
    request.fileMustExist = true;
    request.pathMustExist = true;
    const core::FileDialogResult result = dialogs.ShowFileDialog(request);
    EXPECT_EQ(offered.size(), 2);
    EXPECT_TRUE(selected.startsWith("SQLite (*.db)")) << selected.toStdString();
    EXPECT_EQ(shownDir, QDir(dir.path()).absolutePath());
    ASSERT_TRUE(result.accepted);
    EXPECT_EQ(result.fileName, QDir::toNativeSeparators(file).toStdString());
    EXPECT_EQ(result.filterIndex, 2);

    WhenModalShown([&](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    EXPECT_FALSE(dialogs.ShowFileDialog(request).accepted);
}

TEST_F(QtDialogsTest, BusyPointerIsBalanced)
{
    dialogs.SetBusy(true);
    dialogs.SetBusy(true);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    dialogs.SetBusy(false);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    dialogs.SetBusy(false);  // unmatched: must not pop someone else's pointer
    QGuiApplication::setOverrideCursor(Qt::CrossCursor);
    dialogs.SetBusy(false);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    QGuiApplication::restoreOverrideCursor();
}
