#include "help/help_page_accessible.h"

#include <QAccessibleWidget>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>

namespace quillfen {
namespace {

const char* const kDocumentProperty = "quillfenAccessibleDocument";

class HelpPageAccessible final : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit HelpPageAccessible(QTextBrowser* page) : QAccessibleWidget(page, QAccessible::Document) {}
    using QAccessibleWidget::text; // the name and description, beside the text interface's ranges

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.multiLine = true;
        s.selectableText = true;
        return s;
    }

    void selection(int index, int* start, int* end) const override
    {
        const QTextCursor c = page()->textCursor();
        *start = index == 0 && c.hasSelection() ? c.selectionStart() : 0;
        *end = index == 0 && c.hasSelection() ? c.selectionEnd() : 0;
    }
    int selectionCount() const override { return page()->textCursor().hasSelection() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override
    {
        QTextCursor c = page()->textCursor();
        c.clearSelection();
        page()->setTextCursor(c);
    }
    void setSelection(int, int start, int end) override
    {
        QTextCursor c(page()->document());
        c.setPosition(clamped(start));
        c.setPosition(clamped(end), QTextCursor::KeepAnchor);
        page()->setTextCursor(c);
    }
    int cursorPosition() const override { return page()->textCursor().position(); }
    void setCursorPosition(int position) override
    {
        QTextCursor c(page()->document());
        c.setPosition(clamped(position));
        page()->setTextCursor(c);
    }
    // Paragraphs end in '\n', which is where the line and paragraph steps of the base class look.
    QString text(int start, int end) const override
    {
        QTextCursor c(page()->document());
        c.setPosition(clamped(start));
        c.setPosition(clamped(end), QTextCursor::KeepAnchor);
        return c.selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    }
    int characterCount() const override { return page()->document()->characterCount() - 1; }
    QRect characterRect(int offset) const override
    {
        QTextCursor c(page()->document());
        c.setPosition(clamped(offset));
        const QRect at = page()->cursorRect(c);
        const int width = page()->fontMetrics().horizontalAdvance(text(offset, offset + 1));
        return QRect(page()->viewport()->mapToGlobal(at.topLeft()), QSize(qMax(width, 1), at.height()));
    }
    int offsetAtPoint(const QPoint& point) const override
    {
        return page()->cursorForPosition(page()->viewport()->mapFromGlobal(point)).position();
    }
    void scrollToSubstring(int start, int) override
    {
        setCursorPosition(start);
        page()->ensureCursorVisible();
    }
    QString attributes(int, int* start, int* end) const override
    {
        *start = 0;
        *end = characterCount();
        return {};
    }

private:
    QTextBrowser* page() const { return static_cast<QTextBrowser*>(widget()); }
    int clamped(int position) const { return qBound(0, position, characterCount()); }
};

QAccessibleInterface* helpPageFactory(const QString&, QObject* object)
{
    auto* page = qobject_cast<QTextBrowser*>(object);
    return page && page->property(kDocumentProperty).toBool() ? new HelpPageAccessible(page) : nullptr;
}

} // namespace

void exposeAsDocument(QTextBrowser* page)
{
    static const bool installed = [] {
        QAccessible::installFactory(helpPageFactory);
        return true;
    }();
    (void)installed;
    page->setProperty(kDocumentProperty, true);
}

} // namespace quillfen
