// Starts the window program as Quillfen.exe does, on the system's own platform plugin, and checks the
// window once it is on the screen: its designed captions are there and each is drawn (the widget
// looks different without it), and closing it ends the program. Prints what it finds.
// Usage: window_start PROGRAM_DIR   (exit 0 when all is well)
#include "app/window_program.h"
#include "localization/mod_localize.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QMainWindow>
#include <QMenuBar>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <functional>

namespace {

int failures = 0;
bool checked = false;

void fail(const QString& what)
{
    std::printf("FAIL: %s\n", qPrintable(what));
    ++failures;
}

QMainWindow* mainWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("frmMain") && w->isVisible())
            return qobject_cast<QMainWindow*>(w);
    return nullptr;
}

// A caption counts as drawn when taking it away changes the widget's pixels.
void checkDrawn(QWidget* widget, const QString& caption, const std::function<void(const QString&)>& set)
{
    const QImage with = widget->grab().toImage();
    set(QString());
    const QImage without = widget->grab().toImage();
    set(caption);
    if (with.isNull() || with == without)
        fail(QStringLiteral("\"%1\" is not drawn").arg(caption));
}

// Each caption is on a visible widget of type W, and drawn.
template <typename W>
void checkCaptions(QMainWindow* window, const char* kind, const QStringList& captions,
                   QString (W::*get)() const, void (W::*set)(const QString&))
{
    const auto widgets = window->findChildren<W*>();
    for (const QString& caption : captions) {
        W* found = nullptr;
        for (W* w : widgets)
            if ((w->*get)() == caption)
                found = w;
        if (!found || !found->isVisible()) {
            fail(QStringLiteral("no %1 \"%2\"").arg(QLatin1String(kind), caption));
            continue;
        }
        std::printf("%s \"%s\"\n", kind, qPrintable(caption));
        checkDrawn(found, caption, [found, set](const QString& t) { (found->*set)(t); });
    }
}

void checkWindow(QMainWindow* window)
{
    checked = true;
    std::printf("window \"%s\", %dx%d\n", qPrintable(window->windowTitle()), window->width(),
                window->height());
    if (window->windowTitle() != QLatin1String("Quillfen"))
        fail(QStringLiteral("title \"%1\"").arg(window->windowTitle()));

    checkCaptions<QGroupBox>(window, "frame",
                             {QStringLiteral("Output file name"),
                              QStringLiteral("Text to convert into TTY/TDD WAV file"),
                              QStringLiteral("Diagnostic Output")},
                             &QGroupBox::title, &QGroupBox::setTitle);
    checkCaptions<QAbstractButton>(
        window, "button",
        {QStringLiteral("&Browse..."), QStringLiteral("&Create WAV File"), QStringLiteral("E&xit")},
        &QAbstractButton::text, &QAbstractButton::setText);

    QStringList menus;
    for (const QAction* a : window->menuBar()->actions())
        menus << a->text();
    std::printf("menus \"%s\"\n", qPrintable(menus.join(QStringLiteral("\", \""))));
    if (menus != QStringList{QStringLiteral("File"), QStringLiteral("Help")})
        fail(QStringLiteral("the menu bar holds other menus"));
    QAction* file = window->menuBar()->actions().value(0);
    if (file)
        checkDrawn(window->menuBar(), file->text(), [file](const QString& t) { file->setText(t); });

    // Closing the window is how a user ends the program; the settings are saved on the way.
    window->close();
}

class CheckWhenShown final : public QObject
{
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!m_seen && event->type() == QEvent::Expose) {
            const auto* window = qobject_cast<QWindow*>(watched);
            if (window && window->isExposed()) {
                m_seen = true;
                // Let the first paint finish before looking.
                QTimer::singleShot(500, [] {
                    if (QMainWindow* w = mainWindow())
                        checkWindow(w);
                    else
                        fail(QStringLiteral("a window showed, but not the main window"));
                });
            }
        }
        return false;
    }

private:
    bool m_seen = false;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PROGRAM_DIR\n", argv[0]);
        return 2;
    }
    // The platform plugin lies beside the program, not beside this check.
    QCoreApplication::addLibraryPath(QString::fromLocal8Bit(argv[1]));
    QApplication app(argc, argv);
    CheckWhenShown check;
    app.installEventFilter(&check);
    // Whatever happens, the check ends: a window that never shows or never closes is a failure.
    QTimer::singleShot(60000, [] {
        fail(QStringLiteral("the window did not show and close within a minute"));
        std::fflush(nullptr);
        std::_Exit(1);
    });
    quillfen::setProgramLocation(QString::fromLocal8Bit(argv[1]), QStringLiteral("Quillfen"));
    const int status = quillfen::runWindowProgram(app);
    if (!checked)
        fail(QStringLiteral("the window was never shown"));
    if (status != 0)
        fail(QStringLiteral("the program ended with status %1").arg(status));
    std::printf("%s\n", failures ? "window check failed" : "window check passed");
    return failures ? 1 : 0;
}
