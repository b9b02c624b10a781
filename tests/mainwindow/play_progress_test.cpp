// The focus shown on every control.
#include "about/frm_about.h"
#include "localization/mod_localize.h"
#include "localization/string_table.h"
#include "mainwindow/frm_main.h"
#include "platform/session.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPalette>
#include <QPushButton>
#include <QSettings>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace quillfen;
using namespace quillfen::testing;

namespace {

const QString kProgramDir = QStringLiteral(QUILLFEN_TEST_PROGRAM_DIR);

// White on black with a yellow highlight, as high-contrast themes are.
QPalette darkHighContrast()
{
    QPalette p;
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::AlternateBase, QPalette::Button})
        p.setColor(role, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::BrightText})
        p.setColor(role, Qt::white);
    p.setColor(QPalette::Highlight, Qt::yellow);
    p.setColor(QPalette::HighlightedText, Qt::black);
    p.setColor(QPalette::Link, Qt::cyan);
    return p;
}

// The controls of `form` that the keyboard can reach.
QList<QWidget*> focusable(QWidget* form)
{
    QList<QWidget*> out;
    for (QWidget* w : form->findChildren<QWidget*>())
        if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy())
            out << w;
    return out;
}

// Names of the controls that look the same with the focus as without it.
QStringList focusNotShown(QWidget* form)
{
    form->show();
    form->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(form));
    const QList<QWidget*> controls = focusable(form);
    EXPECT_GE(controls.size(), 2);
    QStringList unseen;
    for (QWidget* control : controls) {
        QWidget* other = controls.constFirst() == control ? controls.constLast() : controls.constFirst();
        other->setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
        const QImage without = control->grab().toImage();
        control->setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
        EXPECT_TRUE(control->hasFocus()) << control->objectName().toStdString();
        if (control->grab().toImage() == without)
            unseen << control->objectName();
    }
    return unseen;
}

class PlayProgressTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
        resetLanguageState();
        setProgramLocation(kProgramDir, "Quillfen");
        palette = QApplication::palette();
    }
    void TearDown() override { QApplication::setPalette(palette); }
    void newWindow(const QString& programDir = kProgramDir)
    {
        window.reset();
        releaseInstanceLock();
        window = std::make_unique<frmMain>(programDir);
        window->setTerminate([] {});
        window->frmMain_Auto_Init();
    }
    template <typename T> T* child(const char* name) { return window->findChild<T*>(name); }

    QPalette palette;
    QTemporaryDir config;
    QTemporaryDir out;
    RecordingMessages boxes;
    std::unique_ptr<frmMain> window;
};

} // namespace

TEST_F(PlayProgressTest, everyControlShowsItsFocusInTheStandardAndADarkHighContrastPalette)
{
    for (const auto& [name, palette] : {std::pair{"standard", QApplication::style()->standardPalette()},
                                        std::pair{"dark high contrast", darkHighContrast()}}) {
        SCOPED_TRACE(name);
        QApplication::setPalette(palette);
        newWindow();
        EXPECT_EQ(focusNotShown(window.get()), QStringList());
        frmAbout about;
        about.Form_Load();
        EXPECT_EQ(focusNotShown(&about), QStringList());
        about.hide();
    }
}

TEST_F(PlayProgressTest, theAboutBoxShowsWhereTheFocusIsAsItOpensBeforeAnyKeyIsPressed)
{
    frmAbout about;
    QString holder, unseen = "the box never became active";
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* focused = QApplication::focusWidget();
        if (!about.isActiveWindow() || !focused)
            return;
        poll.stop();
        holder = focused->objectName();
        const QImage shown = focused->grab().toImage();
        focused->clearFocus();
        QApplication::processEvents();
        unseen = focused->grab().toImage() == shown ? holder : QString();
        about.cmdOK_Click();
    });
    poll.start(10);
    about.showModally();
    EXPECT_FALSE(holder.isEmpty());
    EXPECT_EQ(unseen, QString());
}
